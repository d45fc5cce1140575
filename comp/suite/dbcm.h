// Chip bundle database library of the suite (stand-in): the chips of the
// bundle with their region sets and the attribute facts of their atoms.
#pragma once

#include "zsym.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

// The regions of one kind of a chip (0 partial reconfiguration, 1 error
// detection).
class DBCM_REGIONS
{
public:
    void add_region(const std::string& name) { m_names.push_back(name); }
    size_t size() const { return m_names.size(); }
    int get_count() const { return static_cast<int>(m_names.size()); }
    // The name of the region of the index (0 to get_count() - 1).
    const std::string& get_name(int index) const { return m_names.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& names() const { return m_names; }

    // Whether the region of the index is compiled in the current revision
    // (false: preserved from the base revision). Regions are implemented
    // unless marked; an index outside the set throws std::out_of_range.
    bool is_implemented(int index) const;
    void set_implemented(int index, bool implemented);

private:
    std::vector<std::string> m_names;
    std::set<int> m_preserved;
};

// One attribute of an atom type as the chip carries it, and whether the
// port map covers it.
struct DBCM_ATOM_ATTRIBUTE
{
    std::string atom_type;
    std::string attribute;
    bool covered;
};

// One named binary section of a chip.
struct DBCM_SECTION
{
    std::string name;
    int major;
    int minor;
    std::string bytes;
};

// A chip's store of named binary sections, in the order they were added.
class DBCM_SECTION_STORE
{
public:
    // Adds a section; with replace true, a section of the same name is
    // replaced in place, otherwise a second one is appended.
    void add_section(const std::string& name, int major, int minor, const std::string& bytes, bool replace);
    const std::vector<DBCM_SECTION>& get_sections() const { return m_sections; }
    // The last section of that name; null when there is none.
    const DBCM_SECTION* find_section(const std::string& name) const;

private:
    std::vector<DBCM_SECTION> m_sections;
};

class DBCM_DEVICE;
class DBCM_TREE;
class DBCM_INSTANCE;
class DBCM_INSTANCE_NODE;

class DBCM_CHIP
{
public:
    DBCM_CHIP() = default;
    DBCM_CHIP(const DBCM_CHIP&) = delete;
    DBCM_CHIP& operator=(const DBCM_CHIP&) = delete;

    // The chip's regions of the kind; null when it has none of that kind.
    DBCM_REGIONS* get_regions(int kind) const;
    // The region set of the kind, created when absent.
    DBCM_REGIONS* add_regions(int kind);

    void add_atom_attribute(const std::string& atom_type, const std::string& attribute, bool covered)
    {
        m_atom_attributes.push_back(DBCM_ATOM_ATTRIBUTE{atom_type, attribute, covered});
    }
    const std::vector<DBCM_ATOM_ATTRIBUTE>& atom_attributes() const { return m_atom_attributes; }

    // The chip's section store; null until created.
    DBCM_SECTION_STORE* get_section_store() const { return m_sections.get(); }
    // Creates the store when absent and returns it.
    DBCM_SECTION_STORE* create_section_store();

    // How many constraint checks ran on the chip.
    int constraint_checks() const { return m_constraint_checks; }
    void note_constraint_check() { ++m_constraint_checks; }

    ~DBCM_CHIP();

    // The chip's device; null until added.
    DBCM_DEVICE* get_device() const { return m_device.get(); }
    // Adds the device when absent and returns it.
    DBCM_DEVICE* add_device(const std::string& name);

    // The configuration bits that the design sets, by flat CRAM address.
    const std::set<uint32_t>& config_bits() const { return m_config_bits; }
    void set_config_bit(uint32_t address) { m_config_bits.insert(address); }
    // Bits that a block sets on behalf of another (borrowed); copying them
    // to the lending block makes them configuration bits.
    void add_borrowed_bit(uint32_t address) { m_borrowed_bits.insert(address); }
    const std::set<uint32_t>& borrowed_bits() const { return m_borrowed_bits; }
    // Adds every borrowed bit to the configuration bits, with at most the
    // given number of threads; false for a cap below 1 (nothing copied).
    bool copy_borrowed_bits_to_lent_bits(int max_threads);
    // The thread cap of the last copy; 0 before any.
    int last_copy_thread_cap() const { return m_last_copy_thread_cap; }

