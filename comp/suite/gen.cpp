#include "gen.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdint>

#include <filesystem>
#include <system_error>

namespace
{
std::string& project_output_directory()
{
    static std::string directory;
    return directory;
}

std::string& module_path()
{
    static std::string directory;
    return directory;
}

// The directory of the shared object that holds this function.
std::string own_directory()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&own_directory), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    std::error_code ec;
    std::string file = std::filesystem::absolute(info.dli_fname, ec).string();
    size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}
}  // namespace

std::string gen_get_project_output_directory()
{
    return project_output_directory().empty() ? std::string(".") : project_output_directory();
}

void gen_set_project_output_directory(const std::string& directory) { project_output_directory() = directory; }

std::string gen_get_module_path()
{
    if (module_path().empty())
        return own_directory();
    const std::string& directory = module_path();
    return directory.back() == '/' ? directory : directory + "/";
}

void gen_set_module_path(const std::string& directory) { module_path() = directory; }

int gen_stricmp(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr)
        return first == second ? 0 : (first == nullptr ? -1 : 1);
    for (;; ++first, ++second)
    {
        const int a = std::tolower(static_cast<unsigned char>(*first));
        const int b = std::tolower(static_cast<unsigned char>(*second));
        if (a != b || a == 0)
            return a - b;
    }
}

namespace
{
std::string& tcl_internal_directory()
{
    static std::string directory;
    return directory;
}
}  // namespace

std::string gen_get_tcl_internal_fullpath()
{
    if (tcl_internal_directory().empty())
        return gen_get_module_path() + "tcl";
    return tcl_internal_directory();
}

void gen_set_tcl_internal_fullpath(const std::string& directory) { tcl_internal_directory() = directory; }

std::string gen_get_relative_path_if_starts_with_project_dir(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path project =
        std::filesystem::absolute(gen_get_project_output_directory(), ec).lexically_normal();
    if (ec || path.empty())
        return path;
    const std::filesystem::path file = std::filesystem::path(path).lexically_normal();
    if (!file.is_absolute())
        return path;
    std::string prefix = project.string();
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    const std::string text = file.string();
    if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0)
        return path;
    return text.substr(prefix.size());
}

char* gen_itoa(int value, char* buffer, int radix)
{
    buffer[0] = '\0';
    if (radix < 2 || radix > 36)
        return buffer;
    const bool negative = radix == 10 && value < 0;
    // The magnitude as unsigned: also right for the most negative value.
    uint32_t rest = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[33];
    int count = 0;
    do
    {
        const uint32_t digit = rest % static_cast<uint32_t>(radix);
        digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        rest /= static_cast<uint32_t>(radix);
    } while (rest != 0);
    char* out = buffer;
    if (negative)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = '\0';
    return buffer;
}

int gen_atoi(const char* text)
{
    if (text == nullptr)
        return 0;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    uint32_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}
