#include "ini_switches.h"

#include <algorithm>
#include <unordered_set>

const std::vector<std::string>& known_ini_switches()
{
    static const std::vector<std::string> switches = [] {
        std::vector<std::string> names{
            "allow_vid_security_features",
            "asm_dump_options",
            "asm_dump_pre_asm_netlist",
            "asm_force_sof_encryption_feature",
            "asm_report_memory",
            "asm_use_global_pr_base_sof",
            "asm_xml_relax_bcm_index",
            "attribute_coverage_check_asm",
            "bypass_vid_when_pmbus_mode_master_all_slave_address_3f",
            "enable_design_cvp",
            "enable_diagnostic_boot_checkbox",
            "enhanced_bitstream_compression",
            "force_conf_done_pin_off",
            "force_cvp_on",
            "force_hps_ddr_option_on",
            "force_hps_option_on",
            "force_hps_wachdog_cold_with_rsu_reset",
            "force_pwrmgt_alert_pin_off",
            "force_vid_off",
            "force_vid_on",
            "hps_bypass_handoff",
            "hps_dump_handoff_data",
            "internal_force_all_brask_na",
            "pgmio_write_pr_text_file",
            "run_config_cpu_from_int_osc",
            "sdm_dump_option_data",
            "sdm_option_data_bypass",
            "skip_asm",
            "skip_cb_ip_presence_check",
            "sld_asm_file_size_req_for_compress",
            "sld_sof_omit_debug_files",
            "unpowered_hssi_list",
        };
        std::sort(names.begin(), names.end());
        return names;
    }();
    return switches;
}

std::vector<std::string> unread_ini_switches(const std::vector<std::string>& names)
{
    const std::vector<std::string>& known = known_ini_switches();
    std::vector<std::string> unread;
    std::unordered_set<std::string> named;
    for (const std::string& name : names)
        if (!std::binary_search(known.begin(), known.end(), name) && named.insert(name).second)
            unread.push_back(name);
    return unread;
}
