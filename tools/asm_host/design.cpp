#include "design.h"
#include "design_json.h"
#include "design_partitions.h"
#include "design_sld_read.h"
#include "design_routing.h"
#include "netlist_atoms.h"

#include <acf.h>
#include <asmdb.h>
#include <dbcm.h>
#include <dmgr.h>
#include <dstr.h>
#include <fio.h>
#include <flow.h>
#include <gen.h>
#include <msg.h>
#include <zhd.h>
#include <zpr.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

using nlohmann::json;

DESIGN_ERROR::DESIGN_ERROR(const std::string& file, const std::string& key, const std::string& problem)
    : std::runtime_error(file + ": " + (key.empty() ? std::string() : key + ": ") + problem),
      m_file(file),
      m_key(key),
      m_problem(problem)
{
}

namespace
{

using design_json::MAX_NESTING;
using design_json::OBJECT;
using design_json::UNIQUE;
using design_json::VALUE;
using design_json::read_generated_options;
using design_json::read_settings;

// Each partial-reconfiguration region (region kind 0) names a mask file
// "<revision>.<region>.pmsf" (".msf" at most as long; the region's bytes other
// than letters, digits, "_" and "-" made "_"), written through the
// temporary ".<revision>.<region>.pmsf.XXXXXX", which must be a file name.
void check_mask_file_name(const VALUE& revision, const VALUE& region)
{
    const size_t added = std::string_view("..").size() + std::string_view(".pmsf.XXXXXX").size();
    const std::string name = region.string();
    if (name.size() + added >= NAME_MAX)
        region.fail("a partial-reconfiguration region names files of the project directory and cannot be longer "
                    "than " + std::to_string(NAME_MAX - added - 1) + " bytes");
    const size_t longest = NAME_MAX - added - name.size();
    if (revision.string().size() > longest)
        revision.fail("a revision name names files of the project directory and cannot be longer than " +
                      std::to_string(longest) + " bytes with the partial-reconfiguration region \"" + name + "\"");
}

// A partial-reconfiguration region after the set's first (the static region)
// is "<parent region>.<partition>": the text after its last "." is the block
// name of one of the design's partitions (its block_name, else its name).
void check_region_partition(const VALUE& region, const std::unordered_set<std::string>& block_names)
{
    const std::string name = region.string();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && block_names.count(name.substr(dot + 1)) != 0)
        return;
    region.fail("the partial-reconfiguration region \"" + name +
                "\" names no partition: a region after the first is \"<parent region>.<partition's block name>\"");
}

DESIGN_NETLIST read_netlist(const VALUE& value, int depth = 0)
{
    if (depth >= MAX_NESTING)
        value.fail("netlists nest more than " + std::to_string(MAX_NESTING) + " levels deep");
    OBJECT object(value);
    DESIGN_NETLIST netlist;
    if (std::optional<VALUE> modifiable = object.optional("modifiable"))
        netlist.modifiable = modifiable->boolean();
    object.each_object("atoms", true, [&](OBJECT& entry) {
        DESIGN_ATOM atom;
        atom.name = entry.required("name").string();
        atom.type = entry.required("type").string();
        if (std::optional<VALUE> port = entry.optional("port"))
            atom.port = port->boolean();
        if (std::optional<VALUE> skip = entry.optional("skip"))
            atom.skip = skip->boolean();
        if (std::optional<VALUE> children = entry.optional("children"))
            atom.children = std::make_shared<const DESIGN_NETLIST>(read_netlist(*children, depth + 1));
        netlist.atoms.push_back(std::move(atom));
    });
    object.finish();
    return netlist;
}

// A block instance of the chip bundle's block tree: "type" for a top-level
// block, "name" for a child; its settings as an object of names and values;
// its children, each name once.
DESIGN_BLOCK read_block(OBJECT& object, const char* identity_key, int depth = 0)
{
    if (depth >= MAX_NESTING)
        object.value().fail("blocks nest more than " + std::to_string(MAX_NESTING) + " levels deep");
    DESIGN_BLOCK block;
    block.type_or_name = object.required(identity_key).nonempty_string();
    if (std::optional<VALUE> settings = object.optional("settings"))
        settings->each_entry([&](const std::string& name, const VALUE& value) {
            if (name.empty())
                value.fail("a setting name cannot be empty");
            block.settings.emplace_back(name, value.nonempty_string());
        });
    UNIQUE<std::string> child_names("child block");
    object.each_object("children", false, [&](OBJECT& entry) {
        block.children.push_back(read_block(entry, "name", depth + 1));
        child_names.check(block.children.back().type_or_name, entry.required("name"));
    });
    return block;
}

