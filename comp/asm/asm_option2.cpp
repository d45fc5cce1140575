#include "asm_option2.h"

#include "asm_common.h"
#include "asm_trace.h"

#include <cfg.h>
#include <dbcm.h>
#include <zhd.h>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

int32_t option_error_count = 0;

namespace
{

// Partial-reconfiguration regions are region kind 0 of a chip.
const int REGION_KIND_PARTIAL_RECONFIGURATION = 0;

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

    ZHD_ROOT* root = ZHD_ROOT::get();
    ZHD_DESIGN* design = root != nullptr ? root->get_design("") : nullptr;
    ZHD_PARTITION* top = design != nullptr ? design->get_top_partition() : nullptr;
    m_flat_cap = top != nullptr ? top->get_hdb() : nullptr;
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
    // The record's build, its checks and its storage as "OPTIONS" come with
    // the option block's steps; what stands is the final verdict over the
    // option errors that the process has counted.
    bool result = true;
    if (option_error_count > 0)
    {
        asm_debug_log(2, "%s", "SDM option processing failed");
        result = false;
    }
    return result;
}
