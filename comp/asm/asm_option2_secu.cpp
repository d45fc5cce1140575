// The security settings of the option block: the design's authentication
// key file (stored whole), bitstream encryption and its key store, remote
// system update retries, ownership transfer and multi-authority, the security
// fuses, the anti-tamper detectors with their limits, response and self-kill
// switches, and the attestation switches and certificate texts. The
// combinations that cannot work are reported and counted.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_revision_lock.h"
#include "asm_util.h"

#include <acf.h>
#include <cdb.h>
#include <cfg.h>
#include <dev.h>
#include <fio.h>
#include <hdb.h>
#include <zhd.h>

#include <cctype>
#include <vector>

#define ASM_SOURCE_TAG "comp/asm/asm_option2_secu"

namespace
{

// Settings of the security step. The first five are read from the compile
// instance's own settings only.
const int OPTION_ZKY_FILE = 1519;
const int OPTION_ENABLE_PR_POF_ID = 1520;
const int OPTION_ENCRYPT_PROGRAMMING_BITSTREAM = 1524;
const int OPTION_ENABLE_MULTI_AUTHORITY = 1562;
const int OPTION_ENABLE_OWNERSHIP_TRANSFER = 1588;
const int OPTION_ENCRYPTION_KEY_SELECT = 1525;
const int OPTION_ENCRYPTION_UPDATE_RATIO = 1526;
const int OPTION_CNOC_SCRAMBLING = 1527;
const int OPTION_RSU_MAX_RETRY_COUNT = 1529;

// Settings of the anti-tamper step.
const int OPTION_FREQUENCY_DETECTION = 1539;
const int OPTION_TEMPERATURE_DETECTION = 1540;
// The general voltage detection switch: not stored, but it excludes the
// external voltage reference.
const int OPTION_VOLTAGE_DETECTION = 1541;
const int OPTION_RESPONSE = 1542;
const int OPTION_FREQUENCY_PERCENTAGE = 1543;
const int OPTION_TEMPERATURE_UPPER = 1544;
const int OPTION_TEMPERATURE_LOWER = 1545;
const int OPTION_VCCL_DETECTION = 1546;
const int OPTION_VCCL_SDM_DETECTION = 1547;
const int OPTION_VCCL_HPS_DETECTION = 1548;
const int OPTION_VOLTAGE_PERCENTAGE = 1549;
const int OPTION_SELF_KILL_FREQUENCY = 1570;
const int OPTION_SELF_KILL_TEMPERATURE = 1571;
const int OPTION_SELF_KILL_VOLTAGE = 1572;
const int OPTION_SELF_KILL_FPGA = 1573;
const int OPTION_EXTERNAL_VOLTAGE_REFERENCE = 1574;
// The generated option that an anti-tamper IP in the design leaves.
const int GENERATED_OPTION_FPGA_TAMPER = 686;

// Settings of the attestation step; the seven texts are 1563 to 1569.
const int OPTION_USE_ALIAS_LEVEL_ONE = 1560;
const int OPTION_B10_ATTESTATION_COMMANDS = 1561;
const int OPTION_FIRST_ATTESTATION_TEXT = 1563;

// Part trait of the parts that support bitstream encryption.
const int PART_TRAIT_ENCRYPTION = 48;

const int FAMILY_29 = 29;
const int FAMILY_52 = 52;
const int FAMILY_67 = 67;

// Key select setting values.
const uint16_t KEY_SELECT_BBRAM = 580;
const uint16_t KEY_SELECT_EFUSE = 581;
const uint16_t KEY_SELECT_IIDPUFWRAP = 582;
const uint16_t KEY_SELECT_UDSIIDPUFWRAP = 583;
const uint16_t KEY_SELECT_FLASH = 584;

// Fuse setting values; anything else is OFF.
const uint16_t FUSE_DEFAULT = 3;
const uint16_t FUSE_ON = 2;
const uint16_t FUSE_ON_STICKY = 585;
const uint16_t FUSE_ON_CHECK = 586;

// Anti-tamper response setting values; anything else is DISABLE.
const uint16_t RESPONSE_DISABLE = 60;
const uint16_t RESPONSE_TYPEI = 587;
const uint16_t RESPONSE_TYPEII = 588;
const uint16_t RESPONSE_TYPEIII = 589;
const uint16_t RESPONSE_TYPEIV = 590;

const int32_t ZKY_MINIMUM_SIZE = 48;

// The extension kind of a revision's settings file, and the assignment of
// the key store that every revision must agree on (file category 9).
const FIO_EXTENSION_TYPE SETTINGS_FILE_EXTENSION = FIO_EXTENSION_SETTINGS;
const int KEY_SELECT_FILE_CATEGORY = 9;
const char* const KEY_SELECT_ASSIGNMENT = "PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT";

// The settings holder's own setting of the kind, without the fallback to
// its global settings section; null when it has none.
template <int KIND>
const HDB_DERIVED_OPTION<KIND, 0>* own_setting(const HDB_OPTION_INTERFACE* holder, int id)
{
    return HDB_DERIVED_OPTION<KIND, 0>::get_single_option(holder, id, true);
}

bool own_bool_option(const HDB_OPTION_INTERFACE* holder, int id, bool default_value)
{
    const auto* option = own_setting<HDB_OPTION_KIND_BOOLEAN>(holder, id);
    return option != nullptr ? option->get_value() : default_value;
}

PB::OPTIONS_SDM_KEY_SELECT key_select_of(uint16_t value)
{
    switch (value)
    {
    case KEY_SELECT_EFUSE:
        return PB::OPTIONS_SDM_KEY_SELECT_EFUSE;
    case KEY_SELECT_IIDPUFWRAP:
        return PB::OPTIONS_SDM_KEY_SELECT_IIDPUFWRAP;
    case KEY_SELECT_UDSIIDPUFWRAP:
        return PB::OPTIONS_SDM_KEY_SELECT_UDSIIDPUFWRAP;
    case KEY_SELECT_FLASH:
        return PB::OPTIONS_SDM_KEY_SELECT_FLASH;
    case KEY_SELECT_BBRAM:
    default:
        return PB::OPTIONS_SDM_KEY_SELECT_BBRAM;
    }
}

PB::OPTIONS_FUSE_ENUM_VALUE fuse_value_of(uint16_t value)
{
    switch (value)
    {
    case FUSE_ON:
        return PB::OPTIONS_FUSE_ENUM_VALUE_ON;
    case FUSE_ON_STICKY:
        return PB::OPTIONS_FUSE_ENUM_VALUE_ON_STICKY;
    case FUSE_ON_CHECK:
        return PB::OPTIONS_FUSE_ENUM_VALUE_ON_CHECK;
    default:
        return PB::OPTIONS_FUSE_ENUM_VALUE_OFF;
    }
}

PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL response_of(uint16_t value)
{
    switch (value)
    {
    case RESPONSE_TYPEI:
        return PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_TYPEI;
    case RESPONSE_TYPEII:
        return PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_TYPEII;
    case RESPONSE_TYPEIII:
        return PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_TYPEIII;
    case RESPONSE_TYPEIV:
        return PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_TYPEIV;
    case RESPONSE_DISABLE:
    default:
        return PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE;
    }
}

// The fuse settings, in the order they are set.
struct FUSE_SETTING
{
    int option;
    void (PB::OPTIONS_FUSE::*set)(PB::OPTIONS_FUSE_ENUM_VALUE);
};
const FUSE_SETTING FUSE_SETTINGS[] = {
    {1530, &PB::OPTIONS_FUSE::set_disable_jtag},
    {1531, &PB::OPTIONS_FUSE::set_force_sdm_clock_to_int_osc},
    {1532, &PB::OPTIONS_FUSE::set_force_encryption_key_update},
    {1533, &PB::OPTIONS_FUSE::set_disable_virtual_efuses},
    {1534, &PB::OPTIONS_FUSE::set_lock_security_efuses},
    {1535, &PB::OPTIONS_FUSE::set_disable_hps_debug},
    {1536, &PB::OPTIONS_FUSE::set_disable_encryption_key_in_efuses},
    {1537, &PB::OPTIONS_FUSE::set_disable_encryption_key_in_bbram},
    {1538, &PB::OPTIONS_FUSE::set_disable_puf_wrapped_encryption_key},
    {1578, &PB::OPTIONS_FUSE::set_disable_alias_level_one},
    {1580, &PB::OPTIONS_FUSE::set_disable_beta},
};

// The attestation texts of settings 1563 to 1569, in order.
void (PB::OPTIONS_ATTESTATION::*const ATTESTATION_TEXTS[])(const std::string&) = {
    &PB::OPTIONS_ATTESTATION::set_tcb_info_vendor,
    &PB::OPTIONS_ATTESTATION::set_tcb_info_model,
    &PB::OPTIONS_ATTESTATION::set_crl_distribution_point,
    &PB::OPTIONS_ATTESTATION::set_rim_uri_prefix,
    &PB::OPTIONS_ATTESTATION::set_rim_uri_suffix,
    &PB::OPTIONS_ATTESTATION::set_sub_alt_name_manufacturer,
    &PB::OPTIONS_ATTESTATION::set_sub_alt_name_product,
};
const int CRL_DISTRIBUTION_POINT_INDEX = 2;

// Posts a user error of the security steps and counts it.
void post_counted(MSG_BASE* message)
{
    post_message(message);
    ++option_error_count;
}

void log_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

// Every revision's settings file that exists must name the same key store
// (its first key-select assignment of category 9, empty when it has none);
// the first one that differs is reported.
void check_key_select_across_revisions()
{
    ACF_MANAGER* acf_manager = ACF_MANAGER::get_acf_manager();
    ASM_REQUIRE(acf_manager != NULL);
    const std::string project_path = acf_manager->get_project_full_path();
    const std::string extension = fio_get_extension(SETTINGS_FILE_EXTENSION);

    std::string reference = "default";
    for (const std::string& revision : acf_manager->get_list_of_revisions_for_project(project_path))
    {
        const FIO_PATH settings_file(project_path, revision, extension);
        if (!FIO_FILE_SYSTEM::exists(settings_file))
            continue;
        std::string value;
        {
            // A revision whose lock is refused is not read, as in
            // is_assignment_set.
            REVISION_WRITE_LOCK lock;
            if (!lock.taken())
                continue;
            for (const ACF_ASSIGNMENT& assignment :
                 acf_manager->read_assignment_setting_file(settings_file.fullpath(), nullptr, true))
            {
                if (assignment.get_file_category() == KEY_SELECT_FILE_CATEGORY &&
                    assignment.get_variable_string() == KEY_SELECT_ASSIGNMENT)
                {
                    value = assignment.get_value();
                    break;
                }
            }
        }
        if (reference == "default")
        {
            reference = value;
        }
        else if (value != reference)
        {
            post_counted(msg_EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL());
            break;
        }
    }
}

}  // namespace

