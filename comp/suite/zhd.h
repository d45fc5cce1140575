// Partition library of the suite (stand-in): the designs of the project
// and their partitions, each with its settings namespace.
#pragma once

#include "hdb.h"

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

private:
    std::string m_name;
    HDB_NAMESPACE m_hdb;
};

class ZHD_DESIGN
{
public:
    // The first partition added is the top partition; null when there is none.
    ZHD_PARTITION* get_top_partition() const { return m_partitions.empty() ? nullptr : m_partitions.front().get(); }
    ZHD_PARTITION* add_partition(const std::string& name);
    // Every partition, in the order added.
    const std::vector<std::unique_ptr<ZHD_PARTITION>>& get_partitions() const { return m_partitions; }

private:
    std::vector<std::unique_ptr<ZHD_PARTITION>> m_partitions;
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
    // Forgets every design.
    void reset();

private:
    std::vector<std::pair<std::string, std::unique_ptr<ZHD_DESIGN>>> m_designs;
};
