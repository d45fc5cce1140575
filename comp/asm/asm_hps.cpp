#include "asm_hps.h"

#include "asm_common.h"
#include "asm_trace.h"

#include <cfg.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <hdb.h>

#define ASM_SOURCE_TAG "comp/asm/asm_hps"

namespace
{

const uint32_t BASE_BOX_SIZE = 1572;
const uint32_t VR_BOX_SIZE = 1572;
const uint32_t VW_BOX_SIZE = 1596;
const uint32_t VW_VARIANT_BOX_SIZE = 1608;
const uint32_t VK_BOX_SIZE = 1624;
const uint32_t DEDICATED_IO = 48;

void trace_box(const char* layout, uint32_t size)
{
    if (asm_tracing())
        asm_trace(safe_sprintf("construct %s %u", layout, size));
}

}  // namespace

HPS_HANDOFF_BOX::HPS_HANDOFF_BOX() : m_bytes(BASE_BOX_SIZE, 0), m_size(BASE_BOX_SIZE), m_dedicated_io(DEDICATED_IO)
{
    trace_box("HPS_HANDOFF_BOX", m_size);
}

HPS_HANDOFF_BOX::~HPS_HANDOFF_BOX() { asm_trace("destroy HPS_HANDOFF_BOX"); }

void HPS_HANDOFF_BOX::resize(uint32_t size)
{
    m_size = size;
    m_bytes.resize(size, 0);
}

VR_HPS_HANDOFF_BOX::VR_HPS_HANDOFF_BOX()
{
    resize(VR_BOX_SIZE);
    trace_box("VR_HPS_HANDOFF_BOX", m_size);
}

VW_HPS_HANDOFF_BOX::VW_HPS_HANDOFF_BOX(bool variant) : m_variant(variant)
{
    resize(variant ? VW_VARIANT_BOX_SIZE : VW_BOX_SIZE);
    trace_box("VW_HPS_HANDOFF_BOX", m_size);
}

VK_HPS_HANDOFF_BOX::VK_HPS_HANDOFF_BOX()
{
    resize(VK_BOX_SIZE);
    trace_box("VK_HPS_HANDOFF_BOX", m_size);
}

void hps_log_cpu_core_count(int count)
{
    std::string line = safe_sprintf("ACID_HPS DEV_RESOURCE_CPU_CORE: %d", count);
    asm_debug_log(2, "%s", line.c_str());
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
    // A device without basic information has no known part, and so no HPS.
    DEV_BASIC_INFO* basic_info = dev_device->get_basic_info();
    DEV_PART part = basic_info != nullptr ? basic_info->get_part_enum() : DEV_PART_INVALID;

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
    // The load of an earlier "HANDOFF" section, the configuration strings,
    // their parse into the block and the record, and the store come with the
    // handoff's own steps.
    asm_debug_log(2, "%s", "ACID_HPS: add_hand_off_data_into_dbcm");
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
