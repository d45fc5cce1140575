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
#include <climits>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

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

    // The host started in the background in the scratch directory, in a
    // process group of its own, its output to a file: every signal at its
    // default and none blocked, under a UTF-8 locale.
    pid_t start_host(const std::vector<std::string>& arguments, const std::string& output) const
    {
        START_OPTIONS options;
        options.output = output;
        options.own_group = true;
        ::setenv("LC_ALL", "C.UTF-8", 1);
        std::vector<std::string> argv = {ASM_HOST_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return start_process(argv, options);
    }

    // A command for a command-file line that prints how many zombies the
    // host holds: the line's shell is the host's child, and $PPID in its
    // subshells is still the host. One awk reads every process's state, so
    // that the count itself adds no child to the host; a process's name may
    // hold spaces, so its fields are taken after the name's parenthesis.
    static std::string host_zombies()
    {
        return "cat /proc/[0-9]*/stat 2>/dev/null | awk -v p=$PPID "
               "'{ sub(/^.*\\) /, \"\"); if ($1 == \"Z\" && $2 == p) n++ } END { print n + 0 }'";
    }

    // A command that prints the state letter of the process (Z for a zombie),
    // nothing when there is no such process.
    static std::string state_of(const std::string& pid)
    {
        return "awk '{ sub(/^.*\\) /, \"\"); print $1 }' /proc/" + pid + "/stat 2>/dev/null";
    }

    // Kills the processes that a run listed in the file, one number a line.
    static void kill_listed(const fs::path& file)
    {
        for (const std::string& pid : lines_of(read_text(file)))
            if (std::atoi(pid.c_str()) > 0)
                ::kill(std::atoi(pid.c_str()), SIGKILL);
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

TEST_F(ProgrammingToolsHost, TheDeviceScriptRunsOnceAsFromAShellAndASignalEndsTheRun)
{
    // The device script of each row, run by a host started with every
    // signal at its default and none blocked, under a UTF-8 locale. A
    // signal row sends its signal once the script has made script.running.
    // Then the host's end and what the script left in the project directory
    // (nullopt: no such file), and whether the tools ran after the script.
    //  - A write of the script to a pipe whose reader has ended fails with
    //    an error the script catches, and the run goes on to its end.
    //  - A SIGPIPE that another process sends while the script runs ends the
    //    run with 128 + SIGPIPE, before any tool; every other ending signal
    //    ends it at once, before the script is done.
    //  - A process that the script starts, in the foreground or in the
    //    background, begins as from a shell: no signal blocked or ignored,
    //    so that a writer in a pipeline ends when its reader has.
    //  - The script runs once, in the locale's encoding: its non-ASCII text
    //    and the names of the files it makes are UTF-8.
    using FILES = std::vector<std::pair<std::string, std::optional<std::string>>>;
    struct CASE
    {
        std::string what;
        std::string script;
        int signal;  // 0: none
        int status;
        FILES files;
        bool tools_ran;
        bool needs_proc;
    };
    const std::string running = "close [open script.running w]\nafter 3000\nclose [open device_script.txt w]\n";
    const std::string signals = "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n";
    std::vector<CASE> cases = {
        {"a write to a pipe without a reader",
         "set p [open \"|true\" w]\nafter 300\nset rc [catch {puts $p hello; flush $p} err]\n"
         "set out [open device_script.txt w]\nputs -nonewline $out \"caught $rc\"\nclose $out\n",
         0, 0, {{"device_script.txt", "caught 1"}}, true, false},
        {"SIGPIPE sent while the script runs",
         "close [open script.running w]\nafter 500\nclose [open device_script.txt w]\n", SIGPIPE, 128 + SIGPIPE,
         {}, false, false},
        {"the processes the script starts",
         "set fg [exec grep -E {^Sig(Blk|Ign)} /proc/self/status]\n"
         "exec grep -E {^Sig(Blk|Ign)} /proc/self/status >bg.txt &\n"
         "for {set i 0} {$i < 3000 && [file size bg.txt] < 50} {incr i} {after 10}\n"
         "set out [open fg.txt w]\nputs $out $fg\nclose $out\n",
         0, 0, {{"fg.txt", signals}, {"bg.txt", signals}}, true, true},
        {"pipelines whose reader ends first",
         "set x [exec sh -c {while :; do echo x; done | head -n 1}]\n"
         "set one [exec sh -c {seq 1 100000 | head -n 1}]\n"
         "set out [open device_script.txt w]\nputs -nonewline $out \"$x $one\"\nclose $out\n",
         0, 0, {{"device_script.txt", "x 1"}}, true, false},
        {"a line appended and a name in UTF-8",
         "set f [open appended.txt a]\nputs $f line\nclose $f\n"
         "set f [open \"\xc3\xa9.txt\" w]\nputs -nonewline $f \"\xc3\xa9\"\nclose $f\n",
         0, 0, {{"appended.txt", "line\n"}, {"\xc3\xa9.txt", "\xc3\xa9"}, {"\xe9.txt", std::nullopt}}, true, false},
    };
    // pfg.log made a FIFO that no one reads: the log cannot be written, which
    // fails the run (the tools run all the same), and nothing waits for a
    // reader.
    cases.push_back({"pfg.log made a FIFO", "exec mkfifo pfg.log\n", 0, 1, {}, true, false});
    for (const auto& [name, signal] : {std::pair<const char*, int>{"TERM", SIGTERM}, {"INT", SIGINT},
                                       {"HUP", SIGHUP}, {"QUIT", SIGQUIT}})
        cases.push_back({std::string("SIG") + name + " while the script runs", running, signal, 128 + signal,
                         {{"device_script.txt", std::nullopt}}, false, false});
    const bool have_proc = fs::exists("/proc/self/status");
    put_sample_tools_first();
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (c.needs_proc && !have_proc)
        {
            std::cout << "[  SKIPPED ] " << c.what << ": /proc is not mounted, so a process cannot show its signals"
                      << std::endl;
            continue;
        }
        const std::string design = "design" + std::to_string(n);
        const fs::path project = m_scratch / ("project" + std::to_string(n++));
        write_text(copy_example("programming_tools", design) / "tcl" / "zasm" / "zx15f256.tcl", c.script);
        const std::string output = (m_scratch / (design + ".txt")).string();
        const pid_t host = start_host({"assemble", design, "--out", project.string()}, output);
        ASSERT_GE(host, 0);
        // A run that is not signalled ends on its own: it is only waited for.
        bool seen = false;
        const int wait_status = signal_when(
            host, c.signal, [&] { return c.signal == 0 || fs::exists(project / "script.running"); }, seen);
        // What the script started and left running (a pipeline's writer that
        // never ends) goes with the host's process group.
        ::kill(-host, SIGKILL);
        const std::string text = read_text(output);
        EXPECT_TRUE(seen) << text;
        EXPECT_EQ(WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1, c.status) << text;
        for (const auto& [file, content] : c.files)
        {
            EXPECT_EQ(fs::exists(project / file), content.has_value()) << file;
            if (content.has_value())
            {
                EXPECT_EQ(read_text(project / file), *content) << file;
            }
        }
        EXPECT_EQ(fs::exists(project / "pfg.log"), c.tools_ran) << text;
    }
}

TEST_F(ProgrammingToolsHost, AToolInheritsNoFileOfTheRunAndWhatItLeavesIsReaped)
{
    // A tool, and a process that the device script starts, list their open
    // descriptors: the descriptor that the host's caller passed (7) is
    // there, and no file that the run opened (pfg.log, the debug log, an
    // output of the project directory) but the listing itself. Then sixty
    // command-file lines that each leave a short background process, and a
    // last line that leaves sixty more one after another: whatever has
    // ended of them is reaped while the run goes on, so that the host,
    // which takes them in, holds no more than a few zombies.
    if (!fs::exists("/proc/self/fd") || !fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a process cannot list its descriptors or the host's children";
    const fs::path design = copy_example("programming_tools", "design");
    write_text(design / "pfg_commands.txt", "--version >/dev/null; ls -l /proc/self/fd >tool_fds.txt\n");
    write_text(design / "tcl" / "zasm" / "zx15f256.tcl",
               "set listing [exec ls -l /proc/self/fd]\nset out [open script_fds.txt w]\nputs $out $listing\n"
               "close $out\n");
    put_sample_tools_first();
    const HOST_RESULT listed = run_host("assemble design --out project --debug-log debug.log 7>passed.txt");
    ASSERT_EQ(listed.status, 0) << listed.output;
    const std::string project = (m_scratch / "project").string() + "/";
    const std::string debug_log = (m_scratch / "debug.log").string();
    for (const char* listing : {"tool_fds.txt", "script_fds.txt"})
    {
        SCOPED_TRACE(listing);
        const std::string text = read_text(m_scratch / "project" / listing);
        bool passed = false;
        for (const std::string& line : lines_of(text))
        {
            const size_t arrow = line.find(" -> ");
            if (arrow == std::string::npos)
                continue;
            const std::string target = line.substr(arrow + 4);
            passed = passed || (line.rfind(" 7 -> ") == arrow - 2 && target == (m_scratch / "passed.txt").string());
            const bool of_the_run = target == debug_log ||
                                    (target.rfind(project, 0) == 0 && target != project + listing);
            EXPECT_FALSE(of_the_run) << line;
        }
        EXPECT_TRUE(passed) << text;
    }

    // The host's zombies, counted into zombies.txt by a command-file line
    // or by what it left running (the shell's parent is the host, and so is
    // its subshell's $PPID): never more than a few. Sixty lines each leave a
    // short background process; a line leaves sixty more one after another
    // and counts before and while; a tool that has ended while what it left
    // holds its output leaves forty orphans (the tool is reaped as it ends,
    // and so are they, although its output has not ended); a tool that
    // closes its output leaves forty before it ends (the end of its output
    // is not its end).
    const std::string count = "cat /proc/[0-9]*/stat 2>/dev/null | awk -v p=$PPID '$3 == \"Z\" && $4 == p' | "
                              "wc -l >>zombies.txt";
    const std::string forty = "for i in $(seq 40); do (sleep 0 >/dev/null 2>&1 &); done; sleep 0.5; " + count;
    std::string commands;
    for (int line = 0; line < 60; ++line)
        commands += "--version >/dev/null; sleep 0.01 >/dev/null 2>&1 &\n";
    commands += "--version >/dev/null; sleep 0.3; " + count +
                "; for i in $(seq 60); do (sleep 0 >/dev/null 2>&1 &); done; sleep 0.3; " + count + "\n" +
                "--version >/dev/null; (" + forty + ") &\n" + "--version >/dev/null; exec >/dev/null; " + forty + "\n";
    write_text(design / "pfg_commands.txt", commands);
    const HOST_RESULT left = run_host("assemble design --out orphans");
    ASSERT_EQ(left.status, 0) << left.output;
    const std::string zombies = read_text(m_scratch / "orphans" / "zombies.txt");
    ASSERT_EQ(lines_of(zombies).size(), 4u) << left.output;
    for (const std::string& counted : lines_of(zombies))
        EXPECT_LE(std::atoi(counted.c_str()), 5) << "zombies counted: " << zombies;
}

TEST_F(ProgrammingToolsHost, AnEndingSignalOnTclsThreadEndsEveryToolTheRunStarted)
{
    // The device script uses Tcl's event loop, which gives the host a second
    // thread (Tcl's notifier) that holds no signal. Then short command-file
    // lines, each of which notes its shell in started.txt and, after a short
    // wait, in ran.txt. Once a run has started a given number of lines
    // (another in each run), the signal is sent at the first moment when the
    // host's own thread holds the ending signals, as it does while it starts
    // and registers a tool, so that the system hands it to the other thread.
    // Whichever thread takes it, the clean-up ends every tool the run has
    // started: the host ends with 128 + the signal, and once every process
    // of the run has ended (found by a variable of their environment),
    // ran.txt is as it was when the host ended.
    if (!fs::exists("/proc/self/status"))
        GTEST_SKIP() << "/proc is not mounted, so the host's threads and held signals cannot be seen";
    const fs::path design = copy_example("programming_tools", "design");
    write_text(design / "tcl" / "zasm" / "zx15f256.tcl", "after 10 {set ::x 1}\nvwait ::x\n");
    std::string commands;
    for (int line = 0; line < 40; ++line)
        commands += "--version >/dev/null; echo $$ >>started.txt; sleep 0.05; echo $$ >>ran.txt\n";
    const auto processes_with = [](const std::string& variable) {
        std::vector<pid_t> found;
        std::error_code ec;
        for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec))
        {
            const pid_t pid = std::atoi(it->path().filename().c_str());
            if (pid > 0 && pid != ::getpid() &&
                read_text(it->path() / "environ").find(variable + '\0') != std::string::npos)
                found.push_back(pid);
        }
        return found;
    };
    write_text(design / "pfg_commands.txt", commands);
    put_sample_tools_first();
    const auto held_with_two_threads = [](pid_t host) {
        const std::string status = read_text("/proc/" + std::to_string(host) + "/status");
        const unsigned long long blocked = std::strtoull(line_value(status, "SigBlk:\t").c_str(), nullptr, 16);
        return std::atoi(line_value(status, "Threads:\t").c_str()) >= 2 && (blocked & (1ull << (SIGTERM - 1))) != 0;
    };
    int n = 0;
    for (const auto& [name, signal] : {std::pair<const char*, int>{"TERM", SIGTERM}, {"PIPE", SIGPIPE}})
    {
        SCOPED_TRACE(name);
        int signalled = 0;
        for (size_t started = 0; started < 15; ++started)
        {
            const fs::path project = m_scratch / ("project" + std::to_string(n));
            const std::string output = (m_scratch / ("run" + std::to_string(n++) + ".txt")).string();
            const std::string variable = "ASM_SIGNAL_ROW=" + std::to_string(::getpid()) + "." + std::to_string(n);
            ::setenv("ASM_SIGNAL_ROW", variable.substr(variable.find('=') + 1).c_str(), 1);
            const pid_t host = start_host({"assemble", "design", "--out", project.string()}, output);
            ASSERT_GE(host, 0);
            bool seen = false;
            const int wait_status = signal_when(
                host, signal,
                [&] {
                    return lines_of(read_text(project / "started.txt")).size() >= started &&
                           held_with_two_threads(host);
                },
                seen);
            const std::string at_end = read_text(project / "ran.txt");
            const std::string text = read_text(output);
            for (const pid_t left : processes_with(variable))
                EXPECT_TRUE(wait_until_ended(left)) << left;
            ::kill(-host, SIGKILL);
            if (!seen)
            {
                // The run ended before such a moment came.
                EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << text;
                continue;
            }
            ++signalled;
            EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 128 + signal) << text;
            EXPECT_EQ(read_text(project / "ran.txt"), at_end) << "a line ran after the host had ended";
        }
        EXPECT_GE(signalled, 8) << "too few runs were signalled while the host held the signals";
    }
}

