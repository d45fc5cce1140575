#include "design_bit_settings.h"

#include "design.h"

#include <asmdb.h>
#include <dev.h>

#include <nlohmann/json.hpp>

#include <climits>
#include <set>

using nlohmann::json;

namespace
{

class READER
{
public:
    READER(const std::string& file) : m_file(file) {}

    [[noreturn]] void fail(const std::string& path, const std::string& problem) const
    {
        throw DESIGN_ERROR(m_file, path, problem);
    }

    long long integer(const json& value, const std::string& path, long long min, long long max) const
    {
        if (!value.is_number_integer())
            fail(path, "expected an integer");
        const bool fits = value.is_number_unsigned() ? value.get<uint64_t>() <= static_cast<uint64_t>(max)
                                                     : value.get<int64_t>() >= min && value.get<int64_t>() <= max;
        if (!fits)
            fail(path, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
        return value.is_number_unsigned() ? static_cast<long long>(value.get<uint64_t>()) : value.get<int64_t>();
    }

    // The object's keys must all be known ones.
    void known_keys(const json& object, const std::string& path, const std::set<std::string>& known) const
    {
        if (!object.is_object())
            fail(path, "expected an object");
        for (auto it = object.begin(); it != object.end(); ++it)
            if (known.count(it.key()) == 0)
                fail(path + "." + it.key(), "unknown key");
    }

    const json& required(const json& object, const std::string& path, const char* key) const
    {
        auto found = object.find(key);
        if (found == object.end())
            fail(path + "." + key, "required key is missing");
        return *found;
    }

private:
    const std::string& m_file;
};

}  // namespace

void read_design_arch_groups(const json& value, const std::string& file, const std::string& path,
                             DESIGN_BIT_SETTINGS& bit_settings)
{
    READER reader(file);
    if (!value.is_array())
        reader.fail(path, "expected an array");
    for (size_t i = 0; i < value.size(); ++i)
    {
        const json& entry = value[i];
        const std::string at = path + "[" + std::to_string(i) + "]";
        reader.known_keys(entry, at,
                          {"index", "type", "block_type", "bcm_block_type", "size", "width", "base", "named_arguments"});
        DESIGN_ARCH_GROUP group;
        group.index = static_cast<int>(reader.integer(reader.required(entry, at, "index"), at + ".index", INT_MIN, INT_MAX));
        group.type = static_cast<int>(reader.integer(reader.required(entry, at, "type"), at + ".type", 1, INT_MAX));
        if (entry.contains("block_type"))
            group.block_type = static_cast<int>(reader.integer(entry["block_type"], at + ".block_type", 0, INT_MAX));
        if (entry.contains("bcm_block_type"))
            group.bcm_block_type =
                static_cast<int>(reader.integer(entry["bcm_block_type"], at + ".bcm_block_type", 0, INT_MAX));
        group.size = static_cast<int32_t>(reader.integer(reader.required(entry, at, "size"), at + ".size", 1, 1 << 20));
        group.width = static_cast<int32_t>(reader.integer(reader.required(entry, at, "width"), at + ".width", 1, 32));
        group.base =
            static_cast<uint32_t>(reader.integer(reader.required(entry, at, "base"), at + ".base", 0, UINT32_MAX));
        if (entry.contains("named_arguments"))
        {
            const json& names = entry["named_arguments"];
            if (!names.is_object())
                reader.fail(at + ".named_arguments", "expected an object");
            for (auto it = names.begin(); it != names.end(); ++it)
                group.named_arguments[it.key()] = static_cast<uint32_t>(
                    reader.integer(it.value(), at + ".named_arguments." + it.key(), 0, UINT32_MAX));
        }
        bit_settings.arch_groups.push_back(group);
    }
}

void read_design_arch_group_types(const json& value, const std::string& file, const std::string& path,
                                  DESIGN_BIT_SETTINGS& bit_settings)
{
    READER reader(file);
    if (!value.is_array())
        reader.fail(path, "expected an array");
    std::set<int> seen;
    for (size_t i = 0; i < value.size(); ++i)
    {
        const json& entry = value[i];
        const std::string at = path + "[" + std::to_string(i) + "]";
        reader.known_keys(entry, at, {"type", "name"});
        DESIGN_ARCH_GROUP_TYPE type;
        type.type = static_cast<int>(reader.integer(reader.required(entry, at, "type"), at + ".type", 1, INT_MAX));
        if (!seen.insert(type.type).second)
            reader.fail(at + ".type", "archgroup type " + std::to_string(type.type) + " is given twice");
        const json& name = reader.required(entry, at, "name");
        if (!name.is_string() || name.get<std::string>().empty())
            reader.fail(at + ".name", "expected a non-empty string");
        type.name = name.get<std::string>();
        bit_settings.arch_group_types.push_back(type);
    }
}

std::unique_ptr<DEV_DEVICE> make_design_device(const DESIGN& design, int part)
{
    const DESIGN_PART* listed = nullptr;
    for (const DESIGN_PART& entry : design.parts)
        if (entry.part == part)
            listed = &entry;
    if (listed == nullptr)
        return nullptr;
    auto device = std::make_unique<DEV_DEVICE>();
    auto basic_info =
        std::make_unique<DEV_BASIC_INFO>(static_cast<DEV_PART>(part), static_cast<DEV_DEVICE_ENUM>(listed->device));
    if (design.bit_settings.cram_columns)
        basic_info->set_int_data(DEV_BASIC_INFO_INT_CRAM_COLS, *design.bit_settings.cram_columns);
    device->set_basic_info(std::move(basic_info));
    auto die_info = std::make_unique<DEV_DIE_INFO>();
    for (int kind : design.device_data_kinds)
        die_info->add_device_data(kind);
    die_info->get_dygr_die_info()->set_cram_bit_count(design.cram_bits);
    device->set_die_info(std::move(die_info));
    if (design.asm_data)
    {
        auto asm_info = std::make_unique<DEV_ASM_INFO>();
        for (int asm_part : design.asm_data->parts)
            asm_info->add_pdb_part(static_cast<DEV_PART>(asm_part));
        auto asmdb_die = std::make_unique<ASMDB_DIE>();
        for (const DESIGN_BLOCK_INFO& block : design.asm_data->blocks)
            asmdb_die->set_block_info(block.key, ASMDB_BLOCK_INFO(block.version, block.icd_block_name));
        asmdb_die->set_id_strings(design.asm_data->first_id_string, design.asm_data->second_id_string);
        for (const DESIGN_ARCH_GROUP& group : design.bit_settings.arch_groups)
        {
            auto made = std::make_unique<ASMDB_TABLE_ARCH_GROUP>(
                group.index, static_cast<ASMDB_ARCH_GROUP_TYPE>(group.type),
                static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(group.block_type),
                static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(group.bcm_block_type), group.size, group.width, group.base);
            for (const auto& named : group.named_arguments)
                made->set_named_argument(named.first, named.second);
            asmdb_die->add_arch_group(std::move(made));
        }
        asm_info->set_asmdb_die(std::move(asmdb_die));
        device->set_asm_info(std::move(asm_info));
    }
    return device;
}

void register_design_arch_group_types(const DESIGN& design)
{
    for (const DESIGN_ARCH_GROUP_TYPE& type : design.bit_settings.arch_group_types)
        asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(type.type), type.name);
}
