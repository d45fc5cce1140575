#include "u2b2_port_map.h"

#include "cdb_atom.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>

namespace
{

std::unique_ptr<U2B2_PORT_MAP_DB>& pdb_port_map()
{
    static std::unique_ptr<U2B2_PORT_MAP_DB> port_map;
    return port_map;
}

}  // namespace

namespace
{
// Compact atom numbers at or beyond this sort with the unnumbered atoms.
const uint32_t NUMBERED_ATOMS = 1u << 24;
const uint32_t NO_NUMBER = 0xFFFFFFFFu;
}  // namespace

bool U2B2_PORT_MAP_DB::KEY::operator<(const KEY& other) const
{
    return std::tie(number, atom, type, index, output, map_type) <
           std::tie(other.number, other.atom, other.type, other.index, other.output, other.map_type);
}

bool U2B2_PORT_MAP_DB::KEY::same_port(const KEY& other) const
{
    return atom == other.atom && type == other.type && index == other.index && output == other.output &&
           map_type == other.map_type;
}

U2B2_PORT_MAP_DB::KEY U2B2_PORT_MAP_DB::make_key(const U2B2_LOGICAL_PORT& port, int map_type)
{
    const CDB_ATOM_NODE* atom = port.get_atom();
    uint32_t number = atom != nullptr ? atom->get_netlist_index() : NO_NUMBER;
    if (number >= NUMBERED_ATOMS)
        number = NO_NUMBER;
    return KEY{number, port.get_type(), port.get_index(), map_type, atom, port.is_output()};
}

void U2B2_PORT_MAP_DB::restore_order() const
{
    // The keys go to their numbers' ranges in one stable pass (a counting
    // sort by number), then each range, a few ports of a few atoms, is put
    // in order in place. Stable throughout: each logical port's physical
    // ports keep the order they were added in.
    // An atom numbered since its ports were added goes to its number.
    uint32_t numbers = 0;
    for (KEY& key : m_keys)
    {
        if (key.number == NO_NUMBER && key.atom != nullptr && key.atom->get_netlist_index() < NUMBERED_ATOMS)
            key.number = key.atom->get_netlist_index();
        if (key.number != NO_NUMBER)
            numbers = std::max(numbers, key.number + 1);
    }
    m_first_of_number.assign(static_cast<size_t>(numbers) + 1, 0);
    for (const KEY& key : m_keys)
        if (key.number != NO_NUMBER)
            ++m_first_of_number[key.number + 1];
    for (uint32_t number = 1; number <= numbers; ++number)
        m_first_of_number[number] += m_first_of_number[number - 1];
    std::vector<uint32_t> next(m_first_of_number.begin(), m_first_of_number.end());
    std::vector<KEY> keys(m_keys.size());
    std::vector<U2B2_PHYSICAL_PORT> ports;
    ports.reserve(m_ports.size());
    std::vector<uint32_t> from(m_keys.size());
    for (size_t i = 0; i < m_keys.size(); ++i)
    {
        const uint32_t number = m_keys[i].number;
        const uint32_t slot = next[number == NO_NUMBER ? numbers : number]++;
        keys[slot] = m_keys[i];
        from[slot] = static_cast<uint32_t>(i);
    }
    for (uint32_t i : from)
        ports.push_back(std::move(m_ports[i]));
    m_keys = std::move(keys);
    m_ports = std::move(ports);
    // Within each number's range, and the unnumbered range, by key: a few
    // keys by insertion, more through an order of their own.
    auto sort_range = [this](size_t begin, size_t end) {
        if (end - begin > 32)
        {
            std::vector<uint32_t> order(end - begin);
            for (uint32_t i = 0; i < order.size(); ++i)
                order[i] = static_cast<uint32_t>(begin + i);
            std::stable_sort(order.begin(), order.end(),
                             [this](uint32_t a, uint32_t b) { return m_keys[a] < m_keys[b]; });
            std::vector<KEY> range_keys;
            std::vector<U2B2_PHYSICAL_PORT> range_ports;
            range_keys.reserve(order.size());
            range_ports.reserve(order.size());
            for (uint32_t i : order)
            {
                range_keys.push_back(m_keys[i]);
                range_ports.push_back(std::move(m_ports[i]));
            }
            std::copy(range_keys.begin(), range_keys.end(), m_keys.begin() + static_cast<std::ptrdiff_t>(begin));
            std::move(range_ports.begin(), range_ports.end(), m_ports.begin() + static_cast<std::ptrdiff_t>(begin));
            return;
        }
        for (size_t i = begin + 1; i < end; ++i)
        {
            size_t at = i;
            while (at > begin && m_keys[i] < m_keys[at - 1])
                --at;
            if (at == i)
                continue;
            const auto key_at = m_keys.begin() + static_cast<std::ptrdiff_t>(at);
            const auto port_at = m_ports.begin() + static_cast<std::ptrdiff_t>(at);
            const std::ptrdiff_t moved = static_cast<std::ptrdiff_t>(i - at);
            std::rotate(key_at, key_at + moved, key_at + moved + 1);
            std::rotate(port_at, port_at + moved, port_at + moved + 1);
        }
    };
    for (uint32_t number = 0; number < numbers; ++number)
        sort_range(m_first_of_number[number], m_first_of_number[number + 1]);
    sort_range(m_first_of_number.back(), m_keys.size());
    m_ordered = true;
}

