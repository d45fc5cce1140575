#include "gen.h"

#include <dlfcn.h>

#include <cctype>
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

std::string gen_get_current_date_and_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &local);
    return text;
}
