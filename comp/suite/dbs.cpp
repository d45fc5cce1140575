#include "dbs.h"

#include <deque>

namespace
{

// Index i holds the name of port type i + 1.
std::deque<std::string>& port_type_names()
{
    static std::deque<std::string> names;
    return names;
}

}  // namespace

const char* DBS_TRANSLATOR::get_debug_string_name(DBS_PORT_TYPE type)
{
    const std::deque<std::string>& names = port_type_names();
    if (type < 1 || static_cast<size_t>(type) > names.size())
        return nullptr;
    return names[static_cast<size_t>(type) - 1].c_str();
}

DBS_PORT_TYPE dbs_add_port_type(const std::string& name)
{
    if (name.empty())
        return 0;
    std::deque<std::string>& names = port_type_names();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<DBS_PORT_TYPE>(i + 1);
    names.push_back(name);
    return static_cast<DBS_PORT_TYPE>(names.size());
}

void dbs_reset() { port_type_names().clear(); }
