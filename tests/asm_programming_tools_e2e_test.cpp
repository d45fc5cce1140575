// The sample design examples/programming_tools assembled by the built host
// with its fake converter first on PATH: the tools' commands, pfg.log and
// the device-specific script run by the real Tcl interpreter. Also the
// design.json keys that feed them.
#include "host_run.h"

#include <acf.h>
#include <design.h>
#include <gen.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

class ProgrammingToolsHost : public HOST_RUN_TEST
{
protected:
    // Runs "asm_host ARGS" in the scratch directory with PATH set to the text.
    HOST_RESULT run_host_with_path(const std::string& arguments, const std::string& path) const
    {
        const std::string command = "cd '" + m_scratch.string() + "' && PATH='" + path + "' '" ASM_HOST_PATH "' " +
                                    arguments + " 2>&1";
        HOST_RESULT result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return result;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            result.output.append(buffer, n);
        const int wait_status = pclose(pipe);
        if (wait_status != -1 && WIFEXITED(wait_status))
            result.status = WEXITSTATUS(wait_status);
        return result;
    }

    // Runs the host on a copy of the sample with its tools first on PATH.
    HOST_RESULT assemble(const fs::path& design, const std::string& out) const
    {
        const fs::path tools = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "programming_tools" / "tools";
        const char* path = std::getenv("PATH");
        return run_host_with_path("assemble '" + design.string() + "' --out " + out + " --debug-log debug.log",
                                  tools.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
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

TEST_F(ProgrammingToolsHost, WithoutTheAssignmentNoToolRunsAndAMissingToolFailsTheRun)
{
    const fs::path design = copy_example("programming_tools", "design");
    std::string text = read_text(design / "design.json");
    const std::string on = "{ \"id\": 1575, \"type\": \"boolean\", \"value\": true }";
    const size_t at = text.find(on);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, on.size(), "{ \"id\": 1575, \"type\": \"boolean\", \"value\": false }");
    write_text(design / "design.json", text);
    const HOST_RESULT off = assemble(design, "off");
    ASSERT_EQ(off.status, 0) << off.output;
    EXPECT_FALSE(fs::exists(m_scratch / "off" / "pfg.log"));

    // The sample without its tools on PATH: the first command fails, the run
    // posts the error and exits with status 1.
    const HOST_RESULT missing = run_host_with_path(
        "assemble '" + copy_example("programming_tools", "again").string() + "' --out missing", "/usr/bin:/bin");
    EXPECT_EQ(missing.status, 1) << missing.output;
    EXPECT_TRUE(has_line(missing.output, "Error (22528): Programming files generation using command zorvane_cpf -c "
                                         "pulse.sof pulse.rbf was unsuccessful. Check pfg.log for more info."))
        << missing.output;
}

TEST(ProgrammingToolsDesign, AssignmentsAndTclDirectoryAreRead)
{
    const std::string head = R"({"revision": "r", "compilation": "c", "family": 15, "part": 1, "device_name": "d",
        "programming_mode": 0, "crc_clock_divisor": 1, "parts": [], "devices": [],
        "die": {"device_data": [], "cram_bits": 8})";
    const DESIGN plain = parse_design(head + "}", "design.json");
    EXPECT_TRUE(plain.assignments.empty());
    EXPECT_EQ(plain.tcl_directory, "tcl");
    EXPECT_EQ(design_tcl_directory("/p", plain.tcl_directory), "/p/tcl");
    EXPECT_EQ(design_tcl_directory("/p", "/suite/tcl"), "/suite/tcl");

    const DESIGN design = parse_design(head + R"(, "tcl_directory": "scripts",
        "assignments": [{"id": 1575, "type": "boolean", "value": true},
                        {"id": 1576, "type": "string", "value": "cmds.txt"}]})",
                                       "design.json");
    ASSERT_EQ(design.assignments.size(), 2u);
    EXPECT_EQ(design.tcl_directory, "scripts");
    {
        HOST_SUITE suite(design);
        suite.set_project_directory("/p");
        EXPECT_EQ(gen_get_tcl_internal_fullpath(), "/p/scripts");
        ACF_MANAGER* manager = ACF_MANAGER::get_acf_manager();
        EXPECT_TRUE(acf_get_value(manager, 1575, false, nullptr, nullptr, nullptr));
        EXPECT_EQ(acf_get_value(manager, 1576, "", nullptr, nullptr, nullptr), "cmds.txt");
    }
    // The suite takes its assignments back.
    EXPECT_FALSE(acf_get_value(ACF_MANAGER::get_acf_manager(), 1575, false, nullptr, nullptr, nullptr));

    try
    {
        parse_design(head + R"(, "assignments": [{"id": 1575, "type": "integer", "value": 1}]})", "design.json");
        ADD_FAILURE() << "an integer assignment was accepted";
    }
    catch (const DESIGN_ERROR& error)
    {
        EXPECT_EQ(error.key(), "assignments[0].type");
    }
}
