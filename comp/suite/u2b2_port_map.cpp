#include "u2b2_port_map.h"

#include <algorithm>
#include <cstdint>

namespace
{

std::unique_ptr<U2B2_PORT_MAP_DB>& pdb_port_map()
{
    static std::unique_ptr<U2B2_PORT_MAP_DB> port_map;
    return port_map;
}

}  // namespace

size_t U2B2_PORT_MAP_DB::index_hash(const std::pair<U2B2_LOGICAL_PORT, int>& key)
{
    // The key's hash, mixed so that its low bits pick the slot.
    uint64_t value = static_cast<uint64_t>(KEY_HASH()(key));
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdull;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ull;
    value ^= value >> 33;
    return static_cast<size_t>(value);
}

void U2B2_PORT_MAP_DB::index_insert(size_t hash, const std::pair<U2B2_LOGICAL_PORT, int>& key,
                                    const std::vector<U2B2_PHYSICAL_PORT>* physical)
{
    const size_t mask = m_index.size() - 1;
    size_t at = hash & mask;
    while (m_index[at].physical != nullptr)
        at = (at + 1) & mask;
    m_index[at].hash = hash;
    m_index[at].port = key.first;
    m_index[at].map_type = key.second;
    m_index[at].physical = physical;
}

const std::vector<U2B2_PHYSICAL_PORT>& U2B2_PORT_MAP_DB::get(const U2B2_LOGICAL_PORT& port, int map_type) const
{
    static const std::vector<U2B2_PHYSICAL_PORT> none;
    if (m_index.empty())
        return none;
    const std::pair<U2B2_LOGICAL_PORT, int> key(port, map_type);
    const size_t hash = index_hash(key);
    const size_t mask = m_index.size() - 1;
    for (size_t at = hash & mask; m_index[at].physical != nullptr; at = (at + 1) & mask)
    {
        const INDEX_SLOT& slot = m_index[at];
        if (slot.hash == hash && slot.map_type == map_type && slot.port == port)
            return *slot.physical;
    }
    return none;
}

void U2B2_PORT_MAP_DB::add(const U2B2_LOGICAL_PORT& port, int map_type, const U2B2_PHYSICAL_PORT& physical)
{
    const std::pair<U2B2_LOGICAL_PORT, int> key(port, map_type);
    auto inserted = m_ports.emplace(key, std::vector<U2B2_PHYSICAL_PORT>());
    inserted.first->second.push_back(physical);
    if (!inserted.second)
        return;
    if (2 * m_ports.size() > m_index.size())
    {
        // Rebuilt at twice the size: the map's values stay where they are.
        m_index.assign(std::max<size_t>(64, 2 * m_index.size()), INDEX_SLOT());
        for (const auto& entry : m_ports)
            index_insert(index_hash(entry.first), entry.first, &entry.second);
        return;
    }
    index_insert(index_hash(key), key, &inserted.first->second);
}

const std::vector<U2B2_PHYSICAL_PORT>& U2B2_PORT_MAP_DB::get_timing_ports(const CDB_ATOM_ITERM* iterm) const
{
    static const std::vector<U2B2_PHYSICAL_PORT> none;
    auto found = m_timing_ports.find(iterm);
    return found == m_timing_ports.end() ? none : found->second;
}

void U2B2_PORT_MAP_DB::add_timing_port(const CDB_ATOM_ITERM* iterm, const U2B2_PHYSICAL_PORT& physical)
{
    m_timing_ports[iterm].push_back(physical);
}

U2B2_PORT_MAP_DB* U2B2_PORT_MAP_DB::read_from_pdb() { return pdb_port_map().get(); }

void u2b2_set_pdb_port_map(std::unique_ptr<U2B2_PORT_MAP_DB> port_map) { pdb_port_map() = std::move(port_map); }

U2B2_TIMING_UTIL* U2B2_TIMING_UTIL::create_util(CDB_CHIP_DB_ENTRY* chip) { return new U2B2_TIMING_UTIL(chip); }

std::vector<U2B2_PHYSICAL_PORT> U2B2_TIMING_UTIL::get_iterm_physical_ports(const U2B2_PORT_MAP_DB* port_map,
                                                                          const CDB_ATOM_ITERM* iterm) const
{
    if (port_map == nullptr)
        return {};
    return port_map->get_timing_ports(iterm);
}
