#include "design_option_block.h"

#include "design.h"
#include "design_json.h"
#include "netlist_atoms.h"

#include <acf.h>
#include <cdb.h>
#include <cdb_atom.h>
#include <dbcm.h>
#include <dev.h>
#include <dygr.h>
#include <fio.h>
#include <hdb.h>
#include <zhd.h>

#include <nlohmann/json.hpp>

#include <climits>
#include <functional>
#include <map>

using nlohmann::json;

namespace
{

using design_json::OBJECT;
using design_json::UNIQUE;
using design_json::VALUE;

// A list of integers, each once.
std::set<int> read_int_set(const VALUE& value, const char* what)
{
    std::set<int> values;
    UNIQUE<int> seen(what);
    for (const VALUE& element : value.elements())
    {
        seen.check(element.int32(), element);
        values.insert(element.int32());
    }
    return values;
}

// The settings of the device configuration that the fitter reads.
const int OPTION_CONFIGURATION_SCHEME = 788;
const int OPTION_INITIALIZATION_CLOCK = 831;
const int OPTION_ACTIVE_SERIAL_CLOCK = 1171;
const char* const ACTIVE_SERIAL_CLOCK_NAME = "ACTIVE_SERIAL_CLOCK";

// An enumeration setting of the top partition, else of its global settings
// section (type 21, no name), else the default.
uint16_t top_enum_setting(int id, uint16_t default_value)
{
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    ZHD_PARTITION* top = design != nullptr ? design->get_top_partition() : nullptr;
    if (top == nullptr)
        return default_value;
    using ENUM_SETTING = HDB_DERIVED_OPTION<HDB_OPTION_KIND_ENUM, 0>;
    const ENUM_SETTING* setting = ENUM_SETTING::get_single_option(top->get_hdb(), id, true);
    if (setting == nullptr)
        if (const HDB_SECTION* global = top->get_hdb()->find_section(21, ""))
            setting = ENUM_SETTING::get_single_option(global, id, true);
    return setting != nullptr ? setting->get_enum_value() : default_value;
}

// The fitter's code of an active serial clock value (319 to 333); 0 for
// any other value. Codes 12 and 13 stand for 328 and 327, in this order.
int active_serial_clock_code(uint16_t value)
{
    if (value < 319 || value > 333)
        return 0;
    if (value == 327)
        return 13;
    if (value == 328)
        return 12;
    return value - 315;
}

// Whether a settings file of one of the project's revisions writes the
// assignment (file categories 4, 5, 9, 24 and 25 are the user's own).
bool settings_file_writes(const std::string& name)
{
    ACF_MANAGER* acf = ACF_MANAGER::get_acf_manager();
    const std::string project = acf->get_project_full_path();
    for (const std::string& revision : acf->get_list_of_revisions_for_project(project))
    {
        const FIO_PATH file(project, revision, fio_get_extension(FIO_EXTENSION_SETTINGS));
        if (!FIO_FILE_SYSTEM::exists(file))
            continue;
        for (const ACF_ASSIGNMENT& assignment : acf->read_assignment_setting_file(file.fullpath(), nullptr, true))
        {
            const int category = assignment.get_file_category();
            if ((category == 4 || category == 5 || category == 9 || category == 24 || category == 25) &&
                assignment.get_variable_string() == name)
                return true;
        }
    }
    return false;
}

}  // namespace

