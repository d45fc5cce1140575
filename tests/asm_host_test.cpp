// The host program: its design loader, the stand-in suite it populates, its
// accessor proxy and project directory, and the built asm_host run on sample
// designs. This binary links the host's support code and the suite, never
// the module's objects: the host loads libasm.so itself.
#include "accessor_proxy.h"
#include "design.h"
#include "host_run.h"
#include "project.h"

#include <acf.h>
#include <asmdb.h>
#include <cdb.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <flow.h>
#include <gen.h>
#include <hdb.h>
#include <msg.h>
#include <zhd.h>
#include <zpr.h>
#include <zsym.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using nlohmann::json;
namespace fs = std::filesystem;

namespace
{

// The smallest design the loader accepts.
json minimal_design()
{
    return json::parse(R"({
        "revision": "top", "compilation": "c1", "family": 15, "part": 7, "device_name": "D7",
        "programming_mode": 0, "crc_clock_divisor": 1,
        "parts": [ { "part": 7, "name": "P7", "device": 70 } ],
        "devices": [ { "device": 70, "base_device": 70, "user_name": "d70" } ],
        "die": { "device_data": [4], "cram_bits": 1024 }
    })");
}

// A design that gives every key.
const char FULL_DESIGN[] = R"({
    "revision": "rev_a", "compilation": "cmp_a", "chip_name": "chip_a",
    "family": 29, "internal_family": 67, "part": 2901, "device_name": "VW29",
    "programming_mode": 3, "crc_clock_divisor": 0,
    "jtag_user_code_option_id": 1500,
    "flow_design_hash": { "first": 1, "second": 18446744073709551615 },
    "settings": {
        "namespace": [
            { "id": 1492, "type": "string", "value": "opts.xml" },
            { "id": 1424, "type": "boolean", "value": true },
            { "id": 700, "type": "integer", "value": -12 },
            { "id": 701, "type": "enumeration", "value": 65535 }
        ],
        "global": [ { "id": 1517, "type": "boolean", "value": true } ]
    },
    "parts": [
        { "part": 2901, "name": "VW29-A", "device": 290, "cpu_cores": 2, "pof_id": 6 },
        { "part": 2902, "name": "VW29-B", "device": 291 }
    ],
    "devices": [
        { "device": 290, "base_device": 289, "user_name": "vw29dev", "debug_name": "VW29_DEBUG" },
        { "device": 289, "base_device": 289, "user_name": "VW8REVB_base", "family": 30 }
    ],
    "families": [ { "family": 29, "debug_name": "Vw29" }, { "family": 30, "debug_name": "Vw30" } ],
    "variables": [
        { "id": 1439, "user_name": "DEVICE_FLAG", "families": [67, 29] },
        { "id": 1485, "user_name": "LEGACY_TTF" },
        { "id": 1556, "families": [] }
    ],
    "die": {
        "device_data": [4, 2, 1], "cram_bits": 65536, "hps_io": true,
        "asm_data": {
            "parts": [2902, 2901],
            "blocks": [ { "key": 3, "version": "", "icd_block_name": "HPS" }, { "key": 1, "version": "1.1" } ],
            "first_id_string": "id-one"
        }
    },
    "netlist": {
        "atoms": [
            { "name": "a0", "type": "la_lab" },
            { "name": "bb", "type": "sld_hub", "children": {
                "modifiable": false,
                "atoms": [ { "name": "bb|p", "type": "io_ibuf", "port": true } ] } },
            { "name": "a1", "type": "pm_iopll", "skip": true }
        ]
    },
    "partitions": [
        { "name": "root_partition", "settings": [ { "id": 1246, "type": "string", "value": "0x12345678" } ],
          "design_hash": "feed" },
        { "name": "pr_region" }
    ],
    "chip_bundle": {
        "regions": [ { "kind": 0, "names": ["pr_region"] }, { "kind": 1, "names": [] } ],
        "atom_attributes": [ { "atom_type": "la_lab", "attribute": "mask", "covered": false } ],
        "config_bits": [2, 1],
        "borrowed_bits": [9],
        "blocks": [
            { "type": "io_48_lvds_tile", "settings": { "tile_mode": "MODE_A" },
              "children": [ { "name": "c0", "settings": { "s1": "V1", "s2": "V2" }, "children": [ { "name": "gc" } ] },
                            { "name": "c1" } ] },
            { "type": "other_tile" }
        ]
    },
    "block_types": [ { "type": 5, "name": "LAB" } ],
    "suppressed_messages": [ 12914 ],
    "accessor": { "cram_address_width": 4096, "set_bits": [3, 4096] }
})";

std::string load_error(const std::string& text)
{
    try
    {
        parse_design(text, "design.json");
    }
    catch (const DESIGN_ERROR& error)
    {
        return error.what();
    }
    return "";
}

std::string json_load_error(const json& document) { return load_error(document.dump()); }

}  // namespace

TEST(DesignLoader, MinimalDesignTakesTheDocumentedDefaults)
{
    const DESIGN design = parse_design(minimal_design().dump(), "design.json");
    EXPECT_EQ(design.revision, "top");
    EXPECT_EQ(design.compilation, "c1");
    EXPECT_EQ(design.chip_name, "top");          // the revision name
    EXPECT_EQ(design.internal_family, 15);       // the family
    EXPECT_FALSE(design.global_settings.has_value());
    EXPECT_FALSE(design.netlist.has_value());
    EXPECT_TRUE(design.namespace_settings.empty());
    EXPECT_TRUE(design.partitions.empty());
    EXPECT_EQ(design.accessor.cram_address_width, 0u);
    EXPECT_EQ(design.device_data_kinds, std::vector<int>{4});
    EXPECT_EQ(design.cram_bits, 1024u);
    EXPECT_FALSE(design.hps_io);
    EXPECT_FALSE(design.asm_data.has_value());
    EXPECT_EQ(design.jtag_user_code_option_id, 1433);
    EXPECT_FALSE(design.flow_design_hash.has_value());
    ASSERT_EQ(design.parts.size(), 1u);
    EXPECT_EQ(design.parts[0].pof_id, 0u);
    ASSERT_EQ(design.devices.size(), 1u);
    EXPECT_EQ(design.devices[0].family, 15);     // the design's family
    EXPECT_TRUE(design.families.empty());
    EXPECT_TRUE(design.variables.empty());
    EXPECT_TRUE(design.config_bits.empty());
    EXPECT_TRUE(design.borrowed_bits.empty());
    EXPECT_TRUE(design.blocks.empty());
}

