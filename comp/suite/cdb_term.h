// Atom netlist library of the suite (stand-in): the terms of an atom. An
// output term drives the input terms of its fanout; each term has a port
// type (dbs.h) and an index among the ports of that type.
#pragma once

#include "dbs.h"
#include "hdb.h"

#include <cstdint>
#include <memory>
#include <vector>

class CDB_ATOM_NODE;
class CDB_ATOM_OTERM;

class CDB_ATOM_ITERM
{
public:
    CDB_ATOM_ITERM(CDB_ATOM_NODE* atom, DBS_PORT_TYPE type, int index) : m_atom(atom), m_type(type), m_index(index) {}

    CDB_ATOM_NODE* get_atom() const { return m_atom; }
    DBS_PORT_TYPE get_port_type() const { return m_type; }
    int get_index() const { return m_index; }
    // The output term that drives this one; null when unconnected.
    CDB_ATOM_OTERM* get_source() const { return m_source; }
    bool is_connected() const { return m_source != nullptr; }
    // The term's compact number: its position among its atom's input terms
    // (all ones for a term not added through its atom).
    uint32_t get_position() const { return m_position; }

private:
    friend class CDB_ATOM_OTERM;
    friend class CDB_ATOM_NODE;
    CDB_ATOM_NODE* m_atom;
    DBS_PORT_TYPE m_type;
    int m_index;
    uint32_t m_position = 0xFFFFFFFFu;
    CDB_ATOM_OTERM* m_source = nullptr;
};

class CDB_ATOM_OTERM
{
public:
    CDB_ATOM_OTERM(CDB_ATOM_NODE* atom, DBS_PORT_TYPE type, int index) : m_atom(atom), m_type(type), m_index(index) {}

    CDB_ATOM_NODE* get_atom() const { return m_atom; }
    // The port type the term is used as.
    DBS_PORT_TYPE get_any_usage_as() const { return m_type; }
    int get_index() const { return m_index; }

    // The instance name of the term's own net; null when it has none.
    const HDB_INSTANCE_NAME* get_instance_name() const { return m_name.get(); }
    void set_instance_name(const std::string& hpath) { m_name = std::make_unique<HDB_INSTANCE_NAME>(hpath); }

    // The input terms the term drives, in the order they were connected.
    const std::vector<CDB_ATOM_ITERM*>& get_fanout() const { return m_fanout; }
    bool has_fanout() const { return !m_fanout.empty(); }
    // Connects an input term that no other output term drives; false when
    // it is null or already driven.
    bool add_fanout(CDB_ATOM_ITERM* iterm)
    {
        if (iterm == nullptr || iterm->m_source != nullptr)
            return false;
        iterm->m_source = this;
        m_fanout.push_back(iterm);
        return true;
    }

private:
    CDB_ATOM_NODE* m_atom;
    DBS_PORT_TYPE m_type;
    int m_index;
    std::unique_ptr<HDB_INSTANCE_NAME> m_name;
    std::vector<CDB_ATOM_ITERM*> m_fanout;
};
