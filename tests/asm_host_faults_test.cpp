// The host when the file system, the arguments or the design fail it: a file
// or directory that goes away under a run, a debug log that would overwrite
// an input, a run that writes no SRAM object file, a design that lacks what
// a command needs, and arguments that are wrong however large the design.
// Each ends with the problem named, its exit status and nothing left behind.
#include "host_run.h"
#include "project.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <thread>
#include <tuple>

using nlohmann::json;
namespace fs = std::filesystem;

namespace
{

class HostFaults : public HOST_RUN_TEST
{
protected:
    void TearDown() override
    {
        for (const fs::path& mount : m_mounts)
            ::umount2(mount.c_str(), MNT_DETACH);
        for (const fs::path& file : m_append_only)
        {
            [[maybe_unused]] const int status = std::system(("chattr -a '" + file.string() + "' 2>/dev/null").c_str());
        }
        HOST_RUN_TEST::TearDown();
    }

    // Files bound over other files, and append-only files, that the test
    // made: taken back before the scratch directory is removed.
    std::vector<fs::path> m_mounts;
    std::vector<fs::path> m_append_only;

    // A copy of a sample with the design.json that change makes of it.
    fs::path design_with(const std::string& example, const std::string& as, const std::function<void(json&)>& change)
    {
        const fs::path design = copy_example(example, as);
        json document = json::parse(read_text(design / "design.json"));
        change(document);
        write_text(design / "design.json", document.dump(1));
        return design;
    }

    // The .sof of examples/basic, assembled into project/.
    void assemble_basic()
    {
        const HOST_RESULT assembled = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/basic' --out project");
        ASSERT_EQ(assembled.status, 0) << assembled.output;
    }

    // Files whose name starts with "." anywhere under the directory: the
    // temporaries of an atomic write (with a longer prefix, those of one file).
    static std::vector<std::string> temporaries(const fs::path& directory, const std::string& prefix = ".")
    {
        std::vector<std::string> found;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().filename().string().rfind(prefix, 0) == 0)
                found.push_back(it->path().string());
        return found;
    }
};

}  // namespace

