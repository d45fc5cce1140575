// Common utilities of the assembler module: internal errors (and the handler
// behind boost's assertions), the debug log, printf-style formatting that
// never throws, device element names, joining strings and the log line of a
// missing assignments file. The increment of the hierarchical atom iterator
// (CDB_ATOM_ITERATOR::descend and next, cdb_atom.h) and the constructor
// ZSYM::ZSYM(name) (zsym.h) are defined in asm_common.cpp as well.
#pragma once

#include <fmt/format.h>
#include <fmt/printf.h>

#include <dsym.h>
#include <fio.h>
#include <msg.h>

#include <string>
#include <vector>

// Marks the module's exported entry points; everything else stays hidden.
#define ASM_EXPORT __attribute__((visibility("default")))

// Reports a broken invariant (component "ASM") and does not return. The
// condition is written as in the source; the file is the source's tag, such
// as "comp/asm/asm_root".
[[noreturn]] void internal_error(const char* condition, const char* file, int line);

// Checks a condition and reports it by its own text when it fails. A source
// defines ASM_SOURCE_TAG before it uses the macro.
#define ASM_REQUIRE(condition)                                 \
    do                                                         \
    {                                                          \
        if (!(condition))                                      \
            internal_error(#condition, ASM_SOURCE_TAG, __LINE__); \
    } while (0)

class HDB_NAMESPACE;

// The value of a hexadecimal digit (either case); -1 for any other
// character.
inline int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The settings of the current design's top partition (the project's
// settings holder); null when there is no such design or partition.
HDB_NAMESPACE* top_partition_settings();

// The module's debug log under the component "ASM".
bool asm_debug_log(MSG_D_LEVEL level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The two halves of safe_sprintf: the printf engine inside a catch-all, and
// the diagnostic that replaces the text when the format and the arguments do
// not match.
bool try_vsprintf(std::string& result, fmt::string_view format, fmt::printf_args args);
void format_mismatch_diagnostic(std::string& result, fmt::string_view format, size_t count, fmt::format_args args);

// printf-style formatting that never throws, into a caller's string: the
// formatted text and true, or the mismatch diagnostic and false. A null
// format is taken as an empty one.
template <typename... Args>
bool safe_sprintf(std::string& out, const char* format, const Args&... args)
{
    const fmt::string_view format_view(format ? format : "");
    out.clear();
    if (try_vsprintf(out, format_view, fmt::make_printf_args(args...)))
        return true;
    format_mismatch_diagnostic(out, format_view, sizeof...(Args), fmt::make_format_args(args...));
    return false;
}

// The same, returning the text.
template <typename... Args>
std::string safe_sprintf(const char* format, const Args&... args)
{
    std::string result;
    safe_sprintf(result, format, args...);
    return result;
}

// Reports "Invalid element N" as an internal error; does not return.
[[noreturn]] void report_invalid_element(int element);

// The name of a device element (interned, valid for the process). 0 and
// anything from the generic element up are internal errors.
const char* device_element_name(DEV_ELEMENT_ENUM element);

// The strings with the separator between neighbours ("" for none).
std::string join_strings(const std::vector<std::string>& strings, const char* separator);

// Debug line "Failed to find Assembler assignments file <full path>".
void log_missing_assignments_file(const FIO_PATH& file);

// Reports "Symbol <symbol> does not belong to namespace <namespace>" as an
// internal error; does not return.
[[noreturn]] void report_symbol_not_in_namespace(const char* symbol, const char* name_space);
