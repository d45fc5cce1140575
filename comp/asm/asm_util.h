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
