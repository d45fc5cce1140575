// General utility library of the suite (stand-in): the suite's directories.
#pragma once

#include <string>

// The project's output directory ("" until the flow sets it: the current
// directory).
std::string gen_get_project_output_directory();
void gen_set_project_output_directory(const std::string& directory);

// The directory that holds the suite's modules and their data files, ending
// in "/". Unless set, the directory of the suite library itself (modules are
// installed beside it); "" when that cannot be found.
std::string gen_get_module_path();
// Sets the module directory ("" goes back to the library's own directory).
void gen_set_module_path(const std::string& directory);

// Compares two texts ignoring the case of ASCII letters: below, equal to or
// above zero as the first sorts before, with or after the second. A null
// text sorts before every other.
int gen_stricmp(const char* first, const char* second);

// The current local date and time as the suite prints it in file headers,
// e.g. "Mon Dec  7 07:48:02 2026".
std::string gen_get_current_date_and_time();