TEST_F(HostFaults, AFileSystemFaultUnderARunIsNamedAndExitsOne)
{
    // assemble: a programming-file command of the design leaves a link to
    // itself in the project directory, whose status cannot be read.
    const fs::path design = copy_example("programming_tools", "design");
    write_text(design / "pfg_commands.txt", "--version >/dev/null 2>&1; ln -s loop loop\n");
    const HOST_RESULT assembled = run_host("assemble design --out tools");
    EXPECT_EQ(assembled.status, 1) << assembled.output;
    EXPECT_NE(assembled.output.find("asm_host: " + (m_scratch / "tools" / "loop").string() +
                                    ": cannot read the file's status: Too many levels of symbolic links"),
              std::string::npos)
        << assembled.output;
    EXPECT_TRUE(has_line(assembled.output, "Exit status: 1 (the host could not store the run's output)"))
        << assembled.output;
    EXPECT_EQ(temporaries(m_scratch / "tools"), std::vector<std::string>());

    // process-sof: the module is loaded from a directory of links to the
    // built one whose schema file is a pipe. The run reads the schema when it
    // loads the assignments file, after the host has set up the working
    // directory; this test writes the schema into the pipe only once it has
    // changed the working directory under the run.
    assemble_basic();
    const fs::path built = fs::path(ASM_HOST_PATH).parent_path();
    const fs::path modules = m_scratch / "modules";
    fs::create_directories(modules);
    for (const fs::directory_entry& entry : fs::directory_iterator(built))
        if (entry.path().filename() != "assembler_asgn.xsd")
            fs::create_symlink(entry.path(), modules / entry.path().filename());
    const fs::path schema_pipe = modules / "assembler_asgn.xsd";
    ASSERT_EQ(mkfifo(schema_pipe.c_str(), 0600), 0);
    const std::string schema = read_text(built / "assembler_asgn.xsd");
    ASSERT_FALSE(schema.empty());
    fs::create_directories(m_scratch / "bits");
    write_text(m_scratch / "bits" / "bits.xml",
               "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments><bit_settings action=\"override\">"
               "<cram><address_1d addr=\"7\" value=\"0\"/></cram></bit_settings></asm_assignments>"
               "</assembler_options>\n");
    struct CASE
    {
        const char* what;
        std::function<void(const fs::path&)> fault;
        std::string message;
        // The summary's reason: when the working directory is gone the module
        // cannot read the assignments file either, and its error comes first.
        std::string exit_line = "Exit status: 1 (the host could not read or store the run's output)";
    };
    const CASE cases[] = {
        {"the working directory removed", [](const fs::path& work) { fs::remove_all(work); },
         (m_scratch / "work0").string() + ": cannot list the directory: No such file or directory",
         "Exit status: 1 (the run posted an error)"},
        {"a link to itself",
         [](const fs::path& work) { fs::create_symlink("loop.txt", work / "loop.txt"); },
         (m_scratch / "work1" / "loop.txt").string() + ": cannot read the file's status: Too many levels of symbolic "
                                                       "links"},
    };
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const fs::path work = m_scratch / ("work" + std::to_string(n++));
        HOST_RESULT run;
        std::thread host([&] {
            run = run_host("process-sof project/blinky.sof bits/bits.xml --out " + work.filename().string() +
                           " --module modules/libasm.so");
        });
        // The pipe opens for writing once the module opens it to read: the
        // run is under way and waits for the schema.
        int pipe = -1;
        for (int tries = 0; pipe < 0 && tries < 3000; ++tries)
        {
            pipe = ::open(schema_pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (pipe < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_GE(pipe, 0) << "the module never read its schema";
        if (pipe >= 0)
        {
            c.fault(work);
            ::fcntl(pipe, F_SETFL, 0);
            EXPECT_EQ(::write(pipe, schema.data(), schema.size()), static_cast<ssize_t>(schema.size()));
            ::close(pipe);
        }
        host.join();
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("asm_host: " + c.message), std::string::npos) << run.output;
        EXPECT_TRUE(has_line(run.output, c.exit_line)) << run.output;
        EXPECT_EQ(temporaries(work), std::vector<std::string>());
    }
}

TEST_F(HostFaults, ARunThatEndsTheProcessLeavesItsDebugLinesInTheLog)
{
    // A programming-file command of the design sends its shell's parent, the
    // host, a signal mid-run: SIGTERM and SIGINT end the host through its
    // handler, SIGKILL cannot be caught. The log holds the lines so far, and
    // nothing is left beside it.
    const std::pair<const char*, int> signals[] = {{"KILL", SIGKILL}, {"TERM", SIGTERM}, {"INT", SIGINT}};
    for (const auto& [name, signal] : signals)
    {
        SCOPED_TRACE(name);
        const std::string design = std::string("design_") + name;
        write_text(copy_example("programming_tools", design) / "pfg_commands.txt",
                   std::string("--version >/dev/null 2>&1; kill -") + name + " $PPID\n");
        const std::string log = std::string(name) + ".log";
        const HOST_RESULT run =
            run_host("assemble " + design + " --out " + design + "_out --debug-log " + log);
        EXPECT_EQ(run.status, 128 + signal) << run.output;
        EXPECT_EQ(run.output.find("--- asm_host summary ---"), std::string::npos) << run.output;
        const std::vector<std::string> lines = lines_of(read_text(m_scratch / log));
        EXPECT_GE(lines.size(), 2u);
        if (lines.size() < 2)
            continue;
        EXPECT_EQ(lines[0], DEBUG_LOG_FIRST_LINE);
        EXPECT_EQ(lines[1], "ASM: ASM Begin");
        EXPECT_EQ(std::find(lines.begin(), lines.end(), "ASM: ASM End"), lines.end());
        EXPECT_EQ(temporaries(m_scratch, "." + log), std::vector<std::string>());
        EXPECT_EQ(temporaries(m_scratch / (design + "_out")), std::vector<std::string>());
    }
}

TEST_F(HostFaults, AnEndingSignalRemovesTheFileBeingWrittenAndEndsTheToolsOfTheRun)
{
    // Every ending signal during a long write: a routed design whose nets
    // all pass the same hops of long names makes a small design.json and a
    // dump of tens of megabytes written through a temporary. The test sends
    // the signal once the dump's temporary is in the project directory; a
    // run whose dump was in place before the signal landed is tried again
    // with more nets.
    // Then a programming-file tool and the process it started in the
    // background, ended with the host by SIGTERM, also when they ignore it;
    // and SIGINT, ignored when the host starts, which the host then ignores.
    const auto routed_design = [this](const std::string& as, int nets) {
        const int hops = 50;
        return design_with("routed", as, [&](json& d) {
            d.erase("accessor");
            json& routing = d["routing"];
            json atoms = json::array(), nodes = json::array(), trees = json::array(), edges = json::array(),
                 instances = json::array(), blocks = json::array(), terms = json::array();
            for (int k = 0; k < hops; ++k)
            {
                nodes.push_back({{"gid", 900000 + k}, {"name", "R" + std::to_string(k) + std::string(4000, 'W')}});
                if (k > 0)
                    edges.push_back({{"from", 900000 + k - 1}, {"to", 900000 + k}, {"graph", "crf"}, {"bits", {k}}});
            }
            for (int i = 0; i < nets; ++i)
            {
                const std::string atom = "a" + std::to_string(i), next = "a" + std::to_string((i + 1) % nets);
                const int out = 2 * i + 1, in = 2 * ((i + 1) % nets) + 2;
                atoms.push_back({{"name", atom}, {"type", "la_lab"}});
                nodes.push_back({{"gid", out}, {"name", "O" + std::to_string(i)}});
                nodes.push_back({{"gid", out + 1}, {"name", "I" + std::to_string(i)}});
                json tree = {{"gid", in}};
                for (int k = hops - 1; k >= 0; --k)
                    tree = {{"gid", 900000 + k}, {"children", {tree}}};
                trees.push_back({{"gid", out}, {"children", {tree}}});
                edges.push_back({{"from", out}, {"to", 900000}, {"graph", "crf"}, {"bits", {1}}});
                edges.push_back({{"from", 900000 + hops - 1}, {"to", in}, {"graph", "crf"}, {"bits", {2}}});
                instances.push_back({{"x", i}, {"y", 1}, {"name", "l" + std::to_string(i)}});
                blocks.push_back({{"x", i},
                                  {"y", 1},
                                  {"location", 100000 + i},
                                  {"ports",
                                   {{{"name", "COMBOUT"}, {"direction", "OUTPUT"}, {"gid", out}},
                                    {{"name", "DATAA"}, {"direction", "INPUT"}, {"gid", out + 1}}}}});
                terms.push_back(
                    {{"atom", atom},
                     {"instance_name", "top|" + atom},
                     {"location", 100000 + i},
                     {"inputs", {{{"port", "DATAA"}, {"index", 0}, {"map", {{{"instance", i}, {"port", "DATAA"}}}}}}},
                     {"outputs",
                      {{{"port", "COMBOUT"},
                        {"index", 0},
                        {"map", {{{"instance", i}, {"port", "COMBOUT"}}}},
                        {"fanout", {{{"atom", next}, {"port", "DATAA"}, {"index", 0}}}}}}}});
            }
            d["netlist"]["atoms"] = atoms;
            routing["nodes"] = nodes;
            routing["networks"] = {{"crf", trees}};
            routing["edges"] = edges;
            routing["instances"] = instances;
            routing["blocks"] = blocks;
            routing["pads"] = json::array();
            routing["atoms"] = terms;
            routing.erase("emulator");
        });
    };
    // The host in the scratch directory, its output to a file; the signal
    // ignored from the start when asked.
    const auto start_host = [this](const std::vector<std::string>& arguments, const fs::path& output,
                                   int ignored) {
        START_OPTIONS options;
        options.output = output.string();
        options.ignored = ignored;
        std::vector<std::string> argv = {ASM_HOST_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return start_process(argv, options);
    };
    const auto ending = [](int wait_status) {
        return WIFEXITED(wait_status) ? "exit " + std::to_string(WEXITSTATUS(wait_status))
                                      : "signal " + std::to_string(WTERMSIG(wait_status));
    };

    const std::pair<const char*, int> dump_signals[] = {
        {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}, {"PIPE", SIGPIPE}};
    int runs = 0;
    for (const auto& [name, signal] : dump_signals)
    {
        SCOPED_TRACE(name);
        bool signalled = false;
        for (int attempt = 0, nets = 200; attempt < 4 && !signalled; ++attempt, nets *= 2)
        {
            SCOPED_TRACE(std::to_string(nets) + " nets");
            const std::string design = "routed" + std::to_string(attempt);
            if (!fs::exists(m_scratch / design))
                routed_design(design, nets);
            const fs::path project = m_scratch / ("run" + std::to_string(runs));
            const fs::path output = m_scratch / ("run" + std::to_string(runs++) + ".txt");
            const pid_t pid = start_host(
                {"dump-re-network", design, "pre_asm_with_bits", "mcfs", "--out", project.string()}, output, 0);
            ASSERT_GE(pid, 0);
            bool seen = false;
            const int wait_status = signal_when(
                pid, signal, [&] { return !temporaries(project, ".counter.asmre.").empty(); }, seen);
            const std::string text = read_text(output);
            if (ending(wait_status) == "exit 0" || fs::exists(project / "counter.asmre"))
            {
                // The dump was in place before the signal landed: the run
                // ended well, or the signal came while the host was past
                // the dump and ended it with nothing half-written. Try
                // again, longer.
                EXPECT_TRUE(fs::exists(project / "counter.asmre")) << text;
                EXPECT_TRUE(ending(wait_status) == "exit 0" ||
                            ending(wait_status) == "exit " + std::to_string(128 + signal))
                    << ending(wait_status) << "\n" << text;
                EXPECT_EQ(temporaries(project), std::vector<std::string>()) << text;
                fs::remove_all(project);
                continue;
            }
            signalled = true;
            EXPECT_TRUE(seen) << text;
            EXPECT_EQ(ending(wait_status), "exit " + std::to_string(128 + signal)) << text;
            EXPECT_EQ(temporaries(project), std::vector<std::string>()) << text;
            EXPECT_FALSE(fs::exists(project / "counter.asmre")) << text;
        }
        EXPECT_TRUE(signalled) << "every dump ended before the signal";
    }

    // The tool starts a process in the background, writes its own number and
    // that process's, and waits. Both must have ended with the host (a zombie
    // that no one reaps counts as ended). A tool that ends at once on SIGTERM
    // ends the host within tens of milliseconds: a second fails a host that
    // waits out its grace of 1.5 s or looks far too seldom. A tool that
    // ignores SIGTERM (and so, by inheritance, does its child) is ended after
    // the grace by SIGKILL. A tool whose SIGTERM handler takes 0.3 s to
    // remove its partial output and leave a marker is waited for, not
    // killed halfway: as the default command and behind the shell of a
    // command-file line, which itself ends at once. SIGPIPE ends the host as
    // SIGTERM does, also once the device script has run. A tool that ends at
    // once, leaving the process it started with its output (the pipe that
    // pfg.log is read from), gets the signal only once it has been reaped:
    // its group is still the run's while that process lives, and the host
    // ends it, at once. A host that stops keeping the group of a reaped tool
    // before the tool's output has ended leaves that process running.
    const fs::path tools = copy_example("programming_tools", "tools");
    const fs::path slow_bin = m_scratch / "slow_bin";
    fs::create_directories(slow_bin);
    write_text(slow_bin / "zorvane_cpf", "#!/bin/sh\n"
                                         "trap 'sleep 0.3; rm -f partial.rbf; echo ended >marker; exit 143' TERM\n"
                                         "echo partial >partial.rbf\n"
                                         "sleep 300 >/dev/null 2>&1 &\n"
                                         "echo $! >child.pid; echo $$ >tool.pid.new; mv tool.pid.new tool.pid\n"
                                         "wait $!\n");
    fs::permissions(slow_bin / "zorvane_cpf", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    const std::string background = "sleep 300 >/dev/null 2>&1 & echo $! >child.pid; "
                                   "echo $$ >tool.pid.new; mv tool.pid.new tool.pid; exec sleep 300\n";
    struct TOOL_CASE
    {
        const char* what;
        std::string commands;  // pfg_commands.txt
        int signal;
        bool at_once;  // the tool ends at once, and so must the host
        bool slow;     // the tool on PATH whose handler takes 0.3 s
        bool reaped = false;  // the signal waits until the tool has been reaped
    };
    const TOOL_CASE tool_cases[] = {
        {"a tool that ends on SIGTERM", "--version >/dev/null 2>&1; " + background, SIGTERM, true, false},
        {"a tool that ignores SIGTERM", "--version >/dev/null 2>&1; trap '' TERM; " + background, SIGTERM, false,
         false},
        {"SIGPIPE once the device script has run", "--version >/dev/null 2>&1; " + background, SIGPIPE, true, false},
        {"a slow handler as the default command", "", SIGTERM, false, true},
        {"a slow handler behind the shell of a command-file line", "-c x.sof x.rbf; exit $?\n", SIGTERM, false,
         true},
        {"a reaped tool whose output a process it started holds",
         "--version >/dev/null 2>&1; sleep 300 & echo $! >child.pid; echo $$ >tool.pid.new; mv tool.pid.new tool.pid\n",
         SIGTERM, true, false, true},
    };
    for (const TOOL_CASE& c : tool_cases)
    {
        SCOPED_TRACE(c.what);
        // A machine busy enough to hold one run past the bound does not
        // hold three in a row; a host that waits out its grace fails each.
        double elapsed = 0;
        for (int attempt = 0; attempt < (c.at_once ? 3 : 1) && (attempt == 0 || elapsed >= 1.0); ++attempt)
        {
            const fs::path tools_out = m_scratch / ("tools_out" + std::to_string(runs));
            const fs::path output = m_scratch / ("tools" + std::to_string(runs++) + ".txt");
            write_text(tools / "pfg_commands.txt", c.commands);
            setenv("PATH", ((c.slow ? slow_bin.string() + ":" : std::string()) + path).c_str(), 1);
            const pid_t host = start_host({"assemble", "tools", "--out", tools_out.string()}, output, 0);
            setenv("PATH", path.c_str(), 1);
            ASSERT_GE(host, 0);
            bool seen = false;
            const auto ready = [&] {
                if (!c.reaped || !fs::exists(tools_out / "tool.pid"))
                    return fs::exists(tools_out / "tool.pid");
                const pid_t tool = static_cast<pid_t>(std::atol(read_text(tools_out / "tool.pid").c_str()));
                return tool > 0 && ::kill(tool, 0) != 0 && errno == ESRCH;
            };
            const int wait_status = signal_when(host, c.signal, ready, seen, &elapsed);
            const std::string text = read_text(output);
            EXPECT_TRUE(seen) << text;
            EXPECT_EQ(ending(wait_status), "exit " + std::to_string(128 + c.signal)) << text;
            if (c.slow)
            {
                EXPECT_EQ(read_text(tools_out / "marker"), "ended\n") << "the tool was killed in its handler";
                EXPECT_FALSE(fs::exists(tools_out / "partial.rbf"));
            }
            for (const char* file : {"tool.pid", "child.pid"})
            {
                const pid_t started = static_cast<pid_t>(std::atol(read_text(tools_out / file).c_str()));
                ASSERT_GT(started, 0) << file;
                EXPECT_TRUE(wait_until_ended(started)) << file << " is still running";
            }
        }
        if (c.at_once)
        {
            EXPECT_LT(elapsed, 1.0) << "the host took " << elapsed << " s to end, three times in a row";
        }
    }

    // SIGINT ignored at start (a background job of a script): the tool's
    // SIGINT to the host changes nothing, and the run ends as it would.
    write_text(tools / "pfg_commands.txt", "--version >/dev/null 2>&1; kill -INT $PPID\n");
    const pid_t ignoring = start_host({"assemble", "tools", "--out", "ignoring"}, m_scratch / "ignoring.txt", SIGINT);
    ASSERT_GE(ignoring, 0);
    int ignoring_status = 0;
    ASSERT_EQ(::waitpid(ignoring, &ignoring_status, 0), ignoring);
    const std::string ignoring_text = read_text(m_scratch / "ignoring.txt");
    EXPECT_EQ(ending(ignoring_status), "exit 0") << ignoring_text;
    EXPECT_TRUE(has_line(ignoring_text, "Exit status: 0")) << ignoring_text;
}

TEST_F(HostFaults, TheModuleReadsAndWritesItsFilesWithoutProc)
{
    // Where /proc is not mounted (a chroot, a build sandbox) each sample
    // runs as it does with /proc: here in a mount namespace whose /proc is
    // covered by an empty file system. The sanitizers read their options
    // from /proc/self/environ, so the cover holds that file alone, turning
    // off leak checking (which reads /proc); their warnings are left out.
    // Both runs have the umask 022, and the files written have the same
    // modes: a file layer that reads the umask from /proc/self/status has
    // to find it another way.
    const std::string cover = "mount -t tmpfs none /proc && mkdir /proc/self && "
                              "printf \"ASAN_OPTIONS=detect_leaks=0\\0\" >/proc/self/environ";
    std::string unshare;
    for (const char* candidate : {"unshare --mount", "unshare --user --map-root-user --mount"})
        if (unshare.empty() && std::system((std::string(candidate) + " sh -c '" + cover +
                                            " && test ! -e /proc/self/exe' >/dev/null 2>&1")
                                               .c_str()) == 0)
            unshare = candidate;
    if (unshare.empty())
        GTEST_SKIP() << "this machine gives no mount namespace whose /proc can be covered (unshare --mount, "
                        "with or without --user)";
    const auto host_lines = [](const std::string& output) {
        std::string kept;
        for (const std::string& line : lines_of(output))
            if (line.rfind("==", 0) != 0)
                kept += line + "\n";
        return kept;
    };
    // The permission bits of everything in the project directory, by path;
    // the directory is then removed for the next run.
    const auto modes_written = [this]() {
        const auto octal = [](const fs::file_status& status) {
            char text[8];
            std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(status.permissions()) & 07777u);
            return std::string(text);
        };
        const fs::path project = m_scratch / "project";
        std::map<std::string, std::string> modes{{".", octal(fs::symlink_status(project))}};
        std::error_code ec;
        for (fs::recursive_directory_iterator it(project, ec), end; !ec && it != end; it.increment(ec))
            modes[fs::relative(it->path(), project).string()] = octal(it->symlink_status());
        fs::remove_all(project);
        return modes;
    };
    // The host finds its module through /proc/self/exe: it is named.
    const std::string module = (fs::path(ASM_HOST_PATH).parent_path() / "libasm.so").string();
    for (const std::string example : {"basic", "option_block", "netlist_selection"})
    {
        SCOPED_TRACE(example);
        const std::string arguments =
            "assemble '" ASM_TEST_SOURCE_DIR "/examples/" + example + "' --out project --module '" + module + "'";
        const HOST_RESULT with_proc = run_host(arguments, "umask 022 &&");
        const std::map<std::string, std::string> modes_with_proc = modes_written();
        const HOST_RESULT without_proc =
            run_host(arguments, "umask 022 && " + unshare + " sh -c '" + cover + " && exec \"$0\" \"$@\"'");
        const std::map<std::string, std::string> modes_without_proc = modes_written();
        EXPECT_EQ(with_proc.status, 0) << with_proc.output;
        EXPECT_EQ(without_proc.status, with_proc.status) << without_proc.output;
        EXPECT_EQ(host_lines(without_proc.output), host_lines(with_proc.output));
        EXPECT_EQ(modes_without_proc, modes_with_proc);
    }
}

TEST_F(HostFaults, ADebugLogNeverChangesAFileTheRunReads)
{
    // The inputs reached through names the run does not use: a key file and
    // an assignments file named by absolute paths outside the design, hard
    // links, copies of the module and of the host program (the test must not
    // break the build), an include that only the module finds, and files that
    // the device script and a programming tool read.
    fs::create_directories(m_scratch / "keys");
    fs::copy_file(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "secure_boot" / "design.zky",
                  m_scratch / "keys" / "design.zky");
    design_with("secure_boot", "secure", [this](json& d) {
        for (json& setting : d["partitions"][0]["settings"])
            if (setting["id"] == 1519)
                setting["value"] = (m_scratch / "keys" / "design.zky").string();
    });
    // A key file not made yet: a log made at its name would be read as the
    // key.
    design_with("secure_boot", "unkeyed", [this](json& d) {
        for (json& setting : d["partitions"][0]["settings"])
            if (setting["id"] == 1519)
                setting["value"] = (m_scratch / "keys" / "later.zky").string();
    });
    fs::create_directories(m_scratch / "options");
    fs::copy_file(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "netlist_selection" / "assembler_options.xml",
                  m_scratch / "options" / "assembler_options.xml");
    design_with("netlist_selection", "netlist", [this](json& d) {
        d["settings"]["namespace"][0]["value"] = (m_scratch / "options" / "assembler_options.xml").string();
    });
    const fs::path included = copy_example("netlist_selection", "included");
    std::string options = read_text(included / "assembler_options.xml");
    options.insert(options.rfind("</assembler_options>"),
                   "  <include path=\"" + (m_scratch / "options" / "more.xml").string() + "\"/>\n");
    write_text(included / "assembler_options.xml", options);
    write_text(m_scratch / "options" / "more.xml", "<?xml version=\"1.0\"?>\n<assembler_options/>\n");
    // The rows that run a design to its end take a copy of their own.
    copy_example("basic", "basic");
    copy_example("basic", "plain");
    fs::create_hard_link(m_scratch / "basic" / "design.json", m_scratch / "design-link.json");
    assemble_basic();
    copy_example("bit_settings", "bits");
    fs::create_hard_link(m_scratch / "bits" / "assignments.xml", m_scratch / "assignments-link.xml");
    // An assignments file whose listing the run writes where the log is.
    const fs::path listing = copy_example("bit_settings", "listing");
    std::string listed = read_text(listing / "assignments.xml");
    listed.replace(listed.find("\"override.txt\""), std::strlen("\"override.txt\""),
                   "\"" + (m_scratch / "listed.log").string() + "\"");
    write_text(listing / "assignments.xml", listed);
    const fs::path built = fs::path(ASM_HOST_PATH).parent_path();
    fs::create_directories(m_scratch / "modules");
    for (const char* file : {"asm_host", "libasm.so", "libsld_kovx.so", "assembler_asgn.xsd"})
        fs::copy_file(built / file, m_scratch / "modules" / file);
    // A device script outside the design that opens a file by absolute path,
    // sources one by a path relative to the run's directory and reads one
    // through another program.
    fs::create_directories(m_scratch / "tclx" / "zasm");
    write_text(m_scratch / "tclx" / "data.txt", "the script's data\n");
    write_text(m_scratch / "tclx" / "more.tcl", "set sourced 1\n");
    write_text(m_scratch / "tclx" / "cat.txt", "read by cat\n");
    write_text(m_scratch / "tclx" / "zasm" / "zx15f256.tcl",
               "set f [open " + (m_scratch / "tclx" / "data.txt").string() +
                   " r]\nread $f\nclose $f\nsource ../tclx/more.tcl\nexec cat " +
                   (m_scratch / "tclx" / "cat.txt").string() + "\n");
    design_with("basic", "scripted", [this](json& d) {
        d["settings"]["namespace"].push_back({{"id", 658}, {"type", "boolean"}, {"value", true}});
        d["tcl_directory"] = (m_scratch / "tclx").string();
    });
    // A programming-file command that reads a file outside the design.
    write_text(m_scratch / "tool-input.txt", "read by the tool\n");
    write_text(copy_example("programming_tools", "tooled") / "pfg_commands.txt",
               "--version >/dev/null 2>&1; cat '" + (m_scratch / "tool-input.txt").string() + "' >/dev/null\n");
    // A debug log of an earlier run, and a symbolic link whose relative
    // target, not made yet, lies in another directory.
    write_text(m_scratch / "previous.log", std::string(DEBUG_LOG_FIRST_LINE) + "\nASM: an earlier run\n");
    struct stat previous;
    ASSERT_EQ(::stat((m_scratch / "previous.log").c_str(), &previous), 0);
    fs::create_directories(m_scratch / "links");
    fs::create_directories(m_scratch / "logs");
    fs::create_symlink("../logs/linked.log", m_scratch / "links" / "linked.log");
    // An empty file of a design directory, by another name.
    write_text(copy_example("basic", "inied") / "zorvane.ini", "");
    fs::create_hard_link(m_scratch / "inied" / "zorvane.ini", m_scratch / "ini-link");
    // Empty files that a design two levels down names relative to the
    // project directory, one level down: from the design directory or the
    // working directory the names lead elsewhere.
    write_text(m_scratch / "keys" / "k.zky", "");
    fs::create_directories(m_scratch / "nested");
    design_with("secure_boot", "nested/relkey", [](json& d) {
        for (json& setting : d["partitions"][0]["settings"])
            if (setting["id"] == 1519)
                setting["value"] = "../keys/k.zky";
    });
    fs::create_directories(m_scratch / "dbg");
    write_text(m_scratch / "dbg" / "x.stp", "");
    design_with("debug_files", "nested/reldbg", [](json& d) { d["debug"]["debug_files"] = {"../dbg/x.stp"}; });
    // A log that a run is writing: this test holds its lock.
    write_text(m_scratch / "locked.log", std::string(DEBUG_LOG_FIRST_LINE) + "\nASM: a run under way\n");
    const int locked = ::open((m_scratch / "locked.log").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(locked, 0);
    ASSERT_EQ(::flock(locked, LOCK_EX | LOCK_NB), 0);
    // A log without a name: a file that this test holds open (the host
    // inherits the descriptor) and has unlinked.
    const int nameless = ::open((m_scratch / "nameless.log").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(nameless, 0);
    ASSERT_EQ(::unlink((m_scratch / "nameless.log").c_str()), 0);
    // A programming-file command that moves the log away mid-run.
    write_text(copy_example("programming_tools", "moving") / "pfg_commands.txt",
               "--version >/dev/null 2>&1; mv '" + (m_scratch / "moving.log").string() + "' '" +
                   (m_scratch / "moved.log").string() + "'\n");
    // A design that posts messages between its debug lines.
    copy_example("transceiver_pr", "trx");
    // A file that the host's output is appended to, holding what an earlier
    // step wrote there.
    const std::string earlier_step = "an earlier step's output\n";
    write_text(m_scratch / "appended.txt", earlier_step);
    // A directory without design.json that holds the log by another name:
    // no design directory, refused before anything walks it.
    fs::create_directories(m_scratch / "nodesign");
    write_text(m_scratch / "nodesign" / "held.log", "");
    fs::create_hard_link(m_scratch / "nodesign" / "held.log", m_scratch / "held-link.log");

    struct CASE
    {
        const char* what;
        std::string arguments;  // "--out work" and the debug log follow
        std::string log;
        int status;
        // The start of a line of the output; "" for a run that succeeds.
        std::string message;
        // The input that must stay as it was.
        fs::path input;
        // The project directory; "" for one of the table's own.
        std::string out = "";
        // The host program to run; "" for the built one.
        std::string host = "";
    };
    const auto not_a_log = [](const std::string& log) {
        return "asm_host: " + log + ": exists and is not a debug log; remove it or name another file";
    };
    const auto moved = [](const std::string& log) {
        return "asm_host: " + log +
               ": the debug log's name no longer leads to the file its lines were written to (the run or another "
               "process replaced or moved it)";
    };
    const std::string process_sof = "process-sof project/blinky.sof bits/assignments.xml";
    const CASE cases[] = {
        {"the key file of setting 1519", "assemble secure", "keys/design.zky", 2, not_a_log("keys/design.zky"),
         m_scratch / "keys" / "design.zky"},
        {"a key file not made yet", "assemble unkeyed", "keys/later.zky", 2,
         "asm_host: keys/later.zky: the debug log cannot be the file of setting 1519", ""},
        {"the assignments file of setting 1492", "assemble netlist", "options/assembler_options.xml", 2,
         not_a_log("options/assembler_options.xml"), m_scratch / "options" / "assembler_options.xml"},
        {"a hard link of design.json", "assemble basic", "design-link.json", 2, not_a_log("design-link.json"),
         m_scratch / "basic" / "design.json"},
        {"a hard link of the assignments file", process_sof, "assignments-link.xml", 2,
         not_a_log("assignments-link.xml"), m_scratch / "bits" / "assignments.xml"},
        {"the module", "assemble plain --module modules/libasm.so", "modules/libasm.so", 2,
         not_a_log("modules/libasm.so"), m_scratch / "modules" / "libasm.so"},
        // The system refuses to open a running program for writing.
        {"the host program", "assemble plain", "modules/asm_host", 2,
         "asm_host: modules/asm_host: cannot write the debug log: Text file busy", m_scratch / "modules" / "asm_host",
         "", (m_scratch / "modules" / "asm_host").string()},
        {"a file whose size reads 0 but that holds text", "assemble plain", "/proc/self/comm", 2,
         not_a_log("/proc/self/comm"), ""},
        {"an include that only the module reads", "assemble included", "options/more.xml", 2,
         not_a_log("options/more.xml"), m_scratch / "options" / "more.xml"},
        {"a file that the device script opens", "assemble scripted", "tclx/data.txt", 2, not_a_log("tclx/data.txt"),
         m_scratch / "tclx" / "data.txt"},
        {"a file that the device script sources", "assemble scripted", "tclx/more.tcl", 2,
         not_a_log("tclx/more.tcl"), m_scratch / "tclx" / "more.tcl"},
        {"a file that the device script reads through exec cat", "assemble scripted", "tclx/cat.txt", 2,
         not_a_log("tclx/cat.txt"), m_scratch / "tclx" / "cat.txt"},
        {"a file that a programming tool reads", "assemble tooled", "tool-input.txt", 2, not_a_log("tool-input.txt"),
         m_scratch / "tool-input.txt"},
        {"a parent that --out makes", "assemble plain", "oo", 2,
         "asm_host: oo: the debug log cannot be the project directory or a directory above it", "", "oo/o"},
        {"a parent that process-sof's --out makes", process_sof, "pp", 2,
         "asm_host: pp: the debug log cannot be the project directory or a directory above it", "", "pp/w"},
        {"an earlier debug log", "assemble plain", "previous.log", 0, "", ""},
        {"a symbolic link to another directory", "assemble plain", "links/linked.log", 0, "", ""},
        {"/dev/null", "assemble plain", "/dev/null", 0, "", ""},
        {"/dev/stderr, a pipe", "assemble plain", "/dev/stderr", 0, DEBUG_LOG_FIRST_LINE, ""},
        {"a full disk", "assemble plain", "/dev/full", 1,
         "asm_host: /dev/full: cannot write the debug log: No space left on device", ""},
        {"a full disk under process-sof", process_sof, "/dev/full", 1,
         "asm_host: /dev/full: cannot write the debug log: No space left on device", ""},
        {"a listing written in the log's place", "process-sof project/blinky.sof listing/assignments.xml",
         "listed.log", 1, moved("listed.log"), ""},
        {"a log moved away mid-run", "assemble moving", "moving.log", 1, moved("moving.log"), ""},
        {"a log without a name", "assemble plain", "/dev/fd/" + std::to_string(nameless), 0, "", ""},
        {"a hard link of an empty file of the design directory", "assemble inied", "ini-link", 2,
         "asm_host: ini-link: the debug log cannot be a file of the design directory (inied/zorvane.ini)",
         m_scratch / "inied" / "zorvane.ini"},
        {"a key file named from the project directory", "assemble nested/relkey", "keys/k.zky", 2,
         "asm_host: keys/k.zky: the debug log cannot be the file of setting 1519", m_scratch / "keys" / "k.zky"},
        {"a debug file named from the project directory", "assemble nested/reldbg", "dbg/x.stp", 2,
         "asm_host: dbg/x.stp: the debug log cannot be the debug file ../dbg/x.stp", m_scratch / "dbg" / "x.stp"},
        {"a log that another run is writing", "assemble plain", "locked.log", 2,
         "asm_host: locked.log: the debug log is locked by another run or process", m_scratch / "locked.log"},
        {"a directory without design.json that holds the log", "assemble nodesign", "held-link.log", 2,
         "asm_host: nodesign/design.json: cannot read the file", m_scratch / "nodesign" / "held.log"},
        // The host's own output in a file: checked below.
        {"/dev/stderr, a file the host's output goes to", "assemble plain", "/dev/stderr > shared-err.txt", 0, "", "",
         "shared-err"},
        {"/dev/stdout, a file the host's output goes to", "assemble plain", "/dev/stdout > shared-out.txt", 0, "", "",
         "shared-out"},
        {"/dev/stdout of a run that posts messages between its lines", "assemble trx", "/dev/stdout > shared-trx.txt",
         0, "", "", "shared-trx"},
        {"/dev/stderr, a file that holds text the host's output is appended to", "assemble plain",
         "/dev/stderr >> appended.txt", 0, "", ""},
    };
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string input = c.input.empty() ? "" : read_text(c.input);
        const std::string out = c.out.empty() ? "work" + std::to_string(n++) : c.out;
        const HOST_RESULT run = run_host(c.arguments + " --out " + out + " --debug-log " + c.log, "",
                                         c.host.empty() ? ASM_HOST_PATH : c.host);
        EXPECT_EQ(run.status, c.status) << run.output;
        if (!c.message.empty())
        {
            EXPECT_TRUE(has_line(run.output, c.message)) << run.output;
        }
        if (!c.input.empty())
        {
            EXPECT_EQ(read_text(c.input), input);
        }
        if (c.status == 2)
        {
            EXPECT_FALSE(fs::exists(m_scratch / *fs::path(out).begin()));
        }
    }
    // A log that the run made is taken back with a start that fails; an
    // earlier debug log is written again in place; the link is kept, and the
    // file it leads to made and written.
    EXPECT_FALSE(fs::exists(m_scratch / "keys" / "later.zky"));
    for (const fs::path& log : {m_scratch / "previous.log", m_scratch / "logs" / "linked.log"})
    {
        const std::vector<std::string> lines = lines_of(read_text(log));
        EXPECT_GE(lines.size(), 3u) << log;
        if (lines.size() < 3)
            continue;
        EXPECT_EQ(lines[0], DEBUG_LOG_FIRST_LINE) << log;
        EXPECT_EQ(lines[1], "ASM: ASM Begin") << log;
        EXPECT_EQ(lines.back(), "ASM: ASM End") << log;
    }
    struct stat replaced;
    ASSERT_EQ(::stat((m_scratch / "previous.log").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_ino, previous.st_ino);
    EXPECT_EQ(fs::read_symlink(m_scratch / "links" / "linked.log"), fs::path("../logs/linked.log"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    ::close(locked);
    // The file that the log was moved to, and the one without a name, hold
    // every line.
    std::string unnamed(4096, '\0');
    const ssize_t size = ::pread(nameless, &unnamed[0], unnamed.size(), 0);
    unnamed.resize(size > 0 ? static_cast<size_t>(size) : 0);
    ::close(nameless);
    for (const std::string& log : {read_text(m_scratch / "moved.log"), unnamed})
    {
        const std::vector<std::string> lines = lines_of(log);
        EXPECT_GE(lines.size(), 3u) << log;
        if (lines.size() < 3)
            continue;
        EXPECT_EQ(lines[0], DEBUG_LOG_FIRST_LINE);
        EXPECT_EQ(lines[1], "ASM: ASM Begin");
        EXPECT_EQ(lines.back(), "ASM: ASM End");
    }
    // The host's output with the log in it holds every line it printed, in
    // the order printed: the output of a run without the log, with the log
    // (that of the earlier debug log's run) after the first line; and for a
    // run whose messages come between the log's lines, what the same run
    // writes into a pipe. The project directories' names are alike and as long
    // (the report holds them).
    const auto named = [](std::string text, const std::string& out, const std::string& as) {
        for (size_t at = text.find(out); at != std::string::npos; at = text.find(out, at + as.size()))
            text.replace(at, out.size(), as);
        return text;
    };
    const std::string without_log = run_host("assemble plain --out refer-same").output;
    const size_t first_line = without_log.find('\n') + 1;
    const std::string expected = without_log.substr(0, first_line) + read_text(m_scratch / "previous.log") +
                                 without_log.substr(first_line);
    EXPECT_EQ(read_text(m_scratch / "shared-err.txt"), named(expected, "refer-same", "shared-err"));
    EXPECT_EQ(read_text(m_scratch / "shared-out.txt"), named(expected, "refer-same", "shared-out"));
    EXPECT_EQ(read_text(m_scratch / "shared-trx.txt"),
              named(run_host("assemble trx --out refer-trxs --debug-log /dev/stdout").output, "refer-trxs",
                    "shared-trx"));
    // Whatever the host's own output holds is kept.
    const std::vector<std::string> appended = lines_of(read_text(m_scratch / "appended.txt"));
    ASSERT_GE(appended.size(), 3u);
    EXPECT_EQ(appended[0] + "\n", earlier_step);
    EXPECT_NE(std::find(appended.begin(), appended.end(), DEBUG_LOG_FIRST_LINE), appended.end());
    EXPECT_EQ(appended.back(), "Exit status: 0");
}

TEST_F(HostFaults, RunsSideBySideWriteTheirLinesToTheOutputTheyShare)
{
    // Two runs whose output and debug log (/dev/stderr) go to one file, as
    // "make -j ... >> build.log 2>&1" starts them; each run's tool waits
    // until both runs are under way, so that they overlap. Both run, and
    // neither empties the file, which holds an earlier run's log. A run
    // given that file as its own debug log, which it would empty, is
    // refused while they write it.
    const std::string earlier = std::string(DEBUG_LOG_FIRST_LINE) + "\nASM: an earlier run\n";
    const fs::path shared = m_scratch / "build.log";
    write_text(shared, earlier);
    copy_example("basic", "plain");
    const std::string scratch = m_scratch.string();
    const auto start = [&](const std::string& name) {
        write_text(copy_example("programming_tools", name) / "pfg_commands.txt",
                   "--version >/dev/null 2>&1; touch '" + scratch + "/" + name +
                       ".ready'; i=0; while [ ! -e '" + scratch + "/go' ] && [ $i -lt 1200 ]; do sleep 0.05; "
                       "i=$((i+1)); done\n");
        START_OPTIONS options;
        options.output = shared.string();
        options.append = true;
        return start_process({ASM_HOST_PATH, "assemble", name, "--out", name + "_out", "--debug-log", "/dev/stderr"},
                             options);
    };
    const pid_t runs[] = {start("a"), start("b")};
    ASSERT_GE(runs[0], 0);
    ASSERT_GE(runs[1], 0);
    for (int polls = 0; polls < 6000 && !(fs::exists(m_scratch / "a.ready") && fs::exists(m_scratch / "b.ready"));
         ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(m_scratch / "a.ready") && fs::exists(m_scratch / "b.ready"))
        << "the runs were not under way together\n" << read_text(shared);

    const HOST_RESULT refused = run_host("assemble plain --out third --debug-log build.log");
    EXPECT_EQ(refused.status, 2) << refused.output;
    EXPECT_TRUE(has_line(refused.output, "asm_host: build.log: the debug log is locked by another run or process"))
        << refused.output;
    EXPECT_EQ(read_text(shared).substr(0, earlier.size()), earlier);

    write_text(m_scratch / "go", "");
    for (const pid_t run : runs)
    {
        bool seen = false;
        const int wait_status = signal_when(run, 0, [] { return true; }, seen);
        EXPECT_TRUE(WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0) << read_text(shared);
    }
    const std::string text = read_text(shared);
    EXPECT_EQ(text.substr(0, earlier.size()), earlier);
    const std::vector<std::string> lines = lines_of(text);
    for (const std::string& line : {std::string("ASM: ASM Begin"), std::string("ASM: ASM End"),
                                    std::string("Exit status: 0")})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 2) << line << "\n" << text;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), DEBUG_LOG_FIRST_LINE), 3) << text;
    for (const char* name : {"a", "b"})
        EXPECT_TRUE(has_line(text, std::string("asm_host: assembling ") + name + " in " + name + "_out")) << text;
}

TEST_F(HostFaults, ADebugLogOfAnotherUserAMountPointOrAnAppendOnlyFile)
{
    // Rows that need what the machine may not allow: a bind mount, chattr,
    // root running the host as uid 65534. Each log is a debug log of an
    // earlier run, so that only what the row sets up can refuse it.
    const std::string earlier = std::string(DEBUG_LOG_FIRST_LINE) + "\nASM: an earlier run\n";
    copy_example("basic", "plain");
    std::vector<std::string> not_run;
    write_text(m_scratch / "bound-source.log", earlier);
    write_text(m_scratch / "bound.log", "");
    const bool bound = ::mount((m_scratch / "bound-source.log").c_str(), (m_scratch / "bound.log").c_str(), nullptr,
                               MS_BIND, nullptr) == 0;
    if (bound)
        m_mounts.push_back(m_scratch / "bound.log");
    else
        not_run.push_back("a bind mount");
    write_text(m_scratch / "append.log", earlier);
    m_append_only.push_back(m_scratch / "append.log");
    const bool append_only =
        std::system(("chattr +a '" + (m_scratch / "append.log").string() + "' 2>/dev/null").c_str()) == 0;
    if (!append_only)
        not_run.push_back("an append-only file (chattr +a)");
    // Root's logs in a sticky directory that uid 65534 writes its project
    // into: one that everyone may write, one that only root may write, and
    // one that everyone may write but no one read.
    std::string why_not_other_user;
    const OTHER_USER nobody = other_user(why_not_other_user);
    if (nobody.runner.empty())
        not_run.push_back(why_not_other_user);
    fs::create_directories(m_scratch / "sticky");
    fs::permissions(m_scratch / "sticky", fs::perms::all | fs::perms::sticky_bit);
    const std::pair<const char*, fs::perms> sticky_logs[] = {
        {"shared.log", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                           fs::perms::group_write | fs::perms::others_read | fs::perms::others_write},
        {"root.log", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read},
        {"unreadable.log", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write},
    };
    for (const auto& [name, perms] : sticky_logs)
    {
        write_text(m_scratch / "sticky" / name, earlier);
        fs::permissions(m_scratch / "sticky" / name, perms);
    }
    // A disk that fills under the log after its first lines: a tmpfs of one
    // page, in a mount namespace of the run's own, and a design whose log
    // needs more. The runner prints the log's first lines once the host ends.
    copy_example("hps_handoff", "long");
    fs::create_directories(m_scratch / "small");
    const long page = ::sysconf(_SC_PAGESIZE);
    std::string small_disk;
    for (const char* unshare : {"unshare --mount", "unshare --user --map-root-user --mount"})
    {
        const std::string mount = std::string(unshare) + " sh -c 'mount -t tmpfs -o size=" + std::to_string(page) +
                                  " none small && ";
        if (small_disk.empty() &&
            std::system(("cd '" + m_scratch.string() + "' && " + mount + "true' >/dev/null 2>&1").c_str()) == 0)
            small_disk = mount + "\"$0\" \"$@\"; status=$?; head -n 2 small/full.log; exit $status'";
    }
    if (small_disk.empty())
        not_run.push_back("a tmpfs in a mount namespace (unshare --mount, mount -t tmpfs)");
    // The sample's log is some 9 KB.
    if (page > 8192)
    {
        not_run.push_back("a tmpfs of one page: a page of " + std::to_string(page) + " bytes holds the whole log");
        small_disk.clear();
    }

    struct CASE
    {
        const char* what;
        bool runs;
        std::string log;
        int status;
        std::string message;
        std::string out;
        bool as_nobody = false;
        std::string design = "plain";
        // What runs the host; the row's lines of the log, when the log is out
        // of the test's reach, are those the runner prints.
        std::string runner = "";
    };
    const CASE cases[] = {
        {"a mount point", bound, "bound.log", 0, "", "work0"},
        {"an append-only log", append_only, "append.log", 2,
         "asm_host: append.log: cannot write the debug log: Operation not permitted", "work1"},
        {"another user's log in a sticky directory", !nobody.runner.empty(), "sticky/shared.log", 0, "",
         "sticky/work2", true},
        {"a log the user cannot write", !nobody.runner.empty(), "sticky/root.log", 2,
         "asm_host: sticky/root.log: cannot write the debug log: Permission denied", "sticky/work3", true},
        {"a log the user cannot read", !nobody.runner.empty(), "sticky/unreadable.log", 2,
         "asm_host: sticky/unreadable.log: exists and is not a debug log; remove it or name another file",
         "sticky/work4", true},
        {"a disk that fills after the log's first lines", !small_disk.empty(), "small/full.log", 1,
         "asm_host: small/full.log: cannot write the debug log: No space left on device", "work5", false, "long",
         small_disk},
    };
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (!c.runs)
            continue;
        const fs::path log = c.log == "bound.log" ? m_scratch / "bound-source.log" : m_scratch / c.log;
        const std::string arguments = "assemble " + c.design + " --out " + c.out + " --debug-log " + c.log;
        const HOST_RESULT run =
            c.as_nobody ? run_host(arguments, nobody.runner, nobody.host) : run_host(arguments, c.runner);
        EXPECT_EQ(run.status, c.status) << run.output;
        if (c.status == 1)
        {
            EXPECT_TRUE(has_line(run.output, c.message)) << run.output;
            EXPECT_TRUE(has_line(run.output, "ASM: ASM Begin")) << run.output;
            continue;
        }
        if (c.status != 0)
        {
            EXPECT_TRUE(has_line(run.output, c.message)) << run.output;
            EXPECT_FALSE(fs::exists(m_scratch / c.out));
            EXPECT_EQ(read_text(log), earlier);
            continue;
        }
        const std::vector<std::string> lines = lines_of(read_text(log));
        EXPECT_GE(lines.size(), 3u);
        if (lines.size() < 3)
            continue;
        EXPECT_EQ(lines[0], DEBUG_LOG_FIRST_LINE);
        EXPECT_EQ(lines[1], "ASM: ASM Begin");
        EXPECT_EQ(lines.back(), "ASM: ASM End");
        struct stat status;
        EXPECT_EQ(::stat(log.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u);
    }
    if (!not_run.empty())
    {
        std::string names;
        for (const std::string& what : not_run)
            names += (names.empty() ? "" : "; ") + what;
        GTEST_SKIP() << "this machine cannot set up: " << names;
    }
}

TEST_F(HostFaults, ProcessSofRefusesADebugLogOverItsInputsBeforeMakingAnything)
{
    assemble_basic();
    const fs::path bits = copy_example("bit_settings", "bits");
    // Empty files of the design directory (the .sof's own, or --design):
    // the next run of the design reads them.
    write_text(m_scratch / "project" / "zorvane.ini", "");
    fs::create_hard_link(m_scratch / "project" / "zorvane.ini", m_scratch / "ini-link");
    write_text(copy_example("basic", "dz") / "zorvane.ini", "");
    const std::string sof = read_text(m_scratch / "project" / "blinky.sof");
    const std::string assignments = read_text(bits / "assignments.xml");
    const std::string design_json = read_text(m_scratch / "project" / "design.json");
    // An empty SRAM object file outside the design and assignments
    // directories, and a hard link of it.
    fs::create_directories(m_scratch / "alone");
    write_text(m_scratch / "alone" / "empty.sof", "");
    fs::create_hard_link(m_scratch / "alone" / "empty.sof", m_scratch / "sof-link");
    // A directory without design.json that holds the log by another name.
    fs::create_directories(m_scratch / "nodesign");
    write_text(m_scratch / "nodesign" / "held.log", "");
    fs::create_hard_link(m_scratch / "nodesign" / "held.log", m_scratch / "held-link.log");
    const std::string command = "process-sof project/blinky.sof bits/assignments.xml --out work";
    const std::string empty_sof = "process-sof alone/empty.sof bits/assignments.xml --design project --out work";
    const std::string in_design = ": the debug log cannot lie inside the design directory";
    const std::string the_sof = ": the debug log cannot be the SRAM object file";
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {command, "project/blinky.sof", "project/blinky.sof" + in_design},
        {command, "bits/assignments.xml",
         "bits/assignments.xml: the debug log cannot lie inside the assignments file's directory"},
        {command, "project/design.json", "project/design.json" + in_design},
        {command, "project/zorvane.ini", "project/zorvane.ini" + in_design},
        {command, "dz/zorvane.ini --design dz", "dz/zorvane.ini" + in_design},
        {command, "ini-link", "ini-link: the debug log cannot be a file of the design directory (" +
                                  (m_scratch / "project" / "zorvane.ini").string() + ")"},
        {command, "work/debug.log", "work/debug.log: the debug log cannot lie inside the project directory"},
        {command, "missing/debug.log", "missing/debug.log: cannot write the debug log: its directory does not exist"},
        {empty_sof, "alone/empty.sof", "alone/empty.sof" + the_sof},
        {empty_sof, "sof-link", "sof-link" + the_sof},
        {command, "held-link.log --design nodesign",
         (m_scratch / "nodesign" / "design.json").string() + ": cannot read the file"},
    };
    for (const auto& [arguments, log, message] : cases)
    {
        const HOST_RESULT run = run_host(arguments + " --debug-log " + log);
        EXPECT_EQ(run.status, 2) << log << "\n" << run.output;
        EXPECT_TRUE(has_line(run.output, "asm_host: " + message)) << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "work")) << log;
        EXPECT_FALSE(fs::exists(m_scratch / "asm_out")) << log;
        fs::remove_all(m_scratch / "work");
    }
    EXPECT_EQ(read_text(m_scratch / "alone" / "empty.sof"), "");
    EXPECT_EQ(read_text(m_scratch / "nodesign" / "held.log"), "");
    EXPECT_EQ(read_text(m_scratch / "project" / "blinky.sof"), sof);
    EXPECT_EQ(read_text(bits / "assignments.xml"), assignments);
    EXPECT_EQ(read_text(m_scratch / "project" / "design.json"), design_json);
    EXPECT_EQ(read_text(m_scratch / "project" / "zorvane.ini"), "");
    EXPECT_EQ(read_text(m_scratch / "dz" / "zorvane.ini"), "");

    const HOST_RESULT run = run_host(command + " --debug-log debug.log");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> log = lines_of(read_text(m_scratch / "debug.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], DEBUG_LOG_FIRST_LINE);
    EXPECT_EQ(log[1], "ASM: ASM Begin");
    EXPECT_EQ(log.back(), "ASM: ASM End");
}

TEST_F(HostFaults, ARunThatWritesNoSofIsNotASuccess)
{
    // The option block stops before the device run when a partial-
    // reconfiguration partition's PR POF id is incomplete.
    const std::pair<const char*, std::function<void(json&)>> cases[] = {
        {"PR POF index 0",
         [](json& d) {
             for (json& partition : d["partitions"])
                 if (partition["name"] == "filter_a")
                     partition["pr_pof_index"] = 0;
         }},
        {"no PR POF value data",
         [](json& d) {
             for (json& partition : d["partitions"])
                 if (partition["name"] == "filter_b")
                     partition.erase("pr_pof_value_data");
         }},
    };
    int n = 0;
    for (const auto& [what, change] : cases)
    {
        SCOPED_TRACE(what);
        const std::string name = "design" + std::to_string(n++);
        design_with("transceiver_pr", name, change);
        const HOST_RESULT run = run_host("assemble " + name + " --out " + name + "_out");
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_TRUE(has_line(run.output, "Result: 0")) << run.output;
        EXPECT_TRUE(has_line(run.output, "Exit status: 1 (no SRAM object file was written: the run's last debug "
                                         "line reads \"Missing PR options data\")"))
            << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / (name + "_out") / "transceiver_pr.sof"));
    }
}

