// Device string library of the suite (stand-in): the printable names of
// devices.
#pragma once

#include "dev.h"

#include <string>

// The device's user name (from the part table, dev.h); null for an unknown
// device.
const char* dstr_get_user_string(DEV_DEVICE_ENUM device);

// The debug name of a device; null for a device that has none.
const char* dstr_get_debug_string(DEV_DEVICE_ENUM device);

// Population, for the host and the tests.
void dstr_set_debug_string(DEV_DEVICE_ENUM device, const std::string& name);
void dstr_clear();

// The part's user name (its name in the part table, dev.h); null for an
// unknown part.
const char* dstr_get_user_string(DEV_PART part);

// The part whose name in the part table equals the text, ignoring case
// (files carry part names in lower case); DEV_PART_INVALID for none.
DEV_PART dstr_get_dev_part_enum_by_string(const char* name);

// The debug name of a family; null for a family that has none.
const char* dstr_get_debug_string(DEV_FAMILY family);
void dstr_set_family_debug_string(DEV_FAMILY family, const std::string& name);
