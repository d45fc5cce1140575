#include "cdb.h"

#include <map>

namespace
{
std::map<const HDB_NAMESPACE*, CDB_DB_ENTRIES*>& entries_by_instance()
{
    static std::map<const HDB_NAMESPACE*, CDB_DB_ENTRIES*> table;
    return table;
}
}  // namespace

CDB_DB_ENTRIES* CDB_CMP_ENTRY::get_db_entries_no_update(const HDB_NAMESPACE* cap_inst)
{
    auto it = entries_by_instance().find(cap_inst);
    return it == entries_by_instance().end() ? nullptr : it->second;
}

void CDB_CMP_ENTRY::set_db_entries(const HDB_NAMESPACE* cap_inst, CDB_DB_ENTRIES* entries)
{
    if (entries == nullptr)
        entries_by_instance().erase(cap_inst);
    else
        entries_by_instance()[cap_inst] = entries;
}

void CDB_CMP_ENTRY::reset() { entries_by_instance().clear(); }
