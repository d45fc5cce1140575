// Report-side utilities of the assembler: memory checkpoints, the oops line,
// message posting and the text output of a path.
#pragma once

#include <fio.h>
#include <msg.h>

#include <ostream>

// With INI asm_report_memory on (read once per process), writes the debug
// line "[label] ASM memory system current N, system peak M".
void asm_memory_checkpoint(const char* label);

// Debug line "Oops: text " written before an internal error of the report
// tables.
bool log_oops(const char* text);

// Sets the message's report (null: the active one), posts it, deletes it and
// returns what the post returned (false for a null message).
bool post_message(MSG_BASE* message, MSG_REPORT* report = nullptr);

// Writes the path's full path, unquoted.
std::ostream& operator<<(std::ostream& out, const FIO_PATH& path);

#include <cstdint>

class CDB_CHIP_DB_ENTRY;
class CMP_FACADE;

// The chip facts the report tables need, taken before the assembly changes
// the chip: its CRC clock divisor.
class ASM_RPT_DATA_CACHE
{
public:
    explicit ASM_RPT_DATA_CACHE(const CDB_CHIP_DB_ENTRY& chip);
    virtual ~ASM_RPT_DATA_CACHE();

    uint32_t m_crc_clock_divisor;
};

void create_asm_report_tables(CMP_FACADE* cmp, std::vector<std::string> report_lines, const ASM_RPT_DATA_CACHE* cache, CDB_CHIP_DB_ENTRY* chip);
