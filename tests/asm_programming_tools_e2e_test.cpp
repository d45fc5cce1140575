// The sample design examples/programming_tools assembled by the built host
// with its fake converter first on PATH: the tools' commands, pfg.log and
// the device-specific script run by the real Tcl interpreter, fed by the
// design.json keys assignments and tcl_directory (its default).
#include "host_run.h"

#include <design.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

// The host inherits PATH from the test, with the sample's tools first.
class ProgrammingToolsHost : public HOST_RUN_TEST
{
protected:
    HOST_RESULT assemble(const fs::path& design, const std::string& out) const
    {
        const fs::path tools = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "programming_tools" / "tools";
        setenv("PATH", (tools.string() + ":" + std::getenv("PATH")).c_str(), 1);
        return run_host("assemble '" + design.string() + "' --out " + out + " --debug-log debug.log");
    }
};

TEST_F(ProgrammingToolsHost, SampleRunsItsCommandsAndItsDeviceScript)
{
    const fs::path design = copy_example("programming_tools", "design");
    const HOST_RESULT result = assemble(design, "project");
    ASSERT_EQ(result.status, 0) << result.output;

    const fs::path project = m_scratch / "project";
    EXPECT_EQ(read_text(project / "pfg.log"), "zorvane_cpf: 3 arguments\n"
                                              "  [-c]\n"
                                              "  [pulse.sof]\n"
                                              "  [pulse.rbf]\n"
                                              "zorvane_cpf: 5 arguments\n"
                                              "  [-c]\n"
                                              "  [-o]\n"
                                              "  [bitstream_compression=on]\n"
                                              "  [pulse.sof]\n"
                                              "  [pulse_compressed.rbf]\n");
    EXPECT_TRUE(has_line(result.output, "Info (22527): Programming files generation using command zorvane_cpf -c "
                                        "pulse.sof pulse.rbf was successful. Check pfg.log for more info."))
        << result.output;
    EXPECT_TRUE(has_line(result.output, "Info (22527): Programming files generation using command zorvane_cpf -c -o "
                                        "bitstream_compression=on pulse.sof pulse_compressed.rbf was successful. "
                                        "Check pfg.log for more info."))
        << result.output;
    EXPECT_EQ(line_value(result.output, "Messages: "), "0 errors, 0 warnings, 2 infos");

    EXPECT_EQ(read_text(project / "device_script.txt"), "8.6");
    const std::string log = read_text(m_scratch / "debug.log");
    const std::string script = (project / "tcl" / "zasm" / "zx15f256.tcl").string();
    EXPECT_TRUE(has_line(log, "ASM: device_specific_tcl: Found " + script)) << log;
    EXPECT_TRUE(has_line(log, "ASM: device_specific_tcl: TCL_OK ")) << log;
}

TEST(ProgrammingToolsDesign, AnAssignmentIsAFlagOrAText)
{
    const std::string text = R"({"revision": "r", "compilation": "c", "family": 15, "part": 1, "device_name": "d",
        "programming_mode": 0, "crc_clock_divisor": 1, "parts": [], "devices": [], "die": {"device_data": [],
        "cram_bits": 8}, "assignments": [{"id": 1575, "type": "boolean", "value": true},
        {"id": 1576, "type": "integer", "value": 1}]})";
    try
    {
        parse_design(text, "design.json");
        ADD_FAILURE() << "an integer assignment was accepted";
    }
    catch (const DESIGN_ERROR& error)
    {
        EXPECT_EQ(error.key(), "assignments[1].type");
    }
}