TEST(DesignLoader, AssemblerDataPartsDefaultToTheDesignsPart)
{
    json document = minimal_design();
    document["die"]["asm_data"] = json::object();
    const DESIGN design = parse_design(document.dump(), "design.json");
    ASSERT_TRUE(design.asm_data.has_value());
    EXPECT_EQ(design.asm_data->parts, std::vector<int>{7});
    EXPECT_TRUE(design.asm_data->blocks.empty());
    EXPECT_EQ(design.asm_data->first_id_string, "");

    // An empty list is no part at all.
    document["die"]["asm_data"]["parts"] = json::array();
    EXPECT_TRUE(parse_design(document.dump(), "design.json").asm_data->parts.empty());
}

TEST(DesignLoader, EachBadInputNamesTheFileAndTheKey)
{
    struct BAD_INPUT
    {
        const char* what;
        std::function<void(json&)> change;
        const char* message;
    };
    const std::vector<BAD_INPUT> cases = {
        {"string for an integer", [](json& d) { d["parts"][0]["device"] = "x"; },
         "design.json: parts[0].device: expected an integer"},
        {"fraction for an integer", [](json& d) { d["family"] = 15.5; }, "design.json: family: expected an integer"},
        {"missing top key", [](json& d) { d.erase("part"); }, "design.json: part: required key is missing"},
        {"missing nested key", [](json& d) { d["die"].erase("device_data"); },
         "design.json: die.device_data: required key is missing"},
        {"unknown top key", [](json& d) { d["ini"] = json::object(); }, "design.json: ini: unknown key"},
        {"unknown key deep in a child netlist",
         [](json& d) {
             d["netlist"] = json::parse(R"({"atoms": [ {"name": "a", "type": "t"},
                 {"name": "b", "type": "t", "children": {"atoms": [ {"name": "c", "type": "t", "colour": 1} ]}} ]})");
         },
         "design.json: netlist.atoms[1].children.atoms[0].colour: unknown key"},
        {"setting value of another type",
         [](json& d) { d["settings"]["namespace"] = json::parse(R"([{"id": 1, "type": "boolean", "value": 1}])"); },
         "design.json: settings.namespace[0].value: expected a boolean (true or false)"},
        {"unknown setting type",
         [](json& d) { d["settings"]["global"] = json::parse(R"([{"id": 1, "type": "float", "value": 1}])"); },
         "design.json: settings.global[0].type: expected one of \"boolean\", \"enumeration\", \"integer\", \"string\", \"multi\""},
        {"enumeration out of range",
         [](json& d) { d["settings"]["namespace"] = json::parse(R"([{"id": 1, "type": "enumeration", "value": 65536}])"); },
         "design.json: settings.namespace[0].value: expected an integer from 0 to 65535"},
        {"negative divisor", [](json& d) { d["crc_clock_divisor"] = -1; },
         "design.json: crc_clock_divisor: expected an integer from 0 to 4294967295"},
        {"integer beyond 32 bits", [](json& d) { d["part"] = 4294967296LL; },
         "design.json: part: expected an integer from -2147483648 to 2147483647"},
        {"part given twice", [](json& d) { d["parts"].push_back(d["parts"][0]); },
         "design.json: parts[1].part: part 7 is given twice"},
        {"setting given twice",
         [](json& d) {
             d["settings"]["namespace"] = json::parse(
                 R"([{"id": 9, "type": "string", "value": "a"}, {"id": 9, "type": "integer", "value": 1}])");
         },
         "design.json: settings.namespace[1].id: setting 9 is given twice"},
        {"object for an array", [](json& d) { d["devices"] = json::object(); },
         "design.json: devices: expected an array"},
        {"array for an object", [](json& d) { d["die"] = json::array(); }, "design.json: die: expected an object"},
        {"empty revision", [](json& d) { d["revision"] = ""; }, "design.json: revision: expected a non-empty string"},
        {"revision with a directory", [](json& d) { d["revision"] = "a/b"; },
         "design.json: revision: a revision name names files of the project directory and cannot hold \"/\""},
        {"region kind given twice",
         [](json& d) {
             d["chip_bundle"] = json::parse(R"({"regions": [{"kind": 0, "names": []}, {"kind": 0, "names": ["r"]}]})");
         },
         "design.json: chip_bundle.regions[1].kind: region kind 0 is given twice"},
        {"accessor without its width", [](json& d) { d["accessor"] = json::parse(R"({"set_bits": [1]})"); },
         "design.json: accessor.cram_address_width: required key is missing"},
        {"negative bit address", [](json& d) { d["accessor"] = json::parse(R"({"cram_address_width": 8, "set_bits": [-1]})"); },
         "design.json: accessor.set_bits[0]: expected an integer from 0 to 4294967295"},
        {"die without its CRAM size", [](json& d) { d["die"].erase("cram_bits"); },
         "design.json: die.cram_bits: required key is missing"},
        {"CRAM size of another type", [](json& d) { d["die"]["cram_bits"] = "4k"; },
         "design.json: die.cram_bits: expected an integer"},
        {"HPS I/O flag of another type", [](json& d) { d["die"]["hps_io"] = 1; },
         "design.json: die.hps_io: expected a boolean (true or false)"},
        {"block key given twice",
         [](json& d) { d["die"]["asm_data"] = json::parse(R"({"blocks": [{"key": 2}, {"key": 2, "version": "x"}]})"); },
         "design.json: die.asm_data.blocks[1].key: block key 2 is given twice"},
        {"unknown key in the assembler data", [](json& d) { d["die"]["asm_data"] = json::parse(R"({"id_strings": []})"); },
         "design.json: die.asm_data.id_strings: unknown key"},
        {"negative flow hash half",
         [](json& d) { d["flow_design_hash"] = json::parse(R"({"first": -1, "second": 0})"); },
         "design.json: flow_design_hash.first: expected an integer from 0 to 18446744073709551615"},
        {"flow hash half beyond 64 bits",
         [](json& d) { d["flow_design_hash"] = json::parse(R"({"first": 0, "second": 18446744073709551616})"); },
         "design.json: flow_design_hash.second: expected an integer"},
        {"flow hash without its second half", [](json& d) { d["flow_design_hash"] = json::parse(R"({"first": 0})"); },
         "design.json: flow_design_hash.second: required key is missing"},
        {"option id of another type", [](json& d) { d["jtag_user_code_option_id"] = "1433"; },
         "design.json: jtag_user_code_option_id: expected an integer"},
        {"POF id beyond 32 bits", [](json& d) { d["parts"][0]["pof_id"] = 4294967296LL; },
         "design.json: parts[0].pof_id: expected an integer from 0 to 4294967295"},
        {"device family of another type", [](json& d) { d["devices"][0]["family"] = "fifteen"; },
         "design.json: devices[0].family: expected an integer"},
        {"family given twice",
         [](json& d) {
             d["families"] = json::parse(R"([{"family": 15, "debug_name": "a"}, {"family": 15, "debug_name": "b"}])");
         },
         "design.json: families[1].family: family 15 is given twice"},
        {"empty family name", [](json& d) { d["families"] = json::parse(R"([{"family": 15, "debug_name": ""}])"); },
         "design.json: families[0].debug_name: expected a non-empty string"},
        {"variable given twice", [](json& d) { d["variables"] = json::parse(R"([{"id": 1439}, {"id": 1439}])"); },
         "design.json: variables[1].id: variable 1439 is given twice"},
        {"variable family listed twice",
         [](json& d) { d["variables"] = json::parse(R"([{"id": 1439, "families": [15, 54, 15]}])"); },
         "design.json: variables[0].families[2]: family 15 is given twice"},
        {"partition design hash of another type",
         [](json& d) { d["partitions"] = json::parse(R"([{"name": "root", "design_hash": 12}])"); },
         "design.json: partitions[0].design_hash: expected a string"},
        {"configuration bit of another type", [](json& d) { d["chip_bundle"] = json::parse(R"({"config_bits": ["7"]})"); },
         "design.json: chip_bundle.config_bits[0]: expected an integer"},
        {"negative borrowed bit", [](json& d) { d["chip_bundle"] = json::parse(R"({"borrowed_bits": [-3]})"); },
         "design.json: chip_bundle.borrowed_bits[0]: expected an integer from 0 to 4294967295"},
        {"top block without a type", [](json& d) { d["chip_bundle"] = json::parse(R"({"blocks": [{"name": "t"}]})"); },
         "design.json: chip_bundle.blocks[0].type: required key is missing"},
        {"child block without a name",
         [](json& d) { d["chip_bundle"] = json::parse(R"({"blocks": [{"type": "t", "children": [{"type": "c"}]}]})"); },
         "design.json: chip_bundle.blocks[0].children[0].name: required key is missing"},
        {"child block given twice",
         [](json& d) {
             d["chip_bundle"] = json::parse(
                 R"({"blocks": [{"type": "t", "children": [{"name": "c"}, {"name": "d"}, {"name": "c"}]}]})");
         },
         "design.json: chip_bundle.blocks[0].children[2].name: child block c is given twice"},
        {"block setting value of another type",
         [](json& d) {
             d["chip_bundle"] = json::parse(
                 R"({"blocks": [{"type": "t", "children": [{"name": "c", "settings": {"on": true}}]}]})");
         },
         "design.json: chip_bundle.blocks[0].children[0].settings.on: expected a string"},
        {"block settings as a list",
         [](json& d) { d["chip_bundle"] = json::parse(R"({"blocks": [{"type": "t", "settings": ["a"]}]})"); },
         "design.json: chip_bundle.blocks[0].settings: expected an object"},
        {"empty block setting name",
         [](json& d) { d["chip_bundle"] = json::parse(R"({"blocks": [{"type": "t", "settings": {"": "V"}}]})"); },
         "design.json: chip_bundle.blocks[0].settings.: a setting name cannot be empty"},
    };
    for (const BAD_INPUT& bad : cases)
    {
        json document = minimal_design();
        bad.change(document);
        EXPECT_EQ(json_load_error(document), bad.message) << bad.what;
    }
}

