#include "dbcm.h"
#include "constra.h"

#include <algorithm>

DBCM_REGIONS* DBCM_CHIP::get_regions(int kind) const
{
    for (const auto& regions : m_regions)
        if (regions.first == kind)
            return regions.second.get();
    return nullptr;
}

DBCM_REGIONS* DBCM_CHIP::add_regions(int kind)
{
    if (DBCM_REGIONS* existing = get_regions(kind))
        return existing;
    m_regions.emplace_back(kind, std::make_unique<DBCM_REGIONS>());
    return m_regions.back().second.get();
}

DBCM_DB_MANAGER* DBCM_DB_MANAGER::get_or_create_instance()
{
    static DBCM_DB_MANAGER manager;
    return &manager;
}

DBCM_CHIP* DBCM_DB_MANAGER::get_chip(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_chips.size())
        return nullptr;
    return m_chips[index].get();
}

DBCM_CHIP* DBCM_DB_MANAGER::add_chip()
{
    m_chips.push_back(std::make_unique<DBCM_CHIP>());
    return m_chips.back().get();
}

void DBCM_DB_MANAGER::reset() { m_chips.clear(); }

bool constra_check_bcm_chip(DBCM_CHIP* chip)
{
    if (chip == nullptr)
        return false;
    chip->note_constraint_check();
    return true;
}

void DBCM_SECTION_STORE::add_section(const std::string& name, int major, int minor, const std::string& bytes,
                                     bool replace)
{
    if (replace)
    {
        for (DBCM_SECTION& section : m_sections)
        {
            if (section.name == name)
            {
                section = DBCM_SECTION{name, major, minor, bytes};
                return;
            }
        }
    }
    m_sections.push_back(DBCM_SECTION{name, major, minor, bytes});
}

const DBCM_SECTION* DBCM_SECTION_STORE::find_section(const std::string& name) const
{
    const DBCM_SECTION* found = nullptr;
    for (const DBCM_SECTION& section : m_sections)
    {
        if (section.name == name)
            found = &section;
    }
    return found;
}

DBCM_SECTION_STORE* DBCM_CHIP::create_section_store()
{
    if (!m_sections)
        m_sections = std::make_unique<DBCM_SECTION_STORE>();
    return m_sections.get();
}

DBCM_CHIP::~DBCM_CHIP() = default;

DBCM_DEVICE* DBCM_CHIP::add_device(const std::string& name)
{
    if (!m_device)
        m_device = std::make_unique<DBCM_DEVICE>(name);
    return m_device.get();
}

bool DBCM_CHIP::copy_borrowed_bits_to_lent_bits(int max_threads)
{
    if (max_threads < 1)
        return false;
    m_last_copy_thread_cap = max_threads;
    m_config_bits.insert(m_borrowed_bits.begin(), m_borrowed_bits.end());
    return true;
}

DBCM_INSTANCE DBCM_CHIP::get_instance(int node) const
{
    if (node < 0 || static_cast<size_t>(node) >= m_top_instances.size())
        return DBCM_INSTANCE();
    return DBCM_INSTANCE(m_top_instances[static_cast<size_t>(node)].get());
}

DBCM_INSTANCE_NODE* DBCM_CHIP::add_top_block(const char* type)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, type);
    return add_top_block(symbol);
}

DBCM_INSTANCE_NODE* DBCM_CHIP::add_top_block(ZSYM type)
{
    if (!m_tree)
        m_tree = std::make_unique<DBCM_TREE>();
    m_tree->add_node(type);
    m_top_instances.push_back(std::make_unique<DBCM_INSTANCE_NODE>());
    return m_top_instances.back().get();
}

std::vector<int> DBCM_TREE::get_children() const
{
    std::vector<int> children;
    for (size_t i = 0; i < m_types.size(); ++i)
        children.push_back(static_cast<int>(i));
    return children;
}

ZSYM DBCM_TREE::get_type(int node) const
{
    if (node < 0 || static_cast<size_t>(node) >= m_types.size())
        return ZSYM();
    return m_types[static_cast<size_t>(node)];
}

int DBCM_TREE::add_node(ZSYM type)
{
    m_types.push_back(type);
    return static_cast<int>(m_types.size() - 1);
}

namespace
{
// The identity of a name's symbol in namespace 1.
const void* name_key(const char* name)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, name);
    return symbol.cname();
}

// The identity of a symbol: its interned text (symbols are equal exactly
// when their texts are the same object).
const void* symbol_key(ZSYM symbol) { return symbol.cname(); }
}  // namespace

DBCM_INSTANCE_NODE* DBCM_INSTANCE_NODE::add_child(const char* name)
{
    std::unique_ptr<DBCM_INSTANCE_NODE>& child = m_children[name_key(name)];
    if (!child)
    {
        child = std::make_unique<DBCM_INSTANCE_NODE>();
        child->m_name = name;
    }
    return child.get();
}

DBCM_INSTANCE DBCM_CHIP::get_instance(ZSYM name) const
{
    if (name.is_null())
        return DBCM_INSTANCE();
    auto it = m_named_instances.find(symbol_key(name));
    return it == m_named_instances.end() ? DBCM_INSTANCE() : DBCM_INSTANCE(it->second.get());
}

