#include "dygr.h"

const std::vector<uint32_t>& DYGR_GLOBAL_ID_MAP::get_global_ids(int x, int y) const
{
    static const std::vector<uint32_t> none;
    auto it = m_ids.find({x, y});
    return it == m_ids.end() ? none : it->second;
}

DYGR_BLACKLISTING* DYGR_BLACKLISTING_LOADER::setup_blacklisting(DYGR_DIE_INFO* die_info)
{
    if (die_info == nullptr)
        return nullptr;
    die_info->note_blacklisting_set_up();
    return die_info->get_blacklisting();
}
