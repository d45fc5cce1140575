// The option block's HPS options (the record's hps message, from the
// settings and the texts that the HPS and EMIF IP cores generate), the
// required firmware features and the final clock and tamper checks.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <acf.h>
#include <cdb.h>
#include <cfg.h>
#include <gen.h>
#include <hdb.h>
#include <zhd.h>

#include <sstream>
#include <vector>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

namespace
{

// Settings of the HPS.
const int OPTION_CONFIG_ORDER = 1521;
const int OPTION_HPS_DAP = 1522;
const int OPTION_HPS_DEBUG_WITHOUT_CERTIFICATE = 1528;
const int OPTION_WARM_RESET_PIN_MODE = 799;
const int OPTION_COLD_RESET_PIN_MODE = 800;
const uint16_t CONFIG_ORDER_DEFAULT = 576;
const uint16_t CONFIG_ORDER_HPS_FIRST = 575;
const uint16_t HPS_DAP_DISABLED = 577;
const uint16_t HPS_DAP_SDM_PINS = 578;
const uint16_t HPS_DAP_HPS_PINS = 579;
const uint16_t RESET_PIN_INPUT_ONLY = 203;

// The generated options of the HPS IP.
const int GENERATED_HPS_CONFIGURATION = 182;
const int GENERATED_HPS_EMIF = 183;
const int GENERATED_HPS_HBM = 184;

const DEV_FAMILY FAMILY_WITH_YB_ANTI_TAMPER = 52;

// The whitespace-separated words of a text.
std::vector<std::string> words_of(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// What the HPS configuration text says, with its defaults.
struct HPS_TEXT
{
    bool ddr = false;
    PB::OPTIONS_HPS_WATCHDOG_RESET watchdog = PB::OPTIONS_HPS::COLD_RESET;
    uint32_t cores_power_state = 0;
    uint32_t boot_core = 0;
    PB::OPTIONS_HPS_L3_CACHE_SIZE l3 = PB::OPTIONS_HPS::OFF;
    PB::OPTIONS_HPS_INTFCSEL f2soc = PB::OPTIONS_HPS::DISABLE;
    PB::OPTIONS_HPS_INTFCSEL f2sdram = PB::OPTIONS_HPS::DISABLE;
};

PB::OPTIONS_HPS_INTFCSEL bridge_of(const std::string& value, const char* condition)
{
    switch (gen_atoi(value.c_str()))
    {
    case 0:
        return PB::OPTIONS_HPS::DISABLE;
    case 1:
        return PB::OPTIONS_HPS::ENABLE;
    default:
        internal_error(condition, ASM_SOURCE_TAG, __LINE__);
    }
}

// Reads the text's group, key, value triples; other triples are ignored.
HPS_TEXT read_hps_text(const std::string& text)
{
    HPS_TEXT hps;
    const std::vector<std::string> words = words_of(text);
    for (size_t i = 0; i + 2 < words.size(); i += 3)
    {
        const std::string& group = words[i];
        const std::string& key = words[i + 1];
        const std::string& value = words[i + 2];
        if (group == "SDM" && key == "DDR")
        {
            hps.ddr = gen_atoi(value.c_str()) == 1;
        }
        else if (group == "SDM" && key == "WACH")
        {
            if (value == "WARM")
                hps.watchdog = PB::OPTIONS_HPS::WARM_RESET;
            else if (value == "COLD")
                hps.watchdog = PB::OPTIONS_HPS::COLD_RESET;
            else if (value == "C_RSU")
                hps.watchdog = PB::OPTIONS_HPS::COLD_RESET_WITH_RSU;
            else
                internal_error("Illegal HPS value for Option WACH", ASM_SOURCE_TAG, __LINE__);
        }
        else if (group == "pwr" && key == "core")
        {
            hps.cores_power_state = static_cast<uint32_t>(gen_atoi(value.c_str()));
        }
        else if (group == "pwr" && key == "boot")
        {
            hps.boot_core = static_cast<uint32_t>(gen_atoi(value.c_str()));
        }
        else if (group == "pwr" && key == "l3")
        {
            switch (gen_atoi(value.c_str()))
            {
            case 0:
                hps.l3 = PB::OPTIONS_HPS::OFF;
                break;
            case 1:
                hps.l3 = PB::OPTIONS_HPS::HALF_ON;
                break;
            case 2:
                hps.l3 = PB::OPTIONS_HPS::FULL_ON;
                break;
            default:
                internal_error("Illegal HPS value for Option l3 cache size", ASM_SOURCE_TAG, __LINE__);
            }
        }
        else if (group == "intfcsel" && key == "f2soc")
        {
            hps.f2soc = bridge_of(value, "Illegal HPS value for Option f2soc_intfcsel");
        }
        else if (group == "intfcsel" && key == "f2sdram")
        {
            hps.f2sdram = bridge_of(value, "Illegal HPS value for Option f2sdram_intfcsel");
        }
    }
    return hps;
}

void log_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

void add_feature(PB::OPTIONS& options, PB::OPTIONS_REQUIRED_FEATURE_TYPE id, const char* name)
{
    PB::OPTIONS_REQUIRED_FEATURE* feature = options.add_features();
    feature->set_id(static_cast<uint32_t>(id));
    feature->set_name(name);
}

bool begins_with(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

void ASM_OPTION2::get_hps_partition_setting(std::string& value, int option_id) const
{
    value.clear();
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    if (design != nullptr)
    {
        // Every partition and every option is read: the last text wins.
        for (const auto& partition : design->get_partitions())
        {
            std::vector<const HDB_OPTION*> options;
            partition->get_hdb()->get_all_generated_options(option_id, options, false);
            for (const HDB_OPTION* option : options)
            {
                const std::string text = option->get_value_str();
                if (text.size() > 1)
                    value = text;
            }
        }
    }
    if (value.empty())
    {
        const auto* setting = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(m_flat_cap, option_id, true);
        if (setting != nullptr)
            value = setting->get_value();
    }
    const char* user_name = acf_get_variable_user_name(option_id);
    log_line(safe_sprintf("ACID_HPS: %s -> %s ", user_name != nullptr ? user_name : std::to_string(option_id).c_str(),
                          value.c_str()));
}

void ASM_OPTION2::get_hps_emif_settings(HPS_EMIF_SETTINGS& emif) const
{
    int width = 0;
    bool ecc = false;
    emif.data_rate = PB::OPTIONS_HPS::HALF_RATE;
    emif.hps_io_num = PB::OPTIONS_HPS::HPS_IO_INVALID;

    std::string text;
    get_hps_partition_setting(text, GENERATED_HPS_EMIF);
    const std::vector<std::string> words = words_of(text);
    for (size_t i = 0; i + 1 < words.size(); i += 2)
    {
        const std::string& key = words[i];
        const std::string& value = words[i + 1];
        if (key == "ECC")
        {
            if (value == "on" || value == "off")
                ecc = value == "on";
            else
                log_line(safe_sprintf("HPS_OPTION: Warning - Unexpected ECC mode found from EMIF: %s", value.c_str()));
        }
        else if (key == "MODE")
        {
            if (value == "x16")
                width = 16;
            else if (value == "x32")
                width = 32;
            else if (value == "x64")
                width = 64;
            else
                log_line(safe_sprintf("HPS_OPTION: Warning - Unexpected DDR width found from EMIF: %s", value.c_str()));
        }
        else if (key == "RATE")
        {
            if (value == "0")
                emif.data_rate = PB::OPTIONS_HPS::HALF_RATE;
            else if (value == "1")
                emif.data_rate = PB::OPTIONS_HPS::QUARTER_RATE;
            else
                log_line(safe_sprintf("HPS_OPTION: Warning - Unexpected DDR operating data rate found from EMIF: %s",
                                      value.c_str()));
        }
        else if (key == "HPS_IO_NUM")
        {
            if (value == "1")
                emif.hps_io_num = PB::OPTIONS_HPS::HPS_IO_1;
            else if (value == "2")
                emif.hps_io_num = PB::OPTIONS_HPS::HPS_IO_2;
            else
                log_line(safe_sprintf("HPS_OPTION: Warning - Unexpected HPS IO number used: %s", value.c_str()));
        }
        else if (key != "HPS_IO_CONFIG")
        {
            log_line(safe_sprintf("HPS_OPTION: Warning - Unexpected flag found from EMIF: %s", key.c_str()));
        }
    }

    switch (width)
    {
    case 0:
        emif.ddr_mode = PB::OPTIONS_HPS::NO_DDR;
        break;
    case 16:
        emif.ddr_mode = ecc ? PB::OPTIONS_HPS::DDR_24 : PB::OPTIONS_HPS::DDR_16;
        break;
    case 32:
        emif.ddr_mode = ecc ? PB::OPTIONS_HPS::DDR_40 : PB::OPTIONS_HPS::DDR_32;
        break;
    case 64:
        emif.ddr_mode = ecc ? PB::OPTIONS_HPS::DDR_72 : PB::OPTIONS_HPS::DDR_64;
        break;
    default:
        internal_error("Unexpected HPS EMIF mode found.", ASM_SOURCE_TAG, __LINE__);
    }
}

void ASM_OPTION2::populate_hps_options()
{
    PB::OPTIONS_HPS* hps = m_options.mutable_device()->mutable_hps();

    const bool hps_first = get_enum_option(OPTION_CONFIG_ORDER, CONFIG_ORDER_DEFAULT) == CONFIG_ORDER_HPS_FIRST;
    hps->set_config_order(hps_first ? PB::OPTIONS_HPS::HPS_FIRST : PB::OPTIONS_HPS::HPS_AFTER_INIT_DONE);
    switch (get_enum_option(OPTION_HPS_DAP, HPS_DAP_DISABLED))
    {
    case HPS_DAP_SDM_PINS:
        hps->set_hps_dap_split_mode(PB::OPTIONS_HPS::USE_SDM_PINS);
        break;
    case HPS_DAP_HPS_PINS:
        hps->set_hps_dap_split_mode(PB::OPTIONS_HPS::USE_HPS_PINS);
        break;
    default:
        hps->set_hps_dap_split_mode(PB::OPTIONS_HPS::DISABLED);
        break;
    }
    hps->set_allow_hps_debug_wo_certificate(get_bool_option(OPTION_HPS_DEBUG_WITHOUT_CERTIFICATE, false));

    std::string hps_text;
    get_hps_partition_setting(hps_text, GENERATED_HPS_CONFIGURATION);
    hps->set_hps_present(!hps_text.empty());
    if (cfg_is_on("force_hps_option_on", false))
        hps->set_hps_present(true);
    else if (hps_text.empty() && hps_first)
        post_message(msg_EASM_INVALID_HPS_SETTINGS());

    HPS_EMIF_SETTINGS emif;
    get_hps_emif_settings(emif);
    hps->set_hps_ddr_mode(emif.ddr_mode);
    hps->set_hps_ddr_data_rate(emif.data_rate);
    hps->set_hps_io_num(emif.hps_io_num);

    const HPS_TEXT text = read_hps_text(hps_text);
    hps->set_hps_ddr_present(text.ddr || cfg_is_on("force_hps_ddr_option_on", false));
    hps->set_hps_wachdog_expiration(cfg_is_on("force_hps_wachdog_cold_with_rsu_reset", false)
                                        ? PB::OPTIONS_HPS::COLD_RESET_WITH_RSU
                                        : text.watchdog);
    hps->set_cores_power_state(text.cores_power_state);
    hps->set_boot_core(text.boot_core);
    hps->set_l3_cache_size(text.l3);
    hps->set_f2soc_intfcsel(text.f2soc);
    hps->set_f2sdram_intfcsel(text.f2sdram);

    std::string hbm_text;
    get_hps_partition_setting(hbm_text, GENERATED_HPS_HBM);
    if (!hbm_text.empty())
    {
        log_line("setting options HPS_HBM_PRESENT to true");
        hps->set_hps_hbm_present(true);
    }

    hps->set_hps_warm_reset_pin_mode(get_enum_option(OPTION_WARM_RESET_PIN_MODE, RESET_PIN_INPUT_ONLY) ==
                                             RESET_PIN_INPUT_ONLY
                                         ? PB::OPTIONS_HPS::INPUT_ONLY
                                         : PB::OPTIONS_HPS::BIDIRECTIONAL);
    hps->set_hps_cold_reset_pin_mode(get_enum_option(OPTION_COLD_RESET_PIN_MODE, RESET_PIN_INPUT_ONLY) ==
                                             RESET_PIN_INPUT_ONLY
                                         ? PB::OPTIONS_HPS::INPUT_ONLY
                                         : PB::OPTIONS_HPS::BIDIRECTIONAL);
}

void ASM_OPTION2::add_required_features(PB::OPTIONS_SDM* sdm)
{
    log_line("SDM_OPTION: add required_features");
    const DEV_FAMILY base_family = m_chip->get_base_family_enum();
    PB::OPTIONS_DEVICE* device = m_options.mutable_device();

    add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ISTART, "SOF FEATURE TRACKING");

    if (device->has_sdm())
    {
        const PB::OPTIONS_SDM& current = device->sdm();
        if ((current.has_encryption() && current.encryption()) || cfg_is_on("asm_force_sof_encryption_feature", false))
        {
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENCRYPTION, "Encryption");
            log_line(safe_sprintf("   SDM_OPTION: added %s", "Encryption"));
        }
        if (current.has_encryption_update_ratio() && current.encryption_update_ratio() != 0)
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENCRYPTION_UPDATE, "Encryption Update");
    }

