// Common utilities of the assembler module: internal errors, the debug log
// and printf-style formatting that never throws.
#pragma once

#include <fmt/format.h>
#include <fmt/printf.h>

#include <msg.h>

#include <string>

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

// The module's debug log under the component "ASM".
bool asm_debug_log(MSG_D_LEVEL level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The two halves of safe_sprintf: the printf engine inside a catch-all, and
// the diagnostic that replaces the text when the format and the arguments do
// not match.
bool try_vsprintf(std::string& result, fmt::string_view format, fmt::printf_args args);
void format_mismatch_diagnostic(std::string& result, fmt::string_view format, size_t count, fmt::format_args args);

// printf-style formatting that never throws: the formatted text, or the
// mismatch diagnostic.
template <typename... Args>
std::string safe_sprintf(const char* format, const Args&... args)
{
    std::string result;
    if (!try_vsprintf(result, fmt::string_view(format), fmt::make_printf_args(args...)))
        format_mismatch_diagnostic(result, fmt::string_view(format), sizeof...(Args), fmt::make_format_args(args...));
    return result;
}

// The same into a caller's string; true when the format matched.
template <typename... Args>
bool safe_sprintf(std::string& out, const char* format, const Args&... args)
{
    out.clear();
    if (try_vsprintf(out, fmt::string_view(format), fmt::make_printf_args(args...)))
        return true;
    format_mismatch_diagnostic(out, fmt::string_view(format), sizeof...(Args), fmt::make_format_args(args...));
    return false;
}
