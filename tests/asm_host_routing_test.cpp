// The routed network of a design directory: its design.json keys, and the
// host's dump-re-network command on the sample design.
#include "design_error.h"
#include "design_routing.h"
#include "host_run.h"
#include "netlist_atoms.h"

#include <cdb_atom.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using nlohmann::json;

namespace
{

json routed_example()
{
    std::ifstream in(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "routed" / "design.json");
    return json::parse(in);
}

// The problem that parse_design reports for the design, "" for none.
std::string design_problem(const json& design)
{
    return design_error_text(design.dump());
}

}  // namespace

TEST(DesignRouting, RefusesWhatTheNetlistAndTermsDoNotHold)
{
    json design = routed_example();
    EXPECT_EQ(design_problem(design), "");

    json unknown_atom = design;
    unknown_atom["routing"]["atoms"][1]["atom"] = "count_9";
    EXPECT_EQ(design_problem(unknown_atom), "routing.atoms[1].atom: no atom of the netlist has this name");

    json twice_named = design;
    twice_named["netlist"]["atoms"].push_back({{"name", "count_1"}, {"type", "la_lab"}});
    EXPECT_EQ(design_problem(twice_named), "routing.atoms[2].atom: more than one atom of the netlist has this name");

    json undeclared_input = design;
    undeclared_input["routing"]["atoms"][1]["outputs"][0]["fanout"][0]["index"] = 3;
    EXPECT_EQ(design_problem(undeclared_input),
              "routing.atoms[1].outputs[0].fanout[0]: no input of a routed atom is this term");

    json tree_of_unknown_node = design;
    tree_of_unknown_node["routing"]["networks"]["blc"][0]["children"][0]["gid"] = 4242;
    EXPECT_EQ(design_problem(tree_of_unknown_node),
              "routing.networks.blc[0].children[0].gid: no routing node has this gid");

    json bad_graph = design;
    bad_graph["routing"]["edges"][0]["graph"] = "lab";
    EXPECT_EQ(design_problem(bad_graph),
              "routing.edges[0].graph: expected one of \"full\", \"blc\", \"crf\", \"fcd\"");

    json unknown_key = design;
    unknown_key["routing"]["pads"][0]["bank"] = 3;
    EXPECT_EQ(design_problem(unknown_key), "routing.pads[0].bank: unknown key");

    json bad_instance = design;
    bad_instance["routing"]["atoms"][2]["inputs"][0]["map"][0]["instance"] = 4;
    EXPECT_EQ(design_problem(bad_instance),
              "routing.atoms[2].inputs[0].map[0].instance: no chip bundle instance has this index");

    // A tree nested deeper than the reader takes is refused, not read on the
    // machine stack.
    json deep = design;
    const json root_gid = design["routing"]["networks"]["blc"][0]["gid"];
    json tree = {{"gid", root_gid}};
    for (int level = 0; level < 150; ++level)
        tree = json{{"gid", root_gid}, {"children", json::array({tree})}};
    deep["routing"]["networks"]["blc"][0] = tree;
    const std::string problem = design_problem(deep);
    EXPECT_NE(problem.find("routing trees nest more than 100 levels deep"), std::string::npos) << problem;
    EXPECT_EQ(problem.rfind("routing.networks.blc[0]", 0), 0u) << problem;
}

TEST(HostAtomIndex, FindsTheFirstAtomOfANameInNetlistOrder)
{
    // top: a, (empty slot), bb [b, a, inner [d], c], b, e
    CDB_ATOM_NETLIST top;
    CDB_ATOM_NODE* a = top.add_atom(std::make_unique<CDB_ATOM_NODE>("a", "la_lab"));
    top.add_atom(nullptr);
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("bb", "box");
    CDB_ATOM_NETLIST* child = bb->get_child_netlist();
    CDB_ATOM_NODE* child_b = child->add_atom(std::make_unique<CDB_ATOM_NODE>("b", "la_lab"));
    child->add_atom(std::make_unique<CDB_ATOM_NODE>("a", "la_lab"));
    CDB_ATOM_BLACKBOX* inner = child->add_blackbox("inner", "box");
    CDB_ATOM_NODE* d = inner->get_child_netlist()->add_atom(std::make_unique<CDB_ATOM_NODE>("d", "la_lab"));
    CDB_ATOM_NODE* c = child->add_atom(std::make_unique<CDB_ATOM_NODE>("c", "la_lab"));
    top.add_atom(std::make_unique<CDB_ATOM_NODE>("b", "la_lab"));
    CDB_ATOM_NODE* e = top.add_atom(std::make_unique<CDB_ATOM_NODE>("e", "la_lab"));

    const HOST_ATOM_INDEX index(&top);
    const std::vector<std::string> names{"a", "bb", "b", "inner", "d", "c", "e", "f", ""};
    std::vector<CDB_ATOM_NODE*> found;
    for (const std::string& name : names)
        found.push_back(index.find(name));
    EXPECT_EQ(found, (std::vector<CDB_ATOM_NODE*>{a, bb, child_b, inner, d, c, e, nullptr, nullptr}));
    EXPECT_EQ(HOST_ATOM_INDEX(nullptr).find("a"), nullptr);
}

class HostDumpReNetwork : public HOST_RUN_TEST
{
};