void ASM_OPTION2::populate_security_options(bool vid_part, int32_t user_family)
{
    PB::OPTIONS_DEVICE* device = m_options.mutable_device();
    PB::OPTIONS_SDM* sdm = device->mutable_sdm();

    // The key file: its presence is what makes the design authenticated.
    bool has_zky = false;
    const auto* zky_setting = own_setting<HDB_OPTION_KIND_STRING>(m_flat_cap, OPTION_ZKY_FILE);
    if (zky_setting != nullptr && !zky_setting->get_value().empty())
    {
        const FIO_PATH zky_path(zky_setting->get_value());
        if (FIO_FILE_SYSTEM::exists(zky_path))
        {
            read_zky_file(zky_path);
            has_zky = true;
        }
        else
        {
            log_line("Failed to find Global ZKY file " + zky_path.fullpath());
            post_counted(msg_EASM_ASM_OPTION2_MISSING_ZKY_FILE(zky_path.fullpath()));
        }
    }

    const bool enable_pr_pof_id = own_bool_option(m_flat_cap, OPTION_ENABLE_PR_POF_ID, true);
    device->set_enable_pr_pof_id(enable_pr_pof_id);
    sdm->set_rsu_max_retry_count(static_cast<uint32_t>(get_int_option(OPTION_RSU_MAX_RETRY_COUNT, 1)));
    if (m_pr_info != nullptr && has_zky && !enable_pr_pof_id)
    {
        log_line("Error: SOF_OPTION: PR POF ID must be enabled to allow authentication feature");
        post_counted(msg_EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION());
    }

    bool ownership_transfer = false;
    if (user_family == FAMILY_67)
    {
        ownership_transfer = own_bool_option(m_flat_cap, OPTION_ENABLE_OWNERSHIP_TRANSFER, false);
        sdm->set_ownership_transfer_mode(ownership_transfer);
    }

    // Ownership transfer rules out multi-authority and encryption.
    bool multi_authority = own_bool_option(m_flat_cap, OPTION_ENABLE_MULTI_AUTHORITY, false);
    if (ownership_transfer && multi_authority)
    {
        multi_authority = false;
        post_message(msg_IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS("ENABLE_MULTI_AUTHORITY"));
    }
    device->set_enable_multi_authority(multi_authority);

    bool encryption = own_bool_option(m_flat_cap, OPTION_ENCRYPT_PROGRAMMING_BITSTREAM, false);
    if (ownership_transfer && encryption)
    {
        encryption = false;
        post_message(msg_IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS("ENCRYPT_PROGRAMMING_BITSTREAM"));
    }

    const DEV_PART dev_part_enum = m_chip->get_part_enum();
    ASM_REQUIRE((dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC));
    if (encryption)
    {
        if (m_part_manager->test_part_trait_of(dev_part_enum, PART_TRAIT_ENCRYPTION))
            log_line("SDM_OPTION: encryption capable because of AS device");
        else
            post_counted(msg_EASM_ASM_ENCRYPTION_NOT_SUPPORTED());
    }
    sdm->set_encryption(encryption);

    check_key_select_across_revisions();

    const PB::OPTIONS_SDM_KEY_SELECT key_select =
        key_select_of(get_enum_option(OPTION_ENCRYPTION_KEY_SELECT, KEY_SELECT_BBRAM));
    sdm->set_encryption_key_select(key_select);
    sdm->set_encryption_update_ratio(static_cast<uint32_t>(get_int_option(OPTION_ENCRYPTION_UPDATE_RATIO, 0)));
    sdm->set_cnoc_scrambling(get_bool_option(OPTION_CNOC_SCRAMBLING, false));
    PB::OPTIONS_FUSE* fuse = device->mutable_fuse();
    for (const FUSE_SETTING& setting : FUSE_SETTINGS)
        (fuse->*setting.set)(fuse_value_of(get_enum_option(setting.option, FUSE_DEFAULT)));

    populate_anti_tamper_options(vid_part, user_family);
    populate_attestation_options(vid_part, user_family);

    // The combinations that cannot work; a fuse named by a failed check is
    // turned off.
    const PB::OPTIONS_FUSE_ENUM_VALUE OFF = PB::OPTIONS_FUSE_ENUM_VALUE_OFF;
    if (sdm->encryption() && !has_zky)
    {
        log_line("Error: SOF_OPTION: authentication must be enabled to do encryption");
        post_counted(msg_EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION());
    }
    if (device->device_init_clock_hz() != 0 && fuse->force_sdm_clock_to_int_osc() != OFF)
    {
        fuse->set_force_sdm_clock_to_int_osc(OFF);
        log_line("Error: SOF_OPTION: FORCE_SDM_CLOCK_TO_INT_OSC is set but config clock source is not Int Osc");
        post_counted(msg_EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC());
    }
    if (device->has_hps() && device->hps().hps_dap_split_mode() != PB::OPTIONS_HPS_HPS_DAP_DISABLED &&
        fuse->disable_hps_debug() != OFF)
    {
        fuse->set_disable_hps_debug(OFF);
        log_line("Error: SOF_OPTION: DISABLE_HPS_DEBUG secu option is HPS DAP is enabled");
        post_counted(msg_EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG());
    }
    // The key store checks apply whether or not encryption is on.
    switch (key_select)
    {
    case PB::OPTIONS_SDM_KEY_SELECT_EFUSE:
        if (fuse->disable_encryption_key_in_efuses() != OFF)
        {
            fuse->set_disable_encryption_key_in_efuses(OFF);
            log_line("Error: SOF_OPTION: key_select is eFuses and security option has disabled it");
            post_counted(msg_EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES());
        }
        break;
    case PB::OPTIONS_SDM_KEY_SELECT_IIDPUFWRAP:
    case PB::OPTIONS_SDM_KEY_SELECT_UDSIIDPUFWRAP:
    case PB::OPTIONS_SDM_KEY_SELECT_FLASH:
        if (fuse->disable_puf_wrapped_encryption_key() != OFF)
        {
            fuse->set_disable_puf_wrapped_encryption_key(OFF);
            log_line("Error: SOF_OPTION: key_select is PUF and security option has disabled it");
            post_counted(msg_EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY());
        }
        break;
    case PB::OPTIONS_SDM_KEY_SELECT_BBRAM:
        if (fuse->disable_encryption_key_in_bbram() != OFF)
        {
            fuse->set_disable_encryption_key_in_bbram(OFF);
            log_line("Error: SOF_OPTION: key_select is BBRAM and security option has disabled it");
            post_counted(msg_EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM());
        }
        break;
    default:
        break;
    }
    if (sdm->encryption_update_ratio() == 0 && fuse->force_encryption_key_update() != OFF)
    {
        fuse->set_force_encryption_key_update(OFF);
        log_line("Error: SOF_OPTION: key_update ratio is 0 and security option has forced it");
        post_counted(msg_EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE());
    }
    const PB::OPTIONS_ANTI_TAMPER& anti_tamper = device->anti_tamper();
    if (anti_tamper.has_response() && anti_tamper.response() != PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE &&
        !has_zky)
    {
        log_line("Error: SOF_OPTION: authentication must be enabled to do anti tamper");
        post_counted(msg_EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION());
    }
    if (device->has_enable_b10_attestation_commands() && device->enable_b10_attestation_commands() && !has_zky)
    {
        log_line("Error: SOF_OPTION: authentication must be enabled to do attestation");
        post_counted(msg_EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION());
    }
}

