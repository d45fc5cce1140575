#include "hdb.h"

std::string HDB_OPTION::get_value_str() const
{
    switch (m_kind)
    {
    case HDB_OPTION_KIND_BOOLEAN:
        return m_bool ? "true" : "false";
    case HDB_OPTION_KIND_INTEGER:
    case HDB_OPTION_KIND_ENUM:
        return std::to_string(m_int);
    default:
        return m_text;
    }
}

HDB_OPTION_INTERFACE::HDB_OPTION_INTERFACE() = default;

HDB_OPTION_INTERFACE::~HDB_OPTION_INTERFACE() = default;

void HDB_OPTION_INTERFACE::set_bool_option(int id, bool value)
{
    m_options[id] = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>>(value, 0, std::string());
}

void HDB_OPTION_INTERFACE::set_string_option(int id, const std::string& value)
{
    m_options[id] = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, value);
}

void HDB_OPTION_INTERFACE::set_int_option(int id, int value)
{
    m_options[id] = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_INTEGER, 0>>(false, value, std::string());
}

void HDB_OPTION_INTERFACE::set_enum_option(int id, uint16_t value)
{
    m_options[id] = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_ENUM, 0>>(false, value, std::string());
}

void HDB_OPTION_INTERFACE::remove_option(int id) { m_options.erase(id); }

const HDB_OPTION* HDB_OPTION_INTERFACE::find_option(int id) const
{
    auto it = m_options.find(id);
    return it == m_options.end() ? nullptr : it->second.get();
}

HDB_SECTION* HDB_OPTION_INTERFACE::find_section(int type, const std::string& name) const
{
    for (const auto& section : m_sections)
        if (section->get_type() == type && section->get_name() == name)
            return section.get();
    return nullptr;
}

HDB_SECTION* HDB_OPTION_INTERFACE::add_section(int type, const std::string& name)
{
    if (HDB_SECTION* existing = find_section(type, name))
        return existing;
    m_sections.push_back(std::make_unique<HDB_SECTION>(type, name));
    return m_sections.back().get();
}

void HDB_OPTION_INTERFACE::add_multi_option(int id, const std::string& value)
{
    m_multi_options[id].push_back(std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, value));
}

const std::vector<std::unique_ptr<HDB_OPTION>>* HDB_OPTION_INTERFACE::find_multi_options(int id) const
{
    auto it = m_multi_options.find(id);
    return it == m_multi_options.end() ? nullptr : &it->second;
}

std::vector<const HDB_OPTION*> HDB_OPTION::get_multi_options(const HDB_OPTION_INTERFACE* holder, int id, int, bool)
{
    std::vector<const HDB_OPTION*> entries;
    const auto* stored = holder != nullptr ? holder->find_multi_options(id) : nullptr;
    if (stored != nullptr)
        for (const auto& entry : *stored)
            entries.push_back(entry.get());
    return entries;
}

void HDB_NAMESPACE::add_generated_option(int type, std::unique_ptr<HDB_OPTION> option)
{
    if (option == nullptr)
        return;
    m_generated_options.emplace_back(type, std::move(option));
}

void HDB_NAMESPACE::get_all_generated_options(int type, std::vector<const HDB_OPTION*>& list, bool) const
{
    list.clear();
    for (const auto& generated : m_generated_options)
        if (generated.first == type)
            list.push_back(generated.second.get());
}
namespace
{
HDB_NAME_MGR* current_name_mgr = nullptr;
}  // namespace

HDB_NAME_MGR* hdb_get_current_name_mgr() { return current_name_mgr; }

void hdb_set_current_name_mgr(HDB_NAME_MGR* manager) { current_name_mgr = manager; }
