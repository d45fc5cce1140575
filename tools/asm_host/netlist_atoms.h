// The atoms of a design's netlist by name, for the design keys that name an
// atom (the routed atoms, the atoms' parameters): built once per netlist,
// so that each name is found without walking the netlist again.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

struct DESIGN_NETLIST;
class CDB_ATOM_NETLIST;
class CDB_ATOM_NODE;

// The atoms of a stand-in netlist by name. A name finds the first atom of
// that name in netlist order, where a blackbox atom comes before the atoms
// of its child netlist and they before the atoms that follow the blackbox.
class HOST_ATOM_INDEX
{
public:
    // The index of the netlist and its child netlists; empty for none.
    explicit HOST_ATOM_INDEX(CDB_ATOM_NETLIST* netlist);

    // Null when no atom has the name.
    CDB_ATOM_NODE* find(const std::string& name) const;

private:
    void add(CDB_ATOM_NETLIST* netlist);

    std::unordered_map<std::string, CDB_ATOM_NODE*> m_atoms;
};

// How many atoms of the design's netlist, child netlists included, carry
// each name.
std::unordered_map<std::string, size_t> count_atom_names(const DESIGN_NETLIST& netlist);