void ASM_OPTION2::read_zky_file(const FIO_PATH& path)
{
    const std::string full_path = path.fullpath();
    const std::string not_good = safe_sprintf("ZKY file %s is not good", full_path.c_str());
    // Only a regular file is a key file: a directory, FIFO or device is one
    // that cannot be opened, before its size is asked for (a FIFO has none
    // and a device reads without end).
    if (FIO_FILE_SYSTEM::exists(path) && !asm_io::kestil_is_regular_file(full_path.c_str()))
        internal_error(not_good.c_str(), ASM_SOURCE_TAG, __LINE__);
    FIO_FILE_STATUS status;
    if (FIO_FILE_SYSTEM::exists(path) && !FIO_FILE_SYSTEM::status(path, status))
        internal_error("Failed in reading ZKY status", ASM_SOURCE_TAG, __LINE__);

    log_line(safe_sprintf("OPTION_ZKY: read %s with bytesize : %d\n", full_path.c_str(), status.size));
    if (status.size < static_cast<uint64_t>(ZKY_MINIMUM_SIZE))
        internal_error("Incorrect formated ZKY file - must have at least 48 Bytes", ASM_SOURCE_TAG, __LINE__);

    std::string bytes(static_cast<size_t>(status.size), '\0');
    asm_io::kestil_ifstream in;
    in.open(full_path.c_str(), std::ios_base::in | std::ios_base::binary);
    if (in.good())
        in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    // A file that shrank since its status was read is as bad as one that
    // does not open: no key is stored with stale bytes.
    if (!in.good() || static_cast<uint64_t>(in.gcount()) != status.size)
        internal_error(not_good.c_str(), ASM_SOURCE_TAG, __LINE__);
    in.close();
    m_options.mutable_device()->set_design_zky(bytes);
}

