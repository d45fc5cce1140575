// General utility library of the suite (stand-in): the suite's directories.
#pragma once

#include "gen_string.h"  // gen_itoa and the other string helpers

#include <cstddef>
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

// The suite's internal Tcl directory, which holds the scripts the suite's
// own tools run (device-specific scripts under "zasm"). Unless set, the
// "tcl" directory beside the modules (gen_get_module_path() + "tcl").
std::string gen_get_tcl_internal_fullpath();
// Sets the internal Tcl directory ("" goes back to the default).
void gen_set_tcl_internal_fullpath(const std::string& directory);
// The path relative to the project directory when it lies inside it (the
// project's files and its output share one directory, the project output
// directory); any other path comes back unchanged.
std::string gen_get_relative_path_if_starts_with_project_dir(const std::string& path);

// Text to int: leading blanks, an optional sign and the decimal digits up to
// the first other character; 0 when there are no digits. A value beyond 32
// bits keeps its low 32 bits.
int gen_atoi(const char* text);

// Compares at most `count` characters of two texts ignoring the case of
// ASCII letters, as gen_stricmp does.
int gen_strnicmp(const char* first, const char* second, size_t count);
// The current local date and time as the suite prints it in file headers,
// e.g. "Mon Dec  7 07:48:02 2026".
std::string gen_get_current_date_and_time();