// The partition-tree and partial-reconfiguration keys of a partition.
void read_partition_tree(OBJECT& entry, DESIGN_PARTITION& partition)
{
    if (std::optional<VALUE> block_name = entry.optional("block_name"))
        partition.block_name = block_name->nonempty_string();
    if (std::optional<VALUE> parent = entry.optional("parent"))
        partition.parent = parent->nonempty_string();
    if (std::optional<VALUE> pr = entry.optional("pr"))
        partition.pr = pr->boolean();
    if (std::optional<VALUE> cots = entry.optional("cots"))
        partition.cots = cots->boolean();
    if (std::optional<VALUE> checker = entry.optional("checker"))
        partition.checker = checker->boolean();
    if (std::optional<VALUE> instance_value = entry.optional("instance"))
    {
        OBJECT instance(*instance_value);
        DESIGN_INSTANCE read;
        read.path = instance.required("path").string();
        if (std::optional<VALUE> settings = instance.optional("settings"))
            read.settings = read_settings(*settings);
        instance.finish();
        partition.instance = read;
    }
    if (std::optional<VALUE> netlist_value = entry.optional("netlist"))
    {
        OBJECT netlist(*netlist_value);
        DESIGN_PARTITION_NETLIST read;
        if (std::optional<VALUE> modifiable = netlist.optional("modifiable"))
            read.modifiable = modifiable->boolean();
        if (std::optional<VALUE> generated = netlist.optional("generated_options"))
            read.generated_options = read_generated_options(*generated);
        netlist.finish();
        partition.netlist = read;
    }
    if (std::optional<VALUE> index = entry.optional("pr_pof_index"))
        partition.pr_pof_index = index->uint32();
    if (std::optional<VALUE> value = entry.optional("pr_pof_value"))
        partition.pr_pof_value = value->uint32();
    if (std::optional<VALUE> data = entry.optional("pr_pof_value_data"))
    {
        std::string bytes;
        if (!parse_hex_bytes(data->string(), bytes))
            data->fail("expected hexadecimal text, two digits a byte");
        partition.pr_pof_value_data = bytes;
    }
}

// Every parent names another partition, and following parents ends at the
// top partition, which has none. One lookup a partition, and each partition
// is walked up from once: a chain already known to reach the top ends a
// walk.
void check_partition_tree(const std::vector<DESIGN_PARTITION>& partitions, const std::string& file)
{
    std::unordered_map<std::string_view, size_t> index_of;
    index_of.reserve(partitions.size());
    for (size_t i = 0; i < partitions.size(); ++i)
        index_of.emplace(partitions[i].name, i);
    std::vector<size_t> parent_of(partitions.size(), 0);
    for (size_t i = 0; i < partitions.size(); ++i)
    {
        const DESIGN_PARTITION& partition = partitions[i];
        if (!partition.parent)
            continue;
        const std::string key = "partitions[" + std::to_string(i) + "].parent";
        if (i == 0)
            throw DESIGN_ERROR(file, key, "the top partition (the first) has no parent");
        const auto parent = index_of.find(*partition.parent);
        if (parent == index_of.end())
            throw DESIGN_ERROR(file, key, "no partition is named \"" + *partition.parent + "\"");
        parent_of[i] = parent->second;
    }
    // 0: not walked yet, 1: on the walk under way, 2: reaches the top.
    std::vector<char> state(partitions.size(), 0);
    if (!state.empty())
        state[0] = 2;
    std::vector<size_t> walk;
    for (size_t i = 1; i < partitions.size(); ++i)
    {
        size_t at = i;
        while (state[at] == 0)
        {
            state[at] = 1;
            walk.push_back(at);
            at = parent_of[at];
        }
        if (state[at] == 1)
            throw DESIGN_ERROR(file, "partitions[" + std::to_string(i) + "].parent",
                               "the parents of the partition form a cycle");
        for (size_t walked : walk)
            state[walked] = 2;
        walk.clear();
    }
}

