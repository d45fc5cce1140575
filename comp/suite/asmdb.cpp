#include "asmdb.h"

#include <map>

namespace
{
std::map<std::string, ASMDB_ARCH_GROUP_BLOCK_TYPE>& block_types()
{
    static std::map<std::string, ASMDB_ARCH_GROUP_BLOCK_TYPE> table;
    return table;
}
std::map<std::string, ASMDB_ARCH_GROUP_TYPE>& group_types()
{
    static std::map<std::string, ASMDB_ARCH_GROUP_TYPE> table;
    return table;
}

// The first name of a value in a name table, or null.
template <typename TYPE>
const char* name_of(const std::map<std::string, TYPE>& table, TYPE type)
{
    for (const auto& entry : table)
        if (entry.second == type)
            return entry.first.c_str();
    return nullptr;
}

// A printable name for a value without one, kept for the process.
const char* unnamed(const char* kind, int value)
{
    static std::map<std::string, std::string> texts;
    const std::string key = std::string(kind) + " " + std::to_string(value);
    return texts.emplace(key, "<" + key + ">").first->second.c_str();
}
}  // namespace

ASMDB_ARCH_GROUP_BLOCK_TYPE asmdb_get_asmdb_arch_group_block_type_by_string(const char* name)
{
    if (name == nullptr)
        return ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID;
    auto found = block_types().find(name);
    return found == block_types().end() ? ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID : found->second;
}

void asmdb_set_arch_group_block_type_name(ASMDB_ARCH_GROUP_BLOCK_TYPE type, const std::string& name)
{
    block_types()[name] = type;
}

void asmdb_clear_arch_group_block_types()
{
    block_types().clear();
    group_types().clear();
}

bool asmdb_exists_asmdb_arch_group_block_type_by_string(const char* name)
{
    return name != nullptr && block_types().count(name) != 0;
}

bool asmdb_exists_asmdb_arch_group_type_by_string(const char* name)
{
    return name != nullptr && group_types().count(name) != 0;
}

ASMDB_ARCH_GROUP_TYPE asmdb_get_asmdb_arch_group_type_by_string(const char* name)
{
    if (name == nullptr)
        return ASMDB_ARCH_GROUP_TYPE_NONE;
    auto found = group_types().find(name);
    return found == group_types().end() ? ASMDB_ARCH_GROUP_TYPE_NONE : found->second;
}

const char* asmdb_get_debug_string(ASMDB_ARCH_GROUP_BLOCK_TYPE type)
{
    if (const char* name = name_of(block_types(), type))
        return name;
    return type == 0 ? "BLOCK_NO_TYPE" : unnamed("BLOCK_TYPE", type);
}

const char* asmdb_get_debug_string(ASMDB_ARCH_GROUP_TYPE type)
{
    if (const char* name = name_of(group_types(), type))
        return name;
    return unnamed("ARCH_GROUP_TYPE", type);
}

void asmdb_set_arch_group_type_name(ASMDB_ARCH_GROUP_TYPE type, const std::string& name) { group_types()[name] = type; }

ASMDB_DIE::ASMDB_DIE() = default;

ASMDB_DIE::~ASMDB_DIE() = default;

const ASMDB_ARCH_GROUP_BASE* ASMDB_DIE::get_arch_group(int index) const
{
    if (index < 0 || index >= get_num_groups())
        return nullptr;
    return m_arch_groups[static_cast<size_t>(index)].get();
}

void ASMDB_DIE::add_arch_group(std::unique_ptr<ASMDB_ARCH_GROUP_BASE> group) { m_arch_groups.push_back(std::move(group)); }

void ASMDB_TABLE_ARCH_GROUP::get_ram_select_settings(int select, uint32_t arg, bool ram_value,
                                                     ASMDB_SETTING_STREAMS& streams) const
{
    if (select < 0 || select >= m_size)
        return;
    for (int32_t k = 0; k < m_width && k < 32; ++k)
        if ((arg >> k) & 1u)
            streams.m_settings.push_back(ASMDB_SETTING{
                m_base + static_cast<uint32_t>(select) * static_cast<uint32_t>(m_width) + static_cast<uint32_t>(k),
                static_cast<uint8_t>(ram_value ? 1 : 0)});
}

void ASMDB_TABLE_ARCH_GROUP::get_select_settings(int select, uint32_t arg, ASMDB_SETTING_STREAMS& streams) const
{
    if (select < 0 || select >= m_size)
        return;
    for (int32_t k = 0; k < m_width; ++k)
        streams.m_settings.push_back(ASMDB_SETTING{
            m_base + static_cast<uint32_t>(select) * static_cast<uint32_t>(m_width) + static_cast<uint32_t>(k),
            static_cast<uint8_t>(k < 32 ? (arg >> k) & 1u : 0u)});
}

void ASMDB_TABLE_ARCH_GROUP::get_all_elements_settings(const std::string& arg_string,
                                                       ASMDB_SETTING_STREAMS& streams) const
{
    auto found = m_named_arguments.find(arg_string);
    if (found != m_named_arguments.end())
        get_all_elements_settings(found->second, streams);
}

void ASMDB_TABLE_ARCH_GROUP::get_all_elements_settings(uint32_t arg, ASMDB_SETTING_STREAMS& streams) const
{
    for (int32_t element = 0; element < m_size; ++element)
        get_select_settings(element, arg, streams);
}

bool ASMDB_TABLE_ARCH_GROUP::accepts(int select, uint32_t arg, ASMDB_SETTING_STREAMS&) const
{
    if (select < 0 || select >= m_size)
        return false;
    return m_width >= 32 || (static_cast<uint64_t>(arg) >> m_width) == 0;
}