void ASM_OPTION2::populate_anti_tamper_options(bool vid_part, int32_t user_family)
{
    PB::OPTIONS_DEVICE* device = m_options.mutable_device();
    PB::OPTIONS_ANTI_TAMPER* anti_tamper = device->mutable_anti_tamper();
    if (cfg_is_on("allow_vid_security_features", false))
    {
        vid_part = false;
        log_line("ASM_OPTION: SECURITY: allow_vid_security_features INI is enabled to allow VID devices to use anti "
                 "tamper feature");
    }

    const PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL response =
        response_of(get_enum_option(OPTION_RESPONSE, RESPONSE_DISABLE));
    if (user_family == FAMILY_29 || user_family == FAMILY_67)
    {
        log_line(safe_sprintf("ASM_OPTION: SECURITY: Anti tamper for Torvin %d VID parts is supported",
                              user_family == FAMILY_29 ? 7 : 5));
    }
    else if (vid_part && response != PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE)
    {
        post_counted(msg_EASM_ASM_OPTION_SECU_VID_PART_ERROR("anti tamper"));
    }
    anti_tamper->set_response(response);

    // Frequency.
    const bool frequency = get_bool_option(OPTION_FREQUENCY_DETECTION, false);
    anti_tamper->set_enable_frequency_detection(frequency);
    int32_t frequency_percentage = get_int_option(OPTION_FREQUENCY_PERCENTAGE, 35);
    if (frequency_percentage == 0)
        frequency_percentage = 35;
    if (frequency && frequency_percentage != 35 && frequency_percentage != 40 && frequency_percentage != 45 &&
        frequency_percentage != 50)
    {
        log_line(safe_sprintf("SDM_OPTION: ANTI_TAMPER - frequency range detection is set to an illegal "
                              "percentage:%d. The valid range is 35,40,45 and 50%%",
                              frequency_percentage));
        post_counted(msg_EASM_ASM_OPTION2_INVALID_TAMPER_VALUE(frequency_percentage, "frequency"));
        frequency_percentage = 35;
    }
    anti_tamper->set_frequency_range_detection_in_percentage(static_cast<uint32_t>(frequency_percentage));

    // Temperature.
    const bool temperature = get_bool_option(OPTION_TEMPERATURE_DETECTION, false);
    anti_tamper->set_enable_temperature_detection(temperature);
    int32_t upper = get_int_option(OPTION_TEMPERATURE_UPPER, 127);
    int32_t lower = get_int_option(OPTION_TEMPERATURE_LOWER, -128);
    if (temperature)
    {
        if (upper >= 128)
        {
            log_line(safe_sprintf("SDM_OPTION: ANTI_TAMPER - temperature tamper upper_bound %d exceeds the limit 127",
                                  upper));
            post_counted(msg_EASM_ASM_OPTION2_INVALID_TAMPER_VALUE(upper, "temperature upper bound"));
            upper = 127;
        }
        if (lower < -128)
        {
            log_line(safe_sprintf("SDM_OPTION: ANTI_TAMPER - temperature tamper lower_bound %d exceeds the limit -128",
                                  lower));
            post_counted(msg_EASM_ASM_OPTION2_INVALID_TAMPER_VALUE(lower, "temperature lower bound"));
            lower = -128;
        }
        if (upper < lower)
        {
            log_line(safe_sprintf("SDM_OPTION: ANTI_TAMPER - temperature tamper upper_bound %d lower than lower_bound %d",
                                  upper, lower));
            post_counted(msg_EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE(upper, lower));
        }
    }
    anti_tamper->set_temperature_detection_upper_value(upper);
    anti_tamper->set_temperature_detection_lower_value(lower);

    // Voltages; the HPS supply is watched on user family 67 only, but its
    // setting counts as an armed detector below on every family.
    const bool vccl = get_bool_option(OPTION_VCCL_DETECTION, false);
    const bool vccl_sdm = get_bool_option(OPTION_VCCL_SDM_DETECTION, false);
    const bool vccl_hps_setting = get_bool_option(OPTION_VCCL_HPS_DETECTION, false);
    const bool vccl_hps = user_family == FAMILY_67 && vccl_hps_setting;
    anti_tamper->set_enable_vccl_voltage_detection(vccl);
    anti_tamper->set_enable_vccl_sdm_voltage_detection(vccl_sdm);
    if (user_family == FAMILY_67)
        anti_tamper->set_enable_vccl_hps_voltage_detection(vccl_hps);
    int32_t voltage_percentage = get_int_option(OPTION_VOLTAGE_PERCENTAGE, 15);
    if ((vccl || vccl_sdm || vccl_hps) && (voltage_percentage < 15 || voltage_percentage > 100))
    {
        log_line(safe_sprintf("SDM_OPTION: ANTI_TAMPER - voltage tamper lower_bound %d exceeds the allowed range 15-100",
                              voltage_percentage));
        // A written trigger is the user's choice and an error; a default out
        // of range is quietly replaced.
        if (is_assignment_set("VOLTAGE_TAMPER_DETECTION_TRIGGER"))
            post_counted(msg_EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE());
        else
            voltage_percentage = 15;
    }
    anti_tamper->set_voltage_range_detection_in_percentage(static_cast<uint32_t>(voltage_percentage));

    // The design's own tamper signal: any anti-tamper IP that says so.
    bool fpga_tamper = false;
    if (ZHD_DESIGN* design = ZHD_ROOT::get()->get_design(""))
    {
        for (const auto& partition : design->get_partitions())
        {
            std::vector<const HDB_OPTION*> generated;
            partition->get_hdb()->get_all_generated_options(GENERATED_OPTION_FPGA_TAMPER, generated, false);
            for (const HDB_OPTION* option : generated)
                fpga_tamper = fpga_tamper || option->get_bool_value();
        }
    }
    anti_tamper->set_enable_fpga_tamper_detection(fpga_tamper);

    // Self-kill switches need their detectors.
    const bool kill_frequency = get_bool_option(OPTION_SELF_KILL_FREQUENCY, false);
    const bool kill_temperature = get_bool_option(OPTION_SELF_KILL_TEMPERATURE, false);
    const bool kill_voltage = get_bool_option(OPTION_SELF_KILL_VOLTAGE, false);
    const bool kill_fpga = get_bool_option(OPTION_SELF_KILL_FPGA, false);
    anti_tamper->set_enable_self_kill_frequency_tamper(kill_frequency);
    anti_tamper->set_enable_self_kill_temperature_tamper(kill_temperature);
    anti_tamper->set_enable_self_kill_voltage_tamper(kill_voltage);
    anti_tamper->set_enable_self_kill_fpga_tamper(kill_fpga);
    if (kill_frequency && !frequency)
        post_counted(msg_EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL("frequency", "frequency"));
    if (kill_temperature && !temperature)
        post_counted(msg_EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL("temperature", "temperature"));
    if (kill_voltage && !vccl && !vccl_sdm)
        post_counted(msg_EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL("voltage", "voltage"));

    // Without a response nothing is armed; the warning names any detector
    // or self-kill the user turned on, the HPS supply's on any family.
    const bool any_switch = frequency || temperature || vccl || vccl_sdm || vccl_hps || kill_frequency ||
                            kill_temperature || kill_voltage || kill_fpga;
    if (response == PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE)
    {
        if (any_switch || vccl_hps_setting || fpga_tamper)
            post_message(msg_WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE());
        anti_tamper->set_enable_frequency_detection(false);
        anti_tamper->set_enable_temperature_detection(false);
        anti_tamper->set_enable_vccl_voltage_detection(false);
        anti_tamper->set_enable_vccl_sdm_voltage_detection(false);
        anti_tamper->set_enable_fpga_tamper_detection(false);
        anti_tamper->set_enable_self_kill_frequency_tamper(false);
        anti_tamper->set_enable_self_kill_temperature_tamper(false);
        anti_tamper->set_enable_self_kill_voltage_tamper(false);
        anti_tamper->set_enable_self_kill_fpga_tamper(false);
        if (user_family == FAMILY_67)
            anti_tamper->set_enable_vccl_hps_voltage_detection(false);
    }

    // The external voltage reference excludes the detectors, as set by the
    // user (the design's own tamper signal does not count).
    if (user_family == FAMILY_67)
    {
        const bool external_reference = get_bool_option(OPTION_EXTERNAL_VOLTAGE_REFERENCE, false);
        const bool voltage_detection = get_bool_option(OPTION_VOLTAGE_DETECTION, false);
        if (external_reference && (voltage_detection || any_switch))
            post_message(msg_EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE());
        else
            device->set_enable_external_voltage_reference(external_reference);
    }
}

