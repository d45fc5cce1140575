// The device that asm_process_sof makes for a .sof's part: a device of the
// given enum whose CRAM has the given number of columns, with the die's
// device data and an empty assembler database. Shared by the bit-settings
// tests and benchmark.
#pragma once

#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>
#include <msg.h>

#include <memory>

// The process-wide state that loading an options file and applying its bit
// settings read, as at the start of a run.
inline void reset_bit_settings_state()
{
    msg_reset();
    cfg_clear();
    gen_set_module_path("");
    dev_reset();
    dstr_clear();
    asmdb_clear_arch_group_block_types();
}

inline void set_sof_device_builder(DEV_DEVICE_ENUM device_enum, int cram_columns)
{
    dmgr_set_device_builder([device_enum, cram_columns](DEV_PART part) {
        auto device = std::make_unique<DEV_DEVICE>();
        auto basic_info = std::make_unique<DEV_BASIC_INFO>(part, device_enum);
        basic_info->set_int_data(DEV_BASIC_INFO_INT_CRAM_COLS, cram_columns);
        device->set_basic_info(std::move(basic_info));
        auto die_info = std::make_unique<DEV_DIE_INFO>();
        die_info->add_device_data(4);
        device->set_die_info(std::move(die_info));
        auto asm_info = std::make_unique<DEV_ASM_INFO>();
        asm_info->add_pdb_part(part);
        asm_info->set_asmdb_die(std::make_unique<ASMDB_DIE>());
        device->set_asm_info(std::move(asm_info));
        return device;
    });
}