TEST(DesignLoader, TextThatIsNotOneJsonObjectIsRefused)
{
    EXPECT_EQ(load_error("[1, 2]"), "design.json: expected an object");
    const std::string syntax = load_error("{ \"revision\": ");
    EXPECT_EQ(syntax.rfind("design.json: not valid JSON: ", 0), 0u) << syntax;
    // The parser would keep one of the two values without a word.
    std::string twice = minimal_design().dump();
    twice.insert(1, "\"family\": 54, ");
    EXPECT_EQ(load_error(twice), "design.json: the key \"family\" is given twice in one object");
}

TEST(DesignLoader, AMissingFileIsNamed)
{
    try
    {
        load_design("/nonexistent/dir/design.json");
        FAIL() << "no error";
    }
    catch (const DESIGN_ERROR& error)
    {
        EXPECT_EQ(std::string(error.what()), "/nonexistent/dir/design.json: cannot read the file");
        EXPECT_EQ(error.key(), "");
    }
}

TEST(DesignLoader, SampleDesignsAndTheDocumentedExampleLoad)
{
    for (const char* example : {"basic", "netlist_selection"})
        EXPECT_NO_THROW(load_design(std::string(ASM_TEST_SOURCE_DIR) + "/examples/" + example + "/design.json"))
            << example;

    // Every ```json block of the format description is a whole design.
    std::ifstream in(std::string(ASM_TEST_SOURCE_DIR) + "/docs/design-format.md");
    std::ostringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    size_t blocks = 0;
    for (size_t at = doc.find("```json\n"); at != std::string::npos; at = doc.find("```json\n", at + 1))
    {
        const size_t begin = at + 8;
        const size_t end = doc.find("```", begin);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(load_error(doc.substr(begin, end - begin)), "") << "block " << blocks;
        ++blocks;
    }
    EXPECT_GE(blocks, 1u);
}

// The populated suite, read back through the stand-ins' own getters.
class HostSuite : public testing::Test
{
protected:
    void SetUp() override { design = parse_design(FULL_DESIGN, "design.json"); }
    DESIGN design;
};