DESIGN_OPTION_BLOCK read_option_block(const json& value, const std::string& path, const std::string& file,
                                      const DESIGN& design)
{
    DESIGN_OPTION_BLOCK block;
    OBJECT top(VALUE(value, path, file));
    top.each_key({"user_family", "initialization_clock", "active_serial_clock", "sdm_io_count", "part_traits",
                  "device_traits", "revisions", "enum_names", "related_defaults", "atom_parameters"},
                 [&](const std::string& key, const VALUE& field) {
                     if (key == "user_family")
                         block.user_family = field.int32();
                     else if (key == "initialization_clock")
                         block.fitter_clocks.initialization_clock = field.int32();
                     else if (key == "active_serial_clock")
                         block.fitter_clocks.active_serial_clock = field.int32();
                     else if (key == "sdm_io_count")
                         block.sdm_io_count = field.uint32();
                     else if (key == "part_traits")
                         block.part_traits = read_int_set(field, "trait");
                     else if (key == "device_traits")
                         block.device_traits = read_int_set(field, "trait");
                     else if (key == "revisions")
                     {
                         block.revisions.emplace();
                         UNIQUE<std::string> seen("revision");
                         for (const VALUE& name : field.elements())
                         {
                             block.revisions->push_back(name.nonempty_string());
                             if (block.revisions->back().find('/') != std::string::npos)
                                 name.fail("a revision name names files of the project directory and cannot hold \"/\"");
                             seen.check(block.revisions->back(), name);
                         }
                     }
                     else if (key == "enum_names")
                     {
                         UNIQUE<uint16_t> seen("enumeration value");
                         for (const VALUE& element : field.elements())
                         {
                             OBJECT entry(element);
                             DESIGN_ENUM_NAME name;
                             entry.require({"name", "value"});
                             entry.each_key({"value", "name", "user_name"}, [&](const std::string& k, const VALUE& f) {
                                 if (k == "value")
                                     name.value = static_cast<uint16_t>(f.integer(0, UINT16_MAX));
                                 else if (k == "name")
                                     name.name = f.nonempty_string();
                                 else
                                     name.user_name = f.nonempty_string();
                             });
                             seen.check(name.value, element);
                             block.enum_names.push_back(name);
                         }
                     }
                     else if (key == "related_defaults")
                     {
                         for (const VALUE& element : field.elements())
                         {
                             OBJECT entry(element);
                             DESIGN_RELATED_DEFAULT related;
                             entry.require({"id", "name", "other_id", "other_value"});
                             entry.each_key({"id", "other_id", "other_value", "name"},
                                            [&](const std::string& k, const VALUE& f) {
                                                if (k == "id")
                                                    related.id = f.int32();
                                                else if (k == "other_id")
                                                    related.other_id = f.int32();
                                                else if (k == "other_value")
                                                    related.other_value = static_cast<uint16_t>(f.integer(0, UINT16_MAX));
                                                else
                                                    related.name = f.nonempty_string();
                                            });
                             block.related_defaults.push_back(related);
                         }
                     }
                     else
                     {
                         const std::unordered_map<std::string, size_t> netlist_atoms =
                             design.netlist ? count_atom_names(*design.netlist)
                                            : std::unordered_map<std::string, size_t>();
                         for (const VALUE& element : field.elements())
                         {
                             OBJECT entry(element);
                             DESIGN_ATOM_PARAMETERS atom;
                             entry.require({"atom", "parameters"});
                             entry.each_key({"atom", "parameters"}, [&](const std::string& k, const VALUE& f) {
                                 if (k == "atom")
                                 {
                                     atom.atom = f.nonempty_string();
                                     if (netlist_atoms.count(atom.atom) == 0)
                                         f.fail("no atom " + atom.atom + " in the netlist");
                                     return;
                                 }
                                 f.each_entry([&](const std::string& parameter, const VALUE& text) {
                                     if (parameter.empty())
                                         text.fail("a parameter name cannot be empty");
                                     atom.parameters.emplace_back(parameter, text.string());
                                 });
                             });
                             block.atom_parameters.push_back(atom);
                         }
                     }
                 });
    return block;
}

DESIGN_FITTER_CLOCKS apply_option_block(const DESIGN& design, CDB_CHIP_DB_ENTRY& chip,
                                        const HOST_ATOM_INDEX& atom_index)
{
    ACF_MANAGER::get_acf_manager()->set_project(
        "", design.option_block && design.option_block->revisions ? *design.option_block->revisions
                                                                  : std::vector<std::string>{design.revision});
    if (!design.option_block)
        return {};
    const DESIGN_OPTION_BLOCK& block = *design.option_block;
    if (block.user_family)
        chip.set_user_family(*block.user_family);
    chip.set_num_of_sdm_io(block.sdm_io_count);

    const DEV_PART part = static_cast<DEV_PART>(design.part);
    dev_set_part_traits(part, block.part_traits);
    dev_set_device_traits(DEV_PART_MANAGER().get_device_of(part), block.device_traits);

    for (const DESIGN_ENUM_NAME& name : block.enum_names)
        acf_set_enum_name(name.value, name.name, name.user_name);
    for (const DESIGN_RELATED_DEFAULT& related : block.related_defaults)
        acf_set_related_default(related.id, related.other_id, related.other_value, related.name);
    for (const DESIGN_ATOM_PARAMETERS& atom : block.atom_parameters)
    {
        CDB_ATOM_NODE* node = atom_index.find(atom.atom);
        if (node != nullptr)
            for (const auto& [name, text] : atom.parameters)
                node->set_parameter(name, text);
    }
    return block.fitter_clocks;
}

void set_option_block_project_directory(const std::string& directory, const DESIGN_FITTER_CLOCKS& stated,
                                        CDB_CHIP_DB_ENTRY& chip)
{
    ACF_MANAGER* acf = ACF_MANAGER::get_acf_manager();
    acf->set_project(directory, acf->get_list_of_revisions_for_project(acf->get_project_full_path()));
    apply_fitter_clocks(stated, chip);
}

void apply_fitter_clocks(const DESIGN_FITTER_CLOCKS& stated, CDB_CHIP_DB_ENTRY& chip)
{
    if (stated.initialization_clock)
        chip.set_initialization_clock(*stated.initialization_clock);
    else
    {
        const uint16_t value = top_enum_setting(OPTION_INITIALIZATION_CLOCK, 212);
        chip.set_initialization_clock(value >= 212 && value <= 214 ? value - 209 : 0);
    }

    if (stated.active_serial_clock)
    {
        chip.set_active_serial_clock(*stated.active_serial_clock);
        return;
    }
    int code = 0;
    const uint16_t scheme = top_enum_setting(OPTION_CONFIGURATION_SCHEME, 193);
    if (scheme == 192 || scheme == 193)
    {
        uint16_t value = 323;
        if (settings_file_writes(ACTIVE_SERIAL_CLOCK_NAME))
            value = top_enum_setting(OPTION_ACTIVE_SERIAL_CLOCK, 323);
        else if (const char* related =
                     acf_relate_to_variable_type_enum(OPTION_ACTIVE_SERIAL_CLOCK, OPTION_INITIALIZATION_CLOCK,
                                                      top_enum_setting(OPTION_INITIALIZATION_CLOCK, 209)))
            value = acf_string_to_enum_type_enum(related);
        code = active_serial_clock_code(value);
    }
    chip.set_active_serial_clock(code);
}

