#include "dygr_route.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

namespace
{

uint64_t position_key(int x, int y)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}

}  // namespace

int DYGR_PLACE_INFO::add_block(const DYGR_PLACE_BLOCK& block)
{
    const int index = static_cast<int>(m_blocks.size());
    m_blocks.push_back(block);
    auto position = m_by_position.emplace(position_key(block.x, block.y), static_cast<int>(m_position_lists.size()));
    if (position.second)
        m_position_lists.emplace_back();
    m_position_lists[static_cast<size_t>(position.first->second)].push_back(index);
    if (block.location != 0xFFFFFFFFu)
        m_by_location.emplace(block.location, index);
    if (block.global_id != 0xFFFFFFFFu)
        m_by_global_id.emplace(block.global_id, index);
    m_indexed = false;
    return index;
}

void DYGR_PLACE_INFO::index() const
{
    m_indexed = true;
    m_grid.clear();
    m_location_blocks.clear();
    // Arrays of up to a few times the entries they hold.
    auto dense = [](uint64_t span, size_t entries) { return span <= 4 * static_cast<uint64_t>(entries) + 4096; };
    if (!m_by_position.empty())
    {
        int min_x = INT32_MAX;
        int max_x = INT32_MIN;
        int min_y = INT32_MAX;
        int max_y = INT32_MIN;
        for (const auto& position : m_by_position)
        {
            const int x = static_cast<int>(static_cast<uint32_t>(position.first >> 32));
            const int y = static_cast<int>(static_cast<uint32_t>(position.first));
            min_x = std::min(min_x, x);
            max_x = std::max(max_x, x);
            min_y = std::min(min_y, y);
            max_y = std::max(max_y, y);
        }
        const uint64_t width = static_cast<uint64_t>(static_cast<int64_t>(max_x) - min_x + 1);
        const uint64_t height = static_cast<uint64_t>(static_cast<int64_t>(max_y) - min_y + 1);
        if (dense(width * height, m_by_position.size()))
        {
            m_grid_x = min_x;
            m_grid_y = min_y;
            m_grid_height = static_cast<int>(height);
            m_grid.assign(static_cast<size_t>(width * height), -1);
            for (const auto& position : m_by_position)
            {
                const int x = static_cast<int>(static_cast<uint32_t>(position.first >> 32));
                const int y = static_cast<int>(static_cast<uint32_t>(position.first));
                m_grid[static_cast<size_t>(x - min_x) * height + static_cast<size_t>(y - min_y)] = position.second;
            }
        }
    }
    if (!m_by_location.empty())
    {
        uint32_t first = UINT32_MAX;
        uint32_t last = 0;
        for (const auto& location : m_by_location)
        {
            first = std::min(first, location.first);
            last = std::max(last, location.first);
        }
        if (dense(static_cast<uint64_t>(last) - first + 1, m_by_location.size()))
        {
            m_first_location = first;
            m_location_blocks.assign(static_cast<size_t>(last - first) + 1, -1);
            for (const auto& location : m_by_location)
                m_location_blocks[location.first - first] = location.second;
        }
    }
}

const std::vector<int>& DYGR_PLACE_INFO::get_blocks_at(int x, int y) const
{
    static const std::vector<int> none;
    if (!m_indexed)
        index();
    if (!m_grid.empty())
    {
        const int64_t column = static_cast<int64_t>(x) - m_grid_x;
        const int64_t row = static_cast<int64_t>(y) - m_grid_y;
        if (column < 0 || row < 0 || row >= m_grid_height)
            return none;
        const uint64_t cell = static_cast<uint64_t>(column) * static_cast<uint64_t>(m_grid_height) + static_cast<uint64_t>(row);
        if (cell >= m_grid.size() || m_grid[cell] < 0)
            return none;
        return m_position_lists[static_cast<size_t>(m_grid[cell])];
    }
    auto found = m_by_position.find(position_key(x, y));
    return found == m_by_position.end() ? none : m_position_lists[static_cast<size_t>(found->second)];
}

int DYGR_PLACE_INFO::find_block_of_location(uint32_t location) const
{
    if (!m_indexed)
        index();
    if (!m_location_blocks.empty())
    {
        const uint64_t slot = static_cast<uint64_t>(location) - m_first_location;
        return location < m_first_location || slot >= m_location_blocks.size() ? -1
                                                                                : m_location_blocks[slot];
    }
    auto found = m_by_location.find(location);
    return found == m_by_location.end() ? -1 : found->second;
}

int DYGR_PLACE_INFO::find_block_of_global_id(uint32_t global_id) const
{
    auto found = m_by_global_id.find(global_id);
    return found == m_by_global_id.end() ? -1 : found->second;
}

int DYGR_PLACE_INFO::get_outermost_block(int index) const
{
    // A parent chain that loops back ends at the block where it would
    // repeat.
    for (size_t steps = 0; steps < m_blocks.size() && block(index).parent >= 0; ++steps)
        index = block(index).parent;
    return index;
}