TEST_F(HostSuite, CompilationChipAndSettings)
{
    HOST_SUITE suite(design);
    CMP_FACADE* cmp = suite.facade();
    EXPECT_EQ(cmp->get_revision_name(), "rev_a");
    EXPECT_EQ(cmp->get_cmp_name(), "cmp_a");
    HDB_NAMESPACE* cap = cmp->get_cap_inst();
    ASSERT_NE(cap, nullptr);

    const auto* file = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(cap, 1492, true);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->get_value(), "opts.xml");
    const auto* flag = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(cap, 1424, true);
    ASSERT_NE(flag, nullptr);
    EXPECT_TRUE(flag->get_value());
    const auto* number = HDB_DERIVED_OPTION<HDB_OPTION_KIND_INTEGER, 0>::get_single_option(cap, 700, true);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->get_value(), -12);
    const auto* choice = HDB_DERIVED_OPTION<HDB_OPTION_KIND_ENUM, 0>::get_single_option(cap, 701, true);
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->get_value(), 65535);
    // A setting is found only as its own kind, and the global one only in
    // the global section.
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(cap, 700, true)), nullptr);
    EXPECT_EQ(cap->find_option(1517), nullptr);
    HDB_SECTION* global = cap->find_section(HDB_GLOBAL_SECTION_TYPE, "");
    ASSERT_NE(global, nullptr);
    const auto* global_flag = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(global, 1517, true);
    ASSERT_NE(global_flag, nullptr);
    EXPECT_TRUE(global_flag->get_value());

    CDB_DB_ENTRIES* entries = CDB_CMP_ENTRY::get_db_entries_no_update(cap);
    ASSERT_NE(entries, nullptr);
    CDB_CHIP_DB_ENTRY* chip = entries->get_chip_db_entry();
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->get_base_family_enum(), 29);
    EXPECT_EQ(chip->get_internal_family_view().get_internal_family_enum(), 67);
    EXPECT_EQ(chip->get_part_enum(), 2901);
    EXPECT_EQ(chip->get_device_name(), "VW29");
    EXPECT_EQ(chip->get_programming_mode(), 3);
    EXPECT_EQ(chip->get_crc_clock_divisor(), 0u);
    ASSERT_NE(chip->get_chip(), nullptr);
    EXPECT_EQ(chip->get_chip()->get_name(), "chip_a");

    suite.set_project_directory("/tmp/project_x");
    EXPECT_EQ(cmp->get_project_path().directory(), "/tmp/project_x");
    EXPECT_EQ(cmp->get_project_path().base(), "");
    EXPECT_EQ(gen_get_project_output_directory(), "/tmp/project_x");
}

TEST_F(HostSuite, WithoutAGlobalKeyThereIsNoGlobalSection)
{
    DESIGN plain = parse_design(minimal_design().dump(), "design.json");
    HOST_SUITE suite(plain);
    EXPECT_EQ(suite.facade()->get_cap_inst()->find_section(HDB_GLOBAL_SECTION_TYPE, ""), nullptr);
    CDB_CHIP_DB_ENTRY* chip = CDB_CMP_ENTRY::get_db_entries_no_update(suite.facade()->get_cap_inst())->get_chip_db_entry();
    EXPECT_EQ(chip->get_atom_netlist(), nullptr);
    EXPECT_EQ(ZHD_ROOT::get()->get_design(""), nullptr);
}

TEST_F(HostSuite, AtomNetlistWithItsBlackboxChild)
{
    HOST_SUITE suite(design);
    CDB_CHIP_DB_ENTRY* chip = CDB_CMP_ENTRY::get_db_entries_no_update(suite.facade()->get_cap_inst())->get_chip_db_entry();
    CDB_ATOM_NETLIST* netlist = chip->get_atom_netlist();
    ASSERT_NE(netlist, nullptr);
    EXPECT_TRUE(netlist->is_modifiable());
    const CDB_ATOM_NODE_LIST& nodes = netlist->nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->name(), "a0");
    EXPECT_EQ(nodes[0]->type(), "la_lab");
    EXPECT_FALSE(nodes[0]->is_blackbox());
    EXPECT_EQ(nodes[2]->name(), "a1");
    EXPECT_TRUE(nodes[2]->m_skip);
    EXPECT_FALSE(nodes[0]->m_skip);

    ASSERT_TRUE(nodes[1]->is_blackbox());
    EXPECT_EQ(std::distance(netlist->begin_blackboxes(), netlist->end_blackboxes()), 1);
    CDB_ATOM_NETLIST* child = nodes[1]->get_blackbox()->get_child_netlist();
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(child->is_modifiable());
    ASSERT_EQ(child->nodes().size(), 1u);
    EXPECT_EQ(child->nodes()[0]->name(), "bb|p");
    EXPECT_TRUE(child->nodes()[0]->is_port());
}

TEST_F(HostSuite, PartsDevicesAndTheCurrentDevice)
{
    HOST_SUITE suite(design);
    DEV_PART_MANAGER parts;
    EXPECT_EQ(parts.get_part_name(static_cast<DEV_PART>(2902)), "VW29-B");
    EXPECT_EQ(parts.get_device_of(static_cast<DEV_PART>(2901)), 290);
    EXPECT_EQ(parts.get_base_device_of(static_cast<DEV_DEVICE_ENUM>(290)), 289);
    EXPECT_EQ(parts.get_device_resource_count_of(static_cast<DEV_PART>(2901), DEV_RESOURCE_CPU_CORE), 2u);
    // Not given: unknown to the part table.
    EXPECT_EQ(parts.get_device_resource_count_of(static_cast<DEV_PART>(2902), DEV_RESOURCE_CPU_CORE), 0xFFFFFFFFu);
    EXPECT_STREQ(dstr_get_user_string(static_cast<DEV_DEVICE_ENUM>(289)), "VW8REVB_base");
    EXPECT_STREQ(dstr_get_debug_string(static_cast<DEV_DEVICE_ENUM>(290)), "VW29_DEBUG");
    EXPECT_EQ(dstr_get_debug_string(static_cast<DEV_DEVICE_ENUM>(289)), nullptr);

    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASSERT_NE(device, nullptr);
    ASSERT_NE(device->get_basic_info(), nullptr);
    EXPECT_EQ(device->get_basic_info()->get_part_enum(), 2901);
    EXPECT_EQ(device->get_basic_info()->get_device_enum(), 290);
    DEV_DIE_INFO* die = device->get_die_info();
    ASSERT_NE(die, nullptr);
    std::string text;
    EXPECT_TRUE(die->load_device_data(4, text));
    EXPECT_TRUE(die->load_device_data(1, text));
    EXPECT_FALSE(die->load_device_data(3, text));
}

