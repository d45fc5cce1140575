// The partial-reconfiguration sample through the built host: the mask files
// of the PR regions with their raw binary companions, the error-detection
// list, the report and the debug log; then the same design with preserved
// regions and base-revision assignments, and the loader's new keys.
#include "host_run.h"

#include <design.h>
#include <zhd.h>
#include <zpr.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;
using nlohmann::json;

namespace
{

// The configuration image that docs/sof-format.md's bit layout gives for the
// bits: bit i is bit i % 8 of byte i / 8.
std::string expected_image(uint32_t cram_bits, const json& bits)
{
    std::string image((cram_bits + 7) / 8, '\0');
    for (const json& bit : bits)
    {
        const uint32_t address = bit.get<uint32_t>();
        image[address / 8] = static_cast<char>(image[address / 8] | (1 << (address % 8)));
    }
    return image;
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

class HostPartitions : public HOST_RUN_TEST
{
protected:
    json sample() const
    {
        return json::parse(read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "partial_reconfig" / "design.json"));
    }

    // The sample with a changed design.json, run into "project".
    HOST_RESULT run_changed(const json& design)
    {
        const fs::path copy = copy_example("partial_reconfig", "design");
        write_text(copy / "design.json", design.dump(2));
        return run_host("assemble design --out project");
    }
};

TEST_F(HostPartitions, SampleWritesMaskFilesRawBinariesAndTheRegionList)
{
    const json design = sample();
    const std::string rev = design["revision"].get<std::string>();
    const HOST_RESULT run = run_host("assemble '" + std::string(ASM_TEST_SOURCE_DIR) +
                                     "/examples/partial_reconfig' --out project --debug-log debug.log");
    ASSERT_EQ(run.status, 0) << run.output;
    const fs::path project = m_scratch / "project";
    const std::vector<std::string> files = {rev + ".sof", rev + ".root.pmsf", rev + ".root_pr_blink.pmsf",
                                            rev + ".smh"};
    const std::string report = read_text(project / "asm.rpt");
    for (const std::string& file : files)
    {
        EXPECT_TRUE(fs::is_regular_file(project / file)) << file;
        EXPECT_TRUE(has_line(report, "; " + (project / file).lexically_normal().string() + " ;")) << report;
    }
    EXPECT_EQ(read_text(project / (rev + ".smh")), "ed0\n");

    // Each raw binary file is the configuration image, compared by cmp with
    // one built here from the layout.
    const fs::path image = m_scratch / "image.bin";
    write_text(image, expected_image(design["die"]["cram_bits"].get<uint32_t>(), design["chip_bundle"]["config_bits"]));
    for (const char* region : {".root.rbf", ".root_pr_blink.rbf"})
    {
        const fs::path rbf = project / (rev + region);
        ASSERT_TRUE(fs::is_regular_file(rbf)) << run.output;
        const std::string command = "cmp -s '" + image.string() + "' '" + rbf.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << rbf;
    }
    EXPECT_TRUE(has_line(report, "; PR POF IDs  ; 0x0000ABCD:0xFFFFFFFF  ;")) << report;
    EXPECT_TRUE(has_line(read_text(m_scratch / "debug.log"), "ASM: Set PR POF ID to 0xABCD"));
}

TEST_F(HostPartitions, PreservedRegionsReportTheirBaseFilesAndMissingAssignments)
{
    json design = sample();
    design["chip_bundle"]["regions"][0]["names"].push_back("root.pr_skip");
    design["chip_bundle"]["regions"][0]["preserved"] = {"root", "root.pr_blink", "root.pr_skip"};
    design["partitions"].push_back({{"name", "pr_skip"}, {"pr", true}});
    design["design_settings"].push_back(
        {{"id", 1515}, {"type", "multi"}, {"value", {"pr_blink=base/rev_a.blink.msf", "root"}}});
    design["design_settings"].push_back({{"id", 1514}, {"type", "multi"}, {"value", {"pr_blink=base/rev_a.sof"}}});
    design["design_settings"].push_back({{"id", 1516}, {"type", "multi"}, {"value", {"pr_skip", "pr_skip=again"}}});
    const HOST_RESULT run = run_changed(design);
    ASSERT_EQ(run.status, 1) << run.output;
    const fs::path project = m_scratch / "project";
    const std::string rev = design["revision"].get<std::string>();

    // The static region's entries are missing ("root" has no "="): both
    // errors name the top partition's block; pr_skip is skipped once.
    for (const char* line : {"Error (18542): The base revision MSF file must be specified for preserved partial "
                             "reconfiguration partition root",
                             "Error (18543): The base revision SOF file must be specified for preserved logic root in "
                             "partial reconfiguration design"})
        EXPECT_TRUE(has_line(run.output, line)) << run.output;
    EXPECT_EQ(count_of(run.output, "Error ("), 2u) << run.output;
    EXPECT_EQ(count_of(run.output, "(18573): Partial reconfiguration region verification will be skipped for "
                                   "pr_skip partition by user request"),
              1u);
    // The static region keeps no files of its own; the PR regions do.
    EXPECT_FALSE(fs::exists(project / (rev + ".root.pmsf")));
    const std::string report = read_text(project / "asm.rpt");
    EXPECT_TRUE(has_line(report, "; Base MSF  ; base/rev_a.blink.msf ;")) << report;
    EXPECT_TRUE(has_line(report, "; Base SOF  ; base/rev_a.sof  ;")) << report;
    EXPECT_TRUE(fs::exists(project / (rev + ".root_pr_skip.pmsf")));
}

TEST_F(HostPartitions, LoaderBuildsThePartitionTreeAndRefusesWhatCannotBeRight)
{
    json design = sample();
    design["partitions"][1]["cots"] = true;
    design["partitions"][1]["pr_pof_index"] = 1;
    design["partitions"][1]["pr_pof_value_data"] = "0aFF";
    design["partitions"][1]["netlist"]["generated_options"] = {{{"id", 640}, {"type", "boolean"}, {"value", true}}};
    {
        HOST_SUITE suite(parse_design(design.dump(), "design.json"));
        ZHD_DESIGN* current = ZHD_ROOT::get()->get_design("");
        ZHD_PARTITION* top = current->find_partition("root");
        ZHD_PARTITION* blink = current->find_partition("pr_blink");
        ASSERT_TRUE(top != nullptr && blink != nullptr);
        EXPECT_TRUE(top->is_top() && blink->is_pr_partition() && blink->is_cots() && !blink->is_checker());
        EXPECT_EQ(top->get_children(), std::vector<ZHD_PARTITION*>{blink});
        EXPECT_EQ(blink->get_instance()->get_hpath_to_root(), "|u_blink");
        EXPECT_FALSE(top->get_netlist()->is_modifiable());
        std::vector<const HDB_OPTION*> generated;
        blink->get_netlist()->get_namespace()->get_all_generated_options(640, generated, true);
        ASSERT_EQ(generated.size(), 1u);
        EXPECT_TRUE(generated[0]->get_bool_value());
        EXPECT_EQ(ZPR::UTILS::get_pr_pof_index(blink->get_hdb()), 1u);
        EXPECT_EQ(ZPR::UTILS::get_pr_pof_value_data(blink->get_hdb(), true), std::string("\x0a\xff", 2));
        EXPECT_NE(current->get_option_interface()->find_option(1517), nullptr);
    }
    EXPECT_EQ(ZHD_ROOT::get()->get_design(""), nullptr);

    const std::pair<const char*, json> bad[] = {
        {"/partitions/0/parent", "pr_blink"},
        {"/partitions/1/parent", "nowhere"},
        {"/partitions/1/pr_pof_value_data", "abc"},
        {"/chip_bundle/regions/0/preserved", {"root.other"}},
        {"/partitions/1/netlist/generated_options", {{{"id", 640}, {"type", "multi"}, {"value", {"x"}}}}},
    };
    for (const auto& [pointer, value] : bad)
    {
        json changed = design;
        changed[json::json_pointer(pointer)] = value;
        EXPECT_THROW(parse_design(changed.dump(), "design.json"), DESIGN_ERROR) << pointer;
    }
    // Two partitions that name each other as parents never reach the top.
    design["partitions"].push_back({{"name", "other"}, {"parent", "pr_blink"}});
    design["partitions"][1]["parent"] = "other";
    EXPECT_THROW(parse_design(design.dump(), "design.json"), DESIGN_ERROR);
}
