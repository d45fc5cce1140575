#include "asm_messages.h"

#include <msg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{

constexpr int NO_LEVEL = MSG_BASE::DEFAULT_SEVERITY_LEVEL;
constexpr MSG_POST_TYPE E = MSG_POST_TYPE_ERROR;
constexpr MSG_POST_TYPE W = MSG_POST_TYPE_WARNING;
constexpr MSG_POST_TYPE I = MSG_POST_TYPE_INFO;

// Sample arguments: each one distinct, so that its place in the text shows
// which parameter filled which placeholder.
std::string S(int n) { return "<arg" + std::to_string(n) + ">"; }
int N(int n) { return n % 2 ? n * 1001 : -n * 1001; }

std::string as_text(const std::string& s) { return s; }
std::string as_text(int n) { return std::to_string(n); }

template <typename... Args>
std::vector<std::string> texts(const Args&... args)
{
    return {as_text(args)...};
}

struct FACTORY_CASE
{
    const char* name;
    unsigned id;
    MSG_POST_TYPE kind;
    int level;
    std::vector<std::string> arguments;  // in parameter order
    std::function<MSG_BASE*()> make;
};

#define CASE(NAME, ID, KIND, LEVEL, ...) \
    FACTORY_CASE { #NAME, ID, KIND, LEVEL, texts(__VA_ARGS__), [] { return msg_##NAME(__VA_ARGS__); } }

// Every factory of the catalogue: id, kind, the level it sets (NO_LEVEL for
// none) and its parameters in placeholder-number order.
const std::vector<FACTORY_CASE>& factory_cases()
{
    static const std::vector<FACTORY_CASE> cases = {
        CASE(EASM_ASM_ASSIGNMENTS_FILE_ERROR, 115013, E, 0, S(1), N(2), S(3), N(4)),
        CASE(EASM_ASM_CVP_INVALID_ERROR, 22140, E, NO_LEVEL, S(1)),
        CASE(WASM_ASM_ENABLED_PMF_DIAGNOSTIC, 24298, W, NO_LEVEL),
        CASE(EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION, 20393, E, NO_LEVEL),
        CASE(EASM_ASM_ENCRYPTION_NOT_SUPPORTED, 20459, E, NO_LEVEL),
        CASE(EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT, 22381, E, NO_LEVEL),
        CASE(EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY, 23252, E, NO_LEVEL, S(1), S(2)),
        CASE(EASM_ASM_FAIL_TO_OPEN_FILE, 22183, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE, 23657, E, NO_LEVEL),
        CASE(EASM_ASM_INVALID_TEMPERATURE_RANGE, 23409, E, NO_LEVEL),
        CASE(EASM_ASM_INVALID_VOUT_RANGE, 22930, E, NO_LEVEL),
        CASE(WASM_ASM_LTM_MISSING_CB_IP, 24392, W, 1),
        CASE(WASM_ASM_MISMATCH_ASSIGNMENT, 24084, W, NO_LEVEL, S(1), S(2), S(3)),
        CASE(EASM_ASM_MISMATCH_FIT_ASSIGNMENT, 22697, E, NO_LEVEL, S(1), S(2), S(3)),
        CASE(WASM_ASM_MISSING_PRPOF_ID, 20318, W, 1, S(1)),
        CASE(IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS, 24380, I, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP, 22433, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION, 22510, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION, 22511, E, NO_LEVEL),
        CASE(IASM_ASM_OPTION2_CVP_ENABLE_INFO, 23209, I, NO_LEVEL),
        CASE(WASM_ASM_OPTION2_DESIGN_CVP_ENABLE, 22361, W, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY, 22369, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME, 22371, E, NO_LEVEL),
        CASE(IASM_ASM_OPTION2_DESIGN_IS_CVP_READY, 20835, I, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE, 20834, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL, 22209, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION, 20589, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE, 22124, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM, 20815, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES, 20814, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG, 20813, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY, 20975, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE, 20818, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC, 20812, E, NO_LEVEL),
        CASE(WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE, 21836, W, NO_LEVEL, N(1)),
        CASE(EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS, 22305, E, NO_LEVEL, S(1), S(2)),
        CASE(EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT, 24073, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE, 21737, E, NO_LEVEL, N(1), N(2)),
        CASE(EASM_ASM_OPTION2_INVALID_TAMPER_VALUE, 20840, E, NO_LEVEL, N(1), S(2)),
        CASE(WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN, 20961, W, NO_LEVEL, N(1)),
        CASE(EASM_ASM_OPTION2_MISSING_ZKY_FILE, 20588, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED, 22432, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED, 21654, E, NO_LEVEL),
        CASE(WASM_ASM_OPTION2_RESTRICTED_ZSF, 22185, W, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT, 22721, E, NO_LEVEL),
        CASE(EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL, 22513, E, NO_LEVEL, S(1), S(2)),
        CASE(WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE, 22509, W, NO_LEVEL),
        CASE(EASM_ASM_OPTION_SECU_VID_PART_ERROR, 22717, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE, 22539, E, NO_LEVEL),
        CASE(WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED, 20536, W, NO_LEVEL, S(1)),
        CASE(EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT, 18542, E, NO_LEVEL, S(1)),
        CASE(EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT, 18543, E, NO_LEVEL, S(1)),
        CASE(WASM_ASM_PR_POF_ID_DISABLED, 21985, W, NO_LEVEL),
        CASE(WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION, 22085, W, NO_LEVEL),
        CASE(WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY, 22083, W, NO_LEVEL),
        CASE(WASM_ASM_PR_SKIP_BASE_CHECK, 18573, W, 1, S(1)),
        CASE(IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION, 20376, I, NO_LEVEL),
        CASE(IASM_ASM_REPORT_HASH, 20553, I, NO_LEVEL, S(1), S(2)),
        CASE(EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR, 19989, E, NO_LEVEL, N(1), S(2), S(3)),
        CASE(EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR, 22207, E, NO_LEVEL, S(1), N(2)),
        CASE(EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN, 23400, E, NO_LEVEL),
        CASE(WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION, 19762, W, NO_LEVEL),
        CASE(WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING, 19763, W, NO_LEVEL),
        CASE(EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS, 19761, E, NO_LEVEL),
        CASE(WASM_ASM_SIGNED_WITH_HPS_DAP, 20444, W, 1),
        CASE(EASM_ASM_UNSUPPORTED_CLOCK_SOURCE, 22288, E, NO_LEVEL, S(1), S(2)),
        CASE(EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME, 22258, E, NO_LEVEL, S(1), S(2)),
        CASE(WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING, 19238, W, 1),
        CASE(WASM_ASM_VID_MISSING_PWMGT_SETTING, 19239, W, 1, S(1)),
        CASE(WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME, 22302, W, NO_LEVEL, S(1)),
        CASE(EASM_FILE_OPEN_FAILURE, 22683, E, NO_LEVEL, S(1), S(2), S(3)),
        CASE(EASM_INVALID_HPS_SETTINGS, 22751, E, NO_LEVEL),
        CASE(EASM_INVALID_PFG_COMMANDS_PATH, 22673, E, NO_LEVEL, S(1)),
        CASE(EASM_INVALID_VOLTAGE_OUTPUT_FORMAT, 22647, E, NO_LEVEL, S(1)),
        CASE(WASM_SLD_EMBEDDED_FILE_ERROR, 12914, W, NO_LEVEL, S(1)),
        CASE(IASM_SUCCESSFULL_CALLING_SUBPROCESS, 22527, I, NO_LEVEL, S(1)),
        CASE(EASM_UNSUCCESSFULL_CALLING_SUBPROCESS, 22528, E, NO_LEVEL, S(1)),
    };
    return cases;
}

std::unique_ptr<MSG_BASE> make(const FACTORY_CASE& c) { return std::unique_ptr<MSG_BASE>(c.make()); }

// The ids registered without a factory.
const std::vector<unsigned> unnamed_errors = {16254,  16255,  16256,  16257,  20922,  22426,  22427,
                                              22541,  115008, 115023, 115024, 115025, 115028, 115033};
const std::vector<unsigned> unnamed_warnings = {10927,  13195,  14563,  14564,  22268,  22543,  115009, 115010,
                                                115012, 115019, 115022, 115026, 115027, 115029, 115035};
const std::vector<unsigned> unnamed_infos = {115011, 115014, 115020, 115021, 115030, 115031, 115034};

std::map<unsigned, MSG_POST_TYPE> registration_table()
{
    std::map<unsigned, MSG_POST_TYPE> table;
    for (size_t i = 0; i < asm_registered_message_count; ++i)
        table[asm_registered_message_ids[i]] = asm_registered_message_kinds[i];
    return table;
}

class MessageCatalogue : public testing::Test
{
protected:
    void SetUp() override { msg_reset(); }
    void TearDown() override { msg_reset(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Registration table

TEST_F(MessageCatalogue, RegistersOneHundredThirteenDistinctIds)
{
    ASSERT_EQ(asm_registered_message_count, 113u);
    EXPECT_EQ(registration_table().size(), 113u) << "an id is registered twice";
    size_t errors = 0, infos = 0, warnings = 0;
    for (size_t i = 0; i < asm_registered_message_count; ++i)
    {
        switch (asm_registered_message_kinds[i])
        {
        case MSG_POST_TYPE_ERROR:
            ++errors;
            break;
        case MSG_POST_TYPE_INFO:
            ++infos;
            break;
        case MSG_POST_TYPE_WARNING:
            ++warnings;
            break;
        }
    }
    EXPECT_EQ(errors, 64u);
    EXPECT_EQ(infos, 13u);
    EXPECT_EQ(warnings, 36u);
}

TEST_F(MessageCatalogue, EveryFactoryIdIsRegisteredWithItsKind)
{
    const auto table = registration_table();
    for (const FACTORY_CASE& c : factory_cases())
    {
        auto it = table.find(c.id);
        ASSERT_NE(it, table.end()) << c.name;
        EXPECT_EQ(it->second, c.kind) << c.name;
    }
}

TEST_F(MessageCatalogue, IdsWithoutFactoryAreRegisteredWithTheirKinds)
{
    const auto table = registration_table();
    std::set<unsigned> factory_ids;
    for (const FACTORY_CASE& c : factory_cases())
        factory_ids.insert(c.id);
    for (const auto& group : {std::make_pair(&unnamed_errors, E), std::make_pair(&unnamed_warnings, W),
                              std::make_pair(&unnamed_infos, I)})
    {
        for (unsigned id : *group.first)
        {
            auto it = table.find(id);
            ASSERT_NE(it, table.end()) << id;
            EXPECT_EQ(it->second, group.second) << id;
            EXPECT_EQ(factory_ids.count(id), 0u) << id;
        }
    }
    EXPECT_EQ(factory_ids.size() + unnamed_errors.size() + unnamed_warnings.size() + unnamed_infos.size(), 113u);
}

TEST_F(MessageCatalogue, RegistrarMakesTheTableKnownToTheLibrary)
{
    {
        MSG_ID_REGISTRAR registrar(asm_registered_message_ids, asm_registered_message_kinds,
                                   asm_registered_message_count);
        EXPECT_EQ(msg_registered_id_count(), 113u);
        MSG_POST_TYPE kind;
        ASSERT_TRUE(msg_is_registered_id(115013, &kind));
        EXPECT_EQ(kind, MSG_POST_TYPE_ERROR);
        ASSERT_TRUE(msg_is_registered_id(115034, &kind));
        EXPECT_EQ(kind, MSG_POST_TYPE_INFO);
        ASSERT_TRUE(msg_is_registered_id(12914, &kind));
        EXPECT_EQ(kind, MSG_POST_TYPE_WARNING);
    }
    // The module's own load-time registration still holds every id.
    EXPECT_EQ(msg_registered_id_count(), 113u);
    EXPECT_TRUE(msg_is_registered_id(115013));
}

// ---------------------------------------------------------------------------
// Factories

TEST_F(MessageCatalogue, SeventySevenFactoriesWithDistinctIdsAndNames)
{
    ASSERT_EQ(factory_cases().size(), 77u);
    std::set<unsigned> ids;
    std::set<std::string> names;
    size_t errors = 0, warnings = 0, infos = 0;
    for (const FACTORY_CASE& c : factory_cases())
    {
        auto message = make(c);
        ids.insert(message->id());
        names.insert(message->id_name());
        errors += message->kind() == E;
        warnings += message->kind() == W;
        infos += message->kind() == I;
    }
    EXPECT_EQ(ids.size(), 77u);
    EXPECT_EQ(names.size(), 77u);
    EXPECT_EQ(errors, 50u);
    EXPECT_EQ(warnings, 21u);
    EXPECT_EQ(infos, 6u);
}

TEST_F(MessageCatalogue, EachFactoryBuildsItsKindIdNameAndLevel)
{
    for (const FACTORY_CASE& c : factory_cases())
    {
        SCOPED_TRACE(c.name);
        auto message = make(c);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->kind(), c.kind);
        EXPECT_EQ(message->id(), c.id);
        EXPECT_EQ(message->id_name(), c.name);
        EXPECT_EQ(message->severity_level(), c.level);
        EXPECT_FALSE(message->is_silent());
        EXPECT_EQ(message->report(), nullptr);
        // The id name tells the kind.
        const char prefix = message->kind() == E ? 'E' : message->kind() == W ? 'W' : 'I';
        EXPECT_EQ(message->id_name().substr(0, 4), std::string(1, prefix) + "ASM");
    }
}

TEST_F(MessageCatalogue, SevenFactoriesSetALevel)
{
    std::map<std::string, int> levels;
    for (const FACTORY_CASE& c : factory_cases())
    {
        auto message = make(c);
        if (message->severity_level() != NO_LEVEL)
            levels[c.name] = message->severity_level();
    }
    const std::map<std::string, int> expected = {
        {"EASM_ASM_ASSIGNMENTS_FILE_ERROR", 0},  {"WASM_ASM_LTM_MISSING_CB_IP", 1},
        {"WASM_ASM_MISSING_PRPOF_ID", 1},        {"WASM_ASM_PR_SKIP_BASE_CHECK", 1},
        {"WASM_ASM_SIGNED_WITH_HPS_DAP", 1},     {"WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING", 1},
        {"WASM_ASM_VID_MISSING_PWMGT_SETTING", 1},
    };
    EXPECT_EQ(levels, expected);
}

TEST_F(MessageCatalogue, EveryArgumentFillsItsPlaceholder)
{
    for (const FACTORY_CASE& c : factory_cases())
    {
        SCOPED_TRACE(c.name);
        auto message = make(c);
        const std::string& text = message->text();
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find("!s!"), std::string::npos);
        EXPECT_EQ(text.find("!d!"), std::string::npos);
        EXPECT_EQ(text.find('/'), std::string::npos) << "the id name leaked into the text";
        for (const std::string& argument : c.arguments)
            EXPECT_NE(text.find(argument), std::string::npos) << argument;
    }
}

TEST_F(MessageCatalogue, EveryCallBuildsANewObject)
{
    auto first = std::unique_ptr<MSG_BASE>(msg_IASM_ASM_REPORT_HASH("CRAM", "00"));
    auto second = std::unique_ptr<MSG_BASE>(msg_IASM_ASM_REPORT_HASH("CvP", "11"));
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(first->text(), "Using CRAM Hash 00");
    EXPECT_EQ(second->text(), "Using CvP Hash 11");
}

// ---------------------------------------------------------------------------
// Suppressed messages

TEST_F(MessageCatalogue, SuppressedWarningsAndInfosComeBackSilent)
{
    for (const FACTORY_CASE& c : factory_cases())
        MSG_INDEX::get_default_index()->suppress(c.id);
    for (const FACTORY_CASE& c : factory_cases())
    {
        SCOPED_TRACE(c.name);
        auto message = make(c);
        if (c.kind == E)
        {
            // Errors never ask the index.
            EXPECT_FALSE(message->is_silent());
            EXPECT_EQ(message->id(), c.id);
            EXPECT_FALSE(message->text().empty());
            EXPECT_EQ(message->severity_level(), c.level);
            continue;
        }
        EXPECT_TRUE(message->is_silent());
        EXPECT_EQ(message->kind(), c.kind);
        EXPECT_EQ(message->id(), 0u);
        EXPECT_EQ(message->text(), "");
        EXPECT_EQ(message->id_name(), "");
        EXPECT_EQ(message->severity_level(), NO_LEVEL);
    }
}

TEST_F(MessageCatalogue, SuppressionIsPerId)
{
    MSG_INDEX::get_default_index()->suppress(22085);  // WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION
    auto silent = std::unique_ptr<MSG_BASE>(msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION());
    auto loud = std::unique_ptr<MSG_BASE>(msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY());
    EXPECT_TRUE(silent->is_silent());
    EXPECT_FALSE(loud->is_silent());
    EXPECT_EQ(loud->id(), 22083u);
}

TEST_F(MessageCatalogue, SilentMessagePostsNothingVisible)
{
    MSG_INDEX::get_default_index()->suppress(20553);
    MSG_BASE* message = msg_IASM_ASM_REPORT_HASH("CRAM", "ab");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(message->post());
    delete message;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_TRUE(MSG_REPORT::active().messages()[0].silent);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id, 0u);
}

// ---------------------------------------------------------------------------
// Placeholder order and exact texts

namespace
{

std::string text_of(MSG_BASE* raw)
{
    std::unique_ptr<MSG_BASE> message(raw);
    return message->text();
}

// The catalogue's texts with their placeholders, character for character.
const std::map<std::string, std::string>& catalogue_texts()
{
    static const std::map<std::string, std::string> texts = {
        {"EASM_ASM_ASSIGNMENTS_FILE_ERROR",
         "Assembler Options File \"%1!s!\", line %2!d!, column %4!d!: %3!s!"},
        {"EASM_ASM_CVP_INVALID_ERROR",
         "Invalid CVP Error: %1!s!"},
        {"WASM_ASM_ENABLED_PMF_DIAGNOSTIC",
         "The Diagnostic Boot feature has been enabled in the power management dialog, additional check will "
         "be performed on the Voltage Regulator. Enabling this feature will increase configuration time and "
         "should only be used during board bring-up operations."},
        {"EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION",
         "The design has enabled authentication. It must also have ENABLE_PR_POF_ID option ON."},
        {"EASM_ASM_ENCRYPTION_NOT_SUPPORTED",
         "The bitstream encryption is not supported on current device"},
        {"EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT",
         "Multi authority must not be enabled with Partial Reconfiguration encryption enabled."},
        {"EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY",
         "PCIE Topology %1!s! cannot be used when CVP is enabled in %2!s! Sorrel Streaming Movar FPGA IP for "
         "PCI Express."},
        {"EASM_ASM_FAIL_TO_OPEN_FILE",
         "Error: Failed to open file %1!s!"},
        {"EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE",
         "Anti-tamper feature and external voltage reference is enabled together."},
        {"EASM_ASM_INVALID_TEMPERATURE_RANGE",
         "Threshold temperature value out of range."},
        {"EASM_ASM_INVALID_VOUT_RANGE",
         "The output voltage computed is out of range. The output voltage should be within 0 and 0xFFFF. "
         "Adjust the power management coefficients values that correspond to the selected voltage output "
         "format."},
        {"WASM_ASM_LTM_MISSING_CB_IP",
         "Use the Configuration Block IP in Movar Torvin 3 FPGA designs to ensure a successful configuration. "
         "For more information about the Configuration Block IP, refer to the Movar Torvin 3 Configuration "
         "User Guide."},
        {"WASM_ASM_MISMATCH_ASSIGNMENT",
         "Assignment setting for %1!s! (%3!s!) found in assembler does not match the setting found in fitter "
         "(%2!s!). Rerun fitter stage."},
        {"EASM_ASM_MISMATCH_FIT_ASSIGNMENT",
         "Assignment setting for %1!s! (%3!s!) found in assembler does not match the setting found in fitter "
         "(%2!s!). Rerun fitter stage."},
        {"WASM_ASM_MISSING_PRPOF_ID",
         "Missing PR POF ID for partition %1!s!"},
        {"IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS",
         "The ENABLE_OWNERSHIP_TRANSFER option is enabled and hence %1!s! option is disabled."},
        {"EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP",
         "To use anti-tamper device self-kill for %1!s!, anti-tamper IP must be present in the design. "},
        {"EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION",
         "This design has enabled anti-tamper. You must also enable authentication by specifying a valid ZKY "
         "file."},
        {"EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION",
         "This design has enabled attestation commands. You must also enable authentication by specifying a "
         "valid ZKY file."},
        {"IASM_ASM_OPTION2_CVP_ENABLE_INFO",
         "Design contains configuration via protocol (CvP) capable IP. However. it is not enabled. Enable the "
         "CvP Settings section of the Device and Pin Options dialog box."},
        {"WASM_ASM_OPTION2_DESIGN_CVP_ENABLE",
         "The CVP mode in the Device and Pin Options dialog box was enabled using the INI variable "
         "enable_design_cvp."},
        {"EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY",
         "The CVP mode in Device and Pins Options dialog box was enabled using zsf assignment, but the SRST "
         "X8 configuration scheme is unsupported."},
        {"EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME",
         "The CVP mode in Device and Pins Options dialog box has been enabled using ini variable "
         "enable_design_cvp, but the configuration scheme used is unsupported."},
        {"IASM_ASM_OPTION2_DESIGN_IS_CVP_READY",
         "Design is ready for CvP."},
        {"EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE",
         "When you enable the CvP setting, you must make sure design is CvP capable."},
        {"EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL",
         "Encryption key storage location is not consistent across all revisions."},
        {"EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION",
         "This design has enabled programming bitstream encryption. You must also enable authentication by "
         "specifying a valid ZKY file"},
        {"EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE",
         "CVP must not be enabled on a non CVP supported tile slot."},
        {"EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM",
         "When you disable Battery Backup RAM for encryption key storage, you must specify the eFuses or PUF "
         "option for the Encryption Key Select."},
        {"EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES",
         "When you disable eFuses for encryption storage, you must specify Battery Backup RAM or PUF option "
         "for the Encryption Key Select."},
        {"EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG",
         "To disable HPS debug, you must disable the HPS debug access port (DAP)."},
        {"EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY",
         "When you disable PUF wrapped encryption key, you must specify the Battery Backup RAM or eFuses "
         "option for the Encryption Key Select."},
        {"EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE",
         "When you force encryption key update, you must specify the Encryption Update Ratio."},
        {"EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC",
         "To force an SDM clock to the Internal Oscillator, you must specify the Internal Oscillator as "
         "configuration clock source"},
        {"WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE",
         "PAGE command payload value %1!d! is out of range 0 - 255."},
        {"EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS",
         "The address set for %2!s! slave device %1!s! is invalid. The address set should be 00."},
        {"EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT",
         "The default value assigned for assignment (%1!s!) in ZDF file is not supported. Follow 7-bit PMBus "
         "target device addressing and should be up to 2 digits hexadecimal only."},
        {"EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE",
         "Temperature upper bound value %1!d! must not be lower than lower bound value %2!d!."},
        {"EASM_ASM_OPTION2_INVALID_TAMPER_VALUE",
         "An illegal value %1!d! is specified for %2!s! tamper detection."},
        {"WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN",
         "The value %1!d! specified in the PWRMGT_ADV_VOUT_READING_ERR_MARGIN assignment. The recommended "
         "value range is between 0 and 8"},
        {"EASM_ASM_OPTION2_MISSING_ZKY_FILE",
         "The specified file \"%1!s!\" for programming bitstream authentication cannot be located."},
        {"EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED",
         "Cannot enable anti tamper detection if clock source OSC_CLK_1 is used and run configuration from "
         "internal oscillator is not enabled. "},
        {"EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED",
         "Cannot enable frequency tamper detection if OSC_CLK_1 is used as the configuration CPU clock "
         "source. "},
        {"WASM_ASM_OPTION2_RESTRICTED_ZSF",
         "The assignment %1!s! should not be modified. Remove the assignment from the ZSF file. "},
        {"EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT",
         "CRL distribution point in attestation must contain a valid HTTPS URL."},
        {"EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL",
         "To use anti-tamper device self-kill for %1!s!, %2!s! tamper detection must be enabled."},
        {"WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE",
         "Anti-tamper response is disabled. ZSF settings related to anti-tamper will be disabled in the SOF."},
        {"EASM_ASM_OPTION_SECU_VID_PART_ERROR",
         "Security feature %1!s! is not supported on VID device. Choose a non-VID device that supports the "
         "feature or disable it."},
        {"EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE",
         "Voltage tamper detection trigger is outside of the required 15% -100% range."},
        {"WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED",
         "Programming file generation feature has been removed from the compilation flow and the "
         "corresponding legacy settings in the Movar Zorvane Setting File (.zsf) have been ignored: %1!s!. "
         "Use Programmer File Generator or Convert Programming File tool to generate a programming file."},
        {"EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT",
         "The base revision MSF file must be specified for preserved partial reconfiguration partition %1!s!"},
        {"EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT",
         "The base revision SOF file must be specified for preserved logic %1!s! in partial reconfiguration "
         "design"},
        {"WASM_ASM_PR_POF_ID_DISABLED",
         "ENABLE_PR_POF_ID is set to 'OFF'. Bitstream verification will be disabled."},
        {"WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION",
         "Skipped partial reconfiguration raw binary file (.rbf) generation due to partial reconfiguration "
         "bitstream encryption is enabled."},
        {"WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY",
         "Skipped partial reconfiguration raw binary file (.rbf) generation due to Zorvane key file is "
         "specified."},
        {"WASM_ASM_PR_SKIP_BASE_CHECK",
         "Partial reconfiguration region verification will be skipped for %1!s! partition by user request"},
        {"IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION",
         "This design has enabled bitstream verification. To generate programming file from partially-masked "
         "SRAM Object (.pmsf) file for a PR region use the Zorvane Programmer, and include the region "
         "verification (.smsf) file from base compile."},
        {"IASM_ASM_REPORT_HASH",
         "Using %1!s! Hash %2!s!"},
        {"EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR",
         "SDM_IO %1!d! has conflicting assignments of %2!s! and %3!s!"},
        {"EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR",
         "The configuration pin assignment %1!s! has invalid value %2!d!."},
        {"EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN",
         "Design has partial reconfiguration partitions enabled and external scrubbing options is also "
         "enabled."},
        {"WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION",
         "The SEU fault injection is allowed but SEU error detection is not enabled"},
        {"WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING",
         "The SEU internal scrubbing is enabled but SEU error detection is not enabled"},
        {"EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS",
         "The SEU_ERROR output status is monitored but SEU error detection is not enabled"},
        {"WASM_ASM_SIGNED_WITH_HPS_DAP",
         "This design is signed, and the HPS Debug Access Port (DAP) has been enabled. No integrity claim "
         "could be made with HPS DAP enabled. After usage, this generated bitstream should be properly "
         "disposed and preferably, its signing key should be cancelled to guarantee no open access for the "
         "silicon. The options to enable HPS DAP will have different behavior in future releases."},
        {"EASM_ASM_UNSUPPORTED_CLOCK_SOURCE",
         "The clock source %1!s! is not supported for this device %2!s!."},
        {"EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME",
         "The configuration scheme %1!s! is not supported for this device %2!s!."},
        {"WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING",
         "Incomplete power management settings for a VID device. As a result, the tool may not generate "
         "device bitstream."},
        {"WASM_ASM_VID_MISSING_PWMGT_SETTING",
         "Missing required setting \"%1!s!\""},
        {"WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME",
         "The configuration scheme is not set, it will be set to %1!s! for this device. "},
        {"EASM_FILE_OPEN_FAILURE",
         "Error: Failed to open %1!s! %2!s! for %3!s!. Confirm that you have write permission for this file. "
         "Update the file permissions, if needed."},
        {"EASM_INVALID_HPS_SETTINGS",
         "An HPS file is not provided but the configuration order is set as \"HPS First\""},
        {"EASM_INVALID_PFG_COMMANDS_PATH",
         "pfg_commands.txt is not found under %1!s!, make sure that this is a valid project path or re-edit "
         "commands on \"Programming files\" under \"Settings\" dialogue to update the project path."},
        {"EASM_INVALID_VOLTAGE_OUTPUT_FORMAT",
         "Power management voltage output format %1!s! is not supported for the current device family."},
        {"WASM_SLD_EMBEDDED_FILE_ERROR",
         "The file, %1!s!, is not embedded into sof file as expected.  Some tools, such as Tracewell, may not "
         "function fully."},
        {"IASM_SUCCESSFULL_CALLING_SUBPROCESS",
         "Programming files generation using command %1!s! was successful. Check pfg.log for more info."},
        {"EASM_UNSUCCESSFULL_CALLING_SUBPROCESS",
         "Programming files generation using command %1!s! was unsuccessful. Check pfg.log for more info."},

    };
    return texts;
}

// The text with every %n!s! and %n!d! replaced by the n-th argument.
std::string filled(std::string text, const std::vector<std::string>& arguments)
{
    for (size_t n = 1; n <= arguments.size(); ++n)
    {
        for (const char* type : {"!s!", "!d!"})
        {
            const std::string placeholder = "%" + std::to_string(n) + type;
            for (size_t at = text.find(placeholder); at != std::string::npos;
                 at = text.find(placeholder, at + arguments[n - 1].size()))
                text.replace(at, placeholder.size(), arguments[n - 1]);
        }
    }
    return text;
}

}  // namespace

TEST_F(MessageCatalogue, EveryTextIsExactWithItsArgumentsInPlace)
{
    ASSERT_EQ(catalogue_texts().size(), factory_cases().size());
    for (const FACTORY_CASE& c : factory_cases())
    {
        SCOPED_TRACE(c.name);
        auto text = catalogue_texts().find(c.name);
        ASSERT_NE(text, catalogue_texts().end());
        const std::string expected = filled(text->second, c.arguments);
        // Every placeholder has its argument.
        EXPECT_EQ(expected.find("!s!"), std::string::npos);
        EXPECT_EQ(expected.find("!d!"), std::string::npos);
        EXPECT_EQ(make(c)->text(), expected);
    }
}

TEST_F(MessageCatalogue, AssignmentsFileErrorTakesFileLineMessageColumn)
{
    EXPECT_EQ(text_of(msg_EASM_ASM_ASSIGNMENTS_FILE_ERROR("asm_opts.xml", 12, "element 'bits' is not allowed", 40)),
              "Assembler Options File \"asm_opts.xml\", line 12, column 40: element 'bits' is not allowed");
}

TEST_F(MessageCatalogue, MismatchAssignmentNamesTheAssemblerValueFirst)
{
    const char* expected = "Assignment setting for CONFIG_SCHEME (AVST X16) found in assembler does not match the "
                           "setting found in fitter (AVST X8). Rerun fitter stage.";
    EXPECT_EQ(text_of(msg_WASM_ASM_MISMATCH_ASSIGNMENT("CONFIG_SCHEME", "AVST X8", "AVST X16")), expected);
    EXPECT_EQ(text_of(msg_EASM_ASM_MISMATCH_FIT_ASSIGNMENT("CONFIG_SCHEME", "AVST X8", "AVST X16")), expected);
}

TEST_F(MessageCatalogue, SlaveAddressNamesTheSecondParameterFirst)
{
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS("VR_0", "PMBus")),
              "The address set for PMBus slave device VR_0 is invalid. The address set should be 00.");
}

