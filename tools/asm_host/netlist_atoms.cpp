#include "netlist_atoms.h"

#include "design.h"

#include <cdb_atom.h>

HOST_ATOM_INDEX::HOST_ATOM_INDEX(CDB_ATOM_NETLIST* netlist)
{
    if (netlist != nullptr)
        add(netlist);
}

CDB_ATOM_NODE* HOST_ATOM_INDEX::find(const std::string& name) const
{
    const auto found = m_atoms.find(name);
    return found != m_atoms.end() ? found->second : nullptr;
}

void HOST_ATOM_INDEX::add(CDB_ATOM_NETLIST* netlist)
{
    for (CDB_ATOM_NODE* atom : netlist->nodes())
    {
        if (atom == nullptr)
            continue;
        // An atom already indexed under the name came earlier and stays.
        m_atoms.emplace(atom->name(), atom);
        CDB_ATOM_BLACKBOX* blackbox = atom->get_blackbox();
        if (blackbox != nullptr && blackbox->get_child_netlist() != nullptr)
            add(blackbox->get_child_netlist());
    }
}

namespace
{

void count_names(const DESIGN_NETLIST& netlist, std::unordered_map<std::string, size_t>& counts)
{
    for (const DESIGN_ATOM& atom : netlist.atoms)
    {
        ++counts[atom.name];
        if (atom.children)
            count_names(*atom.children, counts);
    }
}

}  // namespace

std::unordered_map<std::string, size_t> count_atom_names(const DESIGN_NETLIST& netlist)
{
    std::unordered_map<std::string, size_t> counts;
    count_names(netlist, counts);
    return counts;
}
