#include "asm_option2.h"

#include "asm_common.h"
#include "asm_trace.h"
#include "asm_util.h"

#include <cdb.h>
#include <cfg.h>
#include <dbcm.h>
#include <dev.h>
#include <dstr.h>
#include <fio.h>
#include <gen.h>
#include <hdb.h>
#include <stl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

int32_t option_error_count = 0;

namespace
{

// Partial-reconfiguration regions are region kind 0 of a chip.
const int REGION_KIND_PARTIAL_RECONFIGURATION = 0;

const char* const OPTIONS_SECTION = "OPTIONS";
const int OPTIONS_SECTION_MAJOR = 1;
const int OPTIONS_SECTION_MINOR = 10;

const uint32_t FEATURE_MAILBOX_ABORT = 3;

// Settings of the driver.
const int OPTION_NO_HIPI_INITIALIZATION_FLOW = 436;
const int OPTION_ASIC_PROTOTYPING = 357;
const int OPTION_ASIC_PROTOTYPING_BOARD = 361;
const int OPTION_JTAG_USER_CODE = 1433;
const int OPTION_RUN_CONFIG_CPU_FROM_INT_OSC = 1552;

// The user family with a thermal shutdown threshold, and the family with
// the Configuration Block IP (and without SDM pin functions).
const DEV_FAMILY FAMILY_WITH_THRESHOLD_TEMPERATURE = 67;
const DEV_FAMILY FAMILY_WITH_CB_IP = 44;

// The JTAG user code text as an unsigned hexadecimal number: leading blanks
// and a 0x prefix are skipped, reading stops at the first character that is
// not a hexadecimal digit; no leading digit gives 0. A value beyond 32 bits
// stays at 0xFFFFFFFF.
uint32_t hexadecimal_user_code(const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
        pos += 2;
    uint64_t value = 0;
    for (; pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos])); ++pos)
    {
        const int digit = hex_digit_value(text[pos]);
        value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(digit), UINT32_MAX);
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

ASM_OPTION2::ASM_OPTION2(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                         DEV_PART_MANAGER* part_manager)
    : m_cb_ip_found(false),
      m_io_configsel_found(false),
      m_cmp(cmp),
      m_chip(chip),
      m_run_value(run_value),
      m_part_manager(part_manager),
      m_pr_info(nullptr),
      m_flat_cap(nullptr),
      m_dbcm_chip(nullptr),
      m_dump_option_data(false),
      m_force_all_brask_na(false),
      M_SMD_PINMUX(0)
{
    ASM_REQUIRE(m_cmp != NULL);
    ASM_REQUIRE(m_chip != NULL);
    ASM_REQUIRE(m_part_manager != NULL);

    m_flat_cap = top_partition_settings();
    ASM_REQUIRE(m_flat_cap != NULL);

    DBCM_DB_MANAGER* dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    ASM_REQUIRE(dbcm_db_manager != NULL);
    m_dbcm_chip = dbcm_db_manager->get_chip(0);
    ASM_REQUIRE(m_dbcm_chip != NULL);

    if (m_dbcm_chip->get_regions(REGION_KIND_PARTIAL_RECONFIGURATION) != nullptr)
    {
        delete m_pr_info;
        m_pr_info = new ASM_OPTION2_PR_INFO();
    }

    m_dump_option_data = cfg_is_on("sdm_dump_option_data", false);
    m_force_all_brask_na = cfg_is_on("internal_force_all_brask_na", false);
    M_SMD_PINMUX = 17;
    asm_trace("construct ASM_OPTION2");
}

ASM_OPTION2::~ASM_OPTION2()
{
    delete m_pr_info;
    asm_trace("destroy ASM_OPTION2");
}

