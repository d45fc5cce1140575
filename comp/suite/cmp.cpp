#include "cmp.h"

#include "cdb.h"

DEV_PART CMP_FACADE::get_part() const
{
    const CDB_DB_ENTRIES* entries = CDB_CMP_ENTRY::get_db_entries_no_update(m_cap_inst);
    const CDB_CHIP_DB_ENTRY* chip = entries != nullptr ? entries->get_chip_db_entry() : nullptr;
    return chip != nullptr ? chip->get_part_enum() : DEV_PART_INVALID;
}