TEST_F(ProgrammingToolsHost, WhatEarlierToolsLeftRunningAddsNothingToTheLoopOfALaterTool)
{
    // Four hundred command-file lines that each leave a process running,
    // then three tools, each of which reads the host's CPU time
    // (/proc/$PPID/stat) as it starts and as it ends: one writes 20 MB, one
    // is silent for 1.5 s, and one leaves a short process every 10 ms for
    // 1.5 s after a line has left an ended process outside the tool groups
    // (its own session), which comes first among the host's ended children
    // from then on. What the host spends while each of those tools runs
    // must not grow with the processes left running: against the same tools
    // without those lines, at most twice as much and 0.1 s more (the least
    // of three runs each). Looking through every kept tool group at every
    // read of the output, or at every look, costs seconds.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a tool cannot read the host's CPU time";
    // Each measured tool writes the host's clock ticks it saw go by.
    const std::string host_ticks = "$(awk '{print $14 + $15}' /proc/$PPID/stat)";
    const std::string measured = "--version >/dev/null; s=" + host_ticks + "; ";
    const std::string written = "; echo $((" + host_ticks + " - s)) >>cpu.txt\n";
    const std::string tools = measured + "head -c 20000000 /dev/zero" + written + measured + "sleep 1.5" + written +
                              "--version >/dev/null; (setsid sleep 0 >/dev/null 2>&1 &); sleep 0.2\n" + measured +
                              "for i in $(seq 150); do (sleep 0 >/dev/null 2>&1 &); sleep 0.01; done" + written;
    std::string left_running;
    for (int line = 0; line < 400; ++line)
        left_running += "--version >/dev/null; sleep 120 >/dev/null 2>&1 & echo $! >>live.pids\n";
    write_text(copy_example("programming_tools", "none") / "pfg_commands.txt", tools);
    write_text(copy_example("programming_tools", "kept") / "pfg_commands.txt", left_running + tools);
    put_sample_tools_first();
    const long tick_rate = ::sysconf(_SC_CLK_TCK);
    // The least ticks of each tool over the runs of a design.
    std::map<std::string, std::vector<long>> least = {{"none", {}}, {"kept", {}}};
    for (int round = 0; round < 3; ++round)
        for (auto& [design, ticks] : least)
        {
            const std::string out = design + std::to_string(round);
            const HOST_RESULT run = run_host("assemble " + design + " --out " + out);
            // What the lines left running goes, whatever the outcome.
            for (const std::string& pid : lines_of(read_text(m_scratch / out / "live.pids")))
                if (std::atoi(pid.c_str()) > 0)
                    ::kill(std::atoi(pid.c_str()), SIGKILL);
            ASSERT_EQ(run.status, 0) << run.output;
            const std::vector<std::string> lines = lines_of(read_text(m_scratch / out / "cpu.txt"));
            ASSERT_EQ(lines.size(), 3u) << run.output;
            ticks.resize(3, LONG_MAX);
            for (size_t tool = 0; tool < 3; ++tool)
                ticks[tool] = std::min(ticks[tool], std::atol(lines[tool].c_str()));
        }
    const char* const names[] = {"the tool that writes 20 MB", "the silent tool",
                                 "the tool that leaves short processes behind an ended one of another session"};
    for (size_t tool = 0; tool < 3; ++tool)
        EXPECT_LE(least["kept"][tool], 2 * least["none"][tool] + tick_rate / 10)
            << names[tool] << ": the host spent " << least["kept"][tool] << " ticks (" << tick_rate
            << " a second) while it ran after 400 processes were left running, " << least["none"][tool]
            << " without them";
}

