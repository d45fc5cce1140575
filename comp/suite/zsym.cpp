#include "zsym.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

struct ZSYM::ENTRY
{
    ZSYM_NAMESPACE name_space;
    std::string name;
};

namespace
{

// Entries are never removed, so a symbol's text stays valid for the life of
// the process.
struct SYMBOL_TABLE
{
    std::mutex mutex;
    std::map<std::pair<int, std::string>, std::unique_ptr<ZSYM::ENTRY>> entries;
};

SYMBOL_TABLE& table()
{
    static SYMBOL_TABLE symbols;
    return symbols;
}

}  // namespace

void ZSYM::use(ZSYM_NAMESPACE name_space, const char* name)
{
    if (name == nullptr)
    {
        m_entry = nullptr;
        return;
    }
    SYMBOL_TABLE& symbols = table();
    std::lock_guard<std::mutex> lock(symbols.mutex);
    std::unique_ptr<ENTRY>& entry = symbols.entries[std::make_pair(static_cast<int>(name_space), std::string(name))];
    if (!entry)
        entry.reset(new ENTRY{name_space, name});
    m_entry = entry.get();
}

const char* ZSYM::cname() const { return m_entry ? m_entry->name.c_str() : nullptr; }

ZSYM_NAMESPACE ZSYM::get_namespace() const { return m_entry ? m_entry->name_space : ZSYM_NAMESPACE_NONE; }

std::string ZSYM::full_name() const
{
    if (m_entry == nullptr)
        return std::string();
    return std::string(zsym_namespace_symbol(m_entry->name_space).cname()) + "::" + m_entry->name;
}

ZSYM zsym_namespace_symbol(ZSYM_NAMESPACE name_space)
{
    std::string name;
    switch (name_space)
    {
    case ZSYM_NAMESPACE_NONE:
        name = "none";
        break;
    case ZSYM_NAMESPACE_NAME:
        name = "name";
        break;
    case ZSYM_NAMESPACE_LOCATION_ELEMENT:
        name = "location_element";
        break;
    default:
        name = std::to_string(static_cast<int>(name_space));
        break;
    }
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NONE, name.c_str());
    return symbol;
}

namespace
{
// One compilation runs on one thread; the scope is that thread's.
thread_local ZSYM_NAMESPACE current_namespace = ZSYM_NAMESPACE_NAME;
}  // namespace

ZSYM_NAMESPACE zsym_current_namespace() { return current_namespace; }

ZSYM_MODIFY_NAMESPACE_SCOPE::ZSYM_MODIFY_NAMESPACE_SCOPE(ZSYM_NAMESPACE name_space) : m_previous(current_namespace)
{
    current_namespace = name_space;
}

ZSYM_MODIFY_NAMESPACE_SCOPE::~ZSYM_MODIFY_NAMESPACE_SCOPE() { current_namespace = m_previous; }
