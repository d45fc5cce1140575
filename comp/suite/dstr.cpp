#include "dstr.h"

#include <map>

namespace
{
std::map<DEV_DEVICE_ENUM, std::string>& debug_names()
{
    static std::map<DEV_DEVICE_ENUM, std::string> names;
    return names;
}

std::map<DEV_FAMILY, std::string>& family_debug_names()
{
    static std::map<DEV_FAMILY, std::string> names;
    return names;
}
}  // namespace

const char* dstr_get_debug_string(DEV_DEVICE_ENUM device)
{
    auto found = debug_names().find(device);
    return found == debug_names().end() ? nullptr : found->second.c_str();
}

void dstr_set_debug_string(DEV_DEVICE_ENUM device, const std::string& name) { debug_names()[device] = name; }

void dstr_clear()
{
    debug_names().clear();
    family_debug_names().clear();
}

const char* dstr_get_debug_string(DEV_FAMILY family)
{
    auto found = family_debug_names().find(family);
    return found == family_debug_names().end() ? nullptr : found->second.c_str();
}

void dstr_set_family_debug_string(DEV_FAMILY family, const std::string& name) { family_debug_names()[family] = name; }
