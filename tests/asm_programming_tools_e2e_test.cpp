// The sample design examples/programming_tools assembled by the built host
// with its fake converter first on PATH: the tools' commands, pfg.log and
// the device-specific script run by the real Tcl interpreter, fed by the
// design.json keys assignments and tcl_directory (its default).
#include "host_run.h"

#include <design.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace fs = std::filesystem;

// The host inherits PATH from the test, with the sample's tools first.
class ProgrammingToolsHost : public HOST_RUN_TEST
{
protected:
    static void put_sample_tools_first()
    {
        const fs::path tools = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "programming_tools" / "tools";
        setenv("PATH", (tools.string() + ":" + std::getenv("PATH")).c_str(), 1);
    }

    HOST_RESULT assemble(const fs::path& design, const std::string& out, const std::string& runner = "") const
    {
        put_sample_tools_first();
        return run_host("assemble '" + design.string() + "' --out " + out + " --debug-log debug.log", runner);
    }
};

TEST_F(ProgrammingToolsHost, SampleRunsItsCommandsAndItsDeviceScript)
{
    // Also from a parent that ignores SIGCHLD, which the host inherits: the
    // system must not reap the tools before the run waits for them.
    const fs::path design = copy_example("programming_tools", "design");
    for (const std::string runner : {"", "env --ignore-signal=CHLD"})
    {
        SCOPED_TRACE(runner.empty() ? "started as usual" : "started with SIGCHLD ignored");
        if (!runner.empty() && std::system((runner + " true >/dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << "env cannot start a program with SIGCHLD ignored here";
        const std::string out = runner.empty() ? "project" : "project_ignoring";
        const HOST_RESULT result = assemble(design, out, runner);
        ASSERT_EQ(result.status, 0) << result.output;

        const fs::path project = m_scratch / out;
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
}

TEST_F(ProgrammingToolsHost, ABrokenPipeOfTheDeviceScriptIsItsOwnErrorAndASentSigpipeEndsTheRun)
{
    // The device script writes to a pipe whose reader has ended: the write
    // fails with an error the script catches, and the run goes on to its
    // end. A SIGPIPE that another process sends while the script runs ends
    // the run with 128 + SIGPIPE once the script is done, before any tool.
    struct CASE
    {
        const char* what;
        const char* script;
        bool signalled;  // SIGPIPE is sent once the script has made script.running
    };
    const CASE cases[] = {
        {"a write to a pipe without a reader",
         "set p [open \"|true\" w]\nafter 300\nset rc [catch {puts $p hello; flush $p} err]\n"
         "set out [open device_script.txt w]\nputs -nonewline $out \"caught $rc\"\nclose $out\n",
         false},
        {"SIGPIPE sent while the script runs",
         "close [open script.running w]\nafter 500\nclose [open device_script.txt w]\n", true},
    };
    put_sample_tools_first();
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string design = "design" + std::to_string(n);
        const fs::path project = m_scratch / ("project" + std::to_string(n++));
        write_text(copy_example("programming_tools", design) / "tcl" / "zasm" / "zx15f256.tcl", c.script);
        const std::string output = (m_scratch / (design + ".txt")).string();
        const std::string scratch = m_scratch.string();
        const std::string out = project.string();
        const pid_t host = ::fork();
        ASSERT_GE(host, 0);
        if (host == 0)
        {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || ::chdir(scratch.c_str()) != 0 || ::dup2(fd, STDOUT_FILENO) < 0 ||
                ::dup2(fd, STDERR_FILENO) < 0)
                ::_exit(126);
            ::execl(ASM_HOST_PATH, "asm_host", "assemble", design.c_str(), "--out", out.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // A run that is not signalled ends on its own: it is only waited for.
        bool seen = false;
        const int wait_status = signal_when(
            host, c.signalled ? SIGPIPE : 0, [&] { return !c.signalled || fs::exists(project / "script.running"); },
            seen);
        const std::string text = read_text(output);
        const int status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
        if (c.signalled)
        {
            EXPECT_TRUE(seen) << text;
            EXPECT_EQ(status, 128 + SIGPIPE) << text;
            EXPECT_FALSE(fs::exists(project / "pfg.log")) << text;
        }
        else
        {
            EXPECT_EQ(status, 0) << text;
            EXPECT_EQ(read_text(project / "device_script.txt"), "caught 1");
            EXPECT_TRUE(fs::exists(project / "pfg.log")) << text;
        }
    }
}

TEST_F(ProgrammingToolsHost, AToolNeitherStopsNorHangsOnTheUsersTerminal)
{
    // The host runs in a terminal that script(1) makes, as from a shell
    // prompt, with the terminal as its standard error. A tool's command
    // writes to the standard error it inherits while the terminal stops the
    // writes of background jobs (stty tostop), or sets the terminal's modes:
    // the tool is no job of the terminal, it does not stop, and the run ends
    // as it would, the tool's line shown. A run that has not ended within a
    // minute is ended (the host, which the shell's exec makes the terminal's
    // session leader, gets the terminal's hangup) and fails its row.
    if (std::system("script -qec true /dev/null </dev/null >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) is missing or cannot make a terminal here";
    struct CASE
    {
        const char* what;
        const char* terminal;  // the terminal's settings before the host starts
        const char* command;   // the line of pfg_commands.txt
        const char* shown;     // the line the tool writes to its standard error
    };
    const CASE cases[] = {
        {"a write to standard error under tostop", "stty tostop",
         "--version >/dev/null; echo 'tool: a line on standard error' >&2", "tool: a line on standard error"},
        {"terminal modes set", "stty -tostop",
         "--version >/dev/null; stty -echo <&2 && echo 'tool: modes set' >&2", "tool: modes set"},
    };
    put_sample_tools_first();
    // The rows run side by side, each in a terminal of its own.
    const size_t count = sizeof cases / sizeof cases[0];
    pid_t scripts[count];
    std::string outputs[count];
    for (size_t n = 0; n < count; ++n)
    {
        const std::string design = "design" + std::to_string(n);
        outputs[n] = (m_scratch / ("terminal" + std::to_string(n) + ".txt")).string();
        write_text(copy_example("programming_tools", design) / "pfg_commands.txt",
                   std::string(cases[n].command) + "\n");
        const std::string command = std::string(cases[n].terminal) + "; exec '" ASM_HOST_PATH "' assemble " +
                                    design + " --out project" + std::to_string(n);
        const std::string scratch = m_scratch.string();
        scripts[n] = ::fork();
        ASSERT_GE(scripts[n], 0);
        if (scripts[n] == 0)
        {
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outputs[n].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || ::chdir(scratch.c_str()) != 0 || ::dup2(in, STDIN_FILENO) < 0 ||
                ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0)
                ::_exit(126);
            ::execlp("script", "script", "-qec", command.c_str(), "/dev/null", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    int wait_statuses[count] = {};
    bool ended[count] = {};
    for (int polls = 0; polls < 6000 && std::find(ended, ended + count, false) != ended + count; ++polls)
    {
        for (size_t n = 0; n < count; ++n)
            if (!ended[n])
                ended[n] = ::waitpid(scripts[n], &wait_statuses[n], WNOHANG) == scripts[n];
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (size_t n = 0; n < count; ++n)
    {
        SCOPED_TRACE(cases[n].what);
        if (!ended[n])
        {
            ::kill(scripts[n], SIGKILL);
            ::waitpid(scripts[n], &wait_statuses[n], 0);
        }
        std::string text = read_text(outputs[n]);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        EXPECT_TRUE(ended[n]) << "the run had not ended within a minute\n" << text;
        EXPECT_TRUE(ended[n] && WIFEXITED(wait_statuses[n]) && WEXITSTATUS(wait_statuses[n]) == 0) << text;
        EXPECT_TRUE(has_line(text, cases[n].shown)) << text;
        EXPECT_TRUE(has_line(text, "Exit status: 0")) << text;
    }
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
