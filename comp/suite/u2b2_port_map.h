// Port map library of the suite (stand-in): the logical ports of atom terms
// mapped to physical ports of the device's blocks, and the timing utility
// that lists the further physical ports of an input term.
#pragma once

#include "cdb_term.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CDB_CHIP_DB_ENTRY;

// A term of an atom as the port map knows it.
class U2B2_LOGICAL_PORT
{
public:
    U2B2_LOGICAL_PORT(const CDB_ATOM_NODE* atom, DBS_PORT_TYPE type, int index, bool output)
        : m_atom(atom), m_type(type), m_index(index), m_output(output)
    {
    }
    const CDB_ATOM_NODE* get_atom() const { return m_atom; }
    DBS_PORT_TYPE get_type() const { return m_type; }
    int get_index() const { return m_index; }
    bool is_output() const { return m_output; }

private:
    const CDB_ATOM_NODE* m_atom;
    DBS_PORT_TYPE m_type;
    int m_index;
    bool m_output;
};

class U2B2_LOGICAL_PORT_FACTORY
{
public:
    static U2B2_LOGICAL_PORT create(const CDB_ATOM_OTERM* oterm)
    {
        return U2B2_LOGICAL_PORT(oterm->get_atom(), oterm->get_any_usage_as(), oterm->get_index(), true);
    }
    static U2B2_LOGICAL_PORT create(const CDB_ATOM_ITERM* iterm)
    {
        return U2B2_LOGICAL_PORT(iterm->get_atom(), iterm->get_port_type(), iterm->get_index(), false);
    }
};

// A port of a block instance of the chip bundle (its instance id and port
// name).
class U2B2_PHYSICAL_PORT
{
public:
    U2B2_PHYSICAL_PORT(int instance, std::string name) : m_instance(instance), m_name(std::move(name)) {}
    int get_instance() const { return m_instance; }
    const std::string& get_name() const { return m_name; }
    bool operator==(const U2B2_PHYSICAL_PORT& other) const
    {
        return m_instance == other.m_instance && m_name == other.m_name;
    }

private:
    int m_instance;
    std::string m_name;
};

// The physical ports of one logical port: a view into the port map, valid
// until the map's next change.
class U2B2_PHYSICAL_PORT_RANGE
{
public:
    U2B2_PHYSICAL_PORT_RANGE() = default;
    U2B2_PHYSICAL_PORT_RANGE(const U2B2_PHYSICAL_PORT* begin, size_t size) : m_begin(begin), m_size(size) {}
    const U2B2_PHYSICAL_PORT* begin() const { return m_begin; }
    const U2B2_PHYSICAL_PORT* end() const { return m_begin + m_size; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const U2B2_PHYSICAL_PORT& front() const { return *m_begin; }
    const U2B2_PHYSICAL_PORT& operator[](size_t at) const { return m_begin[at]; }

private:
    const U2B2_PHYSICAL_PORT* m_begin = nullptr;
    size_t m_size = 0;
};

class U2B2_PORT_MAP_DB
{
public:
    U2B2_PORT_MAP_DB() = default;
    U2B2_PORT_MAP_DB(U2B2_PORT_MAP_DB&&) = default;
    U2B2_PORT_MAP_DB& operator=(U2B2_PORT_MAP_DB&&) = default;
    U2B2_PORT_MAP_DB(const U2B2_PORT_MAP_DB&) = delete;
    U2B2_PORT_MAP_DB& operator=(const U2B2_PORT_MAP_DB&) = delete;

    // The physical ports of the logical port in the map of the type, in the
    // order they were added; empty when it has none.
    U2B2_PHYSICAL_PORT_RANGE get(const U2B2_LOGICAL_PORT& port, int map_type) const;
    void add(const U2B2_LOGICAL_PORT& port, int map_type, const U2B2_PHYSICAL_PORT& physical);

    // Lays the map out for lookups now rather than at the next lookup (done
    // when the map is installed as the device database's).
    void order_for_lookups() const
    {
        if (!m_ordered)
            restore_order();
    }

    // Further physical ports that timing analysis sees for an input term.
    const std::vector<U2B2_PHYSICAL_PORT>& get_timing_ports(const CDB_ATOM_ITERM* iterm) const;
    void add_timing_port(const CDB_ATOM_ITERM* iterm, const U2B2_PHYSICAL_PORT& physical);

    // The port map of the device database; null when none was installed.
    static U2B2_PORT_MAP_DB* read_from_pdb();

private:
    // The map is laid out for lookups: the logical ports of all atoms in one
    // array ordered by the atom's compact number (its position in its
    // netlist), each followed by the runs of its physical ports in a
    // parallel array, so that a lookup reads the number's range of both and
    // neighbouring atoms' ports lie next to each other. Adds go to the end
    // and leave the order to be restored by the next lookup.
    struct KEY
    {
        // The atom's compact number; all ones for an atom without one (not
        // in a netlist, or beyond the numbers kept), whose ports sort last.
        uint32_t number;
        DBS_PORT_TYPE type;
        int index;
        int map_type;
        const CDB_ATOM_NODE* atom;
        bool output;
        bool operator<(const KEY& other) const;
        bool same_port(const KEY& other) const;
    };
    static KEY make_key(const U2B2_LOGICAL_PORT& port, int map_type);
    // The key's run of physical ports in its number's range.
    U2B2_PHYSICAL_PORT_RANGE find(const KEY& key) const;
    void restore_order() const;
    mutable std::vector<KEY> m_keys;
    mutable std::vector<U2B2_PHYSICAL_PORT> m_ports;
    // The first key of each compact number (one past the last number: the
    // first unnumbered key), valid when the keys are in order.
    mutable std::vector<uint32_t> m_first_of_number;
    mutable bool m_ordered = true;
    std::unordered_map<const CDB_ATOM_ITERM*, std::vector<U2B2_PHYSICAL_PORT>> m_timing_ports;
};

// Installs the device database's port map (owned; null: none).
void u2b2_set_pdb_port_map(std::unique_ptr<U2B2_PORT_MAP_DB> port_map);

class U2B2_TIMING_UTIL
{
public:
    // A new utility for the chip, owned by the caller.
    static U2B2_TIMING_UTIL* create_util(CDB_CHIP_DB_ENTRY* chip);

    // The further physical ports of the input term, in the port map's
    // order; empty for a null port map.
    std::vector<U2B2_PHYSICAL_PORT> get_iterm_physical_ports(const U2B2_PORT_MAP_DB* port_map,
                                                             const CDB_ATOM_ITERM* iterm) const;

private:
    explicit U2B2_TIMING_UTIL(CDB_CHIP_DB_ENTRY* chip) : m_chip(chip) {}
    CDB_CHIP_DB_ENTRY* m_chip;
};
