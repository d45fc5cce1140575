// What the host reads for the bit settings of an SRAM object file
// (asm_host process-sof): the die's CRAM column count and the architecture
// groups of its assembler data, and the device that the device manager
// opens for a part of the design.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An architecture group of the die (ASMDB_TABLE_ARCH_GROUP, asmdb.h).
struct DESIGN_ARCH_GROUP
{
    int index = 0;
    int type = 0;
    int block_type = 0;
    int bcm_block_type = 0;
    int32_t size = 0;
    int32_t width = 0;
    uint32_t base = 0;
    std::map<std::string, uint32_t> named_arguments;
};

struct DESIGN_ARCH_GROUP_TYPE
{
    int type = 0;
    std::string name;
};

struct DESIGN_BIT_SETTINGS
{
    // die.cram_columns; absent: the device has no column count.
    std::optional<int32_t> cram_columns;
    // die.asm_data.archgroups and die.asm_data.arch_group_types.
    std::vector<DESIGN_ARCH_GROUP> arch_groups;
    std::vector<DESIGN_ARCH_GROUP_TYPE> arch_group_types;
};

// Readers of the two asm_data keys; a bad value is a DESIGN_ERROR naming
// the file, the key path and the problem.
void read_design_arch_groups(const nlohmann::json& value, const std::string& file, const std::string& path,
                             DESIGN_BIT_SETTINGS& bit_settings);
void read_design_arch_group_types(const nlohmann::json& value, const std::string& file, const std::string& path,
                                  DESIGN_BIT_SETTINGS& bit_settings);

struct DESIGN;
class DEV_ASM_INFO;
class DEV_DEVICE;
class DEV_DIE_INFO;

// The die information of the design's device (its device data kinds and
// CRAM bit count) and its assembler data (the asm_data parts, blocks and id
// strings, and the archgroups when asked; null without die.asm_data), as the
// host's current device and the device manager's devices both carry them.
std::unique_ptr<DEV_DIE_INFO> make_design_die_info(const DESIGN& design);
std::unique_ptr<DEV_ASM_INFO> make_design_asm_info(const DESIGN& design, bool with_arch_groups);

// The device of a part of the design, as the device manager opens it: its
// basic information (with the CRAM column count), die information and
// assembler data with the archgroups. Null for a part the design does not
// list.
std::unique_ptr<DEV_DEVICE> make_design_device(const DESIGN& design, int part);

// Names the design's archgroup types in the assembler database.
void register_design_arch_group_types(const DESIGN& design);