TEST_F(HostFaults, ADesignWithoutWhatTheCommandNeedsIsADesignError)
{
    assemble_basic();
    design_with("routed", "unrouted", [](json& d) { d.erase("routing"); });
    design_with("basic", "no_asm_data", [](json& d) { d["die"].erase("asm_data"); });
    fs::create_directories(m_scratch / "alone");
    fs::copy_file(m_scratch / "project" / "blinky.sof", m_scratch / "alone" / "blinky.sof");
    const std::string assignments = "'" ASM_TEST_SOURCE_DIR "/examples/bit_settings/assignments.xml'";
    const std::pair<std::string, std::string> cases[] = {
        {"dump-re-network unrouted pre_asm mcfs --out work",
         "asm_host: unrouted/design.json: routing: required key is missing: dump-re-network dumps the design's "
         "routed network"},
        {"process-sof project/blinky.sof " + assignments + " --design no_asm_data --out work",
         "asm_host: " + (m_scratch / "no_asm_data" / "design.json").string() +
             ": die.asm_data: required key is missing: process-sof opens the device through its assembler data"},
        {"process-sof alone/blinky.sof " + assignments + " --out work",
         "asm_host: " + (m_scratch / "alone" / "design.json").string() +
             ": cannot read the file; give --design DIR, the design directory of the SRAM object file"},
    };
    for (const auto& [arguments, message] : cases)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
        EXPECT_TRUE(has_line(run.output, message)) << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "work")) << arguments;
    }
}

