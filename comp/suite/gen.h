// General utility library of the suite (stand-in): the suite's directories.
#pragma once

#include <string>

// The project's output directory ("" until the flow sets it: the current
// directory).
std::string gen_get_project_output_directory();
void gen_set_project_output_directory(const std::string& directory);
