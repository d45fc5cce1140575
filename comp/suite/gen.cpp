#include "gen.h"

namespace
{
std::string& project_output_directory()
{
    static std::string directory;
    return directory;
}
}  // namespace

std::string gen_get_project_output_directory()
{
    return project_output_directory().empty() ? std::string(".") : project_output_directory();
}

void gen_set_project_output_directory(const std::string& directory) { project_output_directory() = directory; }