TEST_F(ProgrammingToolsHost, TheHostSpendsAlmostNothingWhileAToolIsSilent)
{
    // A tool that is silent for 3 s with its output open, and one that
    // closes its output and lives on silent for 3 s: each reads the host's
    // CPU time (/proc/$PPID/stat) as its silence starts and as it ends.
    // Meanwhile the host only waits, with a look every 10 ms that costs
    // microseconds: at most 3% of the silent time, in clock ticks (the least
    // of three runs; a run within the bound for both tools ends the row). A
    // loop that waits for its next look with a timeout cut down to whole
    // milliseconds waits for nothing in the last one before each look, and
    // spins through it: about a tenth of a CPU.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a tool cannot read the host's CPU time";
    const std::string host_ticks = "$(awk '{print $14 + $15}' /proc/$PPID/stat)";
    const std::string silent = "s=" + host_ticks + "; sleep 3; echo $((" + host_ticks + " - s)) >>cpu.txt\n";
    write_text(copy_example("programming_tools", "design") / "pfg_commands.txt",
               "--version >/dev/null; " + silent + "--version >/dev/null; exec >/dev/null; " + silent);
    put_sample_tools_first();
    const long tick_rate = ::sysconf(_SC_CLK_TCK);
    const long bound = 3 * 3 * tick_rate / 100;
    std::vector<long> least(2, LONG_MAX);
    for (int round = 0; round < 3 && std::max(least[0], least[1]) > bound; ++round)
    {
        const std::string out = "project" + std::to_string(round);
        const HOST_RESULT run = run_host("assemble design --out " + out);
        ASSERT_EQ(run.status, 0) << run.output;
        const std::vector<std::string> lines = lines_of(read_text(m_scratch / out / "cpu.txt"));
        ASSERT_EQ(lines.size(), 2u) << run.output;
        for (size_t tool = 0; tool < 2; ++tool)
            least[tool] = std::min(least[tool], std::atol(lines[tool].c_str()));
    }
    const char* const names[] = {"the tool silent with its output open", "the tool silent with its output closed"};
    for (size_t tool = 0; tool < 2; ++tool)
        EXPECT_LE(least[tool], bound) << names[tool] << ": the host spent " << least[tool] << " ticks (" << tick_rate
                                      << " a second) while the tool was silent for 3 s";
}

