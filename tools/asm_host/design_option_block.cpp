#include "design_option_block.h"

#include "design.h"

#include <acf.h>
#include <cdb.h>
#include <cdb_atom.h>
#include <dbcm.h>
#include <dev.h>
#include <dygr.h>

#include <nlohmann/json.hpp>

#include <climits>
#include <functional>
#include <map>

using nlohmann::json;

namespace
{

// A JSON value with its key path, read with the checks of design.json.
class FIELD
{
public:
    FIELD(const json& value, std::string path, const std::string& file) : m_value(value), m_path(std::move(path)), m_file(file)
    {
    }

    [[noreturn]] void fail(const std::string& problem) const { throw DESIGN_ERROR(m_file, m_path, problem); }

    long long integer(long long min, long long max) const
    {
        if (!m_value.is_number_integer())
            fail("expected an integer");
        const bool in_range = m_value.is_number_unsigned() ? m_value.get<uint64_t>() <= static_cast<uint64_t>(max)
                                                           : m_value.get<int64_t>() >= min && m_value.get<int64_t>() <= max;
        if (!in_range)
            fail("expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
        return m_value.is_number_unsigned() ? static_cast<long long>(m_value.get<uint64_t>()) : m_value.get<int64_t>();
    }
    int int32() const { return static_cast<int>(integer(INT_MIN, INT_MAX)); }
    uint16_t enum_value() const { return static_cast<uint16_t>(integer(0, UINT16_MAX)); }

    std::string string(bool nonempty) const
    {
        if (!m_value.is_string())
            fail("expected a string");
        if (nonempty && m_value.get<std::string>().empty())
            fail("expected a non-empty string");
        return m_value.get<std::string>();
    }

    std::vector<FIELD> elements() const
    {
        if (!m_value.is_array())
            fail("expected an array");
        std::vector<FIELD> list;
        for (size_t i = 0; i < m_value.size(); ++i)
            list.emplace_back(m_value[i], m_path + "[" + std::to_string(i) + "]", m_file);
        return list;
    }

    // The object's keys, each read by `read`; a key that `known` does not
    // list is refused.
    void each_key(const std::set<std::string>& known, const std::function<void(const std::string&, const FIELD&)>& read) const
    {
        if (!m_value.is_object())
            fail("expected an object");
        for (auto it = m_value.begin(); it != m_value.end(); ++it)
        {
            const FIELD field(it.value(), m_path + "." + it.key(), m_file);
            if (known.count(it.key()) == 0)
                field.fail("unknown key");
            read(it.key(), field);
        }
    }

    // Every key of the object, whatever its name.
    void each_entry(const std::function<void(const std::string&, const FIELD&)>& read) const
    {
        if (!m_value.is_object())
            fail("expected an object");
        for (auto it = m_value.begin(); it != m_value.end(); ++it)
            read(it.key(), FIELD(it.value(), m_path + "." + it.key(), m_file));
    }

    // An object with required keys: each listed key must be present.
    void require(const std::set<std::string>& keys) const
    {
        for (const std::string& key : keys)
            if (m_value.is_object() && m_value.find(key) == m_value.end())
                throw DESIGN_ERROR(m_file, m_path + "." + key, "required key is missing");
    }

    std::set<int> int_set(const char* what) const
    {
        std::set<int> values;
        for (const FIELD& element : elements())
            if (!values.insert(element.int32()).second)
                element.fail(std::string(what) + " " + std::to_string(element.int32()) + " is given twice");
        return values;
    }

private:
    const json& m_value;
    std::string m_path;
    const std::string& m_file;
};

bool netlist_has_atom(const DESIGN_NETLIST& netlist, const std::string& name)
{
    for (const DESIGN_ATOM& atom : netlist.atoms)
        if (atom.name == name || (atom.children && netlist_has_atom(*atom.children, name)))
            return true;
    return false;
}

CDB_ATOM_NODE* find_atom(CDB_ATOM_NETLIST* netlist, const std::string& name)
{
    for (CDB_ATOM_NODE* atom : netlist->nodes())
    {
        if (atom == nullptr)
            continue;
        if (atom->name() == name)
            return atom;
        CDB_ATOM_BLACKBOX* blackbox = atom->get_blackbox();
        if (blackbox != nullptr && blackbox->get_child_netlist() != nullptr)
            if (CDB_ATOM_NODE* found = find_atom(blackbox->get_child_netlist(), name))
                return found;
    }
    return nullptr;
}

}  // namespace

DESIGN_OPTION_BLOCK read_option_block(const json& value, const std::string& path, const std::string& file,
                                      const DESIGN& design)
{
    DESIGN_OPTION_BLOCK block;
    const FIELD top(value, path, file);
    top.each_key({"user_family", "initialization_clock", "active_serial_clock", "sdm_io_count", "part_traits",
                  "device_traits", "revisions", "enum_names", "related_defaults", "atom_parameters"},
                 [&](const std::string& key, const FIELD& field) {
                     if (key == "user_family")
                         block.user_family = field.int32();
                     else if (key == "initialization_clock")
                         block.initialization_clock = field.int32();
                     else if (key == "active_serial_clock")
                         block.active_serial_clock = field.int32();
                     else if (key == "sdm_io_count")
                         block.sdm_io_count = static_cast<uint32_t>(field.integer(0, UINT32_MAX));
                     else if (key == "part_traits")
                         block.part_traits = field.int_set("trait");
                     else if (key == "device_traits")
                         block.device_traits = field.int_set("trait");
                     else if (key == "revisions")
                     {
                         block.revisions.emplace();
                         std::set<std::string> seen;
                         for (const FIELD& name : field.elements())
                         {
                             block.revisions->push_back(name.string(true));
                             if (block.revisions->back().find('/') != std::string::npos)
                                 name.fail("a revision name names files of the project directory and cannot hold \"/\"");
                             if (!seen.insert(block.revisions->back()).second)
                                 name.fail("revision " + block.revisions->back() + " is given twice");
                         }
                     }
                     else if (key == "enum_names")
                     {
                         std::set<uint16_t> seen;
                         for (const FIELD& entry : field.elements())
                         {
                             DESIGN_ENUM_NAME name;
                             entry.require({"value", "name"});
                             entry.each_key({"value", "name", "user_name"}, [&](const std::string& k, const FIELD& f) {
                                 if (k == "value")
                                     name.value = f.enum_value();
                                 else if (k == "name")
                                     name.name = f.string(true);
                                 else
                                     name.user_name = f.string(true);
                             });
                             if (!seen.insert(name.value).second)
                                 entry.fail("enumeration value " + std::to_string(name.value) + " is given twice");
                             block.enum_names.push_back(name);
                         }
                     }
                     else if (key == "related_defaults")
                     {
                         for (const FIELD& entry : field.elements())
                         {
                             DESIGN_RELATED_DEFAULT related;
                             entry.require({"id", "other_id", "other_value", "name"});
                             entry.each_key({"id", "other_id", "other_value", "name"},
                                            [&](const std::string& k, const FIELD& f) {
                                                if (k == "id")
                                                    related.id = f.int32();
                                                else if (k == "other_id")
                                                    related.other_id = f.int32();
                                                else if (k == "other_value")
                                                    related.other_value = f.enum_value();
                                                else
                                                    related.name = f.string(true);
                                            });
                             block.related_defaults.push_back(related);
                         }
                     }
                     else
                     {
                         for (const FIELD& entry : field.elements())
                         {
                             DESIGN_ATOM_PARAMETERS atom;
                             entry.require({"atom", "parameters"});
                             entry.each_key({"atom", "parameters"}, [&](const std::string& k, const FIELD& f) {
                                 if (k == "atom")
                                 {
                                     atom.atom = f.string(true);
                                     if (!design.netlist || !netlist_has_atom(*design.netlist, atom.atom))
                                         f.fail("no atom " + atom.atom + " in the netlist");
                                     return;
                                 }
                                 f.each_entry([&](const std::string& parameter, const FIELD& text) {
                                     if (parameter.empty())
                                         text.fail("a parameter name cannot be empty");
                                     atom.parameters.emplace_back(parameter, text.string(false));
                                 });
                             });
                             block.atom_parameters.push_back(atom);
                         }
                     }
                 });
    return block;
}

void apply_option_block(const DESIGN& design, CDB_CHIP_DB_ENTRY& chip, CDB_ATOM_NETLIST* netlist)
{
    ACF_MANAGER::get_acf_manager()->set_project(
        "", design.option_block && design.option_block->revisions ? *design.option_block->revisions
                                                                  : std::vector<std::string>{design.revision});
    if (!design.option_block)
        return;
    const DESIGN_OPTION_BLOCK& block = *design.option_block;
    if (block.user_family)
        chip.set_user_family(*block.user_family);
    chip.set_initialization_clock(block.initialization_clock);
    chip.set_active_serial_clock(block.active_serial_clock);
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
        CDB_ATOM_NODE* node = netlist != nullptr ? find_atom(netlist, atom.atom) : nullptr;
        if (node != nullptr)
            for (const auto& [name, text] : atom.parameters)
                node->set_parameter(name, text);
    }
}

