#include "zpr.h"

#include <map>

namespace
{
std::map<const HDB_NAMESPACE*, std::string>& hashes()
{
    static std::map<const HDB_NAMESPACE*, std::string> table;
    return table;
}
}  // namespace

std::string ZPR::UTILS::get_design_hash(const HDB_NAMESPACE* partition)
{
    auto it = hashes().find(partition);
    return it == hashes().end() ? std::string() : it->second;
}

void ZPR::UTILS::set_design_hash(const HDB_NAMESPACE* partition, const std::string& hash)
{
    hashes()[partition] = hash;
}

void ZPR::UTILS::reset() { hashes().clear(); }