TEST_F(ProgrammingToolsHost, WhatAKeptGroupLeavesIsReapedAsItEndsBehindAnEndedChildOfAnother)
{
    // An ended child of the host that is none of the run's comes first among
    // its ended children, and stays there: a process that the device script
    // started in the background and that ended after the script, which Tcl
    // has not reaped, or one that a line left in a session of its own. Once
    // it has ended, a hundred lines that each leave a process running, so
    // that a hundred groups are kept; a line that leaves a process which,
    // once the next line has started sampling, starts 300 short orphans one
    // after another (ten at a time, 10 ms apart); and that line, which counts
    // the host's zombies, 15 ms between counts, until all have been started
    // and for 20 counts more. What ends in a kept group is reaped within a
    // look or two however many groups are kept: never more than 40 zombies
    // at a count. Looks that go through a few kept groups each, behind the
    // other's child, come back to the group of the orphans only every 25
    // looks and leave them to pile up by the hundred.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a tool cannot count the host's zombies";
    const std::string sampling = host_zombies() + " >>zombies.txt; n=$((n+1)); sleep 0.015";
    // Once the other's child has ended (or half a minute has gone by).
    std::string kept = "--version >/dev/null; n=0; while [ $n -lt 600 ] && s=$(" + state_of("$(cat foreign.pid)") +
                       ") && [ \"$s\" != Z ]; do n=$((n+1)); sleep 0.05; done\n";
    for (int line = 0; line < 100; ++line)
        kept += "--version >/dev/null; sleep 120 >/dev/null 2>&1 & echo $! >>live.pids\n";
    kept += "--version >/dev/null; (n=0; while [ ! -e sampling ] && [ $n -lt 1000 ]; do n=$((n+1)); sleep 0.01; "
            "done; for i in $(seq 30); do for j in 0 1 2 3 4 5 6 7 8 9; do (sleep 0 >/dev/null 2>&1 &); done; "
            "sleep 0.01; done; : >burst.done) >/dev/null 2>&1 &\n"
            "--version >/dev/null; " + state_of("$(cat foreign.pid)") + " >foreign.txt; : >sampling; n=0; " +
            "while [ ! -e burst.done ] && [ $n -lt 1000 ]; do " + sampling + "; done; n=0; " +
            "while [ $n -lt 20 ]; do " + sampling + "; done\n";
    struct CASE
    {
        const char* what;
        std::string script;  // the device script; "" for the sample's
        std::string first;   // the command-file lines before the kept ones
    };
    const CASE cases[] = {
        {"a child of the device script",
         "set pids [exec sh -c {sleep 0.2} &]\nset out [open foreign.pid w]\nputs $out [lindex $pids 0]\n"
         "close $out\n",
         ""},
        {"a process that a line left in a session of its own", "",
         "--version >/dev/null; (setsid sleep 0 >/dev/null 2>&1 & echo $! >foreign.pid)\n"},
    };
    const bool have_setsid = std::system("setsid true >/dev/null 2>&1") == 0;
    put_sample_tools_first();
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (c.first.find("setsid") != std::string::npos && !have_setsid)
        {
            std::cout << "[  SKIPPED ] " << c.what << ": setsid (util-linux) is missing" << std::endl;
            continue;
        }
        const std::string design = "design" + std::to_string(n);
        const std::string out = "project" + std::to_string(n++);
        const fs::path copied = copy_example("programming_tools", design);
        if (!c.script.empty())
            write_text(copied / "tcl" / "zasm" / "zx15f256.tcl", c.script);
        write_text(copied / "pfg_commands.txt", c.first + kept);
        const HOST_RESULT run = run_host("assemble " + design + " --out " + out);
        // What the lines left running goes, whatever the outcome.
        kill_listed(m_scratch / out / "live.pids");
        ASSERT_EQ(run.status, 0) << run.output;
        ASSERT_EQ(read_text(m_scratch / out / "foreign.txt"), "Z\n")
            << "the other's child had not ended, unreaped, when the sampling began";
        ASSERT_TRUE(fs::exists(m_scratch / out / "burst.done")) << "the orphans were not all started";
        std::string zombies;
        int most = -1;
        for (const std::string& counted : lines_of(read_text(m_scratch / out / "zombies.txt")))
        {
            zombies += counted + " ";
            most = std::max(most, std::atoi(counted.c_str()));
        }
        EXPECT_GE(most, 1) << "the other's child was not counted: " << zombies;
        EXPECT_LE(most, 40) << "zombies counted: " << zombies;
    }
}

