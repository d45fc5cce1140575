#include "design_bit_settings.h"

#include "design.h"
#include "design_json.h"

#include <asmdb.h>
#include <dev.h>

#include <nlohmann/json.hpp>

#include <climits>
#include <set>

using nlohmann::json;

using design_json::OBJECT;
using design_json::UNIQUE;
using design_json::VALUE;

void read_design_arch_groups(const json& value, const std::string& file, const std::string& path,
                             DESIGN_BIT_SETTINGS& bit_settings)
{
    for (const VALUE& element : VALUE(value, path, file).elements())
    {
        OBJECT entry(element);
        entry.only({"index", "type", "block_type", "bcm_block_type", "size", "width", "base", "named_arguments"});
        DESIGN_ARCH_GROUP group;
        group.index = entry.required("index").int32();
        group.type = static_cast<int>(entry.required("type").integer(1, INT_MAX));
        if (std::optional<VALUE> block_type = entry.optional("block_type"))
            group.block_type = static_cast<int>(block_type->integer(0, INT_MAX));
        if (std::optional<VALUE> bcm_block_type = entry.optional("bcm_block_type"))
            group.bcm_block_type = static_cast<int>(bcm_block_type->integer(0, INT_MAX));
        group.size = static_cast<int32_t>(entry.required("size").integer(1, 1 << 20));
        group.width = static_cast<int32_t>(entry.required("width").integer(1, 32));
        group.base = entry.required("base").uint32();
        if (std::optional<VALUE> names = entry.optional("named_arguments"))
            names->each_entry([&](const std::string& name, const VALUE& argument) {
                group.named_arguments[name] = argument.uint32();
            });
        bit_settings.arch_groups.push_back(group);
    }
}

void read_design_arch_group_types(const json& value, const std::string& file, const std::string& path,
                                  DESIGN_BIT_SETTINGS& bit_settings)
{
    UNIQUE<int> seen("archgroup type");
    for (const VALUE& element : VALUE(value, path, file).elements())
    {
        OBJECT entry(element);
        entry.only({"type", "name"});
        DESIGN_ARCH_GROUP_TYPE type;
        const VALUE type_value = entry.required("type");
        type.type = static_cast<int>(type_value.integer(1, INT_MAX));
        seen.check(type.type, type_value);
        type.name = entry.required("name").nonempty_text();
        bit_settings.arch_group_types.push_back(type);
    }
}

std::unique_ptr<DEV_DIE_INFO> make_design_die_info(const DESIGN& design)
{
    auto die_info = std::make_unique<DEV_DIE_INFO>();
    for (int kind : design.device_data_kinds)
        die_info->add_device_data(kind);
    die_info->get_dygr_die_info()->set_cram_bit_count(design.cram_bits);
    return die_info;
}

std::unique_ptr<DEV_ASM_INFO> make_design_asm_info(const DESIGN& design, bool with_arch_groups)
{
    if (!design.asm_data)
        return nullptr;
    auto asm_info = std::make_unique<DEV_ASM_INFO>();
    for (int asm_part : design.asm_data->parts)
        asm_info->add_pdb_part(static_cast<DEV_PART>(asm_part));
    auto asmdb_die = std::make_unique<ASMDB_DIE>();
    for (const DESIGN_BLOCK_INFO& block : design.asm_data->blocks)
        asmdb_die->set_block_info(block.key, ASMDB_BLOCK_INFO(block.version, block.icd_block_name));
    asmdb_die->set_id_strings(design.asm_data->first_id_string, design.asm_data->second_id_string);
    if (with_arch_groups)
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
    return asm_info;
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
    device->set_die_info(make_design_die_info(design));
    if (std::unique_ptr<DEV_ASM_INFO> asm_info = make_design_asm_info(design, true))
        device->set_asm_info(std::move(asm_info));
    return device;
}

void register_design_arch_group_types(const DESIGN& design)
{
    for (const DESIGN_ARCH_GROUP_TYPE& type : design.bit_settings.arch_group_types)
        asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(type.type), type.name);
}