U2B2_PHYSICAL_PORT_RANGE U2B2_PORT_MAP_DB::find(const KEY& key) const
{
    size_t begin = 0;
    size_t end = 0;
    if (key.number == NO_NUMBER)
    {
        begin = m_first_of_number.empty() ? 0 : m_first_of_number.back();
        end = m_keys.size();
    }
    else if (static_cast<size_t>(key.number) + 1 < m_first_of_number.size())
    {
        begin = m_first_of_number[key.number];
        end = m_first_of_number[key.number + 1];
    }
    const auto range_end = m_keys.begin() + static_cast<std::ptrdiff_t>(end);
    // A number's range holds the few ports of one atom: read in order up to
    // the key's first port, it costs fewer mispredicted branches than
    // halving it.
    const size_t SHORT_RANGE = 16;
    auto first = m_keys.begin() + static_cast<std::ptrdiff_t>(begin);
    if (end - begin <= SHORT_RANGE)
    {
        while (first != range_end && !first->same_port(key))
            ++first;
    }
    else
    {
        first = std::lower_bound(first, range_end, key);
    }
    if (first == range_end || !first->same_port(key))
        return U2B2_PHYSICAL_PORT_RANGE();
    auto last = first + 1;
    while (last != range_end && last->same_port(key))
        ++last;
    return U2B2_PHYSICAL_PORT_RANGE(m_ports.data() + (first - m_keys.begin()), static_cast<size_t>(last - first));
}

U2B2_PHYSICAL_PORT_RANGE U2B2_PORT_MAP_DB::get(const U2B2_LOGICAL_PORT& port, int map_type) const
{
    if (!m_ordered)
        restore_order();
    KEY key = make_key(port, map_type);
    const U2B2_PHYSICAL_PORT_RANGE found = find(key);
    if (!found.empty() || key.number == NO_NUMBER || m_first_of_number.empty() ||
        m_first_of_number.back() == m_keys.size())
        return found;
    // Ports added while the atom was in no netlist yet.
    key.number = NO_NUMBER;
    return find(key);
}

void U2B2_PORT_MAP_DB::add(const U2B2_LOGICAL_PORT& port, int map_type, const U2B2_PHYSICAL_PORT& physical)
{
    const KEY key = make_key(port, map_type);
    // Adds in order (the common case of a map filled atom by atom) keep it
    // in order.
    if (m_ordered && !m_keys.empty() && key < m_keys.back())
        m_ordered = false;
    if (m_ordered && key.number != NO_NUMBER)
    {
        if (m_first_of_number.empty())
            m_first_of_number.push_back(0);
        while (m_first_of_number.size() < static_cast<size_t>(key.number) + 2)
            m_first_of_number.push_back(static_cast<uint32_t>(m_keys.size()));
        ++m_first_of_number.back();
    }
    m_keys.push_back(key);
    m_ports.push_back(physical);
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

void u2b2_set_pdb_port_map(std::unique_ptr<U2B2_PORT_MAP_DB> port_map)
{
    // The installed map is complete: it is laid out for lookups once, here.
    if (port_map != nullptr)
        port_map->order_for_lookups();
    pdb_port_map() = std::move(port_map);
}

U2B2_TIMING_UTIL* U2B2_TIMING_UTIL::create_util(CDB_CHIP_DB_ENTRY* chip) { return new U2B2_TIMING_UTIL(chip); }

std::vector<U2B2_PHYSICAL_PORT> U2B2_TIMING_UTIL::get_iterm_physical_ports(const U2B2_PORT_MAP_DB* port_map,
                                                                          const CDB_ATOM_ITERM* iterm) const
{
    if (port_map == nullptr)
        return {};
    return port_map->get_timing_ports(iterm);
}
