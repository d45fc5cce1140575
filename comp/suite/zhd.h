// Partition library of the suite (stand-in): the designs of the project
// and their partitions, each with its settings namespace.
#pragma once

#include "cdb_atom.h"
#include "hdb.h"
#include "zdb.h"

#include <memory>
#include <string>
#include <vector>

class ZHD_PARTITION
{
public:
    explicit ZHD_PARTITION(std::string name) : m_name(std::move(name)) {}
    const std::string& get_name() const { return m_name; }
    // The partition's settings (its hierarchy database namespace).
    HDB_NAMESPACE* get_hdb() { return &m_hdb; }

    // The partition tree. The block name is the partition's name unless
    // set; the top partition is the design's first; a partition is
    // partial-reconfiguration, cots or checker when marked so.
    const std::string& get_block_name() const { return m_has_block_name ? m_block_name : m_name; }
    void set_block_name(const std::string& block_name);
    ZHD_PARTITION* get_parent() const { return m_parent; }
    const std::vector<ZHD_PARTITION*>& get_children() const { return m_children; }
    // Makes the partition a child of the parent (appended to its children).
    void set_parent(ZHD_PARTITION* parent);
    bool is_top() const { return m_top; }
    bool is_pr_partition() const { return m_pr; }
    bool is_cots() const { return m_cots; }
    bool is_checker() const { return m_checker; }
    void set_top(bool top) { m_top = top; }
    void set_pr_partition(bool pr) { m_pr = pr; }
    void set_cots(bool cots) { m_cots = cots; }
    void set_checker(bool checker) { m_checker = checker; }
    // The partition's instance with its instance-level settings; null
    // until added.
    HDB_INSTANCE_NAME* get_instance() const { return m_instance.get(); }
    HDB_INSTANCE_NAME* add_instance(const std::string& hpath);
    // The partition's netlist, whose namespace holds the settings generated
    // for it; null until added.
    CDB_ATOM_NETLIST* get_netlist() const { return m_netlist.get(); }
    CDB_ATOM_NETLIST* add_netlist(bool modifiable);
    // The first child and the next sibling under the same parent; null
    // when there is none (a partition without parent has no siblings).
    ZHD_PARTITION* get_first_child() const { return m_children.empty() ? nullptr : m_children.front(); }
    ZHD_PARTITION* get_next_sibling() const;
    // A reconfigurable partition is a partial-reconfiguration partition.
    bool is_reconfigurable() const { return m_pr; }

    // The states of a partition's database directory.
    enum STATE
    {
        s_unspecified = 0
    };
    // The partition's directory in the project database for the state:
    // "partitions/<name>", without model name.
    ZDB_PATH get_db_directory_path(STATE state) const;

private:
    std::string m_name;
    HDB_NAMESPACE m_hdb;
    std::string m_block_name;
    bool m_has_block_name = false;
    ZHD_PARTITION* m_parent = nullptr;
    // The place among the parent's children, so that the next sibling is
    // found at once however many there are.
    size_t m_index_in_parent = 0;
    std::vector<ZHD_PARTITION*> m_children;
    bool m_top = false;
    bool m_pr = false;
    bool m_cots = false;
    bool m_checker = false;
    std::unique_ptr<HDB_INSTANCE_NAME> m_instance;
    std::unique_ptr<HDB_NAMESPACE> m_netlist_namespace;
    std::unique_ptr<CDB_ATOM_NETLIST> m_netlist;
};

class ZHD_DESIGN
{
public:
    // The first partition added is the top partition; null when there is none.
    ZHD_PARTITION* get_top_partition() const { return m_partitions.empty() ? nullptr : m_partitions.front().get(); }
    ZHD_PARTITION* add_partition(const std::string& name);
    // Every partition, in the order added.
    const std::vector<std::unique_ptr<ZHD_PARTITION>>& get_partitions() const { return m_partitions; }

    // The first partition of the block name; null when there is none.
    ZHD_PARTITION* find_partition(const std::string& block_name) const;
    // The design's global settings holder.
    HDB_OPTION_INTERFACE* get_option_interface() { return &m_options; }

private:
    std::vector<std::unique_ptr<ZHD_PARTITION>> m_partitions;
    HDB_OPTION_INTERFACE m_options;
};


class ZHD_ROOT
{
public:
    // The process-wide root.
    static ZHD_ROOT* get();

    // The design of the name ("" is the current design); null when absent.
    ZHD_DESIGN* get_design(const std::string& name) const;
    // The design of the name, created when absent.
    ZHD_DESIGN* add_design(const std::string& name);
    // Forgets every design and the project database.
    void reset();

    // The project's database; null until one is made.
    ZDB_DATABASE* get_project_database() const { return m_project_database.get(); }
    // The project's database, made when absent.
    ZDB_DATABASE* add_project_database();

private:
    std::vector<std::pair<std::string, std::unique_ptr<ZHD_DESIGN>>> m_designs;
    std::unique_ptr<ZDB_DATABASE> m_project_database;
};

class ZHD_DESIGN_UTILS
{
public:
    // Whether the design has a partial-reconfiguration partition; false for
    // a null design.
    static bool has_pr_partition(const ZHD_DESIGN* design);
    // The design's partial-reconfiguration partitions, in the order added;
    // none for a null design.
    static std::vector<ZHD_PARTITION*> get_pr_partitions(const ZHD_DESIGN* design);
};
