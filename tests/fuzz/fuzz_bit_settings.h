// The options-file load as asm_process_sof runs it, shared by the options
// and token-file targets: a fresh process state, the device of a small
// .sof (a CRAM of 4096 bits in rows of 10 columns; for the archgroups
// elements four groups of type MUX in LAB blocks and one of type LUT in IO
// blocks), the load of the file with its includes, the netlist selection and
// the bit settings applied to the image.
#pragma once

#include "fuzz_support.h"
#include "sof_device_builder.h"

#include "asm_bit_settings.h"
#include "asm_options.h"

#include <asm_bitfield.h>
#include <asm_model.h>
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>
#include <msg.h>
#include <pgmio.h>

#include <memory>
#include <string>
#include <vector>

// The part name read from the .sof, matched by the file's device attributes.
inline const char* FUZZ_PART_NAME = "zx15f256c8";

// The process-wide state the load reads, as at the start of a run.
inline void fuzz_reset_process_state()
{
    reset_bit_settings_state();
    DMGR_UTILITY::set_current_device(nullptr);
}

// Loads the options file (relative names from the current directory) and
// applies its bit settings. An internal error is the load's way to refuse a
// file and ends the call normally.
inline void fuzz_load_and_apply(const std::string& options_path)
{
    fuzz_reset_process_state();
    DEV_DEVICE device;
    auto basic_info =
        std::make_unique<DEV_BASIC_INFO>(static_cast<DEV_PART>(1501), static_cast<DEV_DEVICE_ENUM>(150));
    basic_info->set_int_data(DEV_BASIC_INFO_INT_CRAM_COLS, 10);
    device.set_basic_info(std::move(basic_info));

    ASMDB_DIE die;
    asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(2), "LAB");
    asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3), "IO");
    asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(7), "MUX");
    asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(8), "LUT");
    for (int index = 0; index < 4; ++index)
        die.add_arch_group(std::make_unique<ASMDB_TABLE_ARCH_GROUP>(
            index, static_cast<ASMDB_ARCH_GROUP_TYPE>(7), static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(2),
            static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3), 4, 8, 500 + 32 * index));
    auto io_group = std::make_unique<ASMDB_TABLE_ARCH_GROUP>(
        0, static_cast<ASMDB_ARCH_GROUP_TYPE>(8), static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3),
        static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0), 2, 1, 0xA0000010u);
    io_group->set_named_argument("all", 1);
    die.add_arch_group(std::move(io_group));

    SOF_CONTENTS contents;
    contents.part_name = FUZZ_PART_NAME;
    contents.jtag_user_code = 0x00C0FFEE;
    contents.cram = SOF_IMAGE::zeros(4096);
    contents.cram.set_bit(12, true);
    contents.cff = SOF_IMAGE::zeros(64);
    contents.unvm = SOF_IMAGE::zeros(64);
    contents.option_register = SOF_IMAGE::zeros(32);
    contents.option_register_word = 0x00000101u;
    ASM_BITFIELD bitfield(new PGMIO_BITFIELD(contents, 0));

    try
    {
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(options_path), "", FUZZ_PART_NAME, "");
        if (options.m_initialized)
        {
            std::unique_ptr<ASMCC_NETLIST_FAQ> faq(options.create_netlist_faq());
            std::vector<DB_BIT_SETTING> settings;
            options.apply_bit_settings(settings, &bitfield, &device, &die, nullptr, nullptr);
            bitfield.silent_set_bits(settings);
        }
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
    }
    DMGR_UTILITY::set_current_device(nullptr);
}
