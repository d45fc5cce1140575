// The transceiver tiles and partial reconfiguration through the host: the
// design.json keys of tile types, sectors and the partition tree, and the
// family 52 sample design whose OPTIONS.bin and PR_OPTIONS.bin protoc
// decodes.
#include "design_error.h"
#include "host_run.h"
#include "protoc_decode.h"

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