TEST_F(MessageCatalogue, TrailingBlanksAndDoubleBlanksAreKept)
{
    EXPECT_EQ(text_of(msg_WASM_SLD_EMBEDDED_FILE_ERROR("design.sld")),
              "The file, design.sld, is not embedded into sof file as expected.  Some tools, such as Tracewell, may "
              "not function fully.");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP("voltage")),
              "To use anti-tamper device self-kill for voltage, anti-tamper IP must be present in the design. ");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED()),
              "Cannot enable anti tamper detection if clock source OSC_CLK_1 is used and run configuration from "
              "internal oscillator is not enabled. ");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED()),
              "Cannot enable frequency tamper detection if OSC_CLK_1 is used as the configuration CPU clock source. ");
    EXPECT_EQ(text_of(msg_WASM_ASM_OPTION2_RESTRICTED_ZSF("SDM_PIN_X")),
              "The assignment SDM_PIN_X should not be modified. Remove the assignment from the ZSF file. ");
    EXPECT_EQ(text_of(msg_WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME("AVST X8")),
              "The configuration scheme is not set, it will be set to AVST X8 for this device. ");
}

TEST_F(MessageCatalogue, IntegerArgumentsIncludingNegativeOnes)
{
    EXPECT_EQ(text_of(msg_EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR(11, "CONF_DONE", "INIT_DONE")),
              "SDM_IO 11 has conflicting assignments of CONF_DONE and INIT_DONE");
    EXPECT_EQ(text_of(msg_EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR("SDM_IO5", -3)),
              "The configuration pin assignment SDM_IO5 has invalid value -3.");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE(85, 100)),
              "Temperature upper bound value 85 must not be lower than lower bound value 100.");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_INVALID_TAMPER_VALUE(-7, "temperature")),
              "An illegal value -7 is specified for temperature tamper detection.");
    EXPECT_EQ(text_of(msg_WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE(256)),
              "PAGE command payload value 256 is out of range 0 - 255.");
    EXPECT_EQ(text_of(msg_WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN(9)),
              "The value 9 specified in the PWRMGT_ADV_VOUT_READING_ERR_MARGIN assignment. The recommended value range "
              "is between 0 and 8");
}

