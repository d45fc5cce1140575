// Atom netlist library of the suite (stand-in): the atoms of a netlist, the
// blackbox atoms that hold child netlists, and the hierarchical atom
// iterator whose increment the assembler module carries.
#pragma once

#include "cdb_term.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDB_ATOM_NETLIST;
class CDB_ATOM_BLACKBOX;
class HDB_NAMESPACE;

// How an iterator walks the hierarchy: 0 stays in the top netlist; 1 visits
// the atoms of child netlists in place of their blackbox atoms; 2 visits a
// blackbox atom after the atoms of its child netlist; 3 never settles.
typedef int CDB_TRAVERSE;

class CDB_ATOM_NODE
{
public:
    CDB_ATOM_NODE(std::string name, std::string type) : m_name(std::move(name)), m_type(std::move(type)) {}
    virtual ~CDB_ATOM_NODE() = default;

    virtual bool is_blackbox() const { return false; }
    // Whether the atom is a port (terminal) atom of its netlist.
    virtual bool is_port() const { return m_port; }
    CDB_ATOM_BLACKBOX* get_blackbox();

    const std::string& name() const { return m_name; }
    const std::string& type() const { return m_type; }
    void set_port(bool port) { m_port = port; }
    // The atom's parameters (name, text value), in the order they were set;
    // setting a name again replaces its value in place.
    const std::vector<std::pair<std::string, std::string>>& parameters() const { return m_parameters; }
    void set_parameter(const std::string& name, const std::string& value);

    // Atoms whose skip mark is set are passed over by iterators that do not
    // keep marked atoms.
    bool m_skip = false;

    // Placement and routing view (cdb_term.h): the global id of the atom's
    // location (all ones: not placed), its pin and generic marks, whether
    // its terms carry their own names, its own instance name and its terms.
    uint32_t get_location_index() const { return m_location; }
    void set_location_index(uint32_t location) { m_location = location; }
    bool is_pin() const { return m_pin; }
    void set_pin(bool pin) { m_pin = pin; }
    bool is_generic() const { return m_generic; }
    void set_generic(bool generic) { m_generic = generic; }
    bool has_named_terms() const { return m_named_terms; }
    void set_named_terms(bool named) { m_named_terms = named; }
    // Null when the atom has none.
    const HDB_INSTANCE_NAME* get_instance_name() const { return m_instance_name.get(); }
    void set_instance_name(const std::string& hpath) { m_instance_name = std::make_unique<HDB_INSTANCE_NAME>(hpath); }
    const std::vector<std::unique_ptr<CDB_ATOM_OTERM>>& get_oterms() const { return m_oterms; }
    const std::vector<std::unique_ptr<CDB_ATOM_ITERM>>& get_iterms() const { return m_iterms; }
    CDB_ATOM_OTERM* add_oterm(DBS_PORT_TYPE type, int index)
    {
        m_oterms.push_back(std::make_unique<CDB_ATOM_OTERM>(this, type, index));
        return m_oterms.back().get();
    }
    CDB_ATOM_ITERM* add_iterm(DBS_PORT_TYPE type, int index)
    {
        m_iterms.push_back(std::make_unique<CDB_ATOM_ITERM>(this, type, index));
        m_iterms.back()->m_position = static_cast<uint32_t>(m_iterms.size() - 1);
        return m_iterms.back().get();
    }
    // The atom's primary output: its first output term; null without one.
    CDB_ATOM_OTERM* get_primary_oterm() const { return m_oterms.empty() ? nullptr : m_oterms.front().get(); }

    // The atom's compact number: its position in the raw node list of the
    // netlist it was added to (all ones before it is added). Atoms of
    // different netlists may share a number.
    uint32_t get_netlist_index() const { return m_netlist_index; }

private:
    friend class CDB_ATOM_NETLIST;
    uint32_t m_netlist_index = 0xFFFFFFFFu;
    std::string m_name;
    std::string m_type;
    bool m_port = false;
    std::vector<std::pair<std::string, std::string>> m_parameters;
    uint32_t m_location = 0xFFFFFFFFu;
    bool m_pin = false;
    bool m_generic = false;
    bool m_named_terms = false;
    std::unique_ptr<HDB_INSTANCE_NAME> m_instance_name;
    std::vector<std::unique_ptr<CDB_ATOM_OTERM>> m_oterms;
    std::vector<std::unique_ptr<CDB_ATOM_ITERM>> m_iterms;
};

class CDB_ATOM_BLACKBOX : public CDB_ATOM_NODE
{
public:
    CDB_ATOM_BLACKBOX(std::string name, std::string type) : CDB_ATOM_NODE(std::move(name), std::move(type)) {}
    bool is_blackbox() const override { return true; }

    // The netlist inside the blackbox; null when it has none.
    CDB_ATOM_NETLIST* get_child_netlist() const { return m_child; }
    void set_child_netlist(CDB_ATOM_NETLIST* child) { m_child = child; }

private:
    CDB_ATOM_NETLIST* m_child = nullptr;
};