bool ASM_OPTION2::process_option_data()
{
    asm_trace("run process_option_data");
    // Each run counts its own option errors: an error of an earlier
    // compilation in this process must not fail this one.
    option_error_count = 0;

    // A record stored by an earlier run is the starting point, except for
    // the lists that this run builds again.
    load_options_from_dbcm();
    m_options.clear_features();
    m_options.mutable_device()->clear_pr_region_masks();

    PB::OPTIONS_DEVICE* device = m_options.mutable_device();
    uint16_t scheme_value = 0;
    const PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME scheme = get_configuration_scheme(scheme_value);
    ASM_REQUIRE(PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_IsValid(scheme));
    device->set_configuration_scheme(scheme);
    device->set_device_init_clock_hz(get_init_clock());
    device->set_active_serial_clock_hz(get_active_serial_clock());
    device->set_test_burnin_mode(false);
    device->set_test_burnin_argument0(0);
    device->set_test_burnin_argument1(0);
    device->set_enable_no_hipi_initialization_flow(get_bool_option(OPTION_NO_HIPI_INITIALIZATION_FLOW, false));
    const bool prototyping = get_bool_option(OPTION_ASIC_PROTOTYPING, false);
    const bool prototyping_board = get_bool_option(OPTION_ASIC_PROTOTYPING_BOARD, false);
    device->set_asic_prototyping(prototyping || prototyping_board);
    std::string jtag_user_code;
    get_string_option(OPTION_JTAG_USER_CODE, jtag_user_code);
    device->set_jtag_user_code(hexadecimal_user_code(jtag_user_code));

    const DEV_FAMILY user_family = m_chip->get_user_family_enum();
    if (user_family == FAMILY_WITH_THRESHOLD_TEMPERATURE)
    {
        device->set_threshold_temp(get_threshold_temp());
    }
    else if (user_family == FAMILY_WITH_CB_IP)
    {
        find_cb_io_configsel();
        device->set_conf_sel(m_io_configsel_found && m_io_configsel == "true");
    }
    if (cfg_is_on("run_config_cpu_from_int_osc", true))
        device->set_run_config_cpu_from_int_osc(get_bool_option(OPTION_RUN_CONFIG_CPU_FROM_INT_OSC, false));

    PB::OPTIONS_SDM* sdm = device->mutable_sdm();
    if (sdm == nullptr)
        internal_error("DBCM options: sdm is null", ASM_SOURCE_TAG, __LINE__);
    sdm->set_ed_crc_divisor(0);

    if (m_chip->get_base_family_enum() != FAMILY_WITH_CB_IP)
        populate_sdm_pins(sdm, scheme_value);

    // The further steps of the record run here, in this order; each reports
    // its own problems and none stops the driver:
    populate_power_management(sdm);
    populate_seu_options(sdm);
    populate_sectors();
    populate_sector_seu_priority();
    process_hssi_options();
    populate_hps_options();
    populate_security_options(is_vid_part(), user_family);
    add_required_features(sdm);

    save_options_into_dbcm();

    bool result = true;
    // Then, with partial-reconfiguration data (m_pr_info), its step with
    // m_dbcm_chip: a false result makes the result false and skips the final
    // checks; otherwise check_option_consistency gives the result.
    if (m_pr_info != nullptr && !m_pr_info->process_pr_options(m_dbcm_chip, nullptr))
        result = false;
    if (result)
        result = check_option_consistency();

    if (option_error_count > 0)
    {
        asm_debug_log(2, "%s", "SDM option processing failed");
        result = false;
    }
    return result;
}

bool ASM_OPTION2::load_options_from_dbcm()
{
    const std::vector<std::string> stored = load_record_sections(m_dbcm_chip, OPTIONS_SECTION, "ACID_SDM");
    // The last section of the name wins. One that does not parse leaves the
    // record as it was, so that nothing half-parsed is ever stored again.
    for (const std::string& bytes : stored)
    {
        PB::OPTIONS parsed;
        if (parsed.ParseFromString(bytes))
            m_options.Swap(&parsed);
        else
            asm_debug_log(2, "%s", "ACID_SDM cannot parse vsection OPTIONS");
    }
    return !stored.empty();
}

void ASM_OPTION2::save_options_into_dbcm()
{
    store_record_section(m_dbcm_chip, OPTIONS_SECTION, OPTIONS_SECTION_MAJOR, OPTIONS_SECTION_MINOR, m_options,
                         "ACID_SDM", ASM_SOURCE_TAG);

    if (m_dump_option_data)
    {
        const FIO_PATH dump(gen_get_project_output_directory(), "asm_option_data_dump", "txt");
        if (!write_dump_file(dump, m_options.DebugString()))
        {
            asm_debug_log(2, "Cannot open %s", dump.fullpath().c_str());
            // Reported once: the later saves of the run (one per hash) do
            // not try the dump again.
            m_dump_option_data = false;
        }
    }
}

bool ASM_OPTION2::add_cram_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "  CRAM_HASH:add_cram_hash_into_dbcm begin ....");
    const bool found = load_options_from_dbcm();
    if (found)
    {
        m_options.mutable_device()->set_cram_hash(hash != nullptr ? hash : "");
        save_options_into_dbcm();
    }
    asm_debug_log(2, "%s", "  CRAM_HASH:add_cram_hash_into_dbcm end");
    return found;
}

bool ASM_OPTION2::add_cvp_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "    CVP_HASH:add_cvp_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_cvp_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "    CVP_HASH:add_cvp_hash_into_dbcm end");
    return true;
}

bool ASM_OPTION2::add_io_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "  IO_HASH:add_io_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_io_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "  IO_HASH:add_io_hash_into_dbcm end");
    return true;
}

bool ASM_OPTION2::add_hpio_hash_into_dbcm(const char* hash)
{
    load_options_from_dbcm();
    m_options.mutable_device()->set_hpio_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    return true;
}

void ASM_OPTION2::add_static_region_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "    STATIC_REGION_HASH:add_static_region_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_static_region_mask_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "    STATIC_REGION_HASH:add_static_region_hash_into_dbcm end");
}

void ASM_OPTION2::add_pr_region_hash_into_dbcm(const char* region, const char* hash)
{
    const char* name = region != nullptr ? region : "";
    std::string line = safe_sprintf("    PR_REGION_HASH:%s:add_pr_region_hash_into_dbcm begin ....", name);
    asm_debug_log(2, "%s", line.c_str());
    load_options_from_dbcm();
    PB::OPTIONS_PR_REGION_MASK* mask = m_options.mutable_device()->add_pr_region_masks();
    mask->set_name(name);
    mask->set_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    line = safe_sprintf("    PR_REGION_HASH:%s:add_pr_region_hash_into_dbcm end", name);
    asm_debug_log(2, "%s", line.c_str());
}

bool ASM_OPTION2::has_mailbox_abort_feature() const
{
    for (const PB::OPTIONS_REQUIRED_FEATURE& feature : m_options.features())
        if (feature.id() == FEATURE_MAILBOX_ABORT)
            return true;
    return false;
}