DESIGN read_design(const VALUE& root)
{
    DESIGN design;
    OBJECT top(root);

    // The revision names the .sof and the other programming files (through
    // temporaries such as ".<revision>.sof.XXXXXX") and "<revision>.pre_asm_netlist";
    // by default it also names the chip's routing dump (as chip_name below).
    const VALUE revision = top.required("revision");
    design.revision = revision.file_name_part("a revision name", 19);
    design.compilation = top.required("compilation").nonempty_string();
    // The routing dump is named after the chip, written as
    // ".<chip>.mcfd.asmre.XXXXXX".
    std::optional<VALUE> chip_name = top.optional("chip_name");
    design.chip_name = chip_name ? chip_name->file_name_part("a chip name", 19) : design.revision;
    design.family = top.required("family").int32();
    std::optional<VALUE> internal_family = top.optional("internal_family");
    design.internal_family = internal_family ? internal_family->int32() : design.family;
    const VALUE part_value = top.required("part");
    design.part = part_value.int32();
    design.device_name = top.required("device_name").string();
    design.programming_mode = top.required("programming_mode").int32();
    design.crc_clock_divisor = top.required("crc_clock_divisor").uint32();
    if (std::optional<VALUE> option_id = top.optional("jtag_user_code_option_id"))
        design.jtag_user_code_option_id = option_id->int32();
    if (std::optional<VALUE> hash_value = top.optional("flow_design_hash"))
    {
        OBJECT hash(*hash_value);
        const uint64_t first = hash.required("first").uint64();
        const uint64_t second = hash.required("second").uint64();
        hash.finish();
        design.flow_design_hash = std::make_pair(first, second);
    }

    if (std::optional<VALUE> settings_value = top.optional("settings"))
    {
        OBJECT settings(*settings_value);
        if (std::optional<VALUE> own = settings.optional("namespace"))
            design.namespace_settings = read_settings(*own);
        if (std::optional<VALUE> global = settings.optional("global"))
            design.global_settings = read_settings(*global);
        settings.finish();
    }

    UNIQUE<int> part_ids("part");
    top.each_object("parts", true, [&](OBJECT& entry) {
        DESIGN_PART part;
        VALUE id = entry.required("part");
        part.part = id.int32();
        part_ids.check(part.part, id);
        part.name = entry.required("name").string();
        part.device = entry.required("device").int32();
        if (std::optional<VALUE> cores = entry.optional("cpu_cores"))
            part.cpu_cores = cores->uint32();
        if (std::optional<VALUE> pof_id = entry.optional("pof_id"))
            part.pof_id = pof_id->uint32();
        if (std::optional<VALUE> brask_types = entry.optional("brask_types"))
            brask_types->each_entry([&](const std::string& slot, const VALUE& type) {
                if (slot.empty())
                    type.fail("a tile slot cannot be empty");
                part.brask_types.emplace_back(slot, type.string());
            });
        design.parts.push_back(part);
    });

    UNIQUE<int> device_ids("device");
    top.each_object("devices", true, [&](OBJECT& entry) {
        DESIGN_DEVICE device;
        VALUE id = entry.required("device");
        device.device = id.int32();
        device_ids.check(device.device, id);
        device.base_device = entry.required("base_device").int32();
        device.user_name = entry.required("user_name").string();
        if (std::optional<VALUE> debug_name = entry.optional("debug_name"))
            device.debug_name = debug_name->string();
        std::optional<VALUE> family = entry.optional("family");
        device.family = family ? family->int32() : design.family;
        design.devices.push_back(device);
    });

    UNIQUE<int> family_ids("family");
    top.each_object("families", false, [&](OBJECT& entry) {
        DESIGN_FAMILY family;
        VALUE id = entry.required("family");
        family.family = id.int32();
        family_ids.check(family.family, id);
        family.debug_name = entry.required("debug_name").nonempty_string();
        design.families.push_back(family);
    });

    UNIQUE<int> variable_ids("variable");
    top.each_object("variables", false, [&](OBJECT& entry) {
        DESIGN_VARIABLE variable;
        VALUE id = entry.required("id");
        variable.id = id.int32();
        variable_ids.check(variable.id, id);
        if (std::optional<VALUE> user_name = entry.optional("user_name"))
            variable.user_name = user_name->nonempty_string();
        if (std::optional<VALUE> families = entry.optional("families"))
        {
            variable.families.emplace();
            UNIQUE<int> listed("family");
            for (const VALUE& family : families->elements())
            {
                listed.check(family.int32(), family);
                variable.families->insert(family.int32());
            }
        }
        if (std::optional<VALUE> name = entry.optional("name"))
            variable.name = name->nonempty_string();
        if (std::optional<VALUE> default_value = entry.optional("default_value"))
            variable.default_value = default_value->string();
        design.variables.push_back(variable);
    });

    {
        OBJECT die(top.required("die"));
        UNIQUE<int> kinds("device data kind");
        for (const VALUE& kind : die.required("device_data").elements())
        {
            design.device_data_kinds.push_back(kind.int32());
            kinds.check(design.device_data_kinds.back(), kind);
        }
        design.cram_bits = die.required("cram_bits").uint32();
        if (std::optional<VALUE> hps_io = die.optional("hps_io"))
            design.hps_io = hps_io->boolean();
        if (std::optional<VALUE> regions = die.optional("blacklisted_clock_regions"))
            design.sector_data.blacklisted_clock_regions =
                read_clock_regions(regions->json_value(), regions->path(), regions->file());
        if (std::optional<VALUE> places = die.optional("place_ids"))
            design.sector_data.place_ids = read_place_ids(places->json_value(), places->path(), places->file());
        if (std::optional<VALUE> cram_columns = die.optional("cram_columns"))
            design.bit_settings.cram_columns = static_cast<int32_t>(cram_columns->integer(1, INT_MAX));
        if (std::optional<VALUE> asm_data_value = die.optional("asm_data"))
        {
            OBJECT asm_data_object(*asm_data_value);
            DESIGN_ASM_DATA asm_data;
            if (std::optional<VALUE> parts = asm_data_object.optional("parts"))
            {
                UNIQUE<int> listed("part");
                for (const VALUE& part : parts->elements())
                {
                    listed.check(part.int32(), part);
                    asm_data.parts.push_back(part.int32());
                }
            }
            else
            {
                asm_data.parts.push_back(design.part);
            }
            UNIQUE<int> block_keys("block key");
            asm_data_object.each_object("blocks", false, [&](OBJECT& entry) {
                DESIGN_BLOCK_INFO block;
                VALUE key = entry.required("key");
                block.key = key.int32();
                block_keys.check(block.key, key);
                if (std::optional<VALUE> version = entry.optional("version"))
                    block.version = version->string();
                if (std::optional<VALUE> name = entry.optional("icd_block_name"))
                    block.icd_block_name = name->string();
                asm_data.blocks.push_back(block);
            });
            if (std::optional<VALUE> first = asm_data_object.optional("first_id_string"))
                asm_data.first_id_string = first->string();
            if (std::optional<VALUE> second = asm_data_object.optional("second_id_string"))
                asm_data.second_id_string = second->string();
            if (std::optional<VALUE> groups = asm_data_object.optional("archgroups"))
                read_design_arch_groups(groups->json_value(), groups->file(), groups->path(), design.bit_settings);
            if (std::optional<VALUE> types = asm_data_object.optional("arch_group_types"))
                read_design_arch_group_types(types->json_value(), types->file(), types->path(), design.bit_settings);
            asm_data_object.finish();
            design.asm_data = asm_data;
        }
        die.finish();
    }

    if (std::optional<VALUE> netlist = top.optional("netlist"))
        design.netlist = read_netlist(*netlist);
    if (std::optional<VALUE> option_block = top.optional("option_block"))
        design.option_block = read_option_block(option_block->json_value(), option_block->path(), option_block->file(),
                                                design);

    UNIQUE<std::string> partition_names("partition");
    top.each_object("partitions", false, [&](OBJECT& entry) {
        DESIGN_PARTITION partition;
        VALUE name = entry.required("name");
        partition.name = name.nonempty_string();
        partition_names.check(partition.name, name);
        if (std::optional<VALUE> settings = entry.optional("settings"))
            partition.settings = read_settings(*settings);
        if (std::optional<VALUE> design_hash = entry.optional("design_hash"))
            partition.design_hash = design_hash->string();
        if (std::optional<VALUE> generated = entry.optional("generated_options"))
            partition.generated_options = read_generated_options(*generated);
        read_partition_tree(entry, partition);
        design.partitions.push_back(partition);
    });
    check_partition_tree(design.partitions, root.file());
    if (std::optional<VALUE> design_settings = top.optional("design_settings"))
        design.design_settings = read_settings(*design_settings);

    if (std::optional<VALUE> bundle_value = top.optional("chip_bundle"))
    {
        OBJECT bundle(*bundle_value);
        UNIQUE<int> region_kinds("region kind");
        std::unordered_set<std::string> block_names;
        for (const DESIGN_PARTITION& partition : design.partitions)
            block_names.insert(partition.block_name.value_or(partition.name));
        bundle.each_object("regions", false, [&](OBJECT& entry) {
            DESIGN_REGIONS regions;
            VALUE kind = entry.required("kind");
            regions.kind = kind.int32();
            region_kinds.check(regions.kind, kind);
            for (const VALUE& name : entry.required("names").elements())
            {
                if (regions.kind == 0)
                    check_mask_file_name(revision, name);
                if (regions.kind == 0 && !regions.names.empty())
                    check_region_partition(name, block_names);
                regions.names.push_back(name.string());
            }
            if (std::optional<VALUE> preserved = entry.optional("preserved"))
                for (const VALUE& name : preserved->elements())
                {
                    regions.preserved.push_back(name.string());
                    if (std::find(regions.names.begin(), regions.names.end(), regions.preserved.back()) ==
                        regions.names.end())
                        name.fail("not a region of the set");
                }
            design.regions.push_back(regions);
        });
        bundle.each_object("atom_attributes", false, [&](OBJECT& entry) {
            DESIGN_ATOM_ATTRIBUTE attribute;
            attribute.atom_type = entry.required("atom_type").string();
            attribute.attribute = entry.required("attribute").string();
            attribute.covered = entry.required("covered").boolean();
            design.atom_attributes.push_back(attribute);
        });
        if (std::optional<VALUE> bits = bundle.optional("config_bits"))
            for (const VALUE& bit : bits->elements())
                design.config_bits.push_back(bit.uint32());
        if (std::optional<VALUE> bits = bundle.optional("borrowed_bits"))
            for (const VALUE& bit : bits->elements())
                design.borrowed_bits.push_back(bit.uint32());
        bundle.each_object("blocks", false, [&](OBJECT& entry) {
            design.blocks.push_back(read_block(entry, "type"));
            std::optional<VALUE> name = entry.optional("name");
            std::optional<VALUE> location = entry.optional("location");
            std::optional<VALUE> global_id = entry.optional("global_id");
            if (std::optional<DESIGN_PLACED_BLOCK> placed = read_placed_block(
                    name ? &name->json_value() : nullptr, location ? &location->json_value() : nullptr,
                    global_id ? &global_id->json_value() : nullptr, entry.value().path(), entry.value().file()))
                design.sector_data.placed_blocks.push_back(*placed);
        });
        UNIQUE<std::string> sector_blocks("sector block");
        bundle.each_object("sectors", false, [&](OBJECT& entry) {
            DESIGN_SECTOR sector;
            sector.name = entry.required("name").nonempty_string();
            sector.type = entry.required("type").string();
            entry.each_object("blocks", false, [&](OBJECT& block) {
                sector.blocks.push_back(read_block(block, "name"));
                sector_blocks.check(sector.blocks.back().type_or_name, block.required("name"));
            });
            design.sectors.push_back(sector);
        });
        bundle.finish();
        check_sector_data(design.sector_data, bundle.value().file());
    }

    UNIQUE<std::string> block_names("block type name");
    top.each_object("block_types", false, [&](OBJECT& entry) {
        DESIGN_BLOCK_TYPE block;
        block.type = static_cast<int>(entry.required("type").integer(0, INT_MAX));
        VALUE name = entry.required("name");
        block.name = name.nonempty_string();
        block_names.check(block.name, name);
        design.block_types.push_back(block);
    });

    if (std::optional<VALUE> suppressed = top.optional("suppressed_messages"))
        for (const VALUE& id : suppressed->elements())
            design.suppressed_messages.push_back(id.uint32());

    if (std::optional<VALUE> accessor_value = top.optional("accessor"))
    {
        OBJECT accessor(*accessor_value);
        design.accessor.cram_address_width = accessor.required("cram_address_width").uint32();
        if (std::optional<VALUE> bits = accessor.optional("set_bits"))
            for (const VALUE& bit : bits->elements())
                design.accessor.set_bits.push_back(bit.uint32());
        accessor.finish();
    }

    if (std::optional<VALUE> assignments = top.optional("assignments"))
    {
        design.assignments = read_settings(*assignments);
        check_design_assignments(design.assignments, root.file());
    }
    if (std::optional<VALUE> tcl_directory = top.optional("tcl_directory"))
        design.tcl_directory = tcl_directory->nonempty_string();
    read_design_sld(top, design);
    if (std::optional<VALUE> routing = top.optional("routing"))
        design.routing = read_design_routing(routing->json_value(), routing->path(), routing->file(),
                                             design.netlist ? &*design.netlist : nullptr);

    top.finish();
    // The chip's part is opened through the part table; checked once every
    // key has been read.
    if (part_ids.count(design.part) == 0)
        part_value.fail("part " + std::to_string(design.part) + " is not in the part table (parts)");
    return design;
}

}  // namespace

