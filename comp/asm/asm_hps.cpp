// The HPS data builder: the run's HPS step, the handoff record's load and
// store, and the lookup of the HPS IP's configuration strings.
#include "asm_hps.h"

#include "asm_common.h"
#include "asm_trace.h"
#include "asm_util.h"

#include <cfg.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <fio.h>
#include <gen.h>
#include <hdb.h>
#include <zhd.h>

#define ASM_SOURCE_TAG "comp/asm/asm_hps"

namespace
{

const char* const HANDOFF_SECTION = "HANDOFF";
const int HANDOFF_SECTION_MAJOR = 1;
const int HANDOFF_SECTION_MINOR = 10;
const uint32_t DEDICATED_IO = 48;
// Pin-mux select value of a pin that no configuration string selects.
const uint32_t DEFAULT_PINMUX_SELECT = 9;

void log_value_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

}  // namespace

void hps_log_cpu_core_count(int count) { log_value_line(safe_sprintf("ACID_HPS DEV_RESOURCE_CPU_CORE: %d", count)); }

void hps_log_set_register_misaligned(int offset) { log_value_line(safe_sprintf("ACID_HPS: set_register %d", offset)); }

void hps_log_set_register_out_of_range(int buffer_size, int offset)
{
    log_value_line(safe_sprintf("ACID_HPS: set_register: buffer_size %d, offset %d", buffer_size, offset));
}

void hps_log_emif_line(const std::string& name, const std::string& value)
{
    log_value_line(safe_sprintf("ACID_HPS: HPS_ISW_EMIF : %s %s", name.c_str(), value.c_str()));
}

ASM_HPS_HANDOFF_DATA::ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                                           DEV_PART_MANAGER* part_manager)
    : m_cmp(cmp),
      m_chip(chip),
      m_run_value(run_value),
      m_part_manager(part_manager),
      m_flat_cap(nullptr),
      m_dbcm_chip(nullptr),
      m_dump_handoff_data(false),
      m_has_hps(false),
      M_HPS_DEDICATED_IO(DEDICATED_IO),
      m_handoff_box(nullptr)
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

    m_dump_handoff_data = cfg_is_on("hps_dump_handoff_data", false);

    DEV_DEVICE* dev_device = DMGR_UTILITY::get_current_device();
    ASM_REQUIRE(dev_device != NULL);
    DEV_BASIC_INFO* basic_info = dev_device->get_basic_info();
    ASM_REQUIRE(basic_info != NULL);
    const DEV_PART part = basic_info->get_part_enum();

    uint32_t cpu_cores = 0;
    if (part != DEV_PART_INVALID)
        cpu_cores = m_part_manager->get_device_resource_count_of(part, DEV_RESOURCE_CPU_CORE);
    if (cpu_cores == 0xFFFFFFFFu)
        cpu_cores = 0;
    hps_log_cpu_core_count(static_cast<int>(cpu_cores));
    m_has_hps = static_cast<int32_t>(cpu_cores) > 0;
}

ASM_HPS_HANDOFF_DATA::~ASM_HPS_HANDOFF_DATA()
{
    asm_trace("destroy ASM_HPS_HANDOFF_DATA");
    delete m_handoff_box;
}

void ASM_HPS_HANDOFF_DATA::set_handoff_box(HPS_HANDOFF_BOX* box)
{
    if (box == m_handoff_box)
        return;
    delete m_handoff_box;
    m_handoff_box = box;
}

void ASM_HPS_HANDOFF_DATA::add_hand_off_data_into_dbcm()
{
    asm_trace("run add_hand_off_data_into_dbcm");
    if (!m_has_hps)
        return;
    // Everything below writes into the block.
    ASM_REQUIRE(m_handoff_box != NULL);
    load_handoff_vsection();
    asm_debug_log(2, "%s", "ACID_HPS: add_hand_off_data_into_dbcm");

    std::string data;
    std::string emif;
    std::string hbm;
    get_hps_config_string(data, HPS_ISW_DATA_TYPE);
    get_hps_config_string(emif, HPS_ISW_EMIF_TYPE);
    get_hps_config_string(hbm, HPS_ISW_HBM_TYPE);
    parse_hps_config_strings(data, emif, hbm);
    write_handoff_vsection();
}

