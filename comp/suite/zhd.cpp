#include "zhd.h"

ZHD_PARTITION* ZHD_DESIGN::add_partition(const std::string& name)
{
    m_partitions.push_back(std::make_unique<ZHD_PARTITION>(name));
    return m_partitions.back().get();
}

ZHD_ROOT* ZHD_ROOT::get()
{
    static ZHD_ROOT root;
    return &root;
}

ZHD_DESIGN* ZHD_ROOT::get_design(const std::string& name) const
{
    for (const auto& design : m_designs)
        if (design.first == name)
            return design.second.get();
    return nullptr;
}

ZHD_DESIGN* ZHD_ROOT::add_design(const std::string& name)
{
    if (ZHD_DESIGN* existing = get_design(name))
        return existing;
    m_designs.emplace_back(name, std::make_unique<ZHD_DESIGN>());
    return m_designs.back().second.get();
}

void ZHD_ROOT::reset() { m_designs.clear(); }

HDB_INSTANCE_NAME* ZHD_PARTITION::add_instance(const std::string& hpath)
{
    m_instance = std::make_unique<HDB_INSTANCE_NAME>(hpath);
    return m_instance.get();
}

bool ZHD_DESIGN_UTILS::has_pr_partition(const ZHD_DESIGN* design)
{
    if (design == nullptr)
        return false;
    for (const auto& partition : design->get_partitions())
        if (partition->is_pr_partition())
            return true;
    return false;
}