namespace
{

// Builds the document from the parser's events, one level at a time (no
// recursion, however deep the nesting), and refuses a key that an object
// names twice (the parser would keep only one of the values) at the moment
// it is read: one lookup in the object being built.
class DOCUMENT_BUILDER
{
public:
    explicit DOCUMENT_BUILDER(json& root) : m_root(root) {}

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(json::number_integer_t value) { return add(value); }
    bool number_unsigned(json::number_unsigned_t value) { return add(value); }
    bool number_float(json::number_float_t value, const std::string&) { return add(value); }
    bool string(std::string& value) { return add(std::move(value)); }
    bool binary(json::binary_t& value) { return add(std::move(value)); }

    bool start_object(std::size_t)
    {
        m_open.push_back(place(json::value_t::object));
        return true;
    }
    bool key(std::string& key)
    {
        // The key is moved in only when it is new; a refused key stays.
        auto inserted = m_open.back()->get_ref<json::object_t&>().try_emplace(std::move(key));
        if (!inserted.second)
        {
            m_problem = "the key \"" + key + "\" is given twice in one object";
            return false;
        }
        m_slot = &inserted.first->second;
        return true;
    }
    bool end_object()
    {
        m_open.pop_back();
        return true;
    }
    bool start_array(std::size_t)
    {
        m_open.push_back(place(json::value_t::array));
        return true;
    }
    bool end_array()
    {
        m_open.pop_back();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error)
    {
        m_problem = std::string("not valid JSON: ") + error.what();
        return false;
    }