bool ASM_HPS_HANDOFF_DATA::load_handoff_vsection()
{
    bool loaded = false;
    for (const std::string& bytes : load_record_sections(m_dbcm_chip, HANDOFF_SECTION, "ACID_HPS"))
    {
        // A section that does not parse counts as none: the record starts
        // empty rather than half-filled.
        if (!m_handoff.ParseFromString(bytes))
        {
            m_handoff.Clear();
            loaded = false;
            asm_debug_log(2, "%s", "ACID_HPS cannot parse vsection");
            continue;
        }
        asm_debug_log(2, "%s", "ACID_HPS load vsection");
        loaded = true;
    }

    const int delay_size = m_handoff.io_delay_size();
    if (delay_size == 0)
    {
        for (uint32_t i = 0; i < M_HPS_DEDICATED_IO; ++i)
        {
            PB::HANDOFF_HPS_IO_DELAY* delay = m_handoff.add_io_delay();
            delay->set_output_val(0);
            delay->set_input_val(0);
        }
    }
    else if (static_cast<uint32_t>(delay_size) != M_HPS_DEDICATED_IO)
    {
        internal_error("delay_size == M_HPS_DEDICATED_IO", ASM_SOURCE_TAG, __LINE__);
    }

    const int pinmux_select_size = m_handoff.pinmux_select_size();
    if (pinmux_select_size == 0)
    {
        for (uint32_t i = 0; i < M_HPS_DEDICATED_IO; ++i)
            m_handoff.add_pinmux_select()->set_value(DEFAULT_PINMUX_SELECT);
    }
    else if (static_cast<uint32_t>(pinmux_select_size) != M_HPS_DEDICATED_IO)
    {
        internal_error("pinmux_select_size == M_HPS_DEDICATED_IO", ASM_SOURCE_TAG, __LINE__);
    }
    return loaded;
}

void ASM_HPS_HANDOFF_DATA::get_hps_config_string(std::string& out, ACF_VARIABLE_TYPE_ENUM type)
{
    out.clear();
    bool found = false;
    ZHD_DESIGN* zhd_design = ZHD_ROOT::get()->get_design("");
    ASM_REQUIRE(zhd_design != NULL);
    for (const auto& partition : zhd_design->get_partitions())
    {
        HDB_NAMESPACE* hdb = partition->get_hdb();
        ASM_REQUIRE(hdb != NULL);
        std::vector<const HDB_OPTION*> options;
        hdb->get_all_generated_options(type, options, false);
        for (const HDB_OPTION* option : options)
        {
            const std::string value = option->get_value_str();
            if (m_dump_handoff_data && type == HPS_ISW_DATA_TYPE)
                log_value_line(safe_sprintf("ACID_HPS: HPS_ISW_DATA %s", value.c_str()));
            // A value of one character or none is no configuration string.
            if (value.size() > 1)
            {
                out = value;
                found = true;
            }
        }
    }
    if (found)
        return;
    if (const auto* setting = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(m_flat_cap, type, true))
        out = setting->get_string_value();
}

void ASM_HPS_HANDOFF_DATA::add_peripheral(const std::string& name, uint32_t value)
{
    PB::HANDOFF_HPS_PERIPHERALS* peripheral = m_handoff.add_peripherals();
    peripheral->set_peri_name(name);
    peripheral->set_used(value == 1);
}

void ASM_HPS_HANDOFF_DATA::add_register(const std::string& name, uint32_t value)
{
    PB::HANDOFF_HPS_REG* reg = m_handoff.add_reg();
    reg->set_reg_name(name);
    reg->set_reg_value(value);
}

void ASM_HPS_HANDOFF_DATA::store_box_in_handoff()
{
    ASM_REQUIRE(m_handoff_box != NULL);
    const std::vector<uint8_t>& bytes = m_handoff_box->bytes();
    m_handoff.mutable_device()->set_handoff_binary(std::string(bytes.begin(), bytes.end()));
}

void ASM_HPS_HANDOFF_DATA::write_handoff_vsection()
{
    store_record_section(m_dbcm_chip, HANDOFF_SECTION, HANDOFF_SECTION_MAJOR, HANDOFF_SECTION_MINOR, m_handoff,
                         "ACID_HPS", ASM_SOURCE_TAG);
    if (!m_dump_handoff_data)
        return;
    const FIO_PATH dump(gen_get_project_output_directory(), "asm_hps_handoff_data_dump", "txt");
    if (!write_dump_file(dump, m_handoff.DebugString()))
        log_value_line(safe_sprintf("ACID_HPS: cannot open %s", dump.fullpath().c_str()));
}

VR_ASM_HPS_HANDOFF_DATA::VR_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                                                 DEV_PART_MANAGER* part_manager)
    : ASM_HPS_HANDOFF_DATA(cmp, chip, run_value, part_manager)
{
    asm_trace("construct VR_ASM_HPS_HANDOFF_DATA");
}

YB_ASM_HPS_HANDOFF_DATA::YB_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                                                 DEV_PART_MANAGER* part_manager)
    : ASM_HPS_HANDOFF_DATA(cmp, chip, run_value, part_manager)
{
    asm_trace("construct YB_ASM_HPS_HANDOFF_DATA");
}

VK_ASM_HPS_HANDOFF_DATA::VK_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                                                 DEV_PART_MANAGER* part_manager)
    : ASM_HPS_HANDOFF_DATA(cmp, chip, run_value, part_manager)
{
    asm_trace("construct VK_ASM_HPS_HANDOFF_DATA");
}
