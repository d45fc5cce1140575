#include "zhd.h"

#include <algorithm>

ZHD_PARTITION* ZHD_DESIGN::add_partition(const std::string& name)
{
    m_partitions.push_back(std::make_unique<ZHD_PARTITION>(name));
    m_partitions.back()->set_top(m_partitions.size() == 1);
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

ZHD_PARTITION* ZHD_DESIGN::find_partition(const std::string& block_name) const
{
    for (const auto& partition : m_partitions)
        if (partition->get_block_name() == block_name)
            return partition.get();
    return nullptr;
}

void ZHD_PARTITION::set_block_name(const std::string& block_name)
{
    m_block_name = block_name;
    m_has_block_name = true;
}

void ZHD_PARTITION::set_parent(ZHD_PARTITION* parent)
{
    if (m_parent != nullptr)
    {
        auto& siblings = m_parent->m_children;
        siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(m_index_in_parent));
        for (size_t i = m_index_in_parent; i < siblings.size(); ++i)
            siblings[i]->m_index_in_parent = i;
    }
    m_parent = parent;
    if (parent != nullptr)
    {
        m_index_in_parent = parent->m_children.size();
        parent->m_children.push_back(this);
    }
}

HDB_INSTANCE_NAME* ZHD_PARTITION::add_instance(const std::string& hpath)
{
    m_instance = std::make_unique<HDB_INSTANCE_NAME>(hpath);
    return m_instance.get();
}

CDB_ATOM_NETLIST* ZHD_PARTITION::add_netlist(bool modifiable)
{
    m_netlist = std::make_unique<CDB_ATOM_NETLIST>(modifiable);
    m_netlist_namespace = std::make_unique<HDB_NAMESPACE>();
    m_netlist->set_namespace(m_netlist_namespace.get());
    return m_netlist.get();
}

ZHD_PARTITION* ZHD_PARTITION::get_next_sibling() const
{
    if (m_parent == nullptr || m_index_in_parent + 1 >= m_parent->m_children.size())
        return nullptr;
    return m_parent->m_children[m_index_in_parent + 1];
}

ZDB_PATH ZHD_PARTITION::get_db_directory_path(STATE) const { return ZDB_PATH("partitions/" + m_name); }

bool ZHD_DESIGN_UTILS::has_pr_partition(const ZHD_DESIGN* design)
{
    if (design == nullptr)
        return false;
    for (const auto& partition : design->get_partitions())
        if (partition->is_pr_partition())
            return true;
    return false;
}

std::vector<ZHD_PARTITION*> ZHD_DESIGN_UTILS::get_pr_partitions(const ZHD_DESIGN* design)
{
    std::vector<ZHD_PARTITION*> partitions;
    if (design != nullptr)
        for (const auto& partition : design->get_partitions())
            if (partition->is_pr_partition())
                partitions.push_back(partition.get());
    return partitions;
}