uint32_t DYGR_PLACE_INFO::get_atom_port_global_id(uint32_t location, DBS_PORT_TYPE type, int index) const
{
    const int found = find_block_of_location(location);
    if (found < 0)
        return 0xFFFFFFFFu;
    const auto& ports = block(found).atom_ports;
    auto port = ports.find(std::make_pair(type, index));
    return port == ports.end() ? 0xFFFFFFFFu : port->second;
}

DYGR_GRAPH_TYPE DYGR_ROUTE_INFO::get_top_level_graph_from_edge(uint32_t from, uint32_t to, int) const
{
    const DYGR_GRAPH_TYPE* graph = m_edge_graphs.find(from, to);
    return graph == nullptr ? DYGR_FULL_GRAPH : *graph;
}

void DYGR_ROUTE_INFO::set_edge_graph(uint32_t from, uint32_t to, DYGR_GRAPH_TYPE graph)
{
    m_edge_graphs.set(from, to, graph);
}

bool DYGR_ROUTE_INFO::get_element_info(uint32_t global_id, DEV_ELEMENT_ENUM& type, std::string& text) const
{
    const ELEMENT_INFO* found = m_element_info.find(global_id);
    if (found == nullptr || !found->present)
        return false;
    type = found->type;
    text = found->text;
    return true;
}

void DYGR_ROUTE_INFO::set_element_info(uint32_t global_id, DEV_ELEMENT_ENUM type, const std::string& text)
{
    m_element_info[global_id] = ELEMENT_INFO{true, type, text};
}

const DYGR_ROUTE_ELEMENT* DYGR_ROUTE_INFO::get_route_element(uint32_t global_id) const
{
    auto found = m_blc_ports.find(global_id);
    return found == m_blc_ports.end() ? nullptr : &found->second;
}

void DYGR_ROUTE_INFO::add_top_level_blc_port(uint32_t global_id, uint32_t block_global_id)
{
    m_blc_ports.erase(global_id);
    m_blc_ports.emplace(global_id, DYGR_ROUTE_ELEMENT(block_global_id));
}

namespace
{
// The rank of an ICD port direction; -1 for no known direction.
int icd_direction_rank(std::string_view direction)
{
    if (direction == "INPUT")
        return 0;
    if (direction == "OUTPUT")
        return 1;
    if (direction == "BIDIR")
        return 2;
    return -1;
}
}  // namespace

namespace
{
// The order of a block's ICD ports: by direction, then by name length, then
// by name, so that most comparisons end at a length.
int compare_icd_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    return 0;
}
}  // namespace

void DYGR_PLACE_BLOCK::set_icd_port(std::string_view direction, std::string_view name, uint32_t global_id)
{
    const int rank = icd_direction_rank(direction);
    if (rank < 0)
        throw std::invalid_argument("unknown ICD port direction \"" + std::string(direction) + "\"");
    auto at = std::lower_bound(m_icd_ports.begin(), m_icd_ports.end(), std::make_pair(rank, name),
                               [](const ICD_PORT& port, const std::pair<int, std::string_view>& key) {
                                   return port.direction != key.first ? port.direction < key.first
                                                                      : compare_icd_name(port.name, key.second) < 0;
                               });
    if (at != m_icd_ports.end() && at->direction == rank && compare_icd_name(at->name, name) == 0)
        at->global_id = global_id;
    else
        m_icd_ports.insert(at, ICD_PORT{global_id, static_cast<uint8_t>(rank), std::string(name)});
}

uint32_t DYGR_PLACE_BLOCK::get_icd_port(std::string_view direction, std::string_view name) const
{
    const int rank = icd_direction_rank(direction);
    if (rank < 0)
        return 0xFFFFFFFFu;
    // Most blocks have a few ports: read in order, they cost fewer
    // mispredicted branches than halving them.
    const size_t FEW_PORTS = 16;
    if (m_icd_ports.size() <= FEW_PORTS)
    {
        for (const ICD_PORT& port : m_icd_ports)
            if (port.direction == rank && compare_icd_name(port.name, name) == 0)
                return port.global_id;
        return 0xFFFFFFFFu;
    }
    auto at = std::lower_bound(m_icd_ports.begin(), m_icd_ports.end(), std::make_pair(rank, name),
                               [](const ICD_PORT& port, const std::pair<int, std::string_view>& key) {
                                   return port.direction != key.first ? port.direction < key.first
                                                                      : compare_icd_name(port.name, key.second) < 0;
                               });
    return at != m_icd_ports.end() && at->direction == rank && compare_icd_name(at->name, name) == 0 ? at->global_id
                                                                                                    : 0xFFFFFFFFu;
}