TEST_F(HostFaults, ArgumentsAreCheckedBeforeDesignJsonAndTheHostSaysWhereItWorksFirst)
{
    // A design.json that is not JSON: a problem of the arguments must be
    // found before it is read.
    const fs::path design = copy_example("routed", "design");
    write_text(design / "design.json", "{ not json");
    fs::create_directories(m_scratch / "taken");
    const std::string sof = "design/blinky.sof bits/bits.xml";
    write_text(design / "blinky.sof", "");
    fs::create_directories(m_scratch / "bits");
    write_text(m_scratch / "bits" / "bits.xml", "");
    // A .sof that is a FIFO without a writer or a device that never ends.
    ASSERT_EQ(mkfifo((design / "pipe.sof").c_str(), 0600), 0);
    const std::string missing_module =
        "asm_host: cannot load " + (m_scratch / "nowhere.so").string() + ": " + (m_scratch / "nowhere.so").string();
    const std::pair<std::string, std::string> cases[] = {
        {"assemble design --out taken", "asm_host: taken: already exists (a project directory is never reused)"},
        {"assemble design --out work --module nowhere.so", missing_module},
        {"assemble design --out work --debug-log design/log.txt",
         "asm_host: design/log.txt: the debug log cannot lie inside the design directory"},
        {"dump-re-network design pre_asm mcfs --out taken",
         "asm_host: taken: already exists (a project directory is never reused)"},
        {"dump-re-network design pre_asm mcfs --out work --module nowhere.so", missing_module},
        {"process-sof " + sof + " --out taken",
         "asm_host: taken: already exists (a project directory is never reused)"},
        {"process-sof " + sof + " --out work --module nowhere.so", missing_module},
        {"process-sof design/pipe.sof bits/bits.xml --out work", "asm_host: design/pipe.sof: not a file"},
        {"process-sof /dev/zero bits/bits.xml --out work", "asm_host: /dev/zero: not a file"},
        {"process-sof " + sof + " --out work --debug-log design/design.json",
         "asm_host: design/design.json: the debug log cannot lie inside the design directory"},
    };
    for (const auto& [arguments, message] : cases)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
        EXPECT_EQ(run.output.rfind(message, 0), 0u) << arguments << "\n" << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "work")) << arguments;
        EXPECT_TRUE(fs::is_empty(m_scratch / "taken")) << arguments;
    }

    // With the arguments right, the host names its directory before it
    // reads the design, and takes the directory back when the design fails.
    const std::pair<std::string, std::string> starts[] = {
        {"assemble design --out work", "asm_host: assembling design in work"},
        {"dump-re-network design pre_asm mcfs --out work", "asm_host: dumping the routed network of design in work"},
    };
    for (const auto& [arguments, first] : starts)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 2) << run.output;
        const std::vector<std::string> lines = lines_of(run.output);
        ASSERT_EQ(lines.size(), 2u) << run.output;
        EXPECT_EQ(lines[0], first);
        EXPECT_EQ(lines[1].rfind("asm_host: design/design.json: not valid JSON", 0), 0u) << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "work")) << arguments;
    }
}

TEST_F(HostFaults, ManyPartitionsAndSuppressedIdsAreReadInLinearTime)
{
    // Designs of partitions (all below p0) and twice as many suppressed
    // message ids: the run's CPU time grows with the lists, not with their
    // square.
    const size_t n = 4000;
    for (size_t size : growth_sizes(n))
    {
        const fs::path design = design_with("basic", "design" + std::to_string(size), [&](json& d) {
            json& partitions = d["partitions"];
            for (size_t i = 0; i < size; ++i)
                partitions.push_back(
                    {{"name", "p" + std::to_string(i)}, {"parent", i == 0 ? "root_partition" : "p0"}});
            json& suppressed = d["suppressed_messages"] = json::array();
            for (size_t i = 0; i < 2 * size; ++i)
                suppressed.push_back(100000 + i);
        });
        write_text(design / "zorvane.ini", "skip_asm = on\n");
    }
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        const std::string name = std::to_string(size);
        // The sizes run again, and a project directory is never reused.
        fs::remove_all(m_scratch / ("work" + name));
        const HOST_RESULT run = run_host("assemble design" + name + " --out work" + name);
        EXPECT_EQ(run.status, 0) << run.output;
    }));
}
