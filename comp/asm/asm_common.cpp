#include "asm_common.h"

#include <cstdarg>

void internal_error(const char* condition, const char* file, int line)
{
    MSG_INTERNAL_ERROR::report(condition, "ASM", file, line);
}

bool asm_debug_log(MSG_D_LEVEL level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool written = msg_local_vdebug("ASM", level, format, args);
    va_end(args);
    return written;
}

bool try_vsprintf(std::string& result, fmt::string_view format, fmt::printf_args args)
{
    try
    {
        result = fmt::vsprintf(format, args);
        return true;
    }
    catch (...)
    {
        result = "(unprintable)";
        return false;
    }
}

void format_mismatch_diagnostic(std::string& result, fmt::string_view format, size_t count, fmt::format_args args)
{
    result = fmt::format("ERROR: args not compatible with format string\nformat: {}\n", format);
    for (size_t i = 0; i < count; ++i)
    {
        result += fmt::format("arg[{}]: ", i);
        std::string index_format = fmt::sprintf("{%d}\n", static_cast<int>(i));
        try
        {
            result += fmt::vformat(index_format, args);
        }
        catch (...)
        {
            result += "(unprintable)\n";
        }
    }
}
