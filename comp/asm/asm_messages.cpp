#include "asm_messages.h"

namespace
{

constexpr int NO_LEVEL = MSG_BASE::DEFAULT_SEVERITY_LEVEL;

// One catalogue entry: the id, the kind, the severity level the factory sets
// (NO_LEVEL: none) and the literal "text/ID_NAME".
struct MESSAGE_DEF
{
    unsigned id;
    MSG_POST_TYPE kind;
    int level;
    const char* literal;
};

// Warnings and infos whose id the default index suppresses come back silent,
// without text or id. Errors are always built in full.
MSG_BASE* new_message(const MESSAGE_DEF& def, bool& silent)
{
    silent = false;
    switch (def.kind)
    {
    case MSG_POST_TYPE_ERROR:
        return new MSG_E();
    case MSG_POST_TYPE_WARNING:
        if (MSG_INDEX::get_default_index()->is_suppressed(def.id))
        {
            silent = true;
            return new MSG_W_NULL();
        }
        return new MSG_W();
    case MSG_POST_TYPE_INFO:
        if (MSG_INDEX::get_default_index()->is_suppressed(def.id))
        {
            silent = true;
            return new MSG_I_NULL();
        }
        return new MSG_I();
    }
    return new MSG_E();
}

template <typename... Args>
MSG_BASE* build_message(const MESSAGE_DEF& def, Args... args)
{
    bool silent;
    MSG_BASE* message = new_message(def, silent);
    if (silent)
        return message;
    message->fill_args(def.literal, args...);
    if (def.level != NO_LEVEL)
        message->set_severity_level(def.level);
    message->set_id(def.id);
    return message;
}

}  // namespace

MSG_BASE* msg_EASM_ASM_ASSIGNMENTS_FILE_ERROR(const std::string& arg1, int arg2, const std::string& arg3, int arg4)
{
    static constexpr MESSAGE_DEF def{115013, MSG_POST_TYPE_ERROR, 0,
        "Assembler Options File \"%1!s!\", line %2!d!, column %4!d!: %3!s!/EASM_ASM_ASSIGNMENTS_FILE_ERROR"};
    return build_message(def, arg1.c_str(), arg2, arg3.c_str(), arg4);
}