TEST_F(HostSuite, PartitionsChipBundleBlockTypesAndSuppressedIds)
{
    HOST_SUITE suite(design);
    ZHD_DESIGN* current = ZHD_ROOT::get()->get_design("");
    ASSERT_NE(current, nullptr);
    ZHD_PARTITION* top = current->get_top_partition();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->get_name(), "root_partition");
    const auto* pof_id = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(top->get_hdb(), 1246, true);
    ASSERT_NE(pof_id, nullptr);
    EXPECT_EQ(pof_id->get_value(), "0x12345678");

    DBCM_CHIP* bundle_chip = DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0);
    ASSERT_NE(bundle_chip, nullptr);
    EXPECT_EQ(DBCM_DB_MANAGER::get_or_create_instance()->get_chip(1), nullptr);
    ASSERT_NE(bundle_chip->get_regions(0), nullptr);
    EXPECT_EQ(bundle_chip->get_regions(0)->names(), std::vector<std::string>{"pr_region"});
    // A kind given with no names is a set of no regions, not an absent one.
    ASSERT_NE(bundle_chip->get_regions(1), nullptr);
    EXPECT_EQ(bundle_chip->get_regions(1)->size(), 0u);
    EXPECT_EQ(bundle_chip->get_regions(2), nullptr);
    ASSERT_EQ(bundle_chip->atom_attributes().size(), 1u);
    EXPECT_EQ(bundle_chip->atom_attributes()[0].attribute, "mask");
    EXPECT_FALSE(bundle_chip->atom_attributes()[0].covered);

    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("LAB"), 5);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("DSP"), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    EXPECT_TRUE(MSG_INDEX::get_default_index()->is_suppressed(12914));
    EXPECT_FALSE(MSG_INDEX::get_default_index()->is_suppressed(12915));
}

namespace
{
ZSYM name_symbol(const char* name)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, name);
    return symbol;
}
}  // namespace

TEST_F(HostSuite, WhatTheDeviceRunReadsReachesTheStandIns)
{
    HOST_SUITE suite(design);
    CMP_FACADE* cmp = suite.facade();
    HDB_NAMESPACE* cap = cmp->get_cap_inst();
    // The compile instance always has the compiled chip's hierarchy chip.
    CDB_CHIP_DB_ENTRY* chip = CDB_CMP_ENTRY::get_db_entries_no_update(cap)->get_chip_db_entry();
    ASSERT_NE(cap->get_chip(), nullptr);
    EXPECT_EQ(cap->get_chip(), chip->get_chip());
    EXPECT_EQ(cmp->get_jtag_user_code_option_id(), 1500);
    EXPECT_EQ(flow_get_design_hash(cap), std::make_pair(uint64_t{1}, uint64_t{18446744073709551615ull}));

    DEV_PART_MANAGER parts;
    EXPECT_EQ(parts.get_pof_id_of(static_cast<DEV_PART>(2901)), 6u);
    EXPECT_EQ(parts.get_pof_id_of(static_cast<DEV_PART>(2902)), 0u);
    EXPECT_EQ(parts.get_family_of(static_cast<DEV_DEVICE_ENUM>(290)), 29);  // the design's family
    EXPECT_EQ(parts.get_family_of(static_cast<DEV_DEVICE_ENUM>(289)), 30);
    EXPECT_STREQ(dstr_get_debug_string(DEV_FAMILY{29}), "Vw29");
    EXPECT_STREQ(dstr_get_debug_string(DEV_FAMILY{30}), "Vw30");
    EXPECT_EQ(dstr_get_debug_string(DEV_FAMILY{67}), nullptr);

    EXPECT_STREQ(acf_get_variable_user_name(1439), "DEVICE_FLAG");
    EXPECT_TRUE(acf_variable_includes_family(1439, 67));
    EXPECT_TRUE(acf_variable_includes_family(1439, 29));
    EXPECT_FALSE(acf_variable_includes_family(1439, 15));
    EXPECT_STREQ(acf_get_variable_user_name(1485), "LEGACY_TTF");
    EXPECT_FALSE(acf_variable_includes_family(1485, 29));
    EXPECT_EQ(acf_get_variable_user_name(1556), nullptr);
    EXPECT_FALSE(acf_variable_includes_family(1556, 29));

    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASSERT_NE(device, nullptr);
    DYGR_DIE_INFO* dygr = device->get_die_info()->get_dygr_die_info();
    EXPECT_EQ(dygr->get_cram_bit_count(), 65536u);
    EXPECT_TRUE(dygr->has_hps_io());
    DEV_ASM_INFO* asm_info = device->get_asm_info();
    ASSERT_NE(asm_info, nullptr);
    ASSERT_TRUE(asm_info->load_data_from_pdb(device->get_basic_info()));
    const ASMDB_DIE* die = asm_info->get_asmdb_die();
    ASSERT_NE(die, nullptr);
    ASSERT_EQ(die->get_block_info_map().size(), 2u);
    EXPECT_EQ(die->get_block_info_map().at(1).get_version_string(), "1.1");
    EXPECT_EQ(die->get_block_info_map().at(1).get_icd_block_name(), "");
    EXPECT_EQ(die->get_block_info_map().at(3).get_version_string(), "");
    EXPECT_EQ(die->get_block_info_map().at(3).get_icd_block_name(), "HPS");
    EXPECT_EQ(die->get_first_id_string(), "id-one");
    EXPECT_EQ(die->get_second_id_string(), "");
    DEV_BASIC_INFO other_part(static_cast<DEV_PART>(2902));
    EXPECT_TRUE(asm_info->load_data_from_pdb(&other_part));
    DEV_BASIC_INFO unlisted_part(static_cast<DEV_PART>(7));
    EXPECT_FALSE(asm_info->load_data_from_pdb(&unlisted_part));

    ZHD_PARTITION* top = ZHD_ROOT::get()->get_design("")->get_top_partition();
    EXPECT_EQ(ZPR::UTILS::get_design_hash(top->get_hdb()), "feed");

    DBCM_CHIP* bundle_chip = DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0);
    ASSERT_NE(bundle_chip, nullptr);
    ASSERT_NE(bundle_chip->get_device(), nullptr);
    EXPECT_EQ(bundle_chip->get_device()->get_name(), "VW29");  // the chip's device
    EXPECT_EQ(bundle_chip->config_bits(), (std::set<uint32_t>{1, 2}));
    EXPECT_EQ(bundle_chip->borrowed_bits(), std::set<uint32_t>{9});

    const DBCM_TREE* tree = bundle_chip->get_tree();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->get_children(), (std::vector<int>{0, 1}));
    EXPECT_EQ(tree->get_type(0), name_symbol("io_48_lvds_tile"));
    EXPECT_EQ(tree->get_type(1), name_symbol("other_tile"));
    const DBCM_INSTANCE tile = bundle_chip->get_instance(0);
    EXPECT_EQ(tile.get_symbol(name_symbol("tile_mode")), name_symbol("MODE_A"));
    const DBCM_INSTANCE c0 = tile.get_child_instance(name_symbol("c0"));
    ASSERT_FALSE(c0.is_null());
    EXPECT_EQ(c0.get_symbol(name_symbol("s1")), name_symbol("V1"));
    EXPECT_EQ(c0.get_symbol(name_symbol("s2")), name_symbol("V2"));
    EXPECT_FALSE(c0.has_setting(name_symbol("tile_mode")));
    EXPECT_FALSE(c0.get_child_instance(name_symbol("gc")).is_null());
    EXPECT_FALSE(tile.get_child_instance(name_symbol("c1")).is_null());
    EXPECT_TRUE(tile.get_child_instance(name_symbol("gc")).is_null());
    EXPECT_TRUE(bundle_chip->get_instance(1).get_child_instance(name_symbol("c0")).is_null());
}