DBCM_INSTANCE_NODE* DBCM_CHIP::add_named_instance(const char* name)
{
    std::unique_ptr<DBCM_INSTANCE_NODE>& node = m_named_instances[name_key(name)];
    if (!node)
    {
        node = std::make_unique<DBCM_INSTANCE_NODE>();
        node->m_name = name;
    }
    return node.get();
}

DBCM_SECTOR* DBCM_DEVICE::add_device_sector(const std::string& name, const std::string& type)
{
    ZSYM name_symbol;
    name_symbol.use(ZSYM_NAMESPACE_NAME, name.c_str());
    ZSYM type_symbol;
    type_symbol.use(ZSYM_NAMESPACE_NAME, type.c_str());
    m_sectors.push_back(std::make_unique<DBCM_SECTOR>(name_symbol, type_symbol, name, type, this));
    return m_sectors.back().get();
}

void DBCM_SECTOR::add_instance(const char* name)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, name);
    if (std::find(m_instances.begin(), m_instances.end(), symbol) == m_instances.end())
        m_instances.push_back(symbol);
    if (m_device != nullptr && name != nullptr)
        m_device->m_sector_of.emplace(name, this);
}

bool DBCM_INTENT::is_valid_attribute(ZSYM attribute) const
{
    return m_node != nullptr && !attribute.is_null() && m_node->m_settings.count(symbol_key(attribute)) != 0;
}

std::string DBCM_INSTANCE::get_name() const { return m_node != nullptr ? m_node->m_name : std::string(); }

const DBCM_INTENT* DBCM_INSTANCE::get_intent() const { return m_node != nullptr ? &m_node->m_intent : nullptr; }

void DBCM_INSTANCE_NODE::set_setting(const char* setting, const char* value)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, value);
    m_settings[name_key(setting)] = symbol;
}

DBCM_INSTANCE DBCM_INSTANCE::get_child_instance(ZSYM name) const
{
    if (m_node == nullptr || name.is_null())
        return DBCM_INSTANCE();
    auto it = m_node->m_children.find(symbol_key(name));
    return it == m_node->m_children.end() ? DBCM_INSTANCE() : DBCM_INSTANCE(it->second.get());
}

ZSYM DBCM_INSTANCE::get_symbol(ZSYM setting) const
{
    if (m_node == nullptr || setting.is_null())
        return ZSYM();
    auto it = m_node->m_settings.find(symbol_key(setting));
    return it == m_node->m_settings.end() ? ZSYM() : it->second;
}

bool DBCM_INSTANCE::has_setting(ZSYM setting) const
{
    return m_node != nullptr && !setting.is_null() && m_node->m_settings.count(symbol_key(setting)) != 0;
}

namespace
{
std::unique_ptr<DBCM_BUNDLE>& bundle_instance()
{
    static std::unique_ptr<DBCM_BUNDLE> bundle;
    return bundle;
}
}  // namespace

DBCM_BUNDLE* DBCM_BUNDLE_SINGLETON::get_bundle() { return bundle_instance().get(); }

void DBCM_BUNDLE_SINGLETON::create_instance(DBCM_BUNDLE* bundle) { bundle_instance().reset(bundle); }

void DBCM_BUNDLE_SINGLETON::reset() { bundle_instance().reset(); }

int DBCM_DEVICE::add_block_instance(const std::string& name, int x, int y, int z, uint32_t global_id)
{
    m_block_instances.push_back(BLOCK_INSTANCE{name, x, y, z, global_id});
    const int instance = static_cast<int>(m_block_instances.size() - 1);
    m_instance_at.emplace(std::make_tuple(x, y, z), instance);
    m_instance_at_xy.emplace(std::make_pair(x, y), instance);
    m_instance_of_global_id.emplace(global_id, instance);
    return instance;
}

int DBCM_DEVICE::get_instance_at(int x, int y) const
{
    auto it = m_instance_at_xy.find(std::make_pair(x, y));
    return it == m_instance_at_xy.end() ? -1 : it->second;
}

int DBCM_DEVICE::find_instance(int x, int y, int z) const
{
    auto it = m_instance_at.find(std::make_tuple(x, y, z));
    return it == m_instance_at.end() ? -1 : it->second;
}

int DBCM_DEVICE::find_instance_of_global_id(uint32_t global_id) const
{
    auto it = m_instance_of_global_id.find(global_id);
    return it == m_instance_of_global_id.end() ? -1 : it->second;
}

std::string DBCM_DEVICE::get_instance_name(int instance) const
{
    if (instance < 0 || static_cast<size_t>(instance) >= m_block_instances.size())
        return std::string();
    return m_block_instances[static_cast<size_t>(instance)].name;
}

const DBCM_SECTOR* DBCM_DEVICE::get_sector_of_instance(int instance) const
{
    if (instance < 0 || static_cast<size_t>(instance) >= m_block_instances.size())
        return nullptr;
    auto it = m_sector_of.find(m_block_instances[static_cast<size_t>(instance)].name);
    return it == m_sector_of.end() ? nullptr : it->second;
}

bool DBCM_REGIONS::is_implemented(int index) const
{
    get_name(index);
    return m_preserved.count(index) == 0;
}

void DBCM_REGIONS::set_implemented(int index, bool implemented)
{
    get_name(index);
    if (implemented)
        m_preserved.erase(index);
    else
        m_preserved.insert(index);
}