TEST_F(ProgrammingToolsHost, AKeptGroupIsReapedToItsLastMember)
{
    // Five lines that each leave a process running (groups kept to the
    // end), then four lines that each leave five processes which end one
    // after another, 1 s to 1.8 s later, and a last line that waits until
    // all twenty have ended (or half a minute), waits 0.5 s more (fifty
    // looks) and counts the host's zombies: none. A kept group stays kept while anything is left of it:
    // one forgotten once a first member was reaped leaves the other four to
    // the end of the run. Both with plain looks and with looks that go
    // through the groups behind an ended child of another session (a line
    // first leaves one).
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a tool cannot count the host's zombies";
    std::string lines;
    for (int line = 0; line < 5; ++line)
        lines += "--version >/dev/null; sleep 120 >/dev/null 2>&1 & echo $! >>live.pids\n";
    for (int line = 0; line < 4; ++line)
        lines += "--version >/dev/null; for t in 1 1.2 1.4 1.6 1.8; do sleep $t >/dev/null 2>&1 & "
                 "echo $! >>ending.pids; done\n";
    lines += "--version >/dev/null; n=0; for p in $(cat ending.pids); do while [ $n -lt 600 ] && s=$(" +
             state_of("$p") + ") && [ \"$s\" != Z ]; do n=$((n+1)); sleep 0.05; done; done; echo $n >waited.txt; " +
             "sleep 0.5; " + host_zombies() + " >zombies.txt\n";
    const bool have_setsid = std::system("setsid true >/dev/null 2>&1") == 0;
    put_sample_tools_first();
    int n = 0;
    for (const std::string first : {"", "--version >/dev/null; (setsid sleep 0 >/dev/null 2>&1 &); sleep 0.2\n"})
    {
        const std::string what = first.empty() ? "plain looks" : "behind an ended child of another session";
        SCOPED_TRACE(what);
        if (!first.empty() && !have_setsid)
        {
            std::cout << "[  SKIPPED ] " << what << ": setsid (util-linux) is missing" << std::endl;
            continue;
        }
        const std::string design = "design" + std::to_string(n);
        const std::string out = "project" + std::to_string(n++);
        write_text(copy_example("programming_tools", design) / "pfg_commands.txt", first + lines);
        const HOST_RESULT run = run_host("assemble " + design + " --out " + out);
        kill_listed(m_scratch / out / "live.pids");
        ASSERT_EQ(run.status, 0) << run.output;
        ASSERT_EQ(lines_of(read_text(m_scratch / out / "ending.pids")).size(), 20u) << run.output;
        ASSERT_LT(std::atoi(read_text(m_scratch / out / "waited.txt").c_str()), 600)
            << "what the lines left had not ended within half a minute";
        // The other session's child, which is no one's to reap, is the one
        // zombie that may be left.
        EXPECT_EQ(read_text(m_scratch / out / "zombies.txt"), first.empty() ? "0\n" : "1\n");
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
        START_OPTIONS options;
        options.input = "/dev/null";
        options.output = outputs[n];
        scripts[n] = start_process({"script", "-qec", command, "/dev/null"}, options);
        ASSERT_GE(scripts[n], 0);
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

TEST_F(ProgrammingToolsHost, ALongLineOfAToolReachesPfgLogInLinearTime)
{
    // A tool writes one line of n bytes with no line feed: the run's CPU
    // time grows with the line, not with its square, and pfg.log holds it
    // whole.
    const size_t n = 8000000;
    for (size_t size : growth_sizes(n))
        write_text(copy_example("programming_tools", "design" + std::to_string(size)) / "pfg_commands.txt",
                   "--version >/dev/null; head -c " + std::to_string(size) + " /dev/zero | tr '\\0' x\n");
    put_sample_tools_first();
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        const std::string name = std::to_string(size);
        // The sizes run again, and a project directory is never reused.
        fs::remove_all(m_scratch / ("work" + name));
        const HOST_RESULT run = run_host("assemble design" + name + " --out work" + name);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(fs::file_size(m_scratch / ("work" + name) / "pfg.log"), size);
    }));
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
