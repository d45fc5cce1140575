// The sample design assembled end to end by the built host: the device run
// writes the SRAM object file and the report. Built like asm_host_test
// (asm_host_support, suite, GoogleTest; ASM_HOST_PATH and
// ASM_TEST_SOURCE_DIR defined).
#include "host_run.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

class HostEndToEnd : public HOST_RUN_TEST
{
};

TEST_F(HostEndToEnd, BasicSampleAssemblesToASofAndAReport)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "basic";
    const HOST_RESULT run = run_host("assemble '" + example.string() + "' --out project");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 0")) << run.output;
    const std::string result = line_value(run.output, "Result: ");
    ASSERT_FALSE(result.empty()) << run.output;
    EXPECT_GE(std::stoi(result), 0) << run.output;
    EXPECT_EQ(line_value(run.output, "Messages: ").rfind("0 errors", 0), 0u) << run.output;

    // The SRAM object file is named after the revision and written in the
    // project directory; the summary lists it with its size.
    const fs::path sof = m_scratch / "project" / "blinky.sof";
    ASSERT_TRUE(fs::is_regular_file(sof)) << run.output;
    const uintmax_t sof_size = fs::file_size(sof);
    EXPECT_GT(sof_size, 0u);
    EXPECT_TRUE(has_line(run.output, "  blinky.sof (" + std::to_string(sof_size) + " bytes)")) << run.output;

    const fs::path report = m_scratch / "project" / "asm.rpt";
    ASSERT_TRUE(fs::is_regular_file(report)) << run.output;
    EXPECT_GT(fs::file_size(report), 0u);
    EXPECT_TRUE(has_line(run.output, "Report: asm.rpt (" + std::to_string(fs::file_size(report)) + " bytes)"))
        << run.output;

    // The example itself is left as it was.
    EXPECT_FALSE(fs::exists(example / "blinky.sof"));
    EXPECT_FALSE(fs::exists(example / "asm.rpt"));
}