    // The mailbox text is the last enabled "mailbox feature: " output.
    static const char MAILBOX_PREFIX[] = "mailbox feature: ";
    const size_t prefix_length = sizeof(MAILBOX_PREFIX) - 1;
    std::string mailbox;
    bool user_reset = false;
    for (const PB::OPTIONS_GPIO& out : sdm->outs())
    {
        if (!out.has_enabled() || !out.enabled() || !out.has_usage())
            continue;
        const std::string& usage = out.usage();
        if (usage.size() > prefix_length && begins_with(usage, MAILBOX_PREFIX))
            mailbox = usage.substr(prefix_length);
        else if (begins_with(usage, "USER_RESET"))
            user_reset = true;
    }
    sdm->set_mailbox_feature(mailbox);
    if (mailbox.size() >= 6)
    {
        const size_t abort = mailbox.find("abort;");
        if (abort != std::string::npos && (abort == 0 || mailbox[abort - 1] == ';'))
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::MAILBOX_ABORT, "MailBox Abort");
    }

    if (user_reset)
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::USER_RESET_RELEASE, "User Reset Release");
    const PB::OPTIONS_POWER_MANAGEMENT& power = sdm->power_management();
    if (power.page_command_enable())
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::PM_PAGE_COMMAND_PAYLOAD,
                    "Power Management Page Command Payload");
    if (device->has_use_alias_level_one() && device->use_alias_level_one())
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::USE_ALIAS_LEVEL_ONE_NEW, "Use Alias Level One");
    if (device->has_enable_multi_authority() && device->enable_multi_authority())
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENABLE_MULTI_AUTHORITY, "Enable Multi Authority");

    const PB::OPTIONS_ATTESTATION& attestation = *device->mutable_attestation();
    const bool attestation_text = (attestation.has_tcb_info_vendor() && !attestation.tcb_info_vendor().empty()) ||
                                  (attestation.has_tcb_info_model() && !attestation.tcb_info_model().empty()) ||
                                  (attestation.has_crl_distribution_point() &&
                                   !attestation.crl_distribution_point().empty()) ||
                                  (attestation.has_rim_uri_prefix() && !attestation.rim_uri_prefix().empty()) ||
                                  (attestation.has_rim_uri_suffix() && !attestation.rim_uri_suffix().empty()) ||
                                  (attestation.has_sub_alt_name_manufacturer() &&
                                   !attestation.sub_alt_name_manufacturer().empty()) ||
                                  (attestation.has_sub_alt_name_product() && !attestation.sub_alt_name_product().empty());
    if (attestation_text)
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ATTESTATION_TABLE, "Attestation table");

    const PB::OPTIONS_ANTI_TAMPER& anti_tamper = *device->mutable_anti_tamper();
    bool yb_entry = false;
    if (anti_tamper.has_response() && anti_tamper.response() != PB::OPTIONS_ANTI_TAMPER::DISABLE)
    {
        if (base_family == FAMILY_WITH_YB_ANTI_TAMPER)
        {
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENABLE_ANTI_TAMPER_OR_ATTESTATION_YB,
                        "Enable anti tamper or attestation YB");
            yb_entry = true;
        }
        else
        {
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENABLE_ANTI_TAMPER, "Enable anti tamper");
        }
    }
    // The attestation commands share the id of the family-52 entry.
    if (device->has_enable_b10_attestation_commands() && device->enable_b10_attestation_commands() && !yb_entry)
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENABLE_ANTI_TAMPER_OR_ATTESTATION_YB,
                    "Enable B10 Attestation Commands");

    for (const PB::OPTIONS_SECTOR& sector : m_options.sectors())
    {
        if (!sector.has_type() || sector.type() != PB::OPTIONS_SECTOR::HSSI || !sector.brask_presence() ||
            sector.brask_state() != PB::OPTIONS_SECTOR::POWERED)
            continue;
        const std::string& tile = sector.brask_type();
        if (tile == "z2403a")
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::RNR_REVA_CXL_22WW024A, "RNR REVA CXL 22WW024A");
        else if (tile == "z2403b")
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::SRMM_FROM_SOF, "SRMM FROM SOF");
        else if (tile == "z2402b")
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::GDR_SRMM_FROM_SOF, "GDR SRMM FROM SOF");
        else
            continue;
        break;
    }

    if (sdm->has_encryption_key_select() && sdm->encryption_key_select() == PB::OPTIONS_SDM::UDSIIDPUFWRAP)
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENCRYPTION_KEY_SELECT_UDS_IID_PUF,
                    "Enable Quad SPI UDS Intrinsic ID PUF-wrapped");
    if (device->has_use_additional_qspi_flash() &&
        device->use_additional_qspi_flash() != PB::OPTIONS_DEVICE::NO_CHIP_SELECTED)
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::USE_ADDITIONAL_QSPI_FLASH, "Use Additional QSPI Flash");
    if (sdm->has_seu_external_correction_enable() && sdm->seu_external_correction_enable())
        add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::ENABLE_EXTERNAL_SCRUB, "External scrub");
    if (power.has_enable_status_byte())
    {
        const bool other = power.slave_device_type() == PB::OPTIONS_POWER_MANAGEMENT::OTHER;
        if (power.enable_status_byte() && other)
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::PMF_ENABLE_STATUS_BYTE,
                        "Enable status_byte polling for OTHER device type");
        else if (!power.enable_status_byte() && !other)
            add_feature(m_options, PB::OPTIONS_REQUIRED_FEATURE::PMF_ENABLE_STATUS_BYTE,
                        "Disable status_byte polling for non-OTHER device type");
    }
}

