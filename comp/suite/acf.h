// Assignment library of the suite (stand-in): what the suite knows of each
// project setting (variable) by its numeric id: its user name and the
// families it applies to.
#pragma once

#include "dev.h"

#include <set>
#include <string>

// The setting's user name; null for an id the library does not know.
const char* acf_get_variable_user_name(int id);
// Whether the setting applies to the family; false for an unknown id.
bool acf_variable_includes_family(int id, DEV_FAMILY family);

// Population, for the host and the tests: a name or family list given again
// replaces the earlier one.
void acf_set_variable_user_name(int id, const std::string& name);
void acf_set_variable_families(int id, const std::set<DEV_FAMILY>& families);
void acf_reset();

// A project setting's (variable's) numeric id, numbered as the suite's
// assignment library numbers them; generated options are told apart by it.
enum ACF_VARIABLE_TYPE_ENUM : int
{
};