std::vector<DESIGN_CLOCK_REGION> read_clock_regions(const json& value, const std::string& path, const std::string& file)
{
    std::vector<DESIGN_CLOCK_REGION> regions;
    for (const VALUE& element : VALUE(value, path, file).elements())
    {
        OBJECT entry(element);
        DESIGN_CLOCK_REGION region;
        entry.require({"x0", "x1", "y0", "y1"});
        entry.each_key({"x0", "y0", "x1", "y1"}, [&](const std::string& key, const VALUE& field) {
            const int number = field.int32();
            if (key == "x0")
                region.x0 = number;
            else if (key == "y0")
                region.y0 = number;
            else if (key == "x1")
                region.x1 = number;
            else
                region.y1 = number;
        });
        if (region.x1 < region.x0 || region.y1 < region.y0)
            element.fail("the upper-right corner lies below or left of the lower-left one");
        regions.push_back(region);
    }
    return regions;
}

std::vector<DESIGN_PLACE_IDS> read_place_ids(const json& value, const std::string& path, const std::string& file)
{
    std::vector<DESIGN_PLACE_IDS> places;
    std::set<std::pair<int, int>> seen;
    for (const VALUE& element : VALUE(value, path, file).elements())
    {
        OBJECT entry(element);
        DESIGN_PLACE_IDS place;
        entry.require({"ids", "x", "y"});
        entry.each_key({"x", "y", "ids"}, [&](const std::string& key, const VALUE& field) {
            if (key == "x")
                place.x = field.int32();
            else if (key == "y")
                place.y = field.int32();
            else
                for (const VALUE& id : field.elements())
                    place.ids.push_back(id.uint32());
        });
        if (!seen.insert({place.x, place.y}).second)
            element.fail("location (" + std::to_string(place.x) + ", " + std::to_string(place.y) + ") is given twice");
        places.push_back(place);
    }
    return places;
}

std::optional<DESIGN_PLACED_BLOCK> read_placed_block(const json* name, const json* location, const json* global_id,
                                                     const std::string& path, const std::string& file)
{
    if (name == nullptr && location == nullptr && global_id == nullptr)
        return std::nullopt;
    if (name == nullptr)
        throw DESIGN_ERROR(file, path + ".name", "a block with a location or a global id needs a name");
    if (location == nullptr)
        throw DESIGN_ERROR(file, path + ".location", "required key is missing");
    DESIGN_PLACED_BLOCK block;
    block.path = path;
    block.name = VALUE(*name, path + ".name", file).nonempty_string();
    OBJECT place(VALUE(*location, path + ".location", file));
    place.require({"x", "y"});
    place.each_key({"x", "y", "z"}, [&](const std::string& key, const VALUE& field) {
        if (key == "x")
            block.x = field.int32();
        else if (key == "y")
            block.y = field.int32();
        else
            block.z = field.int32();
    });
    if (global_id != nullptr)
        block.global_id = VALUE(*global_id, path + ".global_id", file).uint32();
    return block;
}

void check_sector_data(const DESIGN_SECTOR_DATA& data, const std::string& file)
{
    std::set<std::string> placed;
    for (const DESIGN_PLACED_BLOCK& block : data.placed_blocks)
        if (!placed.insert(block.name).second)
            throw DESIGN_ERROR(file, block.path + ".name", "block " + block.name + " is given twice");
}

void apply_sector_data(const DESIGN_SECTOR_DATA& data, DBCM_CHIP* chip, DYGR_DIE_INFO* die_info)
{
    DBCM_DEVICE* device = chip->get_device();
    std::map<std::string, int> instances;
    for (const DESIGN_PLACED_BLOCK& block : data.placed_blocks)
        instances[block.name] = device->add_block_instance(block.name, block.x, block.y, block.z,
                                                           block.global_id.value_or(DEV_ILLEGAL_GLOBAL_ID));
    std::vector<DYGR_CLOCK_REGION> regions;
    for (const DESIGN_CLOCK_REGION& region : data.blacklisted_clock_regions)
        regions.push_back(DYGR_CLOCK_REGION{region.x0, region.y0, region.x1, region.y1});
    die_info->get_blacklisting()->set_fully_blacklisted_clock_sectors(regions);
    for (const DESIGN_PLACE_IDS& place : data.place_ids)
        for (uint32_t id : place.ids)
            die_info->get_place_info()->add_global_id(place.x, place.y, id);
}
