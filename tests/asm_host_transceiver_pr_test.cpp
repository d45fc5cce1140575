// The transceiver tiles and partial reconfiguration through the host: the
// design.json keys of tile types, sectors and the partition tree, and the
// family 52 sample design whose OPTIONS.bin and PR_OPTIONS.bin protoc
// decodes, and its PR regions' mask files with their own PR option records.
#include "design_error.h"
#include "host_run.h"
#include "protoc_decode.h"

#include <pgmio_sof.h>

namespace fs = std::filesystem;

namespace
{

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string design_error(const std::string& partitions)
{
    const std::string text = R"({ "revision": "r", "compilation": "c", "family": 52, "part": 1, "device_name": "D",
      "programming_mode": 0, "crc_clock_divisor": 1,
      "parts": [ { "part": 1, "name": "P", "device": 10 } ],
      "devices": [ { "device": 10, "base_device": 10, "user_name": "d" } ],
      "die": { "device_data": [], "cram_bits": 8 }, "partitions": )" +
                             partitions + "}";
    return design_error_text(text);
}

}  // namespace

TEST(HostTransceiverPrKeys, PartitionTreeAndPrPofValuesAreChecked)
{
    EXPECT_EQ(design_error(R"([ { "name": "t" }, { "name": "a", "pr_pof_value_data": "0A0" } ])"),
              "partitions[1].pr_pof_value_data: expected hexadecimal text, two digits a byte");
    EXPECT_EQ(design_error(R"([ { "name": "t", "parent": "a" }, { "name": "a" } ])"),
              "partitions[0].parent: the top partition (the first) has no parent");
    EXPECT_EQ(design_error(R"([ { "name": "t" }, { "name": "a", "parent": "b" }, { "name": "b", "parent": "a" } ])"),
              "partitions[1].parent: the parents of the partition form a cycle");
    EXPECT_EQ(design_error(R"([ { "name": "t" }, { "name": "a", "parent": "x" } ])"),
              "partitions[1].parent: no partition is named \"x\"");
    EXPECT_EQ(design_error(R"([ { "name": "t" }, { "name": "a", "pr": true, "pr_pof_index": 3,
                                  "pr_pof_value_data": "c0ffee" } ])"),
              "");
}

class HostTransceiverPrRun : public HOST_RUN_TEST
{
};

TEST_F(HostTransceiverPrRun, SampleStoresTileSlotsCvpAndThePrRecord)
{
    const HOST_RESULT result = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/transceiver_pr' --out out");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(has_line(result.output, "Info (20835): Design is ready for CvP.")) << result.output;
    EXPECT_TRUE(fs::exists(m_scratch / "out" / "transceiver_pr.sof"));

    const std::string options =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    EXPECT_EQ(count_of(options, "type: HSSI"), 6u) << options;
    EXPECT_EQ(count_of(options, "brask_presence: true"), 2u);
    EXPECT_EQ(count_of(options, "brask_state: POWERED"), 1u);
    EXPECT_EQ(count_of(options, "cvp_enable: true"), 1u);
    EXPECT_NE(options.find("cvp_capable: true"), std::string::npos);
    // The powered slot is the one that carries CvP: (0, 0), listed first.
    const size_t first = options.find("sectors {");
    EXPECT_NE(options.find("brask_type: \"z2403a\"\n  brask_presence: true\n  brask_state: POWERED", first),
              std::string::npos)
        << options;

    const std::string pr =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "PR_OPTIONS.bin"));
    const size_t rid3 = pr.find("rid: 3");
    const size_t rid7 = pr.find("rid: 7");
    ASSERT_NE(rid3, std::string::npos) << pr;
    ASSERT_NE(rid7, std::string::npos) << pr;
    EXPECT_LT(rid3, rid7);
    EXPECT_NE(pr.find("enable_pr_pof_id: true"), std::string::npos) << pr;
    EXPECT_EQ(pr.find("pr_security"), std::string::npos) << pr;
}

TEST_F(HostTransceiverPrRun, EachPrRegionsMaskFileCarriesItsOwnPrOptionRecord)
{
    // The sample with the .pmsf extension turned on (setting 1517).
    const fs::path design = copy_example("transceiver_pr", "design");
    std::string text = read_text(design / "design.json");
    const size_t at = text.find("\"option_block\"");
    ASSERT_NE(at, std::string::npos);
    text.insert(at, "\"design_settings\": [ { \"id\": 1517, \"type\": \"boolean\", \"value\": true } ],\n  ");
    write_text(design / "design.json", text);
    const HOST_RESULT result = run_host("assemble design --out out");
    ASSERT_EQ(result.status, 0) << result.output;

    const std::pair<const char*, const char*> regions[] = {{"root_filter_a", "rid: 7\n  hash: \"\\300\\377\\356\\007\""},
                                                           {"root_filter_b", "rid: 3\n  hash: \"\\300\\377\\356\\003\""}};
    for (const auto& [region, entry] : regions)
    {
        const fs::path file = m_scratch / "out" / ("transceiver_pr." + std::string(region) + ".pmsf");
        SOF_CONTENTS contents;
        std::string error;
        ASSERT_TRUE(sof_read_file(file.string(), contents, nullptr, &error)) << file << ": " << error;
        ASSERT_EQ(contents.sections.size(), 1u) << region;
        EXPECT_EQ(contents.sections[0].name, "PR_OPTIONS");
        const std::string pr = protoc_decode("PB.OPTIONS", "options.proto", contents.sections[0].bytes);
        EXPECT_EQ(pr.find("(protoc failed)"), std::string::npos) << pr;
        // Each region's record lists its own partition's id only, with the
        // fields of a PR partition.
        EXPECT_EQ(count_of(pr, "prpof_id {"), 1u) << pr;
        EXPECT_NE(pr.find(entry), std::string::npos) << pr;
        EXPECT_NE(pr.find("row_clkmux_split: DISABLED"), std::string::npos) << pr;
        EXPECT_NE(pr.find("pr_security: false"), std::string::npos) << pr;
        EXPECT_NE(pr.find("enable_pr_pof_id: true"), std::string::npos) << pr;
    }
    // The report names each region's ids by the record's text.
    const std::string report = read_text(m_scratch / "out" / "asm.rpt");
    EXPECT_NE(report.find("; Region  ; root.filter_a ;\n; PR POF IDs  ; 0x00000007:C0FFEE07  ;"), std::string::npos) << report;
    EXPECT_NE(report.find("; Region  ; root.filter_b ;\n; PR POF IDs  ; 0x00000003:C0FFEE03  ;"), std::string::npos) << report;
}
