#include "acf.h"

#include <map>

namespace
{
struct VARIABLE
{
    std::string user_name;
    bool named = false;
    std::set<DEV_FAMILY> families;
};

std::map<int, VARIABLE>& variables()
{
    static std::map<int, VARIABLE> table;
    return table;
}
}  // namespace

const char* acf_get_variable_user_name(int id)
{
    auto it = variables().find(id);
    return it == variables().end() || !it->second.named ? nullptr : it->second.user_name.c_str();
}

bool acf_variable_includes_family(int id, DEV_FAMILY family)
{
    auto it = variables().find(id);
    return it != variables().end() && it->second.families.count(family) != 0;
}

void acf_set_variable_user_name(int id, const std::string& name)
{
    VARIABLE& variable = variables()[id];
    variable.user_name = name;
    variable.named = true;
}

void acf_set_variable_families(int id, const std::set<DEV_FAMILY>& families) { variables()[id].families = families; }

void acf_reset() { variables().clear(); }
