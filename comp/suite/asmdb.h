// Assembler database library of the suite (stand-in): per-die assembler data.
#pragma once

// A block type of the assembler database's architecture groups.
enum ASMDB_ARCH_GROUP_BLOCK_TYPE : int
{
    ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID = -1,
};

#include <string>

// The block type that a name gives in the assembler database (exact,
// case-sensitive). A name that names no block type, and a null name, give
// ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID.
ASMDB_ARCH_GROUP_BLOCK_TYPE asmdb_get_asmdb_arch_group_block_type_by_string(const char* name);

// Population, for the host and the tests: the name of a block type (a name
// given again takes the new type), and the reset to no names.
void asmdb_set_arch_group_block_type_name(ASMDB_ARCH_GROUP_BLOCK_TYPE type, const std::string& name);
void asmdb_clear_arch_group_block_types();