TEST_F(HostDumpReNetwork, DumpsTheSampleDesignInEachStyle)
{
    HOST_RESULT run = run_host("dump-re-network " ASM_TEST_SOURCE_DIR "/examples/routed pre_asm_with_bits mcfs 3 "
                               "--out flat");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    EXPECT_TRUE(has_line(run.output, "outside dump bits and device_handle from tcl is 3"));
    const std::string flat = read_text(m_scratch / "flat" / "counter.asmre");
    EXPECT_TRUE(has_line(flat, "-- Design \"counter\""));
    EXPECT_TRUE(has_line(flat,
                         "count_0 --> COMBOUT : LAB_X1Y1_COMBOUT0 -> 1,R4_X1Y1_3 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : "
                         "R4_MUX_X1Y1_3 : input = lab_out0 : output = r4_w3 (b: 10:1) (b: 2050:0) -> "
                         "2,LAB_X2Y1_DATAA0 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF (b: 3077:1) count_1 : DATAA"))
        << flat;
    EXPECT_TRUE(has_line(run.output, "  counter.asmre (" + std::to_string(flat.size()) + " bytes)"));

    run = run_host("dump-re-network " ASM_TEST_SOURCE_DIR "/examples/routed pre_asm_with_2d_bits sch -1 --out sch");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    const std::string schematic = read_text(m_scratch / "sch" / "counter.sch.asmre");
    EXPECT_TRUE(has_line(schematic, "-- MCFS_TO_MCFD File: zx44f484.mcfd"));
    EXPECT_NE(schematic.find(" -> 1,SCH:R4W3 DYGR_SUBGRAPH_CRF : R4_MUX_X1Y1_3 : input = lab_out0 : output = "
                             "r4_w3(b: (0,10):1)(b: (2,2):0) -> 2,lab_2_1.da0 DYGR_SUBGRAPH_CRF(b: (3,5):1) count_1"),
              std::string::npos)
        << schematic;
}

TEST_F(HostDumpReNetwork, ManyRoutedAtomsAreFoundInLinearTime)
{
    // The sample with n more atoms in its netlist, each routed: the run's
    // CPU time grows with n, not with n squared, and the dump still holds
    // the sample's network.
    const size_t n = 4000;
    for (size_t size : growth_sizes(n))
    {
        const fs::path design = copy_example("routed", "routed" + std::to_string(size));
        json data = json::parse(read_text(design / "design.json"));
        for (size_t i = 0; i < size; ++i)
        {
            const std::string name = "extra_" + std::to_string(i);
            data["netlist"]["atoms"].push_back({{"name", name}, {"type", "la_lab"}});
            data["routing"]["atoms"].push_back({{"atom", name}});
        }
        write_text(design / "design.json", data.dump());
    }
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        const std::string name = std::to_string(size);
        // The sizes run again, and a project directory is never reused.
        fs::remove_all(m_scratch / ("out" + name));
        const HOST_RESULT run = run_host("dump-re-network routed" + name + " pre_asm mcfs --out out" + name);
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string flat = read_text(m_scratch / ("out" + name) / "counter.asmre");
        EXPECT_TRUE(has_line(flat, "count_0 --> COMBOUT : LAB_X1Y1_COMBOUT0 -> 1,R4_X1Y1_3 (LAB_LINE:LL[3]) "
                                   "DYGR_SUBGRAPH_CRF : R4_MUX_X1Y1_3 : input = lab_out0 : output = r4_w3 -> "
                                   "2,LAB_X2Y1_DATAA0 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF count_1 : DATAA"))
            << flat;
    }));
}

TEST_F(HostDumpReNetwork, ReportsBadWordsAndInternalErrors)
{
    EXPECT_EQ(run_host("dump-re-network " ASM_TEST_SOURCE_DIR "/examples/routed pre_asm").status, 2);

    // Words the module does not know are named; the module dumps with its
    // defaults, the run goes on.
    HOST_RESULT unknown = run_host("dump-re-network " ASM_TEST_SOURCE_DIR "/examples/routed pre_asm_with_bit mfcs "
                                   "3x --out unknown");
    EXPECT_EQ(unknown.status, 0) << unknown.output;
    std::vector<std::string> warnings;
    for (const std::string& line : lines_of(unknown.output))
        if (line.rfind("asm_host: warning: ", 0) == 0)
            warnings.push_back(line);
    EXPECT_EQ(warnings,
              (std::vector<std::string>{
                  "asm_host: warning: the dump kind \"pre_asm_with_bit\" is not one of pre_asm, pre_asm_with_bits, "
                  "pre_asm_with_2d_bits; the module takes pre_asm",
                  "asm_host: warning: the coordinate format \"mfcs\" is not one of mcfs, mcfd, sch; the module takes "
                  "mcfs",
                  "asm_host: warning: the device handle \"3x\" is not a decimal number from -2147483648 to "
                  "2147483647"}));
    EXPECT_TRUE(fs::exists(m_scratch / "unknown" / "counter.asmre")) << unknown.output;

    // A device without IC-name data cannot give IC design coordinates.
    const fs::path design = copy_example("routed", "no_icnames");
    json data = json::parse(read_text(design / "design.json"));
    data["die"]["device_data"] = json::array({2});
    write_text(design / "design.json", data.dump());
    const HOST_RESULT run = run_host("dump-re-network no_icnames pre_asm mcfd --out out");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.output.find("Result: internal error \"Unable to load ICNAME device data\" (ASM, "
                              "comp/asm/asm_asmre_dumper"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(has_line(run.output, "Files written: none"));
}
