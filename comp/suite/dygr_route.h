// Routing graph library of the suite (stand-in): the routing and placement
// information of a die, and its assembler view of the routing (the CRAM bits
// that select each routing edge).
#pragma once

#include "dbs.h"
#include "dsym.h"
#include "gid_table.h"

#include <cstdint>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Hash of an edge key (source id in the high half, destination in the low
// half) that keeps neighbouring edges in neighbouring buckets.
struct DYGR_EDGE_KEY_HASH
{
    size_t operator()(uint64_t key) const { return static_cast<uint32_t>(key) + 7u * static_cast<size_t>(key >> 32); }
};

// A value per edge (source, destination). Most destinations have one
// source: the first edge set into a destination is kept in a table by the
// destination's id, further edges into it by their key.
template <typename T>
class DYGR_EDGE_VALUE_TABLE
{
public:
    // Null when the edge has no value.
    const T* find(uint32_t source, uint32_t destination) const
    {
        const FIRST* first = m_first.find(destination);
        if (first == nullptr)
            return nullptr;
        if (first->source == source)
            return &first->value;
        auto found = m_more.find(key(source, destination));
        return found == m_more.end() ? nullptr : &found->second;
    }

    void set(uint32_t source, uint32_t destination, const T& value)
    {
        FIRST& first = m_first[destination];
        if (first.source == NO_SOURCE || first.source == source)
        {
            first.source = source;
            first.value = value;
        }
        else
        {
            m_more[key(source, destination)] = value;
        }
    }

private:
    static constexpr uint32_t NO_SOURCE = 0xFFFFFFFFu;
    static uint64_t key(uint32_t source, uint32_t destination)
    {
        return (static_cast<uint64_t>(source) << 32) | destination;
    }
    struct FIRST
    {
        uint32_t source = NO_SOURCE;
        T value{};
    };
    GID_TABLE<FIRST> m_first;
    std::unordered_map<uint64_t, T, DYGR_EDGE_KEY_HASH> m_more;
};

enum DYGR_GRAPH_TYPE : int
{
    DYGR_FULL_GRAPH = 0,
    DYGR_SUBGRAPH_BLC = 1,
    DYGR_SUBGRAPH_CRF = 2,
    DYGR_SUBGRAPH_FCD = 3,
};

// A place block: its position, the block that contains it (-1 for an
// outermost block), its global id, the atom location it stands for, its
// HIPI marks and its ports.
struct DYGR_PLACE_BLOCK
{
    int x = 0;
    int y = 0;
    int z = 0;
    int parent = -1;
    uint32_t global_id = 0xFFFFFFFFu;
    uint32_t location = 0xFFFFFFFFu;
    bool hipi = false;
    bool lab_hipi = false;
    // Port global ids by (port type, index), as an atom's term reaches them.
    std::map<std::pair<DBS_PORT_TYPE, int>, uint32_t> atom_ports;
    // Population: sets the global id of the block's ICD port by direction
    // ("INPUT", "OUTPUT" or "BIDIR"; any other is refused with
    // std::invalid_argument) and port name. A later id for the same port
    // replaces the earlier one.
    void set_icd_port(std::string_view direction, std::string_view name, uint32_t global_id);
    // The global id of the ICD port by direction and name; all ones when the
    // block has no such port.
    uint32_t get_icd_port(std::string_view direction, std::string_view name) const;
    size_t icd_port_count() const { return m_icd_ports.size(); }

private:
    // The ICD ports in one flat array ordered by direction, then name (its
    // length first), so that a lookup reads the block and one run of memory
    // (short names stay inside their entries) rather than a chain of tree
    // nodes.
    struct ICD_PORT
    {
        uint32_t global_id;
        uint8_t direction;
        std::string name;
    };
    std::vector<ICD_PORT> m_icd_ports;
};

class DYGR_PLACE_INFO
{
public:
    bool is_loaded() const { return m_loaded; }
    void load_data() { m_loaded = true; }

    // Population: adds a block and returns its index.
    int add_block(const DYGR_PLACE_BLOCK& block);
    DYGR_PLACE_BLOCK& block(int index) { return m_blocks.at(static_cast<size_t>(index)); }
    const DYGR_PLACE_BLOCK& block(int index) const { return m_blocks.at(static_cast<size_t>(index)); }
    size_t block_count() const { return m_blocks.size(); }

