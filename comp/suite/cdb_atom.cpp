#include "cdb_atom.h"

CDB_ATOM_BLACKBOX* CDB_ATOM_NODE::get_blackbox()
{
    return is_blackbox() ? static_cast<CDB_ATOM_BLACKBOX*>(this) : nullptr;
}

CDB_ATOM_NODE* CDB_ATOM_NETLIST::add_atom(std::unique_ptr<CDB_ATOM_NODE> atom)
{
    CDB_ATOM_NODE* raw = atom.get();
    if (raw)
    {
        raw->m_netlist_index = static_cast<uint32_t>(m_nodes.size());
        m_owned.push_back(std::move(atom));
    }
    m_nodes.push_back(raw);
    if (raw && raw->is_blackbox())
        m_blackboxes.push_back(raw);
    return raw;
}

CDB_ATOM_BLACKBOX* CDB_ATOM_NETLIST::add_blackbox(const std::string& name, const std::string& type,
                                                  bool child_modifiable)
{
    m_children.push_back(std::make_unique<CDB_ATOM_NETLIST>(child_modifiable));
    auto blackbox = std::make_unique<CDB_ATOM_BLACKBOX>(name, type);
    blackbox->set_child_netlist(m_children.back().get());
    return static_cast<CDB_ATOM_BLACKBOX*>(add_atom(std::move(blackbox)));
}

CDB_ATOM_ITERATOR::CDB_ATOM_ITERATOR(CDB_ATOM_NETLIST* netlist, CDB_TRAVERSE mode, bool use_blackbox_list,
                                     bool keep_marked)
    : m_current{CDB_ATOM_NODE_LIST::iterator(), netlist},
      m_mode(mode),
      m_use_blackbox_list(use_blackbox_list),
      m_keep_marked(keep_marked)
{
    m_current.it = get_atom_iterator_begin(netlist);
}

CDB_ATOM_NODE_LIST::iterator CDB_ATOM_ITERATOR::get_atom_iterator_begin(CDB_ATOM_NETLIST* netlist) const
{
    if (m_use_blackbox_list && !netlist->is_modifiable())
        return netlist->begin_blackboxes();
    return netlist->begin_raw_node_list();
}

CDB_ATOM_NODE_LIST::iterator CDB_ATOM_ITERATOR::get_atom_iterator_end(CDB_ATOM_NETLIST* netlist) const
{
    if (m_use_blackbox_list && !netlist->is_modifiable())
        return netlist->end_blackboxes();
    return netlist->end_raw_node_list();
}

void CDB_ATOM_NODE::set_parameter(const std::string& name, const std::string& value)
{
    for (auto& parameter : m_parameters)
        if (parameter.first == name)
        {
            parameter.second = value;
            return;
        }
    m_parameters.emplace_back(name, value);
}
