#include "gen.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdint>
#include <ctime>

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

int gen_strnicmp(const char* first, const char* second, size_t count)
{
    if (first == nullptr || second == nullptr)
        return first == second ? 0 : (first == nullptr ? -1 : 1);
    for (size_t i = 0; i < count; ++i, ++first, ++second)
    {
        const int a = std::tolower(static_cast<unsigned char>(*first));
        const int b = std::tolower(static_cast<unsigned char>(*second));
        if (a != b || a == 0)
            return a - b;
    }
    return 0;
}

std::string gen_get_current_date_and_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &local);
    return text;
}