    // The blocks at a position, in the order they were added.
    const std::vector<int>& get_blocks_at(int x, int y) const;
    // The block of an atom location, or of a block global id; -1 for none.
    int find_block_of_location(uint32_t location) const;
    int find_block_of_global_id(uint32_t global_id) const;
    // The outermost block that contains the block (the block itself when it
    // has no parent).
    int get_outermost_block(int index) const;
    // The global id of the port of an atom term at the location's block;
    // all ones when there is no such block or port.
    uint32_t get_atom_port_global_id(uint32_t location, DBS_PORT_TYPE type, int index) const;

private:
    // The arrays by position and by location below, made again at the first
    // lookup after a block was added.
    void index() const;

    bool m_loaded = false;
    std::vector<DYGR_PLACE_BLOCK> m_blocks;
    // The blocks of each position (a deque: a position's list stays where
    // it is as others are added), found by position.
    std::deque<std::vector<int>> m_position_lists;
    std::unordered_map<uint64_t, int> m_by_position;
    std::unordered_map<uint32_t, int> m_by_location;
    std::unordered_map<uint32_t, int> m_by_global_id;
    // A device's positions form a grid and its locations a run of ids: when
    // they are that dense, lookups read arrays rather than hash tables
    // (empty: the tables serve). Positions give their list, locations their
    // block; -1 for none.
    mutable bool m_indexed = true;
    mutable int m_grid_x = 0;
    mutable int m_grid_y = 0;
    mutable int m_grid_height = 0;
    mutable std::vector<int> m_grid;
    mutable uint32_t m_first_location = 0;
    mutable std::vector<int> m_location_blocks;
};

// A routing element as the route information describes it: the block that
// holds it, when it can be found.
class DYGR_ROUTE_ELEMENT
{
public:
    explicit DYGR_ROUTE_ELEMENT(uint32_t block_global_id) : m_block(block_global_id) {}
    // False when the element's block is not known.
    bool get_block_global_id(uint32_t& block_global_id) const
    {
        block_global_id = m_block;
        return m_block != 0xFFFFFFFFu;
    }

private:
    uint32_t m_block;
};

class DYGR_ROUTE_INFO
{
public:
    bool is_loaded() const { return m_loaded; }
    void load_data() { m_loaded = true; }

    // Population: adds a routing-graph node with its global id; returns its
    // index.
    int add_node(uint32_t global_id)
    {
        m_node_gids.push_back(global_id);
        return static_cast<int>(m_node_gids.size() - 1);
    }
    // The global id of a node of the graph; all ones for an unknown node or
    // a graph other than the full graph.
    uint32_t get_global_id(DYGR_GRAPH_TYPE graph, int node) const
    {
        if (graph != DYGR_FULL_GRAPH || node < 0 || static_cast<size_t>(node) >= m_node_gids.size())
            return 0xFFFFFFFFu;
        return m_node_gids[static_cast<size_t>(node)];
    }

    // The top-level sub-graph that holds the edge; the full graph for an
    // edge of no sub-graph. The element argument is the library's and
    // unused here.
    DYGR_GRAPH_TYPE get_top_level_graph_from_edge(uint32_t from, uint32_t to, int element) const;
    void set_edge_graph(uint32_t from, uint32_t to, DYGR_GRAPH_TYPE graph);

    // The element text of a routing element ("NAME[index]" or "NAME") and
    // its element type; false when the id has none.
    bool get_element_info(uint32_t global_id, DEV_ELEMENT_ENUM& type, std::string& text) const;
    void set_element_info(uint32_t global_id, DEV_ELEMENT_ENUM type, const std::string& text);

    // Top-level ports of BLC blocks: the route element of such a port.
    bool is_top_level_blc_port(uint32_t global_id) const { return m_blc_ports.count(global_id) != 0; }
    // Null for an id that has no route element.
    const DYGR_ROUTE_ELEMENT* get_route_element(uint32_t global_id) const;
    void add_top_level_blc_port(uint32_t global_id, uint32_t block_global_id);

    // The global id of a block's ICD port by name and direction; all ones
    // when the block has no such port.
    uint32_t get_block_icd_port_gid(const DYGR_PLACE_BLOCK& block, const std::string& port_name,
                                    const std::string& direction) const;

    size_t node_count() const { return m_node_gids.size(); }

private:
    bool m_loaded = false;
    std::vector<uint32_t> m_node_gids;
    // The graph of each edge set by set_edge_graph.
    DYGR_EDGE_VALUE_TABLE<DYGR_GRAPH_TYPE> m_edge_graphs;
    struct ELEMENT_INFO
    {
        bool present = false;
        DEV_ELEMENT_ENUM type = DEV_ELEMENT_NONE;
        std::string text;
    };
    GID_TABLE<ELEMENT_INFO> m_element_info;
    std::unordered_map<uint32_t, DYGR_ROUTE_ELEMENT> m_blc_ports;
};

