#include "zpr.h"

#include <map>

namespace
{
std::map<const HDB_NAMESPACE*, std::string>& hashes()
{
    static std::map<const HDB_NAMESPACE*, std::string> table;
    return table;
}

// The partial-reconfiguration POF records of the partitions.
struct PR_POF
{
    uint32_t index = 0;
    std::string value_data;
};

std::map<const HDB_NAMESPACE*, PR_POF>& pr_pofs()
{
    static std::map<const HDB_NAMESPACE*, PR_POF> table;
    return table;
}
}  // namespace

uint32_t ZPR::UTILS::get_pr_pof_index(const HDB_NAMESPACE* partition)
{
    auto it = pr_pofs().find(partition);
    return it == pr_pofs().end() ? 0 : it->second.index;
}

std::string ZPR::UTILS::get_pr_pof_value_data(const HDB_NAMESPACE* partition, bool)
{
    auto it = pr_pofs().find(partition);
    return it == pr_pofs().end() ? std::string() : it->second.value_data;
}

void ZPR::UTILS::set_pr_pof_index(const HDB_NAMESPACE* partition, uint32_t index)
{
    pr_pofs()[partition].index = index;
}

void ZPR::UTILS::set_pr_pof_value_data(const HDB_NAMESPACE* partition, const std::string& data)
{
    pr_pofs()[partition].value_data = data;
}

std::string ZPR::UTILS::get_design_hash(const HDB_NAMESPACE* partition)
{
    auto it = hashes().find(partition);
    return it == hashes().end() ? std::string() : it->second;
}

void ZPR::UTILS::set_design_hash(const HDB_NAMESPACE* partition, const std::string& hash)
{
    hashes()[partition] = hash;
}

void ZPR::UTILS::reset()
{
    hashes().clear();
    pr_pofs().clear();
}
