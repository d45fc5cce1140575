// Report-side utilities of the assembler: memory checkpoints, the oops line,
// message posting, the text output of a path and the dump files.
#pragma once

#include <fio.h>
#include <msg.h>

#include <ostream>
#include <string>

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

// Replaces a debug or dump file (the path's full path) with the text, byte
// for byte, whole or not at all. A file that cannot be written (opened, written to the end,
// closed and renamed into place) is left as it was and posts the error
// EASM_FILE_OPEN_FAILURE (full path, "file", "writing"); false then.
bool write_dump_file(const FIO_PATH& path, const std::string& text);

#include <cstdint>
#include <string>
#include <vector>

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

// Fills the assembler's section of the compilation report from the report
// lines of a device run and adds the tables to the report's current folder:
// the list of programming files, on base families 76, 17, 14 and 62 the CRC
// table of the last line without ';' (with the CRC clock rate, the chip's
// CRC clock divided by the cache's divisor), and one settings table per file
// line.
//
// A file line reads "settings ; path", the settings "item,item,...", an item
// "option = setting" or a bare text. Text that would start two characters
// after a ';' or '=' beyond the end of the line or item is empty. A line
// without ';' on any other base family is the internal error "Unhandled
// report data"; the tables added before it stay in the folder.
void create_asm_report_tables(CMP_FACADE* cmp, std::vector<std::string> report_lines, const ASM_RPT_DATA_CACHE* cache,
                              CDB_CHIP_DB_ENTRY* chip);

class ASM_MY_PROJECT;

// Ends a device run with the external programming-file tools when the
// current revision's assignment 1575 asks for them: by default one command,
// the tool ("zorvane_pfg " on base families 29, 52 and 67, "zorvane_cpf "
// otherwise) with "-c", the SOF path and the RBF path, or one command per
// non-empty line of the command file that assignment 1576 names (the tool
// word followed by the line, run through /bin/sh). The commands run in
// order, their standard output goes to pfg.log (emptied first; a tool that
// cannot be started leaves the reason there) and each posts its success or
// failure message; the first failure stops the list. A pfg.log that cannot
// be written whole is the error EASM_FILE_OPEN_FAILURE with its full path.
// Holds the revision's read lock while it runs (taken here unless the
// caller holds it); a write-locked revision runs nothing. False when a
// command failed, true otherwise (also when nothing ran).
bool run_programming_file_tools(int family, ASM_MY_PROJECT& project);