class DYGR_ROUTE_ASM_BIT
{
public:
    explicit DYGR_ROUTE_ASM_BIT(int flat_address) : m_flat_address(flat_address) {}
    int get_flat_address() const { return m_flat_address; }

private:
    int m_flat_address;
};

// The CRAM bits of one routing node, in groups; each group selects one
// destination of the node. The node's groups lie side by side in its record
// in the assembler view's table, in the order they were added.
class DYGR_ROUTE_ASM_NODE
{
public:
    int get_num_bits_in_group(int group) const
    {
        return group < 0 || static_cast<uint32_t>(group) >= m_laid_out
                   ? 0
                   : static_cast<int>(static_cast<uint32_t>(m_ends[group]) - group_start(group));
    }
    // Throws std::out_of_range for a group or bit the node does not have.
    DYGR_ROUTE_ASM_BIT get_single_bit(int group, int index) const
    {
        if (index < 0 || index >= get_num_bits_in_group(group))
            throw std::out_of_range("DYGR_ROUTE_ASM_NODE::get_single_bit");
        return DYGR_ROUTE_ASM_BIT(m_bits[group_start(group) + static_cast<uint32_t>(index)]);
    }

private:
    friend class DYGR_ROUTE_ASM_INFO;
    uint32_t group_start(int group) const { return group == 0 ? 0 : static_cast<uint32_t>(m_ends[group - 1]); }
    // The node's bits, and the end of each group's among them, in its
    // record in the assembler view's table; the groups there, and the
    // groups added.
    const int* m_bits = nullptr;
    const int* m_ends = nullptr;
    uint32_t m_laid_out = 0;
    uint32_t m_group_count = 0;
};

class DYGR_ROUTE_ASM_INFO
{
public:
    DYGR_ROUTE_ASM_INFO() = default;
    // The nodes point into the tables of their own view.
    DYGR_ROUTE_ASM_INFO(const DYGR_ROUTE_ASM_INFO&) = delete;
    DYGR_ROUTE_ASM_INFO& operator=(const DYGR_ROUTE_ASM_INFO&) = delete;

    // Loads the assembler view of the routing: false when the die has none
    // (nothing was populated as available). Groups populated since the last
    // load are laid out in the tables here (or at the next node lookup).
    // The path is the library's and unused here.
    bool load_data(const std::string& path);
    bool is_loaded() const { return m_loaded; }
    void set_available(bool available) { m_available = available; }

    // The group of the source's bits that selects the destination; -1 when
    // there is none (or the data is not loaded).
    int get_destination_bit_group(uint32_t source, uint32_t destination) const;
    // The source's node; null when it has no bits (or the data is not
    // loaded).
    const DYGR_ROUTE_ASM_NODE* get_asm_node(uint32_t source) const;

    // Population: the bits that select the edge from the source to the
    // destination (a new group of the source's bits; an edge set again
    // takes the new group).
    void set_edge_bits(uint32_t source, uint32_t destination, const std::vector<int>& flat_addresses);

private:
    // One group as populated.
    struct ADDED_GROUP
    {
        uint32_t source;
        uint32_t group;
        uint32_t first;
        uint32_t count;
    };
    // Lays the groups added since the last lookup into the tables, all of a
    // node's together, nodes in the order of their ids, as the device's
    // routing file holds them.
    void lay_out() const;

    bool m_available = false;
    bool m_loaded = false;
    // Nodes by source id.
    mutable GID_TABLE<DYGR_ROUTE_ASM_NODE> m_nodes;
    // The bit group of each edge, by source and destination.
    DYGR_EDGE_VALUE_TABLE<int> m_groups;
    // The groups added and not laid out yet, with their bits.
    mutable std::vector<ADDED_GROUP> m_added;
    mutable std::vector<int> m_added_bits;
    // The table of the nodes' records, each node's group ends followed by
    // its bits, as the device's routing file holds them side by side; the
    // ids of the nodes laid out, ascending.
    mutable std::vector<int> m_records;
    mutable std::vector<uint32_t> m_sources;
};

namespace HIPI
{
// Hard-IP interface blocks: an atom location in such a block, and in a LAB
// interface block among them.
class UTIL
{
public:
    static bool is_hipi(uint32_t location, const DYGR_ROUTE_INFO* route_info, const DYGR_PLACE_INFO* place_info);
    static bool is_lab_hipi(uint32_t location, const DYGR_PLACE_INFO* place_info);
};
}  // namespace HIPI