    // The chip's block tree and the block instance of a tree node (a null
    // instance for a node that has none).
    DBCM_TREE* get_tree() const { return m_tree.get(); }
    DBCM_INSTANCE get_instance(int node) const;
    // Population: a top-level block of the type (a name of namespace 1),
    // with its instance, to which children and settings are added.
    DBCM_INSTANCE_NODE* add_top_block(const char* type);
    // The same with any type symbol (the null symbol: an untyped node).
    DBCM_INSTANCE_NODE* add_top_block(ZSYM type);
    // The block instance of the name (a symbol of namespace 1); the null
    // instance when the chip has none of that name.
    DBCM_INSTANCE get_instance(ZSYM name) const;
    // Population: the named block instance, created when absent.
    DBCM_INSTANCE_NODE* add_named_instance(const char* name);

private:
    std::unique_ptr<DBCM_DEVICE> m_device;
    std::set<uint32_t> m_config_bits;
    std::set<uint32_t> m_borrowed_bits;
    int m_last_copy_thread_cap = 0;
    std::unique_ptr<DBCM_TREE> m_tree;
    std::vector<std::unique_ptr<DBCM_INSTANCE_NODE>> m_top_instances;
    std::map<const void*, std::unique_ptr<DBCM_INSTANCE_NODE>> m_named_instances;
    std::vector<std::pair<int, std::unique_ptr<DBCM_REGIONS>>> m_regions;
    std::vector<DBCM_ATOM_ATTRIBUTE> m_atom_attributes;
    int m_constraint_checks = 0;
    std::unique_ptr<DBCM_SECTION_STORE> m_sections;
};

class DBCM_DB_MANAGER
{
public:
    // The process-wide manager, created on first use.
    static DBCM_DB_MANAGER* get_or_create_instance();

    // The chip of the index; null when the bundle has no such chip.
    DBCM_CHIP* get_chip(int index) const;
    // Adds a chip at the next index.
    DBCM_CHIP* add_chip();
    // Forgets every chip.
    void reset();

    // Loads the assembler data of the bundle's chips; counts the loads.
    void load_asm_data() { ++m_asm_data_loads; }
    int asm_data_loads() const { return m_asm_data_loads; }

private:
    std::vector<std::unique_ptr<DBCM_CHIP>> m_chips;
    int m_asm_data_loads = 0;
};

// A sector of a chip bundle device: its name ("CORE_3_7", "HSSI_0_0") and
// type (symbols of namespace 1, with their texts) and the names of the block
// instances it holds, in the order added, each once.
class DBCM_SECTOR
{
public:
    DBCM_SECTOR(ZSYM name, ZSYM type, std::string name_text, std::string type_text, DBCM_DEVICE* device)
        : m_name(name), m_type(type), name(std::move(name_text)), type(std::move(type_text)), m_device(device)
    {
    }
    ZSYM get_name() const { return m_name; }
    ZSYM get_type() const { return m_type; }
    std::vector<ZSYM>::const_iterator begin() const { return m_instances.begin(); }
    std::vector<ZSYM>::const_iterator end() const { return m_instances.end(); }
    // Adds the block instance of the name (a second time changes nothing);
    // an instance lies in the first sector that adds it.
    void add_instance(const char* name);

private:
    ZSYM m_name;
    ZSYM m_type;

public:
    // The name and type as text.
    const std::string name;
    const std::string type;

private:
    DBCM_DEVICE* m_device;
    std::vector<ZSYM> m_instances;
};

// The device of a chip of the bundle.
class DBCM_DEVICE
{
public:
    explicit DBCM_DEVICE(std::string name) : m_name(std::move(name)) {}
    const std::string& get_name() const { return m_name; }

    // Top-level block instances by id (from 0, in the order added), each
    // with a name, a location and a global id of the routing graph.
    int add_block_instance(const std::string& name, int x, int y, int z, uint32_t global_id);
    // Whether a block instance lies at the location.
    bool instance_exists(int x, int y, int z) const { return find_instance(x, y, z) >= 0; }
    // The first instance at the location; -1 when there is none.
    int find_instance(int x, int y, int z) const;
    // The instance of the global id; -1 when there is none.
    int find_instance_of_global_id(uint32_t global_id) const;
    // "" for an unknown instance.
    std::string get_instance_name(int instance) const;

    // Sectors, each holding block instances by name; an instance lies in
    // at most one (the first that adds it).
    // The sector that holds the block instance of the id; null when none
    // does.
    const DBCM_SECTOR* get_sector_of_instance(int instance) const;
    // The device's sectors, by index from 0 in the order added.
    uint32_t get_sector_count() const { return static_cast<uint32_t>(m_sectors.size()); }
    // Null for an index beyond the last sector.
    const DBCM_SECTOR* get_sector(uint32_t index) const
    {
        return index < m_sectors.size() ? m_sectors[index].get() : nullptr;
    }
    // Population: appends a sector of the name and type.
    DBCM_SECTOR* add_device_sector(const std::string& name, const std::string& type);

