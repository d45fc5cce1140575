// The routed network of a design directory: its design.json keys, and the
// host's dump-re-network command on the sample design.
#include "design_error.h"
#include "design_routing.h"
#include "host_run.h"

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
