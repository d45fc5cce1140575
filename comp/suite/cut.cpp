#include "cut.h"

#include "dbcm.h"

#include "cdb_atom.h"

#include <fstream>

namespace
{

void write_netlist(std::ostream& out, const CDB_ATOM_NETLIST& netlist, int depth, bool hierarchical,
                   bool with_types)
{
    for (CDB_ATOM_NODE* atom : netlist.nodes())
    {
        out << std::string(2 * depth, ' ') << atom->name();
        if (with_types)
            out << " : " << atom->type();
        out << '\n';
        CDB_ATOM_BLACKBOX* blackbox = atom->get_blackbox();
        if (hierarchical && blackbox != nullptr && blackbox->get_child_netlist() != nullptr)
            write_netlist(out, *blackbox->get_child_netlist(), depth + 1, hierarchical, with_types);
    }
}

}  // namespace

bool CUT_ATOM_DUMPER::dump_current_atom_netlist(const FIO_PATH& path, bool hierarchical, bool with_types)
{
    if (m_chip == nullptr || m_chip->get_atom_netlist() == nullptr)
        return false;
    std::ofstream out(path.text());
    if (!out)
        return false;
    write_netlist(out, *m_chip->get_atom_netlist(), 0, hierarchical, with_types);
    out.close();
    return static_cast<bool>(out);
}

void CUT_PARAMETER_UTIL::get_parameter_list(const CDB_ATOM_NODE* atom, std::vector<CUT_PARAMETER>& list) const
{
    list.clear();
    if (atom == nullptr)
        return;
    for (const auto& parameter : atom->parameters())
        list.push_back(CUT_PARAMETER{parameter.first, parameter.second});
}

CUT_UTIL* CUT_UTIL::create(DEV_FAMILY family, MEM_SEGMENT*)
{
    return family < 0 ? nullptr : new CUT_UTIL(family);
}

int CUT_DEV_DYGR_DBCM_UTIL::get_top_level_dbcm_instance_id(uint32_t global_id) const
{
    return m_device != nullptr ? m_device->find_instance_of_global_id(global_id) : -1;
}
