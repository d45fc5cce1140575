#include "flow.h"

#include <map>

namespace
{
std::map<const HDB_NAMESPACE*, std::pair<uint64_t, uint64_t>>& hashes()
{
    static std::map<const HDB_NAMESPACE*, std::pair<uint64_t, uint64_t>> table;
    return table;
}
}  // namespace

std::pair<uint64_t, uint64_t> flow_get_design_hash(const HDB_NAMESPACE* cap_inst)
{
    auto it = hashes().find(cap_inst);
    return it == hashes().end() ? std::make_pair(uint64_t{0}, uint64_t{0}) : it->second;
}

void flow_set_design_hash(const HDB_NAMESPACE* cap_inst, uint64_t first, uint64_t second)
{
    hashes()[cap_inst] = std::make_pair(first, second);
}

void flow_reset() { hashes().clear(); }