typedef std::vector<CDB_ATOM_NODE*> CDB_ATOM_NODE_LIST;

class CDB_ATOM_ITERATOR;

// A netlist owns its atoms and its child netlists. Every atom is in the raw
// node list; blackbox atoms are also in the blackbox list.
class CDB_ATOM_NETLIST
{
public:
    explicit CDB_ATOM_NETLIST(bool modifiable = true) : m_modifiable(modifiable) {}
    CDB_ATOM_NETLIST(const CDB_ATOM_NETLIST&) = delete;
    CDB_ATOM_NETLIST& operator=(const CDB_ATOM_NETLIST&) = delete;

    // Population: the netlist takes ownership of the atom. A null atom
    // leaves an empty slot in the raw node list, as a removed atom does.
    CDB_ATOM_NODE* add_atom(std::unique_ptr<CDB_ATOM_NODE> atom);
    // A blackbox atom with a new, empty child netlist of its own.
    CDB_ATOM_BLACKBOX* add_blackbox(const std::string& name, const std::string& type, bool child_modifiable = true);

    bool is_modifiable() const { return m_modifiable; }
    CDB_ATOM_NODE_LIST::iterator begin_raw_node_list() { return m_nodes.begin(); }
    CDB_ATOM_NODE_LIST::iterator end_raw_node_list() { return m_nodes.end(); }
    CDB_ATOM_NODE_LIST::iterator begin_blackboxes() { return m_blackboxes.begin(); }
    CDB_ATOM_NODE_LIST::iterator end_blackboxes() { return m_blackboxes.end(); }
    const CDB_ATOM_NODE_LIST& nodes() const { return m_nodes; }

    // An iterator at the first atom that the mode accepts.
    CDB_ATOM_ITERATOR begin_node_list(CDB_TRAVERSE mode, bool use_blackbox_list = false, bool keep_marked = false);

    // The netlist's settings namespace (not owned; null when none was set),
    // which holds the settings generated for it.
    HDB_NAMESPACE* get_namespace() const { return m_namespace; }
    void set_namespace(HDB_NAMESPACE* name_space) { m_namespace = name_space; }

private:
    HDB_NAMESPACE* m_namespace = nullptr;
    bool m_modifiable;
    CDB_ATOM_NODE_LIST m_nodes;
    CDB_ATOM_NODE_LIST m_blackboxes;
    std::vector<std::unique_ptr<CDB_ATOM_NODE>> m_owned;
    std::vector<std::unique_ptr<CDB_ATOM_NETLIST>> m_children;
};

// Position of an iterator: a place in one netlist's chosen list.
struct CDB_ATOM_POSITION
{
    CDB_ATOM_NODE_LIST::iterator it;
    CDB_ATOM_NETLIST* netlist;
};

// The hierarchical atom iterator. The assembler module provides descend()
// and next(); a caller increments it by moving m_current.it one element
// forward and calling next().
class CDB_ATOM_ITERATOR
{
public:
    CDB_ATOM_ITERATOR(CDB_ATOM_NETLIST* netlist, CDB_TRAVERSE mode, bool use_blackbox_list, bool keep_marked);

    // The end of the list that the blackbox-list rule picks for a netlist.
    CDB_ATOM_NODE_LIST::iterator get_atom_iterator_end(CDB_ATOM_NETLIST* netlist) const;
    CDB_ATOM_NODE_LIST::iterator get_atom_iterator_begin(CDB_ATOM_NETLIST* netlist) const;

    bool at_end() const { return m_stack.empty() && m_current.it == get_atom_iterator_end(m_current.netlist); }
    CDB_ATOM_NODE* operator*() const { return *m_current.it; }
    CDB_ATOM_ITERATOR& operator++()
    {
        ++m_current.it;
        next();
        return *this;
    }

    // Settles the iterator (descends into child netlists or climbs back).
    void descend();
    // Settles the iterator and moves it to the next atom its mode accepts.
    void next();

    CDB_ATOM_POSITION m_current;
    std::vector<CDB_ATOM_POSITION> m_stack;
    CDB_TRAVERSE m_mode;
    bool m_use_blackbox_list;
    bool m_keep_marked;
};

// descend() and next() live in the assembler module, so the iterator's
// callers (not this library) instantiate the walk.
inline CDB_ATOM_ITERATOR CDB_ATOM_NETLIST::begin_node_list(CDB_TRAVERSE mode, bool use_blackbox_list, bool keep_marked)
{
    CDB_ATOM_ITERATOR iterator(this, mode, use_blackbox_list, keep_marked);
    iterator.next();
    return iterator;
}

// The name the module's walks use for the same iterator.
typedef CDB_ATOM_ITERATOR ATOM_HIERARCHY_ITERATOR;
