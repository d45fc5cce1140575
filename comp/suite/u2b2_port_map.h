// Port map library of the suite (stand-in): the logical ports of atom terms
// mapped to physical ports of the device's blocks, and the timing utility
// that lists the further physical ports of an input term.
#pragma once

#include "cdb_term.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
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
    bool operator==(const U2B2_LOGICAL_PORT& other) const
    {
        return std::tie(m_atom, m_type, m_index, m_output) ==
               std::tie(other.m_atom, other.m_type, other.m_index, other.m_output);
    }
    size_t hash() const
    {
        size_t value = std::hash<const void*>()(m_atom);
        value = value * 1000003u ^ static_cast<size_t>(m_type);
        value = value * 1000003u ^ static_cast<size_t>(m_index);
        return value * 2u + (m_output ? 1u : 0u);
    }

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

class U2B2_PORT_MAP_DB
{
public:
    U2B2_PORT_MAP_DB() = default;
    // Moves keep the map's values in place, which its index points to;
    // copies would not.
    U2B2_PORT_MAP_DB(U2B2_PORT_MAP_DB&&) = default;
    U2B2_PORT_MAP_DB& operator=(U2B2_PORT_MAP_DB&&) = default;
    U2B2_PORT_MAP_DB(const U2B2_PORT_MAP_DB&) = delete;
    U2B2_PORT_MAP_DB& operator=(const U2B2_PORT_MAP_DB&) = delete;

    // The physical ports of the logical port in the map of the type, in the
    // order they were added; empty when it has none.
    const std::vector<U2B2_PHYSICAL_PORT>& get(const U2B2_LOGICAL_PORT& port, int map_type) const;
    void add(const U2B2_LOGICAL_PORT& port, int map_type, const U2B2_PHYSICAL_PORT& physical);

    // Further physical ports that timing analysis sees for an input term.
    const std::vector<U2B2_PHYSICAL_PORT>& get_timing_ports(const CDB_ATOM_ITERM* iterm) const;
    void add_timing_port(const CDB_ATOM_ITERM* iterm, const U2B2_PHYSICAL_PORT& physical);

    // The port map of the device database; null when none was installed.
    static U2B2_PORT_MAP_DB* read_from_pdb();

private:
    struct KEY_HASH
    {
        size_t operator()(const std::pair<U2B2_LOGICAL_PORT, int>& key) const
        {
            return key.first.hash() * 31u + static_cast<size_t>(key.second);
        }
    };
    std::unordered_map<std::pair<U2B2_LOGICAL_PORT, int>, std::vector<U2B2_PHYSICAL_PORT>, KEY_HASH> m_ports;
    // An open-addressed index over m_ports (whose values do not move): a
    // lookup reads one slot, most often in one cache line, instead of a
    // bucket and a chain of nodes. Power-of-two size, linear probing, at
    // most half full.
    struct INDEX_SLOT
    {
        size_t hash = 0;
        U2B2_LOGICAL_PORT port{nullptr, 0, 0, false};
        int map_type = 0;
        const std::vector<U2B2_PHYSICAL_PORT>* physical = nullptr;
    };
    std::vector<INDEX_SLOT> m_index;
    static size_t index_hash(const std::pair<U2B2_LOGICAL_PORT, int>& key);
    void index_insert(size_t hash, const std::pair<U2B2_LOGICAL_PORT, int>& key,
                      const std::vector<U2B2_PHYSICAL_PORT>* physical);
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