    // The same instances seen by position alone (z 0 when added here): add
    // one, its x and y (false for an unknown instance), the first at a
    // position (DBCM_TREE::INVALID, -1, when none) and its name.
    int add_instance(int x, int y, const std::string& name) { return add_block_instance(name, x, y, 0, 0xFFFFFFFFu); }
    bool get_instance_xy(int instance, int& x, int& y) const
    {
        if (instance < 0 || static_cast<size_t>(instance) >= m_block_instances.size())
            return false;
        x = m_block_instances[static_cast<size_t>(instance)].x;
        y = m_block_instances[static_cast<size_t>(instance)].y;
        return true;
    }
    int get_instance_at(int x, int y) const;

private:
    struct BLOCK_INSTANCE
    {
        std::string name;
        int x;
        int y;
        int z;
        uint32_t global_id;
    };
    std::string m_name;
    std::vector<BLOCK_INSTANCE> m_block_instances;
    // The first instance at each location, at each position whatever its z
    // and of each global id, and the sector of each block instance name.
    std::map<std::tuple<int, int, int>, int> m_instance_at;
    std::map<std::pair<int, int>, int> m_instance_at_xy;
    std::unordered_map<uint32_t, int> m_instance_of_global_id;
    std::map<std::string, const DBCM_SECTOR*> m_sector_of;
    std::vector<std::unique_ptr<DBCM_SECTOR>> m_sectors;

    friend class DBCM_SECTOR;
};

// A chip's block tree: the top-level nodes, each with its type.
class DBCM_TREE
{
public:
    // No node or instance.
    static const int INVALID = -1;

    // The indices of the top-level nodes, in the tree's order.
    std::vector<int> get_children() const;
    // The node's type; the null symbol for an untyped or unknown node.
    ZSYM get_type(int node) const;
    // Adds a top-level node and returns its index.
    int add_node(ZSYM type);

private:
    std::vector<ZSYM> m_types;
};

class DBCM_INSTANCE_NODE;

// What a block instance's block is meant to do: its settings, by name.
class DBCM_INTENT
{
public:
    explicit DBCM_INTENT(const DBCM_INSTANCE_NODE* node) : m_node(node) {}
    // Whether the block carries the attribute (a setting of that name).
    bool is_valid_attribute(ZSYM attribute) const;

private:
    const DBCM_INSTANCE_NODE* m_node;
};

// Population side of a block instance: named child instances and settings,
// each a symbol of namespace 1.
class DBCM_INSTANCE_NODE
{
public:
    DBCM_INSTANCE_NODE() = default;
    DBCM_INSTANCE_NODE(const DBCM_INSTANCE_NODE&) = delete;
    DBCM_INSTANCE_NODE& operator=(const DBCM_INSTANCE_NODE&) = delete;

    // The child of the name, created when absent.
    DBCM_INSTANCE_NODE* add_child(const char* name);
    // Gives the instance's block the setting with the value.
    void set_setting(const char* setting, const char* value);

private:
    friend class DBCM_INSTANCE;
    friend class DBCM_INTENT;
    friend class DBCM_CHIP;
    std::map<const void*, std::unique_ptr<DBCM_INSTANCE_NODE>> m_children;
    std::map<const void*, ZSYM> m_settings;
    // The instance's name: a child's name, or a named instance's; "" for a
    // top-level block.
    std::string m_name;
    DBCM_INTENT m_intent{this};
};

// A block instance as the library hands it out: a value that refers to an
// instance of the chip, or to none (the null instance), whose queries then
// find nothing.
class DBCM_INSTANCE
{
public:
    DBCM_INSTANCE() = default;
    explicit DBCM_INSTANCE(const DBCM_INSTANCE_NODE* node) : m_node(node) {}

    bool is_null() const { return m_node == nullptr; }
    // The child instance of the name; the null instance when there is none.
    DBCM_INSTANCE get_child_instance(ZSYM name) const;
    // The setting's value; the null symbol when the block has no such setting.
    ZSYM get_symbol(ZSYM setting) const;
    // Whether the instance's block carries the setting.
    bool has_setting(ZSYM setting) const;
    // The instance's name ("" for the null instance and unnamed blocks).
    std::string get_name() const;
    bool has_child_instance(ZSYM name) const { return !get_child_instance(name).is_null(); }
    // The block's intent; null for the null instance.
    const DBCM_INTENT* get_intent() const;

private:
    const DBCM_INSTANCE_NODE* m_node = nullptr;
};

// The chip bundle of the compilation: a chip with its atom netlist and port
// map (both optional, not owned).
class DBCM_BUNDLE
{
public:
    DBCM_BUNDLE(DBCM_CHIP* chip, const void* atom_netlist, const void* port_map)
        : m_chip(chip), m_atom_netlist(atom_netlist), m_port_map(port_map)
    {
    }
    DBCM_CHIP* get_chip() const { return m_chip; }
    const void* get_atom_netlist() const { return m_atom_netlist; }
    const void* get_port_map() const { return m_port_map; }

private:
    DBCM_CHIP* m_chip;
    const void* m_atom_netlist;
    const void* m_port_map;
};

// The process-wide chip bundle.
class DBCM_BUNDLE_SINGLETON
{
public:
    // Null until an instance was created.
    static DBCM_BUNDLE* get_bundle();
    // Takes the bundle over; an earlier bundle is deleted.
    static void create_instance(DBCM_BUNDLE* bundle);
    // Deletes the bundle.
    static void reset();
};
