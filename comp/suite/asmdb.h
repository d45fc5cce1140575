// Assembler database library of the suite (stand-in): per-die assembler data.
#pragma once

// A block type of the assembler database's architecture groups.
enum ASMDB_ARCH_GROUP_BLOCK_TYPE : int
{
    ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID = -1,
};