    // Why the parse stopped; empty when it did not.
    const std::string& problem() const { return m_problem; }

private:
    template <typename T>
    bool add(T&& value)
    {
        place(std::forward<T>(value));
        return true;
    }

    // Puts the value where the document stands: the root, the end of the
    // open array or the slot of the last key. The open values never move
    // while their children are read (a parent gains nothing meanwhile).
    template <typename T>
    json* place(T&& value)
    {
        if (m_open.empty())
        {
            m_root = json(std::forward<T>(value));
            return &m_root;
        }
        json& parent = *m_open.back();
        if (parent.is_array())
        {
            json::array_t& array = parent.get_ref<json::array_t&>();
            array.emplace_back(std::forward<T>(value));
            return &array.back();
        }
        *m_slot = json(std::forward<T>(value));
        return m_slot;
    }

    json& m_root;
    std::vector<json*> m_open;
    json* m_slot = nullptr;
    std::string m_problem;
};

}  // namespace

DESIGN parse_design(const std::string& text, const std::string& file_label)
{
    // The parser takes a NUL byte for the end of the text: what follows it
    // would be dropped unread.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        throw DESIGN_ERROR(file_label, "", "not valid JSON: a NUL byte at offset " + std::to_string(nul));
    json document;
    DOCUMENT_BUILDER builder(document);
    bool parsed = false;
    try
    {
        parsed = json::sax_parse(text, &builder);
    }
    catch (const json::exception& error)
    {
        throw DESIGN_ERROR(file_label, "", std::string("not valid JSON: ") + error.what());
    }
    if (!parsed)
        throw DESIGN_ERROR(file_label, "",
                           builder.problem().empty() ? std::string("not valid JSON") : builder.problem());
    return read_design(VALUE(document, "", file_label));
}