void set_option_block_project_directory(const std::string& directory)
{
    ACF_MANAGER* acf = ACF_MANAGER::get_acf_manager();
    acf->set_project(directory, acf->get_list_of_revisions_for_project(acf->get_project_full_path()));
}

std::vector<DESIGN_CLOCK_REGION> read_clock_regions(const json& value, const std::string& path, const std::string& file)
{
    std::vector<DESIGN_CLOCK_REGION> regions;
    for (const FIELD& entry : FIELD(value, path, file).elements())
    {
        DESIGN_CLOCK_REGION region;
        entry.require({"x0", "y0", "x1", "y1"});
        entry.each_key({"x0", "y0", "x1", "y1"}, [&](const std::string& key, const FIELD& field) {
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
            entry.fail("the upper-right corner lies below or left of the lower-left one");
        regions.push_back(region);
    }
    return regions;
}

std::vector<DESIGN_PLACE_IDS> read_place_ids(const json& value, const std::string& path, const std::string& file)
{
    std::vector<DESIGN_PLACE_IDS> places;
    std::set<std::pair<int, int>> seen;
    for (const FIELD& entry : FIELD(value, path, file).elements())
    {
        DESIGN_PLACE_IDS place;
        entry.require({"x", "y", "ids"});
        entry.each_key({"x", "y", "ids"}, [&](const std::string& key, const FIELD& field) {
            if (key == "x")
                place.x = field.int32();
            else if (key == "y")
                place.y = field.int32();
            else
                for (const FIELD& id : field.elements())
                    place.ids.push_back(static_cast<uint32_t>(id.integer(0, UINT32_MAX)));
        });
        if (!seen.insert({place.x, place.y}).second)
            entry.fail("location (" + std::to_string(place.x) + ", " + std::to_string(place.y) + ") is given twice");
        places.push_back(place);
    }
    return places;
}

std::vector<DESIGN_SECTOR> read_sectors(const json& value, const std::string& path, const std::string& file)
{
    std::vector<DESIGN_SECTOR> sectors;
    std::set<std::string> seen;
    const std::vector<FIELD> entries = FIELD(value, path, file).elements();
    for (size_t i = 0; i < entries.size(); ++i)
    {
        const FIELD& entry = entries[i];
        DESIGN_SECTOR sector;
        sector.path = path + "[" + std::to_string(i) + "]";
        entry.require({"name", "type"});
        entry.each_key({"name", "type", "blocks"}, [&](const std::string& key, const FIELD& field) {
            if (key == "name")
                sector.name = field.string(true);
            else if (key == "type")
                sector.type = field.string(true);
            else
                for (const FIELD& block : field.elements())
                    sector.blocks.push_back(block.string(true));
        });
        if (!seen.insert(sector.name).second)
            entry.fail("sector " + sector.name + " is given twice");
        sectors.push_back(sector);
    }
    return sectors;
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
    block.name = FIELD(*name, path + ".name", file).string(true);
    const FIELD place(*location, path + ".location", file);
    place.require({"x", "y"});
    place.each_key({"x", "y", "z"}, [&](const std::string& key, const FIELD& field) {
        if (key == "x")
            block.x = field.int32();
        else if (key == "y")
            block.y = field.int32();
        else
            block.z = field.int32();
    });
    if (global_id != nullptr)
        block.global_id = static_cast<uint32_t>(FIELD(*global_id, path + ".global_id", file).integer(0, UINT32_MAX));
    return block;
}

void check_sector_data(const DESIGN_SECTOR_DATA& data, const std::string& file)
{
    std::set<std::string> placed;
    for (const DESIGN_PLACED_BLOCK& block : data.placed_blocks)
        if (!placed.insert(block.name).second)
            throw DESIGN_ERROR(file, block.path + ".name", "block " + block.name + " is given twice");
    std::set<std::string> in_sector;
    for (const DESIGN_SECTOR& sector : data.sectors)
    {
        for (const std::string& block : sector.blocks)
        {
            if (placed.count(block) == 0)
                throw DESIGN_ERROR(file, sector.path + ".blocks", "no chip_bundle block is named " + block);
            if (!in_sector.insert(block).second)
                throw DESIGN_ERROR(file, sector.path + ".blocks", "block " + block + " lies in two sectors");
        }
    }
}

void apply_sector_data(const DESIGN_SECTOR_DATA& data, DBCM_CHIP* chip, DYGR_DIE_INFO* die_info)
{
    DBCM_DEVICE* device = chip->get_device();
    std::map<std::string, int> instances;
    for (const DESIGN_PLACED_BLOCK& block : data.placed_blocks)
        instances[block.name] = device->add_block_instance(block.name, block.x, block.y, block.z,
                                                           block.global_id.value_or(DEV_ILLEGAL_GLOBAL_ID));
    for (const DESIGN_SECTOR& sector : data.sectors)
    {
        std::vector<int> held;
        for (const std::string& block : sector.blocks)
            held.push_back(instances.at(block));
        device->add_sector(sector.name, sector.type, held);
    }
    std::vector<DYGR_CLOCK_REGION> regions;
    for (const DESIGN_CLOCK_REGION& region : data.blacklisted_clock_regions)
        regions.push_back(DYGR_CLOCK_REGION{region.x0, region.y0, region.x1, region.y1});
    die_info->get_blacklisting()->set_fully_blacklisted_clock_sectors(regions);
    for (const DESIGN_PLACE_IDS& place : data.place_ids)
        for (uint32_t id : place.ids)
            die_info->get_place_info()->add_global_id(place.x, place.y, id);
}
