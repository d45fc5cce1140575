#include "zsym.h"

#include <set>

ZSYM ZSYM::use(int name_space, const char* name)
{
    static std::set<std::pair<int, std::string>> table;
    auto inserted = table.emplace(name_space, name ? name : "");
    return ZSYM(&*inserted.first);
}

const char* ZSYM::cname() const { return m_entry ? m_entry->second.c_str() : ""; }

int ZSYM::name_space() const { return m_entry ? m_entry->first : 0; }
