#include "u2b2_port_map.h"

namespace
{

std::unique_ptr<U2B2_PORT_MAP_DB>& pdb_port_map()
{
    static std::unique_ptr<U2B2_PORT_MAP_DB> port_map;
    return port_map;
}

}  // namespace

const std::vector<U2B2_PHYSICAL_PORT>& U2B2_PORT_MAP_DB::get(const U2B2_LOGICAL_PORT& port, int map_type) const
{
    static const std::vector<U2B2_PHYSICAL_PORT> none;
    auto found = m_ports.find(std::make_pair(port, map_type));
    return found == m_ports.end() ? none : found->second;
}

void U2B2_PORT_MAP_DB::add(const U2B2_LOGICAL_PORT& port, int map_type, const U2B2_PHYSICAL_PORT& physical)
{
    m_ports[std::make_pair(port, map_type)].push_back(physical);
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