void ASM_OPTION2::populate_attestation_options(bool vid_part, int32_t user_family)
{
    if (cfg_is_on("allow_vid_security_features", false))
    {
        vid_part = false;
        log_line("ASM_OPTION: SECURITY: allow_vid_security_features INI is enabled to allow VID devices to use "
                 "attestation feature");
    }

    PB::OPTIONS_DEVICE* device = m_options.mutable_device();
    const bool alias_level_one = get_bool_option(OPTION_USE_ALIAS_LEVEL_ONE, false);
    const bool b10_commands = get_bool_option(OPTION_B10_ATTESTATION_COMMANDS, false);
    device->set_use_alias_level_one(alias_level_one);
    device->set_enable_b10_attestation_commands(b10_commands);
    PB::OPTIONS_ATTESTATION* attestation = device->mutable_attestation();

    int index = 0;
    for (auto set_text : ATTESTATION_TEXTS)
    {
        std::string text;
        get_string_option(OPTION_FIRST_ATTESTATION_TEXT + index, text);
        if (index == CRL_DISTRIBUTION_POINT_INDEX && !text.empty() && !is_https_url(text))
            post_message(msg_EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT());
        (attestation->*set_text)(text);
        ++index;
    }

    if (vid_part && user_family == FAMILY_52 && (alias_level_one || b10_commands))
        post_counted(msg_EASM_ASM_OPTION_SECU_VID_PART_ERROR("attestation"));
}

bool ASM_OPTION2::is_https_url(std::string text)
{
    static const char SCHEME[] = "https://";
    const size_t scheme_size = sizeof(SCHEME) - 1;
    if (text.size() <= scheme_size)
        return false;
    for (char c : text)
        if (std::isspace(static_cast<unsigned char>(c)))
            return false;
    // The scheme is case-insensitive.
    for (size_t i = 0; i < scheme_size; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != SCHEME[i])
            return false;
    return true;
}
