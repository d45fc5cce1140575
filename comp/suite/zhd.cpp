#include "zhd.h"

#include <algorithm>

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

void ZHD_ROOT::reset()
{
    m_designs.clear();
    m_project_database.reset();
}

ZDB_DATABASE* ZHD_ROOT::add_project_database()
{
    if (!m_project_database)
        m_project_database = std::make_unique<ZDB_DATABASE>();
    return m_project_database.get();
}

void ZHD_PARTITION::set_parent(ZHD_PARTITION* parent)
{
    if (m_parent != nullptr)
    {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    m_parent = parent;
    if (parent != nullptr)
        parent->m_children.push_back(this);
}

ZHD_PARTITION* ZHD_PARTITION::get_next_sibling() const
{
    if (m_parent == nullptr)
        return nullptr;
    const std::vector<ZHD_PARTITION*>& siblings = m_parent->m_children;
    auto it = std::find(siblings.begin(), siblings.end(), this);
    return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
}

ZDB_PATH ZHD_PARTITION::get_db_directory_path(STATE) const { return ZDB_PATH("partitions/" + m_name); }

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
