#include "dev.h"
#include "asmdb.h"
#include "dmgr.h"
#include "dstr.h"
#include "gen.h"

#include <cctype>
#include <map>

namespace
{

struct PART_RECORD
{
    std::string name;
    DEV_DEVICE_ENUM device;
    std::map<int, uint32_t> resources;
    uint32_t pof_id = 0;
    std::vector<std::string> jtag_ids;
    // Transceiver tile types by lower-case slot UID.
    std::map<std::string, std::string> brask_types;
};

struct DEVICE_RECORD
{
    DEV_DEVICE_ENUM base_device;
    std::string user_name;
    DEV_FAMILY family = -1;
};

struct DEVICE_DATABASE
{
    std::map<int, PART_RECORD> parts;
    std::map<int, DEVICE_RECORD> devices;
};

DEVICE_DATABASE& database()
{
    static DEVICE_DATABASE db;
    return db;
}

std::string lower_case(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

void dev_add_part(DEV_PART part, const std::string& name, DEV_DEVICE_ENUM device)
{
    PART_RECORD& record = database().parts[part];
    record.name = name;
    record.device = device;
}

void dev_add_device(DEV_DEVICE_ENUM device, DEV_DEVICE_ENUM base_device, const std::string& user_name)
{
    DEVICE_RECORD& record = database().devices[device];
    record.base_device = base_device;
    record.user_name = user_name;
}

void dev_set_resource_count(DEV_PART part, DEV_RESOURCE kind, uint32_t count)
{
    auto it = database().parts.find(part);
    if (it != database().parts.end())
        it->second.resources[kind] = count;
}

void dev_reset()
{
    database() = DEVICE_DATABASE();
    dev_reset_traits();
    DMGR_UTILITY::set_current_device(nullptr);
}

std::string DEV_PART_MANAGER::get_part_name(DEV_PART part) const
{
    auto it = database().parts.find(part);
    return it == database().parts.end() ? std::string() : it->second.name;
}

DEV_DEVICE_ENUM DEV_PART_MANAGER::get_device_of(DEV_PART part) const
{
    auto it = database().parts.find(part);
    return it == database().parts.end() ? DEV_DEVICE_INVALID : it->second.device;
}

DEV_DEVICE_ENUM DEV_PART_MANAGER::get_base_device_of(DEV_DEVICE_ENUM device) const
{
    auto it = database().devices.find(device);
    return it == database().devices.end() ? DEV_DEVICE_INVALID : it->second.base_device;
}

uint32_t DEV_PART_MANAGER::get_device_resource_count_of(DEV_PART part, DEV_RESOURCE kind) const
{
    auto it = database().parts.find(part);
    if (it == database().parts.end())
        return 0xFFFFFFFFu;
    auto count = it->second.resources.find(kind);
    return count == it->second.resources.end() ? 0xFFFFFFFFu : count->second;
}

bool DEV_DIE_INFO::load_device_data(int kind, std::string& text)
{
    m_requested.push_back(kind);
    if (m_available.count(kind) == 0)
    {
        text = "no device data of kind " + std::to_string(kind);
        return false;
    }
    m_loaded.push_back(kind);
    return true;
}



const char* dstr_get_user_string(DEV_DEVICE_ENUM device)
{
    auto it = database().devices.find(device);
    return it == database().devices.end() ? nullptr : it->second.user_name.c_str();
}

DEV_ASM_INFO::DEV_ASM_INFO() : m_asmdb_dirt(new ASMDB_DIRT()) {}

DEV_ASM_INFO::~DEV_ASM_INFO() = default;

bool DEV_ASM_INFO::load_data_from_pdb(const DEV_BASIC_INFO* basic_info)
{
    m_loaded = basic_info != nullptr && m_pdb_parts.count(basic_info->get_part_enum()) != 0;
    return m_loaded;
}

ASMDB_DIE* DEV_ASM_INFO::get_asmdb_die() const { return m_loaded ? m_asmdb_die.get() : nullptr; }

ASMDB_DIRT* DEV_ASM_INFO::get_asmdb_dirt() const { return m_loaded ? m_asmdb_dirt.get() : nullptr; }

void DEV_ASM_INFO::set_asmdb_die(std::unique_ptr<ASMDB_DIE> die) { m_asmdb_die = std::move(die); }

const char* dstr_get_user_string(DEV_PART part)
{
    auto it = database().parts.find(part);
    return it == database().parts.end() ? nullptr : it->second.name.c_str();
}

DEV_PART dstr_get_dev_part_enum_by_string(const char* name)
{
    if (name == nullptr)
        return DEV_PART_INVALID;
    for (const auto& entry : database().parts)
        if (gen_stricmp(entry.second.name.c_str(), name) == 0)
            return static_cast<DEV_PART>(entry.first);
    return DEV_PART_INVALID;
}

void dev_set_pof_id(DEV_PART part, uint32_t pof_id)
{
    auto it = database().parts.find(part);
    if (it != database().parts.end())
        it->second.pof_id = pof_id;
}

void dev_set_device_family(DEV_DEVICE_ENUM device, DEV_FAMILY family)
{
    auto it = database().devices.find(device);
    if (it != database().devices.end())
        it->second.family = family;
}

uint32_t DEV_PART_MANAGER::get_pof_id_of(DEV_PART part) const
{
    auto it = database().parts.find(part);
    return it == database().parts.end() ? 0 : it->second.pof_id;
}

DEV_FAMILY DEV_PART_MANAGER::get_family_of(DEV_DEVICE_ENUM device) const
{
    auto it = database().devices.find(device);
    return it == database().devices.end() ? -1 : it->second.family;
}

void dev_set_device_jtag_ids(DEV_PART part, const std::vector<std::string>& ids)
{
    auto it = database().parts.find(part);
    if (it != database().parts.end())
        it->second.jtag_ids = ids;
}

std::vector<std::string> DEV_PART_MANAGER::get_device_jtag_id(DEV_PART part) const
{
    auto it = database().parts.find(part);
    return it == database().parts.end() ? std::vector<std::string>() : it->second.jtag_ids;
}

void dev_set_brask_type(DEV_PART part, const std::string& uid, const std::string& type)
{
    auto it = database().parts.find(part);
    if (it != database().parts.end())
        it->second.brask_types[lower_case(uid)] = type;
}

std::string DEV_PART_MANAGER::get_brask_type(DEV_PART part, const std::string& uid) const
{
    auto it = database().parts.find(part);
    if (it == database().parts.end())
        return std::string();
    auto type = it->second.brask_types.find(lower_case(uid));
    return type == it->second.brask_types.end() ? std::string() : type->second;
}

void DEV_DIE_INFO::unload_device_data(int kind)
{
    for (auto it = m_loaded.begin(); it != m_loaded.end(); ++it)
        if (*it == kind)
        {
            m_loaded.erase(it);
            return;
        }
}

bool DEV_DIE_INFO::is_device_data_loaded(int kind) const
{
    for (int loaded : m_loaded)
        if (loaded == kind)
            return true;
    return false;
}

const std::string& DEV_DIE_INFO::get_element_name(uint32_t global_id) const
{
    static const std::string none;
    const std::string* found = m_element_names.find(global_id);
    return found == nullptr ? none : *found;
}

std::string DEV_DIE_INFO::get_icname(uint32_t global_id, int kind) const
{
    const int ICNAME_DATA = 3;
    if (!is_device_data_loaded(ICNAME_DATA))
        return std::string();
    auto found = m_icnames.find((static_cast<uint64_t>(kind) << 32) | global_id);
    return found == m_icnames.end() ? std::string() : found->second;
}