DESIGN load_design(const std::string& path)
{
    // Read whole from the regular file that was opened (a directory or
    // device has no end to go by, and a pipe would wait for a writer).
    std::string text;
    if (!fio_read_regular_file(path, text))
        throw DESIGN_ERROR(path, "", "cannot read the file");
    return parse_design(text, path);
}

namespace
{

void apply_settings(HDB_OPTION_INTERFACE* holder, const std::vector<DESIGN_SETTING>& settings)
{
    for (const DESIGN_SETTING& setting : settings)
    {
        switch (setting.kind)
        {
        case HDB_OPTION_KIND_BOOLEAN:
            holder->set_bool_option(setting.id, setting.bool_value);
            break;
        case HDB_OPTION_KIND_ENUM:
            holder->set_enum_option(setting.id, static_cast<uint16_t>(setting.int_value));
            break;
        case HDB_OPTION_KIND_INTEGER:
            holder->set_int_option(setting.id, setting.int_value);
            break;
        case HDB_OPTION_KIND_STRING:
            if (setting.multi)
                for (const std::string& value : setting.multi_values)
                    holder->add_multi_option(setting.id, value);
            else
                holder->set_string_option(setting.id, setting.string_value);
            break;
        }
    }
}

void add_atoms(CDB_ATOM_NETLIST* netlist, const DESIGN_NETLIST& data)
{
    for (const DESIGN_ATOM& atom : data.atoms)
    {
        CDB_ATOM_NODE* node = nullptr;
        if (atom.children)
        {
            CDB_ATOM_BLACKBOX* blackbox = netlist->add_blackbox(atom.name, atom.type, atom.children->modifiable);
            add_atoms(blackbox->get_child_netlist(), *atom.children);
            node = blackbox;
        }
        else
        {
            node = netlist->add_atom(std::make_unique<CDB_ATOM_NODE>(atom.name, atom.type));
        }
        node->set_port(atom.port);
        node->m_skip = atom.skip;
    }
}

void add_block_content(DBCM_INSTANCE_NODE* node, const DESIGN_BLOCK& block)
{
    for (const auto& [setting, value] : block.settings)
        node->set_setting(setting.c_str(), value.c_str());
    for (const DESIGN_BLOCK& child : block.children)
        add_block_content(node->add_child(child.type_or_name.c_str()), child);
}

}  // namespace

