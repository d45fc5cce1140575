// INI settings library of the suite (stand-in): switches read by name from
// the suite's INI file zorvane.ini, a list of "name = value" lines.
#pragma once

#include <string>
#include <vector>

// The result of an INI switch test.
typedef bool KESTIL_BOOL;

// True when the switch is set to an "on" value (on, true, yes, 1; any case).
// An absent switch is off.
KESTIL_BOOL cfg_is_on(const char* name);
// As above, but an absent switch gives the default.
KESTIL_BOOL cfg_is_on(const char* name, bool default_value);

// The text of a switch; the default when it is absent.
std::string cfg_get_value(const char* name, const char* default_value = "");
// The integer value of a switch (decimal, or hexadecimal with 0x); the
// default when it is absent or its text is not a whole number.
int cfg_get_int_value(const char* name, int default_value);

// Whether the switch is present at all (an "off" switch is present).
bool cfg_has_value(const char* name);

// Population, for the host and the tests.
void cfg_set_value(const std::string& name, const std::string& value);
void cfg_remove_value(const std::string& name);
void cfg_clear();
// Loads "name = value" lines (blank lines and lines starting with # or ; are
// skipped) on top of the current settings; the names loaded, in file order,
// go to *names. False, with the reason in *error, when the file cannot be
// read or a line has no "=".
bool cfg_load_ini_file(const std::string& path, std::string* error = nullptr,
                       std::vector<std::string>* names = nullptr);