MSG_BASE* msg_EASM_ASM_CVP_INVALID_ERROR(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22140, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Invalid CVP Error: %1!s!/EASM_ASM_CVP_INVALID_ERROR"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION()
{
    static constexpr MESSAGE_DEF def{20393, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The design has enabled authentication. It must also have ENABLE_PR_POF_ID option ON./EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_ENCRYPTION_NOT_SUPPORTED()
{
    static constexpr MESSAGE_DEF def{20459, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The bitstream encryption is not supported on current device/EASM_ASM_ENCRYPTION_NOT_SUPPORTED"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT()
{
    static constexpr MESSAGE_DEF def{22381, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Multi authority must not be enabled with Partial Reconfiguration encryption enabled./EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{23252, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "PCIE Topology %1!s! cannot be used when CVP is enabled in %2!s! Sorrel Streaming Movar FPGA IP for PCI Express./EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_EASM_ASM_FAIL_TO_OPEN_FILE(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22183, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Error: Failed to open file %1!s!/EASM_ASM_FAIL_TO_OPEN_FILE"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE()
{
    static constexpr MESSAGE_DEF def{23657, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Anti-tamper feature and external voltage reference is enabled together./EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_INVALID_TEMPERATURE_RANGE()
{
    static constexpr MESSAGE_DEF def{23409, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Threshold temperature value out of range./EASM_ASM_INVALID_TEMPERATURE_RANGE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_INVALID_VOUT_RANGE()
{
    static constexpr MESSAGE_DEF def{22930, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The output voltage computed is out of range. The output voltage should be within 0 and 0xFFFF. Adjust the power management coefficients values that correspond to the selected voltage output format./EASM_ASM_INVALID_VOUT_RANGE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_MISMATCH_FIT_ASSIGNMENT(const std::string& arg1, const std::string& arg2, const std::string& arg3)
{
    static constexpr MESSAGE_DEF def{22697, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Assignment setting for %1!s! (%3!s!) found in assembler does not match the setting found in fitter (%2!s!). Rerun fitter stage./EASM_ASM_MISMATCH_FIT_ASSIGNMENT"};
    return build_message(def, arg1.c_str(), arg2.c_str(), arg3.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22433, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "To use anti-tamper device self-kill for %1!s!, anti-tamper IP must be present in the design. /EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION()
{
    static constexpr MESSAGE_DEF def{22510, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "This design has enabled anti-tamper. You must also enable authentication by specifying a valid ZKY file./EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION()
{
    static constexpr MESSAGE_DEF def{22511, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "This design has enabled attestation commands. You must also enable authentication by specifying a valid ZKY file./EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY()
{
    static constexpr MESSAGE_DEF def{22369, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The CVP mode in Device and Pins Options dialog box was enabled using zsf assignment, but the SRST X8 configuration scheme is unsupported./EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME()
{
    static constexpr MESSAGE_DEF def{22371, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The CVP mode in Device and Pins Options dialog box has been enabled using ini variable enable_design_cvp, but the configuration scheme used is unsupported./EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE()
{
    static constexpr MESSAGE_DEF def{20834, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "When you enable the CvP setting, you must make sure design is CvP capable./EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL()
{
    static constexpr MESSAGE_DEF def{22209, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Encryption key storage location is not consistent across all revisions./EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION()
{
    static constexpr MESSAGE_DEF def{20589, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "This design has enabled programming bitstream encryption. You must also enable authentication by specifying a valid ZKY file/EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE()
{
    static constexpr MESSAGE_DEF def{22124, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "CVP must not be enabled on a non CVP supported tile slot./EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM()
{
    static constexpr MESSAGE_DEF def{20815, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "When you disable Battery Backup RAM for encryption key storage, you must specify the eFuses or PUF option for the Encryption Key Select./EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES()
{
    static constexpr MESSAGE_DEF def{20814, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "When you disable eFuses for encryption storage, you must specify Battery Backup RAM or PUF option for the Encryption Key Select./EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG()
{
    static constexpr MESSAGE_DEF def{20813, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "To disable HPS debug, you must disable the HPS debug access port (DAP)./EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY()
{
    static constexpr MESSAGE_DEF def{20975, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "When you disable PUF wrapped encryption key, you must specify the Battery Backup RAM or eFuses option for the Encryption Key Select./EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE()
{
    static constexpr MESSAGE_DEF def{20818, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "When you force encryption key update, you must specify the Encryption Update Ratio./EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC()
{
    static constexpr MESSAGE_DEF def{20812, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "To force an SDM clock to the Internal Oscillator, you must specify the Internal Oscillator as configuration clock source/EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{22305, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The address set for %2!s! slave device %1!s! is invalid. The address set should be 00./EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{24073, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The default value assigned for assignment (%1!s!) in ZDF file is not supported. Follow 7-bit PMBus target device addressing and should be up to 2 digits hexadecimal only./EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE(int arg1, int arg2)
{
    static constexpr MESSAGE_DEF def{21737, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Temperature upper bound value %1!d! must not be lower than lower bound value %2!d!./EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE"};
    return build_message(def, arg1, arg2);
}

MSG_BASE* msg_EASM_ASM_OPTION2_INVALID_TAMPER_VALUE(int arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{20840, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "An illegal value %1!d! is specified for %2!s! tamper detection./EASM_ASM_OPTION2_INVALID_TAMPER_VALUE"};
    return build_message(def, arg1, arg2.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_MISSING_ZKY_FILE(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{20588, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The specified file \"%1!s!\" for programming bitstream authentication cannot be located./EASM_ASM_OPTION2_MISSING_ZKY_FILE"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED()
{
    static constexpr MESSAGE_DEF def{22432, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Cannot enable anti tamper detection if clock source OSC_CLK_1 is used and run configuration from internal oscillator is not enabled. /EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED()
{
    static constexpr MESSAGE_DEF def{21654, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Cannot enable frequency tamper detection if OSC_CLK_1 is used as the configuration CPU clock source. /EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT()
{
    static constexpr MESSAGE_DEF def{22721, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "CRL distribution point in attestation must contain a valid HTTPS URL./EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{22513, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "To use anti-tamper device self-kill for %1!s!, %2!s! tamper detection must be enabled./EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION_SECU_VID_PART_ERROR(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22717, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Security feature %1!s! is not supported on VID device. Choose a non-VID device that supports the feature or disable it./EASM_ASM_OPTION_SECU_VID_PART_ERROR"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE()
{
    static constexpr MESSAGE_DEF def{22539, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Voltage tamper detection trigger is outside of the required 15% -100% range./EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{18542, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The base revision MSF file must be specified for preserved partial reconfiguration partition %1!s!/EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{18543, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The base revision SOF file must be specified for preserved logic %1!s! in partial reconfiguration design/EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR(int arg1, const std::string& arg2, const std::string& arg3)
{
    static constexpr MESSAGE_DEF def{19989, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "SDM_IO %1!d! has conflicting assignments of %2!s! and %3!s!/EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR"};
    return build_message(def, arg1, arg2.c_str(), arg3.c_str());
}

MSG_BASE* msg_EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR(const std::string& arg1, int arg2)
{
    static constexpr MESSAGE_DEF def{22207, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The configuration pin assignment %1!s! has invalid value %2!d!./EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR"};
    return build_message(def, arg1.c_str(), arg2);
}

MSG_BASE* msg_EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN()
{
    static constexpr MESSAGE_DEF def{23400, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Design has partial reconfiguration partitions enabled and external scrubbing options is also enabled./EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS()
{
    static constexpr MESSAGE_DEF def{19761, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The SEU_ERROR output status is monitored but SEU error detection is not enabled/EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS"};
    return build_message(def);
}

MSG_BASE* msg_EASM_ASM_UNSUPPORTED_CLOCK_SOURCE(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{22288, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The clock source %1!s! is not supported for this device %2!s!./EASM_ASM_UNSUPPORTED_CLOCK_SOURCE"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{22258, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "The configuration scheme %1!s! is not supported for this device %2!s!./EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_EASM_FILE_OPEN_FAILURE(const std::string& arg1, const std::string& arg2, const std::string& arg3)
{
    static constexpr MESSAGE_DEF def{22683, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Error: Failed to open %1!s! %2!s! for %3!s!. Confirm that you have write permission for this file. Update the file permissions, if needed./EASM_FILE_OPEN_FAILURE"};
    return build_message(def, arg1.c_str(), arg2.c_str(), arg3.c_str());
}

MSG_BASE* msg_EASM_INVALID_HPS_SETTINGS()
{
    static constexpr MESSAGE_DEF def{22751, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "An HPS file is not provided but the configuration order is set as \"HPS First\"/EASM_INVALID_HPS_SETTINGS"};
    return build_message(def);
}

MSG_BASE* msg_EASM_INVALID_PFG_COMMANDS_PATH(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22673, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "pfg_commands.txt is not found under %1!s!, make sure that this is a valid project path or re-edit commands on \"Programming files\" under \"Settings\" dialogue to update the project path./EASM_INVALID_PFG_COMMANDS_PATH"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_INVALID_VOLTAGE_OUTPUT_FORMAT(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22647, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Power management voltage output format %1!s! is not supported for the current device family./EASM_INVALID_VOLTAGE_OUTPUT_FORMAT"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_EASM_UNSUCCESSFULL_CALLING_SUBPROCESS(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22528, MSG_POST_TYPE_ERROR, NO_LEVEL,
        "Programming files generation using command %1!s! was unsuccessful. Check pfg.log for more info./EASM_UNSUCCESSFULL_CALLING_SUBPROCESS"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{24380, MSG_POST_TYPE_INFO, NO_LEVEL,
        "The ENABLE_OWNERSHIP_TRANSFER option is enabled and hence %1!s! option is disabled./IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_IASM_ASM_OPTION2_CVP_ENABLE_INFO()
{
    static constexpr MESSAGE_DEF def{23209, MSG_POST_TYPE_INFO, NO_LEVEL,
        "Design contains configuration via protocol (CvP) capable IP. However. it is not enabled. Enable the CvP Settings section of the Device and Pin Options dialog box./IASM_ASM_OPTION2_CVP_ENABLE_INFO"};
    return build_message(def);
}

MSG_BASE* msg_IASM_ASM_OPTION2_DESIGN_IS_CVP_READY()
{
    static constexpr MESSAGE_DEF def{20835, MSG_POST_TYPE_INFO, NO_LEVEL,
        "Design is ready for CvP./IASM_ASM_OPTION2_DESIGN_IS_CVP_READY"};
    return build_message(def);
}

MSG_BASE* msg_IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION()
{
    static constexpr MESSAGE_DEF def{20376, MSG_POST_TYPE_INFO, NO_LEVEL,
        "This design has enabled bitstream verification. To generate programming file from partially-masked SRAM Object (.pmsf) file for a PR region use the Zorvane Programmer, and include the region verification (.smsf) file from base compile./IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION"};
    return build_message(def);
}

MSG_BASE* msg_IASM_ASM_REPORT_HASH(const std::string& arg1, const std::string& arg2)
{
    static constexpr MESSAGE_DEF def{20553, MSG_POST_TYPE_INFO, NO_LEVEL,
        "Using %1!s! Hash %2!s!/IASM_ASM_REPORT_HASH"};
    return build_message(def, arg1.c_str(), arg2.c_str());
}

MSG_BASE* msg_IASM_SUCCESSFULL_CALLING_SUBPROCESS(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22527, MSG_POST_TYPE_INFO, NO_LEVEL,
        "Programming files generation using command %1!s! was successful. Check pfg.log for more info./IASM_SUCCESSFULL_CALLING_SUBPROCESS"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_ENABLED_PMF_DIAGNOSTIC()
{
    static constexpr MESSAGE_DEF def{24298, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The Diagnostic Boot feature has been enabled in the power management dialog, additional check will be performed on the Voltage Regulator. Enabling this feature will increase configuration time and should only be used during board bring-up operations./WASM_ASM_ENABLED_PMF_DIAGNOSTIC"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_LTM_MISSING_CB_IP()
{
    static constexpr MESSAGE_DEF def{24392, MSG_POST_TYPE_WARNING, 1,
        "Use the Configuration Block IP in Movar Torvin 3 FPGA designs to ensure a successful configuration. For more information about the Configuration Block IP, refer to the Movar Torvin 3 Configuration User Guide./WASM_ASM_LTM_MISSING_CB_IP"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_MISMATCH_ASSIGNMENT(const std::string& arg1, const std::string& arg2, const std::string& arg3)
{
    static constexpr MESSAGE_DEF def{24084, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "Assignment setting for %1!s! (%3!s!) found in assembler does not match the setting found in fitter (%2!s!). Rerun fitter stage./WASM_ASM_MISMATCH_ASSIGNMENT"};
    return build_message(def, arg1.c_str(), arg2.c_str(), arg3.c_str());
}

MSG_BASE* msg_WASM_ASM_MISSING_PRPOF_ID(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{20318, MSG_POST_TYPE_WARNING, 1,
        "Missing PR POF ID for partition %1!s!/WASM_ASM_MISSING_PRPOF_ID"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_OPTION2_DESIGN_CVP_ENABLE()
{
    static constexpr MESSAGE_DEF def{22361, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The CVP mode in the Device and Pin Options dialog box was enabled using the INI variable enable_design_cvp./WASM_ASM_OPTION2_DESIGN_CVP_ENABLE"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE(int arg1)
{
    static constexpr MESSAGE_DEF def{21836, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "PAGE command payload value %1!d! is out of range 0 - 255./WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE"};
    return build_message(def, arg1);
}

MSG_BASE* msg_WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN(int arg1)
{
    static constexpr MESSAGE_DEF def{20961, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The value %1!d! specified in the PWRMGT_ADV_VOUT_READING_ERR_MARGIN assignment. The recommended value range is between 0 and 8/WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN"};
    return build_message(def, arg1);
}

MSG_BASE* msg_WASM_ASM_OPTION2_RESTRICTED_ZSF(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22185, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The assignment %1!s! should not be modified. Remove the assignment from the ZSF file. /WASM_ASM_OPTION2_RESTRICTED_ZSF"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE()
{
    static constexpr MESSAGE_DEF def{22509, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "Anti-tamper response is disabled. ZSF settings related to anti-tamper will be disabled in the SOF./WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{20536, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "Programming file generation feature has been removed from the compilation flow and the corresponding legacy settings in the Movar Zorvane Setting File (.zsf) have been ignored: %1!s!. Use Programmer File Generator or Convert Programming File tool to generate a programming file./WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_PR_POF_ID_DISABLED()
{
    static constexpr MESSAGE_DEF def{21985, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "ENABLE_PR_POF_ID is set to 'OFF'. Bitstream verification will be disabled./WASM_ASM_PR_POF_ID_DISABLED"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION()
{
    static constexpr MESSAGE_DEF def{22085, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "Skipped partial reconfiguration raw binary file (.rbf) generation due to partial reconfiguration bitstream encryption is enabled./WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY()
{
    static constexpr MESSAGE_DEF def{22083, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "Skipped partial reconfiguration raw binary file (.rbf) generation due to Zorvane key file is specified./WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_PR_SKIP_BASE_CHECK(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{18573, MSG_POST_TYPE_WARNING, 1,
        "Partial reconfiguration region verification will be skipped for %1!s! partition by user request/WASM_ASM_PR_SKIP_BASE_CHECK"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION()
{
    static constexpr MESSAGE_DEF def{19762, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The SEU fault injection is allowed but SEU error detection is not enabled/WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING()
{
    static constexpr MESSAGE_DEF def{19763, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The SEU internal scrubbing is enabled but SEU error detection is not enabled/WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_SIGNED_WITH_HPS_DAP()
{
    static constexpr MESSAGE_DEF def{20444, MSG_POST_TYPE_WARNING, 1,
        "This design is signed, and the HPS Debug Access Port (DAP) has been enabled. No integrity claim could be made with HPS DAP enabled. After usage, this generated bitstream should be properly disposed and preferably, its signing key should be cancelled to guarantee no open access for the silicon. The options to enable HPS DAP will have different behavior in future releases./WASM_ASM_SIGNED_WITH_HPS_DAP"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING()
{
    static constexpr MESSAGE_DEF def{19238, MSG_POST_TYPE_WARNING, 1,
        "Incomplete power management settings for a VID device. As a result, the tool may not generate device bitstream./WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING"};
    return build_message(def);
}

MSG_BASE* msg_WASM_ASM_VID_MISSING_PWMGT_SETTING(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{19239, MSG_POST_TYPE_WARNING, 1,
        "Missing required setting \"%1!s!\"/WASM_ASM_VID_MISSING_PWMGT_SETTING"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{22302, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The configuration scheme is not set, it will be set to %1!s! for this device. /WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME"};
    return build_message(def, arg1.c_str());
}

MSG_BASE* msg_WASM_SLD_EMBEDDED_FILE_ERROR(const std::string& arg1)
{
    static constexpr MESSAGE_DEF def{12914, MSG_POST_TYPE_WARNING, NO_LEVEL,
        "The file, %1!s!, is not embedded into sof file as expected.  Some tools, such as Tracewell, may not function fully./WASM_SLD_EMBEDDED_FILE_ERROR"};
    return build_message(def, arg1.c_str());
}

// Parallel tables: asm_registered_message_kinds[i] is the kind of
// asm_registered_message_ids[i].
const unsigned asm_registered_message_ids[] = {
    12914,  // WASM_SLD_EMBEDDED_FILE_ERROR
    18542,  // EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT
    18543,  // EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT
    18573,  // WASM_ASM_PR_SKIP_BASE_CHECK
    19238,  // WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING
    19239,  // WASM_ASM_VID_MISSING_PWMGT_SETTING
    19761,  // EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS
    19762,  // WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION
    19763,  // WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING
    19989,  // EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR
    20318,  // WASM_ASM_MISSING_PRPOF_ID
    20376,  // IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION
    20393,  // EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION
    20444,  // WASM_ASM_SIGNED_WITH_HPS_DAP
    20459,  // EASM_ASM_ENCRYPTION_NOT_SUPPORTED
    20536,  // WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED
    20553,  // IASM_ASM_REPORT_HASH
    20588,  // EASM_ASM_OPTION2_MISSING_ZKY_FILE
    20589,  // EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION
    20812,  // EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC
    20813,  // EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG
    20814,  // EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES
    20815,  // EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM
    20818,  // EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE
    20834,  // EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE
    20835,  // IASM_ASM_OPTION2_DESIGN_IS_CVP_READY
    20840,  // EASM_ASM_OPTION2_INVALID_TAMPER_VALUE
    20961,  // WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN
    20975,  // EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY
    21654,  // EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED
    21737,  // EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE
    21836,  // WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE
    21985,  // WASM_ASM_PR_POF_ID_DISABLED
    22083,  // WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY
    22085,  // WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION
    22124,  // EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE
    22140,  // EASM_ASM_CVP_INVALID_ERROR
    22183,  // EASM_ASM_FAIL_TO_OPEN_FILE
    22185,  // WASM_ASM_OPTION2_RESTRICTED_ZSF
    22207,  // EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR
    22209,  // EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL
    22258,  // EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME
    22288,  // EASM_ASM_UNSUPPORTED_CLOCK_SOURCE
    22302,  // WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME
    22305,  // EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS
    22361,  // WASM_ASM_OPTION2_DESIGN_CVP_ENABLE
    22369,  // EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY
    22371,  // EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME
    22381,  // EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT
    22432,  // EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED
    22433,  // EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP
    22509,  // WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE
    22510,  // EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION
    22511,  // EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION
    22513,  // EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL
    22527,  // IASM_SUCCESSFULL_CALLING_SUBPROCESS
    22528,  // EASM_UNSUCCESSFULL_CALLING_SUBPROCESS
    22539,  // EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE
    22647,  // EASM_INVALID_VOLTAGE_OUTPUT_FORMAT
    22673,  // EASM_INVALID_PFG_COMMANDS_PATH
    22683,  // EASM_FILE_OPEN_FAILURE
    22697,  // EASM_ASM_MISMATCH_FIT_ASSIGNMENT
    22717,  // EASM_ASM_OPTION_SECU_VID_PART_ERROR
    22721,  // EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT
    22751,  // EASM_INVALID_HPS_SETTINGS
    22930,  // EASM_ASM_INVALID_VOUT_RANGE
    23209,  // IASM_ASM_OPTION2_CVP_ENABLE_INFO
    23252,  // EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY
    23400,  // EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN
    23409,  // EASM_ASM_INVALID_TEMPERATURE_RANGE
    23657,  // EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE
    24073,  // EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT
    24084,  // WASM_ASM_MISMATCH_ASSIGNMENT
    24298,  // WASM_ASM_ENABLED_PMF_DIAGNOSTIC
    24380,  // IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS
    24392,  // WASM_ASM_LTM_MISSING_CB_IP
    115013,  // EASM_ASM_ASSIGNMENTS_FILE_ERROR
    16254,
    16255,
    16256,
    16257,
    20922,
    22426,
    22427,
    22541,
    115008,
    115023,
    115024,
    115025,
    115028,
    115033,
    10927,
    13195,
    14563,
    14564,
    22268,
    22543,
    115009,
    115010,
    115012,
    115019,
    115022,
    115026,
    115027,
    115029,
    115035,
    115011,
    115014,
    115020,
    115021,
    115030,
    115031,
    115034,
};

const MSG_POST_TYPE asm_registered_message_kinds[] = {
    MSG_POST_TYPE_WARNING,  // WASM_SLD_EMBEDDED_FILE_ERROR
    MSG_POST_TYPE_ERROR,  // EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT
    MSG_POST_TYPE_ERROR,  // EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT
    MSG_POST_TYPE_WARNING,  // WASM_ASM_PR_SKIP_BASE_CHECK
    MSG_POST_TYPE_WARNING,  // WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING
    MSG_POST_TYPE_WARNING,  // WASM_ASM_VID_MISSING_PWMGT_SETTING
    MSG_POST_TYPE_ERROR,  // EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS
    MSG_POST_TYPE_WARNING,  // WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION
    MSG_POST_TYPE_WARNING,  // WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING
    MSG_POST_TYPE_ERROR,  // EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR
    MSG_POST_TYPE_WARNING,  // WASM_ASM_MISSING_PRPOF_ID
    MSG_POST_TYPE_INFO,  // IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION
    MSG_POST_TYPE_ERROR,  // EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION
    MSG_POST_TYPE_WARNING,  // WASM_ASM_SIGNED_WITH_HPS_DAP
    MSG_POST_TYPE_ERROR,  // EASM_ASM_ENCRYPTION_NOT_SUPPORTED
    MSG_POST_TYPE_WARNING,  // WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED
    MSG_POST_TYPE_INFO,  // IASM_ASM_REPORT_HASH
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_MISSING_ZKY_FILE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE
    MSG_POST_TYPE_INFO,  // IASM_ASM_OPTION2_DESIGN_IS_CVP_READY
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_TAMPER_VALUE
    MSG_POST_TYPE_WARNING,  // WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE
    MSG_POST_TYPE_WARNING,  // WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE
    MSG_POST_TYPE_WARNING,  // WASM_ASM_PR_POF_ID_DISABLED
    MSG_POST_TYPE_WARNING,  // WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY
    MSG_POST_TYPE_WARNING,  // WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_CVP_INVALID_ERROR
    MSG_POST_TYPE_ERROR,  // EASM_ASM_FAIL_TO_OPEN_FILE
    MSG_POST_TYPE_WARNING,  // WASM_ASM_OPTION2_RESTRICTED_ZSF
    MSG_POST_TYPE_ERROR,  // EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL
    MSG_POST_TYPE_ERROR,  // EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME
    MSG_POST_TYPE_ERROR,  // EASM_ASM_UNSUPPORTED_CLOCK_SOURCE
    MSG_POST_TYPE_WARNING,  // WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS
    MSG_POST_TYPE_WARNING,  // WASM_ASM_OPTION2_DESIGN_CVP_ENABLE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME
    MSG_POST_TYPE_ERROR,  // EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP
    MSG_POST_TYPE_WARNING,  // WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL
    MSG_POST_TYPE_INFO,  // IASM_SUCCESSFULL_CALLING_SUBPROCESS
    MSG_POST_TYPE_ERROR,  // EASM_UNSUCCESSFULL_CALLING_SUBPROCESS
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE
    MSG_POST_TYPE_ERROR,  // EASM_INVALID_VOLTAGE_OUTPUT_FORMAT
    MSG_POST_TYPE_ERROR,  // EASM_INVALID_PFG_COMMANDS_PATH
    MSG_POST_TYPE_ERROR,  // EASM_FILE_OPEN_FAILURE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_MISMATCH_FIT_ASSIGNMENT
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION_SECU_VID_PART_ERROR
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT
    MSG_POST_TYPE_ERROR,  // EASM_INVALID_HPS_SETTINGS
    MSG_POST_TYPE_ERROR,  // EASM_ASM_INVALID_VOUT_RANGE
    MSG_POST_TYPE_INFO,  // IASM_ASM_OPTION2_CVP_ENABLE_INFO
    MSG_POST_TYPE_ERROR,  // EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY
    MSG_POST_TYPE_ERROR,  // EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN
    MSG_POST_TYPE_ERROR,  // EASM_ASM_INVALID_TEMPERATURE_RANGE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE
    MSG_POST_TYPE_ERROR,  // EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT
    MSG_POST_TYPE_WARNING,  // WASM_ASM_MISMATCH_ASSIGNMENT
    MSG_POST_TYPE_WARNING,  // WASM_ASM_ENABLED_PMF_DIAGNOSTIC
    MSG_POST_TYPE_INFO,  // IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS
    MSG_POST_TYPE_WARNING,  // WASM_ASM_LTM_MISSING_CB_IP
    MSG_POST_TYPE_ERROR,  // EASM_ASM_ASSIGNMENTS_FILE_ERROR
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_ERROR,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_WARNING,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
    MSG_POST_TYPE_INFO,
};

const size_t asm_registered_message_count = sizeof(asm_registered_message_ids) / sizeof(asm_registered_message_ids[0]);
static_assert(sizeof(asm_registered_message_ids) / sizeof(asm_registered_message_ids[0]) ==
                  sizeof(asm_registered_message_kinds) / sizeof(asm_registered_message_kinds[0]),
              "the registration tables are parallel");