HOST_SUITE::HOST_SUITE(const DESIGN& design) : m_hdb_chip(design.chip_name), m_tcl_directory(design.tcl_directory)
{
    apply_design_assignments(design.assignments);
    apply_settings(&m_cap_inst, design.namespace_settings);
    if (design.global_settings)
        apply_settings(m_cap_inst.add_section(HDB_GLOBAL_SECTION_TYPE, ""), *design.global_settings);
    // The compile instance's hierarchy chip is the compiled chip's.
    m_cap_inst.set_chip(&m_hdb_chip);
    if (design.flow_design_hash)
        flow_set_design_hash(&m_cap_inst, design.flow_design_hash->first, design.flow_design_hash->second);

    m_cmp.set_revision_name(design.revision);
    m_cmp.set_cmp_name(design.compilation);
    m_cmp.set_cap_inst(&m_cap_inst);
    m_cmp.set_jtag_user_code_option_id(design.jtag_user_code_option_id);

    m_chip.set_base_family(design.family);
    m_chip.set_internal_family(design.internal_family);
    m_chip.set_part(static_cast<DEV_PART>(design.part));
    m_chip.set_device_name(design.device_name);
    m_chip.set_programming_mode(design.programming_mode);
    m_chip.set_crc_clock_divisor(design.crc_clock_divisor);
    m_chip.set_chip(&m_hdb_chip);
    if (design.netlist)
    {
        m_netlist = std::make_unique<CDB_ATOM_NETLIST>(design.netlist->modifiable);
        add_atoms(m_netlist.get(), *design.netlist);
        m_chip.set_atom_netlist(m_netlist.get());
    }
    m_db_entries.set_chip_db_entry(&m_chip);
    CDB_CMP_ENTRY::set_db_entries(&m_cap_inst, &m_db_entries);

    for (const DESIGN_PART& part : design.parts)
    {
        dev_add_part(static_cast<DEV_PART>(part.part), part.name, static_cast<DEV_DEVICE_ENUM>(part.device));
        if (part.cpu_cores)
            dev_set_resource_count(static_cast<DEV_PART>(part.part), DEV_RESOURCE_CPU_CORE, *part.cpu_cores);
        dev_set_pof_id(static_cast<DEV_PART>(part.part), part.pof_id);
    }
    apply_brask_types(design);
    for (const DESIGN_DEVICE& device : design.devices)
    {
        dev_add_device(static_cast<DEV_DEVICE_ENUM>(device.device), static_cast<DEV_DEVICE_ENUM>(device.base_device),
                       device.user_name);
        if (device.debug_name)
            dstr_set_debug_string(static_cast<DEV_DEVICE_ENUM>(device.device), *device.debug_name);
        dev_set_device_family(static_cast<DEV_DEVICE_ENUM>(device.device), device.family);
    }
    for (const DESIGN_FAMILY& family : design.families)
        dstr_set_family_debug_string(family.family, family.debug_name);
    for (const DESIGN_VARIABLE& variable : design.variables)
    {
        if (variable.user_name)
            acf_set_variable_user_name(variable.id, *variable.user_name);
        if (variable.families)
            acf_set_variable_families(variable.id, *variable.families);
        if (variable.name)
            acf_set_variable_name(variable.id, *variable.name);
        if (variable.default_value)
            acf_set_variable_default_value(variable.id, *variable.default_value);
    }

    // The current device is the one the device manager opens for the chip's
    // part: the part's device from the part table.
    const DEV_PART part = static_cast<DEV_PART>(design.part);
    m_device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(part, DEV_PART_MANAGER().get_device_of(part)));
    std::unique_ptr<DEV_DIE_INFO> die_info = make_design_die_info(design);
    die_info->get_dygr_die_info()->set_hps_io(design.hps_io);
    m_device.set_die_info(std::move(die_info));
    if (std::unique_ptr<DEV_ASM_INFO> asm_info = make_design_asm_info(design, false))
        m_device.set_asm_info(std::move(asm_info));
    DMGR_UTILITY::set_current_device(&m_device);

    if (!design.partitions.empty() || design.design_settings)
    {
        ZHD_DESIGN* current_design = ZHD_ROOT::get()->add_design("");
        std::vector<ZHD_PARTITION*> added;
        for (const DESIGN_PARTITION& partition : design.partitions)
        {
            added.push_back(current_design->add_partition(partition.name));
            HDB_NAMESPACE* settings = added.back()->get_hdb();
            apply_settings(settings, partition.settings);
            if (partition.design_hash)
                ZPR::UTILS::set_design_hash(settings, *partition.design_hash);
            add_generated_options(settings, partition.generated_options);
        }
        populate_partition_tree(current_design, added, design, apply_settings);
    }

    // Chip 0 of the chip bundle is the compiled chip, on the chip's device.
    DBCM_CHIP* bundle_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
    bundle_chip->add_device(design.device_name);
    for (uint32_t address : design.config_bits)
        bundle_chip->set_config_bit(address);
    for (uint32_t address : design.borrowed_bits)
        bundle_chip->add_borrowed_bit(address);
    for (const DESIGN_BLOCK& block : design.blocks)
        add_block_content(bundle_chip->add_top_block(block.type_or_name.c_str()), block);
    apply_design_sectors(design, bundle_chip);
    for (const DESIGN_REGIONS& regions : design.regions)
    {
        DBCM_REGIONS* set = bundle_chip->add_regions(regions.kind);
        for (const std::string& name : regions.names)
            set->add_region(name);
        for (const std::string& name : regions.preserved)
            set->set_implemented(static_cast<int>(std::find(regions.names.begin(), regions.names.end(), name) -
                                                  regions.names.begin()),
                                 false);
    }
    for (const DESIGN_ATOM_ATTRIBUTE& attribute : design.atom_attributes)
        bundle_chip->add_atom_attribute(attribute.atom_type, attribute.attribute, attribute.covered);
    apply_sector_data(design.sector_data, bundle_chip, m_device.get_die_info()->get_dygr_die_info());

    for (const DESIGN_BLOCK_TYPE& block : design.block_types)
        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(block.type), block.name);

    for (uint32_t id : design.suppressed_messages)
        MSG_INDEX::get_default_index()->suppress(id);

    apply_design_sld(design.sld, &m_cap_inst, part);
    // The option block's and the routing's atoms, each found by name.
    const HOST_ATOM_INDEX atom_index(m_netlist.get());
    m_fitter_clocks = apply_option_block(design, m_chip, atom_index);
    if (design.routing)
        m_routing = std::make_unique<HOST_ROUTING>(design, &m_chip, atom_index, &m_device, bundle_chip);
}

HOST_SUITE::~HOST_SUITE()
{
    CDB_CMP_ENTRY::set_db_entries(&m_cap_inst, nullptr);
    if (DMGR_UTILITY::get_current_device() == &m_device)
        DMGR_UTILITY::set_current_device(nullptr);
    dev_reset();
    dstr_clear();
    acf_reset();
    acf_reset_revision();
    gen_set_tcl_internal_fullpath("");
    flow_reset();
    ZPR::UTILS::reset();
    ZHD_ROOT::get()->reset();
    // The bundle that a run made refers to chip 0: it goes first.
    DBCM_BUNDLE_SINGLETON::reset();
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    asmdb_clear_arch_group_block_types();
    MSG_INDEX::get_default_index()->clear();
    reset_design_sld();
}

void HOST_SUITE::set_project_directory(const std::string& directory)
{
    m_cmp.set_project_path(FIO_PATH(directory, "", ""));
    gen_set_project_output_directory(directory);
    set_option_block_project_directory(directory, m_fitter_clocks, m_chip);
    gen_set_tcl_internal_fullpath(design_tcl_directory(directory, m_tcl_directory));
}
