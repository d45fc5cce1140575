#include "asm_assemble_asmm.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_option2.h"
#include "asm_trace.h"
#include "asm_util.h"

#include <cdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>

#include <string>

#define ASM_SOURCE_TAG "comp/asm/asm_assemble_asmm"

namespace
{

const int FAMILY_WITH_CB_IP_CHECK = 44;

// The die's device data is loaded in this order.
const int DEVICE_DATA_KINDS[] = {4, 2, 1};

}  // namespace

int assemble_dev_device(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_OPTION2* option2, int family,
                        DEV_PART_MANAGER* part_manager)
{
    (void)part_manager;
    if (asm_tracing())
        asm_trace(safe_sprintf("run assemble_dev_device %d %s", family,
                               option2 != nullptr ? "with option block" : "without option block"));
    ASM_REQUIRE(cmp != NULL);

    DEV_DEVICE* dev_device = DMGR_UTILITY::get_current_device();
    // The run reads the device's information below; without a current
    // device there is nothing to assemble.
    ASM_REQUIRE(dev_device != NULL);
    ASM_RPT_DATA_CACHE rpt_data_cache(*chip);
    asm_memory_checkpoint("beginning asm_bcm_device");

    const DEV_PART dev_part_enum = chip->get_part_enum();
    ASM_REQUIRE((dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC));

    DEV_BASIC_INFO* basic_info = dev_device->get_basic_info();
    ASM_REQUIRE(basic_info != nullptr);

    if (family == FAMILY_WITH_CB_IP_CHECK && option2 != nullptr && !option2->m_cb_ip_found)
    {
        post_message(msg_WASM_ASM_LTM_MISSING_CB_IP());
        if (!cfg_is_on("skip_cb_ip_presence_check"))
            return -1;
    }

    DEV_DIE_INFO* die_info = dev_device->get_die_info();
    ASM_REQUIRE(die_info != nullptr);
    for (int kind : DEVICE_DATA_KINDS)
    {
        std::string text;
        if (!die_info->load_device_data(kind, text))
            internal_error("Unable to load device data", ASM_SOURCE_TAG, __LINE__);
    }

    // The project adapter and the assembler core library's run come next:
    // until they stand, the run stops here without a SOF index.
    return -1;
}