TEST_F(HostSuite, WithoutAssemblerDataTheDeviceHasNone)
{
    DESIGN plain = parse_design(minimal_design().dump(), "design.json");
    HOST_SUITE suite(plain);
    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->get_asm_info(), nullptr);
    EXPECT_FALSE(device->get_die_info()->get_dygr_die_info()->has_hps_io());
    EXPECT_EQ(flow_get_design_hash(suite.facade()->get_cap_inst()), std::make_pair(uint64_t{0}, uint64_t{0}));
    EXPECT_EQ(suite.facade()->get_jtag_user_code_option_id(), 1433);
    DBCM_CHIP* bundle_chip = DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0);
    ASSERT_NE(bundle_chip->get_device(), nullptr);
    EXPECT_EQ(bundle_chip->get_device()->get_name(), "D7");
    EXPECT_EQ(bundle_chip->get_tree(), nullptr);
}

TEST_F(HostSuite, EndingTheSuiteTakesBackWhatItPutIntoTheProcess)
{
    HDB_NAMESPACE* cap = nullptr;
    const HDB_NAMESPACE* top_settings = nullptr;
    {
        HOST_SUITE suite(design);
        cap = suite.facade()->get_cap_inst();
        ASSERT_NE(CDB_CMP_ENTRY::get_db_entries_no_update(cap), nullptr);
        // What a run leaves: the bundle over chip 0.
        DBCM_BUNDLE_SINGLETON::create_instance(
            new DBCM_BUNDLE(DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0), nullptr, nullptr));
        top_settings = ZHD_ROOT::get()->get_design("")->get_top_partition()->get_hdb();
    }
    EXPECT_EQ(DBCM_BUNDLE_SINGLETON::get_bundle(), nullptr);
    EXPECT_EQ(flow_get_design_hash(cap), std::make_pair(uint64_t{0}, uint64_t{0}));
    EXPECT_EQ(ZPR::UTILS::get_design_hash(top_settings), "");
    EXPECT_EQ(acf_get_variable_user_name(1439), nullptr);
    EXPECT_FALSE(acf_variable_includes_family(1439, 29));
    EXPECT_EQ(dstr_get_debug_string(DEV_FAMILY{29}), nullptr);
    EXPECT_EQ(DEV_PART_MANAGER().get_pof_id_of(static_cast<DEV_PART>(2901)), 0u);
    EXPECT_EQ(CDB_CMP_ENTRY::get_db_entries_no_update(cap), nullptr);
    EXPECT_EQ(DMGR_UTILITY::get_current_device(), nullptr);
    EXPECT_EQ(DEV_PART_MANAGER().get_device_of(static_cast<DEV_PART>(2901)), DEV_DEVICE_INVALID);
    EXPECT_EQ(dstr_get_debug_string(static_cast<DEV_DEVICE_ENUM>(290)), nullptr);
    EXPECT_EQ(ZHD_ROOT::get()->get_design(""), nullptr);
    EXPECT_EQ(DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0), nullptr);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("LAB"), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    EXPECT_FALSE(MSG_INDEX::get_default_index()->is_suppressed(12914));
}

TEST(HostAccessorProxy, AnswersFromTheDesignAndRecordsSelections)
{
    DESIGN_ACCESSOR data;
    data.cram_address_width = 4096;
    data.set_bits = {3, 4096};
    std::vector<DEVICE_SELECTION> selections;
    HOST_ACCESSOR_PROXY proxy(data, &selections);
    EXPECT_TRUE(proxy.get_bit_value(3, 0));
    EXPECT_TRUE(proxy.get_bit_value(4096, 0));
    EXPECT_FALSE(proxy.get_bit_value(4, 0));
    EXPECT_FALSE(proxy.get_bit_value(0, 0));
    EXPECT_EQ(proxy.get_cram_address_width(0, 2, 1), 4096u);

    proxy.select_device(static_cast<DEV_DEVICE_ENUM>(290), static_cast<DEV_PART>(2901));
    proxy.select_device(static_cast<DEV_DEVICE_ENUM>(291), static_cast<DEV_PART>(2902));
    ASSERT_EQ(selections.size(), 2u);
    EXPECT_EQ(selections[0].device, 290);
    EXPECT_EQ(selections[0].part, 2901);
    EXPECT_EQ(selections[1].device, 291);
}

class HostProject : public HOST_RUN_TEST
{
};

TEST_F(HostProject, DefaultDirectoriesAreNumberedAndNeverReused)
{
    const fs::path design = m_scratch / "my_design";
    fs::create_directories(design);
    const fs::path parent = m_scratch / "asm_out";
    EXPECT_EQ(create_project_directory("", parent, design), parent / "my_design-1");
    EXPECT_EQ(create_project_directory("", parent, design), parent / "my_design-2");
    // The trailing "/" of a design directory does not change its name.
    EXPECT_EQ(create_project_directory("", parent, design.string() + "/"), parent / "my_design-3");

    const fs::path requested = m_scratch / "deep" / "out";
    EXPECT_EQ(create_project_directory(requested, parent, design), requested);
    EXPECT_TRUE(fs::is_directory(requested));
    EXPECT_THROW(create_project_directory(requested, parent, design), PROJECT_ERROR);
    EXPECT_THROW(create_project_directory(design / "out", parent, design), PROJECT_ERROR);
    EXPECT_THROW(create_project_directory("", design / "asm_out", design), PROJECT_ERROR);
    EXPECT_FALSE(fs::exists(design / "asm_out"));
    // A sibling whose name starts with the design's is not inside it.
    EXPECT_NO_THROW(create_project_directory(m_scratch / "my_design_out", parent, design));
}

TEST_F(HostProject, ChangedFilesAreTheNewAndTheAlteredOnes)
{
    const fs::path dir = m_scratch / "p";
    fs::create_directories(dir / "sub");
    write_text(dir / "same.txt", "abc");
    write_text(dir / "edited.txt", "abc");
    write_text(dir / "sub" / "grown.txt", "abc");
    const DIRECTORY_SNAPSHOT before = snapshot_directory(dir);
    write_text(dir / "edited.txt", "abd");  // same size, other bytes
    write_text(dir / "sub" / "grown.txt", "abcdef");
    write_text(dir / "new.bin", std::string(5, '\0'));
    const auto changed = changed_files(before, snapshot_directory(dir));
    const std::vector<std::pair<std::string, uintmax_t>> expected = {
        {"edited.txt", 3}, {"new.bin", 5}, {"sub/grown.txt", 6}};
    EXPECT_EQ(changed, expected);
}