TEST_F(MessageCatalogue, TextsWithQuotesPercentSignsAndOddPunctuation)
{
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE()),
              "Voltage tamper detection trigger is outside of the required 15% -100% range.");
    EXPECT_EQ(text_of(msg_EASM_INVALID_HPS_SETTINGS()),
              "An HPS file is not provided but the configuration order is set as \"HPS First\"");
    EXPECT_EQ(text_of(msg_WASM_ASM_VID_MISSING_PWMGT_SETTING("PWRMGT_SLAVE_DEVICE_TYPE")),
              "Missing required setting \"PWRMGT_SLAVE_DEVICE_TYPE\"");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_MISSING_ZKY_FILE("keys/sign.zky")),
              "The specified file \"keys/sign.zky\" for programming bitstream authentication cannot be located.");
    EXPECT_EQ(text_of(msg_WASM_ASM_PR_POF_ID_DISABLED()),
              "ENABLE_PR_POF_ID is set to 'OFF'. Bitstream verification will be disabled.");
    EXPECT_EQ(text_of(msg_IASM_ASM_OPTION2_CVP_ENABLE_INFO()),
              "Design contains configuration via protocol (CvP) capable IP. However. it is not enabled. Enable the CvP "
              "Settings section of the Device and Pin Options dialog box.");
    EXPECT_EQ(text_of(msg_EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION()),
              "This design has enabled programming bitstream encryption. You must also enable authentication by "
              "specifying a valid ZKY file");
    EXPECT_EQ(text_of(msg_EASM_INVALID_PFG_COMMANDS_PATH("/proj")),
              "pfg_commands.txt is not found under /proj, make sure that this is a valid project path or re-edit "
              "commands on \"Programming files\" under \"Settings\" dialogue to update the project path.");
}