uint32_t DYGR_ROUTE_INFO::get_block_icd_port_gid(const DYGR_PLACE_BLOCK& block, const std::string& port_name,
                                                 const std::string& direction) const
{
    return block.get_icd_port(direction, port_name);
}

bool DYGR_ROUTE_ASM_INFO::load_data(const std::string&)
{
    m_loaded = m_available;
    if (m_loaded && !m_added.empty())
        lay_out();
    return m_loaded;
}

int DYGR_ROUTE_ASM_INFO::get_destination_bit_group(uint32_t source, uint32_t destination) const
{
    if (!m_loaded)
        return -1;
    const int* group = m_groups.find(source, destination);
    return group == nullptr ? -1 : *group;
}

const DYGR_ROUTE_ASM_NODE* DYGR_ROUTE_ASM_INFO::get_asm_node(uint32_t source) const
{
    if (!m_loaded)
        return nullptr;
    if (!m_added.empty())
        lay_out();
    return m_nodes.find(source);
}

void DYGR_ROUTE_ASM_INFO::set_edge_bits(uint32_t source, uint32_t destination, const std::vector<int>& flat_addresses)
{
    DYGR_ROUTE_ASM_NODE& node = m_nodes[source];
    const uint32_t group = node.m_group_count++;
    m_added.push_back(ADDED_GROUP{source, group, static_cast<uint32_t>(m_added_bits.size()),
                                  static_cast<uint32_t>(flat_addresses.size())});
    m_added_bits.insert(m_added_bits.end(), flat_addresses.begin(), flat_addresses.end());
    m_groups.set(source, destination, static_cast<int>(group));
}

void DYGR_ROUTE_ASM_INFO::lay_out() const
{
    // The groups already laid out join the new ones, then all go to new
    // tables by source id and group.
    std::vector<ADDED_GROUP> groups;
    groups.reserve(m_added.size());
    std::vector<int> bits;
    bits.reserve(m_added_bits.size() + m_records.size());
    for (uint32_t source : m_sources)
    {
        const DYGR_ROUTE_ASM_NODE* node = m_nodes.find(source);
        for (uint32_t group = 0; group < node->m_laid_out; ++group)
        {
            const uint32_t start = node->group_start(static_cast<int>(group));
            const uint32_t end = static_cast<uint32_t>(node->m_ends[group]);
            groups.push_back(ADDED_GROUP{source, group, static_cast<uint32_t>(bits.size()), end - start});
            bits.insert(bits.end(), node->m_bits + start, node->m_bits + end);
        }
    }
    const uint32_t offset = static_cast<uint32_t>(bits.size());
    for (const ADDED_GROUP& added : m_added)
        groups.push_back(ADDED_GROUP{added.source, added.group, offset + added.first, added.count});
    bits.insert(bits.end(), m_added_bits.begin(), m_added_bits.end());
    std::sort(groups.begin(), groups.end(), [](const ADDED_GROUP& a, const ADDED_GROUP& b) {
        return a.source != b.source ? a.source < b.source : a.group < b.group;
    });
    m_added.clear();
    m_added.shrink_to_fit();
    m_added_bits.clear();
    m_added_bits.shrink_to_fit();
    // Each node's record: the end of each of its groups (counted from the
    // node's first bit), then its bits. The tables are sized once, so that
    // the nodes' pointers into them stay valid.
    m_records.clear();
    m_records.reserve(groups.size() + bits.size());
    m_sources.clear();
    for (size_t at = 0; at < groups.size();)
    {
        const uint32_t source = groups[at].source;
        const size_t first_group = at;
        while (at < groups.size() && groups[at].source == source)
            ++at;
        const size_t ends = m_records.size();
        m_records.resize(ends + (at - first_group));
        const size_t first_bit = m_records.size();
        for (size_t group = first_group; group < at; ++group)
        {
            m_records.insert(m_records.end(), bits.begin() + groups[group].first,
                             bits.begin() + groups[group].first + groups[group].count);
            m_records[ends + (group - first_group)] = static_cast<int>(m_records.size() - first_bit);
        }
        DYGR_ROUTE_ASM_NODE& node = m_nodes[source];
        node.m_bits = m_records.data() + first_bit;
        node.m_ends = m_records.data() + ends;
        node.m_laid_out = static_cast<uint32_t>(at - first_group);
        m_sources.push_back(source);
    }
}

bool HIPI::UTIL::is_hipi(uint32_t location, const DYGR_ROUTE_INFO*, const DYGR_PLACE_INFO* place_info)
{
    const int block = place_info == nullptr ? -1 : place_info->find_block_of_location(location);
    return block >= 0 && place_info->block(block).hipi;
}

bool HIPI::UTIL::is_lab_hipi(uint32_t location, const DYGR_PLACE_INFO* place_info)
{
    const int block = place_info == nullptr ? -1 : place_info->find_block_of_location(location);
    return block >= 0 && place_info->block(block).lab_hipi;
}