TEST_F(HostProject, SectionsAreWrittenByteForByteUnderSafeNames)
{
    write_text(m_scratch / "OPTIONS.bin", "design file");
    DBCM_SECTION_STORE store;
    const std::string record("\x08\x01\x12\x00\xff", 5);
    store.add_section("OPTIONS", 1, 0, record, false);
    store.add_section("../HANDOFF", 1, 0, "h", false);
    store.add_section("OPTIONS", 1, 0, "second", false);
    const std::vector<SECTION_FILE> files = write_section_files(&store, m_scratch);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].file, "OPTIONS.2.bin");  // OPTIONS.bin is the design's
    EXPECT_EQ(files[0].size, 5u);
    EXPECT_EQ(files[1].section, "../HANDOFF");
    EXPECT_EQ(files[1].file, ".._HANDOFF.bin");
    EXPECT_EQ(files[2].file, "OPTIONS.3.bin");
    EXPECT_EQ(read_text(m_scratch / "OPTIONS.2.bin"), record);
    EXPECT_EQ(read_text(m_scratch / ".._HANDOFF.bin"), "h");
    EXPECT_EQ(read_text(m_scratch / "OPTIONS.3.bin"), "second");
    EXPECT_EQ(read_text(m_scratch / "OPTIONS.bin"), "design file");
    EXPECT_FALSE(fs::exists(m_scratch.parent_path() / "HANDOFF.bin"));
    EXPECT_TRUE(write_section_files(nullptr, m_scratch).empty());
}

TEST_F(HostProject, AFailedWriteLeavesNoFileBehind)
{
    write_file_atomically(m_scratch / "asm.rpt", "first");
    write_file_atomically(m_scratch / "asm.rpt", "second");
    EXPECT_EQ(read_text(m_scratch / "asm.rpt"), "second");
    EXPECT_THROW(write_file_atomically(m_scratch / "missing_dir" / "asm.rpt", "x"), PROJECT_ERROR);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(m_scratch))
    {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

// The built host, run as a user runs it.
class HostRun : public HOST_RUN_TEST
{
protected:
    // The exit status that the summary's result and message counts call for.
    static int expected_status(const std::string& output)
    {
        const std::string result = line_value(output, "Result: ");
        const std::string messages = line_value(output, "Messages: ");
        if (result.empty() || messages.empty())
            return -1;
        if (result.rfind("internal error", 0) == 0)
            return 3;
        const bool errors = messages.rfind("0 errors", 0) != 0;
        return (errors || std::stoi(result) < 0) ? 1 : 0;
    }
};

TEST_F(HostRun, BrokenDesignJsonExitsTwoNamingTheKeyAndMakesNoProject)
{
    const fs::path design = copy_example("basic", "broken");
    json document = json::parse(read_text(design / "design.json"));
    document["parts"][0]["device"] = "one fifty";
    write_text(design / "design.json", document.dump(2));

    const HOST_RESULT run = run_host("assemble broken --out project");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(has_line(run.output, "asm_host: broken/design.json: parts[0].device: expected an integer"))
        << run.output;
    EXPECT_FALSE(fs::exists(m_scratch / "project"));
    EXPECT_FALSE(fs::exists(m_scratch / "asm_out"));
}

TEST_F(HostRun, BadIniLineExitsTwoNamingTheFileAndLine)
{
    const fs::path design = copy_example("basic", "bad_ini");
    write_text(design / "zorvane.ini", "# switches\nskip_asm = on\nskip_asm on\n");
    const HOST_RESULT run = run_host("assemble bad_ini");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("bad_ini/zorvane.ini:3: expected \"name = value\""), std::string::npos) << run.output;
}

TEST_F(HostRun, UsageErrorsExitTwoWithTheUsage)
{
    const std::string assemble = "usage: asm_host assemble DESIGN_DIR";
    const std::string process_sof = "usage: asm_host process-sof FILE.sof ASSIGNMENTS.xml";
    const std::pair<const char*, const std::string&> usage_errors[] = {
        {"", assemble},
        {"build examples", assemble},
        {"assemble", assemble},
        {"assemble a b", assemble},
        {"assemble a --out", assemble},
        {"assemble a --colour red", assemble},
        {"assemble a --out x --out y", assemble},
        {"process-sof x.sof", process_sof},
        {"process-sof x.sof y.xml --colour red", process_sof},
    };
    for (const auto& [arguments, usage] : usage_errors)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(usage), std::string::npos) << arguments << "\n" << run.output;
    }
    // Each command prints its own usage on request.
    const std::pair<const char*, const char*> helps[] = {
        {"--help", "usage: asm_host assemble DESIGN_DIR"},
        {"assemble --help", "usage: asm_host assemble DESIGN_DIR"},
        {"process-sof -h", "usage: asm_host process-sof FILE.sof ASSIGNMENTS.xml"},
        {"dump-re-network --help", "usage: asm_host dump-re-network DESIGN_DIR KIND FORMAT"},
    };
    for (const auto& [arguments, usage] : helps)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 0) << arguments << "\n" << run.output;
        EXPECT_EQ(run.output.rfind(usage, 0), 0u) << arguments << "\n" << run.output;
    }
    const HOST_RESULT missing = run_host("assemble no_such_dir");
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(has_line(missing.output, "asm_host: no_such_dir: not a directory")) << missing.output;
}