TEST_F(MessageCatalogue, TextsOfTheDeviceRunAndTheTools)
{
    EXPECT_EQ(text_of(msg_WASM_ASM_LTM_MISSING_CB_IP()),
              "Use the Configuration Block IP in Movar Torvin 3 FPGA designs to ensure a successful configuration. For "
              "more information about the Configuration Block IP, refer to the Movar Torvin 3 Configuration User "
              "Guide.");
    EXPECT_EQ(text_of(msg_WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED("GENERATE_RBF_FILE")),
              "Programming file generation feature has been removed from the compilation flow and the corresponding "
              "legacy settings in the Movar Zorvane Setting File (.zsf) have been ignored: GENERATE_RBF_FILE. Use "
              "Programmer File Generator or Convert Programming File tool to generate a programming file.");
    EXPECT_EQ(text_of(msg_IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION()),
              "This design has enabled bitstream verification. To generate programming file from partially-masked "
              "SRAM Object (.pmsf) file for a PR region use the Zorvane Programmer, and include the region "
              "verification (.smsf) file from base compile.");
    EXPECT_EQ(text_of(msg_EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT("root|pr0")),
              "The base revision SOF file must be specified for preserved logic root|pr0 in partial reconfiguration "
              "design");
    EXPECT_EQ(text_of(msg_WASM_ASM_PR_SKIP_BASE_CHECK("pr1")),
              "Partial reconfiguration region verification will be skipped for pr1 partition by user request");
    EXPECT_EQ(text_of(msg_IASM_SUCCESSFULL_CALLING_SUBPROCESS("pfg -c x.sof")),
              "Programming files generation using command pfg -c x.sof was successful. Check pfg.log for more info.");
    EXPECT_EQ(text_of(msg_EASM_UNSUCCESSFULL_CALLING_SUBPROCESS("pfg -c x.sof")),
              "Programming files generation using command pfg -c x.sof was unsuccessful. Check pfg.log for more info.");
    EXPECT_EQ(text_of(msg_EASM_FILE_OPEN_FAILURE("HPS", "hps_bootloader_handoff.bin", "writing")),
              "Error: Failed to open HPS hps_bootloader_handoff.bin for writing. Confirm that you have write permission "
              "for this file. Update the file permissions, if needed.");
    EXPECT_EQ(text_of(msg_EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY("x16", "P-Tile")),
              "PCIE Topology x16 cannot be used when CVP is enabled in P-Tile Sorrel Streaming Movar FPGA IP for PCI "
              "Express.");
}

TEST_F(MessageCatalogue, EmptyStringArgumentsLeaveTheirPlaceEmpty)
{
    EXPECT_EQ(text_of(msg_EASM_ASM_CVP_INVALID_ERROR("")), "Invalid CVP Error: ");
    EXPECT_EQ(text_of(msg_IASM_ASM_REPORT_HASH("", "")), "Using  Hash ");
}