bool ASM_OPTION2::check_option_consistency()
{
    const PB::OPTIONS_DEVICE& device = *m_options.mutable_device();
    if (device.has_hps() && device.has_design_zky() && device.hps().has_hps_dap_split_mode() &&
        device.hps().hps_dap_split_mode() != PB::OPTIONS_HPS::DISABLED)
    {
        log_line("Critical warning: design has ZKY set and HPS_DAP is not DISABLED");
        post_message(msg_WASM_ASM_SIGNED_WITH_HPS_DAP());
    }

    bool result = true;
    const PB::OPTIONS_ANTI_TAMPER anti_tamper = device.anti_tamper();
    const bool clock_from_osc_clk_1 = device.has_device_init_clock_hz() && device.has_run_config_cpu_from_int_osc() &&
                                      device.device_init_clock_hz() != 0 && !device.run_config_cpu_from_int_osc();
    if (clock_from_osc_clk_1 && anti_tamper.has_enable_frequency_detection() && anti_tamper.enable_frequency_detection())
    {
        log_line("Error: Clock frequency is not zero, configuration CPU is not run from the internal oscillator and "
                 "frequency tamper detection is enabled");
        post_message(msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED());
        result = false;
    }
    if (clock_from_osc_clk_1 && anti_tamper.has_response() && anti_tamper.response() != PB::OPTIONS_ANTI_TAMPER::DISABLE)
    {
        log_line("Error: Clock frequency is not zero, configuration CPU is not run from the internal oscillator and "
                 "anti tamper is enabled");
        post_message(msg_EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED());
        result = false;
    }
    if (anti_tamper.has_enable_fpga_tamper_detection() && anti_tamper.has_enable_self_kill_fpga_tamper() &&
        !anti_tamper.enable_fpga_tamper_detection() && anti_tamper.enable_self_kill_fpga_tamper())
    {
        post_message(msg_EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP("fpga"));
        result = false;
    }
    return result;
}