TEST_F(HostRun, AnExistingOutDirectoryIsNeverUsed)
{
    copy_example("basic", "basic");
    fs::create_directories(m_scratch / "taken");
    write_text(m_scratch / "taken" / "keep.txt", "mine");
    const HOST_RESULT run = run_host("assemble basic --out taken");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(has_line(run.output, "asm_host: taken: already exists (a project directory is never reused)"))
        << run.output;
    EXPECT_EQ(read_text(m_scratch / "taken" / "keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(m_scratch / "taken" / "design.json"));
}

TEST_F(HostRun, SkipAsmExitsZeroAndTheDebugLogShowsTheRun)
{
    const fs::path design = copy_example("basic", "skipped");
    write_text(design / "zorvane.ini", "skip_asm = on\n");
    const HOST_RESULT run = run_host("assemble skipped --out project --debug-log logs.txt");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has_line(run.output, "Result: 0")) << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 0")) << run.output;
    EXPECT_TRUE(has_line(run.output, "Files written: none")) << run.output;
    const std::vector<std::string> expected = {
        DEBUG_LOG_FIRST_LINE, "ASM: ASM Begin",
        "ASM: Skipping ASM because skip_asm = ON was found in your zorvane.ini file.", "ASM: ASM End"};
    EXPECT_EQ(lines_of(read_text(m_scratch / "logs.txt")), expected);
    EXPECT_TRUE(fs::exists(m_scratch / "project" / "asm.rpt"));
}

TEST_F(HostRun, UnsupportedFamilyExitsThreeWithTheInternalErrorReport)
{
    const fs::path design = copy_example("basic", "family16");
    json document = json::parse(read_text(design / "design.json"));
    document["family"] = 16;
    document["internal_family"] = 16;
    write_text(design / "design.json", document.dump(2));

    const HOST_RESULT run = run_host("assemble family16 --out project");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(run.output.find("Internal Error: Sub-system: ASM, File: comp/asm/asm_root, Line: "), std::string::npos)
        << run.output;
    EXPECT_TRUE(has_line(run.output, "Unsupported family")) << run.output;
    EXPECT_EQ(line_value(run.output, "Result: ").rfind("internal error \"Unsupported family\" (ASM, comp/asm/asm_root, line ", 0), 0u)
        << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 3 (internal error)")) << run.output;
}

TEST_F(HostRun, PostedErrorExitsOne)
{
    // The assignments file breaks the schema: the module posts its file
    // error and goes on with the default netlist selection.
    const fs::path design = copy_example("netlist_selection", "broken_options");
    write_text(design / "assembler_options.xml",
               "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>"
               "<netlist_spec source_netlist=\"post_map\"/></asm_assignments></assembler_options>\n");
    const HOST_RESULT run = run_host("assemble broken_options --out project");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(line_value(run.output, "Messages: ").rfind("1 errors", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("Error ("), std::string::npos) << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 1 (the run posted an error)")) << run.output;
}

TEST_F(HostRun, NetlistSpecSampleSelectsItsNetlistFromTheAssignmentsFile)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "netlist_selection";
    const HOST_RESULT run = run_host("assemble '" + example.string() + "' --out project --debug-log debug.log");
    EXPECT_EQ(run.status, expected_status(run.output)) << run.output;
    EXPECT_EQ(run.status, 0) << run.output;

    const std::vector<std::string> log = lines_of(read_text(m_scratch / "debug.log"));
    auto position = [&log](const std::string& line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
    const std::vector<std::string> in_order = {
        "ASM: ASM Begin",
        "ASM: Successfully parsed XML file " + (m_scratch / "project" / "assembler_options.xml").string(),
        "ASM: source_netlist -> early_timing_estimate",
        "ASM: prewired_periphery -> off",
        "ASM: block_name -> LAB",
        "ASM: block_name -> DSP",
        "ASM: block_name -> IO",
        "ASM: ASM End"};
    for (size_t i = 0; i < in_order.size(); ++i)
    {
        ASSERT_LT(position(in_order[i]), static_cast<long>(log.size())) << in_order[i];
        if (i > 0)
        {
            EXPECT_LT(position(in_order[i - 1]), position(in_order[i])) << in_order[i];
        }
    }
    // The debug copy asked for by the design's zorvane.ini is written in the
    // project directory, never in the example.
    EXPECT_TRUE(has_line(run.output, "  assembler_options_debug.xml (" +
                                         std::to_string(fs::file_size(m_scratch / "project" /
                                                                      "assembler_options_debug.xml")) +
                                         " bytes)"))
        << run.output;
    EXPECT_FALSE(fs::exists(example / "assembler_options_debug.xml"));
}

TEST_F(HostRun, BasicSampleRunsInAFreshCopyAndReports)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "basic";
    const HOST_RESULT run = run_host("assemble '" + example.string() + "'");
    EXPECT_EQ(run.status, expected_status(run.output)) << run.output;
    EXPECT_EQ(run.status, 0) << run.output;

    // The default project directory, with the design copied whole.
    const fs::path project = m_scratch / "asm_out" / "basic-1";
    EXPECT_TRUE(has_line(run.output, "Project directory: asm_out/basic-1")) << run.output;
    EXPECT_EQ(read_text(project / "design.json"), read_text(example / "design.json"));
    EXPECT_EQ(read_text(project / "zorvane.ini"), read_text(example / "zorvane.ini"));
    EXPECT_TRUE(has_line(run.output,
                         "Report: asm.rpt (" + std::to_string(fs::file_size(project / "asm.rpt")) + " bytes)"))
        << run.output;
    // A second run takes the next directory.
    const HOST_RESULT again = run_host("assemble '" + example.string() + "'");
    EXPECT_TRUE(has_line(again.output, "Project directory: asm_out/basic-2")) << again.output;
}

TEST_F(HostRun, TheModuleIsLoadedFromTheGivenPathAndReadsItsDataBesideIt)
{
    // A module directory without the options schema: the module looks for
    // it beside itself, not beside the host.
    const fs::path modules = m_scratch / "modules";
    fs::create_directories(modules);
    fs::copy_file(ASM_MODULE_PATH, modules / "libasm.so");
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "netlist_selection";
    const HOST_RESULT without = run_host("assemble '" + example.string() + "' --out p1 --module modules/libasm.so");
    EXPECT_EQ(without.status, 3) << without.output;
    EXPECT_TRUE(has_line(without.output, "Can't find Assembler XML schema file " + modules.string() +
                                             "/assembler_asgn.xsd"))
        << without.output;

    fs::copy_file(fs::path(ASM_MODULE_PATH).parent_path() / "assembler_asgn.xsd", modules / "assembler_asgn.xsd");
    const HOST_RESULT with = run_host("assemble '" + example.string() +
                                      "' --out p2 --module modules/libasm.so --debug-log debug.log");
    EXPECT_EQ(with.status, expected_status(with.output)) << with.output;
    EXPECT_TRUE(has_line(read_text(m_scratch / "debug.log"), "ASM: source_netlist -> early_timing_estimate"));

    const HOST_RESULT missing = run_host("assemble '" + example.string() + "' --out p3 --module nowhere/libasm.so");
    EXPECT_EQ(missing.status, 2) << missing.output;
    EXPECT_NE(missing.output.find("asm_host: cannot load " + (m_scratch / "nowhere" / "libasm.so").string()),
              std::string::npos)
        << missing.output;
    EXPECT_FALSE(fs::exists(m_scratch / "p3"));
}
