// The host when the file system, the arguments or the design fail it: a file
// or directory that goes away under a run, a debug log that would overwrite
// an input, a run that writes no SRAM object file, a design that lacks what
// a command needs, and arguments that are wrong however large the design.
// Each ends with the problem named, its exit status and nothing left behind.
#include "host_run.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

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
        std::string options = "";
        // The summary's reason: when the working directory is gone the module
        // cannot read the assignments file either, and its error comes first.
        std::string exit_line = "Exit status: 1 (the host could not read or store the run's output)";
    };
    const fs::path logs = m_scratch / "logs";
    fs::create_directories(logs);
    const CASE cases[] = {
        {"the working directory removed", [](const fs::path& work) { fs::remove_all(work); },
         (m_scratch / "work0").string() + ": cannot list the directory: No such file or directory", "",
         "Exit status: 1 (the run posted an error)"},
        {"a link to itself",
         [](const fs::path& work) { fs::create_symlink("loop.txt", work / "loop.txt"); },
         (m_scratch / "work1" / "loop.txt").string() + ": cannot read the file's status: Too many levels of symbolic "
                                                       "links"},
        {"the debug log's directory removed", [&logs](const fs::path&) { fs::remove_all(logs); },
         (logs / "debug.log").string() + ": cannot write the file: ", " --debug-log logs/debug.log"},
    };
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const fs::path work = m_scratch / ("work" + std::to_string(n++));
        HOST_RESULT run;
        std::thread host([&] {
            run = run_host("process-sof project/blinky.sof bits/bits.xml --out " + work.filename().string() +
                           " --module modules/libasm.so" + c.options);
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

TEST_F(HostFaults, ARunThatEndsTheProcessLeavesItsDebugLinesInTheTemporaryItNamed)
{
    // A programming-file command of the design sends its shell's parent, the
    // host, a signal mid-run. SIGTERM and SIGINT end the host through its
    // handler, which names the debug log's temporary again; SIGKILL cannot
    // be caught, and the line the host printed when the run started names it.
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
        std::string temporary = line_value(run.output, "asm_host: the debug log goes to ");
        const std::string until = " until the run ends";
        ASSERT_TRUE(temporary.size() > until.size() &&
                    temporary.compare(temporary.size() - until.size(), until.size(), until) == 0)
            << run.output;
        temporary.resize(temporary.size() - until.size());
        EXPECT_EQ(fs::path(temporary).parent_path(), m_scratch);
        EXPECT_EQ(fs::path(temporary).filename().string().rfind("." + log + ".", 0), 0u) << temporary;
        const std::string lines = read_text(temporary);
        EXPECT_EQ(lines.rfind("ASM: ASM Begin\n", 0), 0u) << lines;
        EXPECT_EQ(lines.find("ASM End"), std::string::npos) << lines;
        EXPECT_FALSE(fs::exists(m_scratch / log));
        if (signal != SIGKILL)
        {
            EXPECT_TRUE(has_line(run.output, "asm_host: the debug log's lines so far are in " + temporary))
                << run.output;
        }
        EXPECT_EQ(temporaries(m_scratch / (design + "_out")), std::vector<std::string>());
    }
}

TEST_F(HostFaults, ASignalDuringALongWriteRemovesTheFileBeingWritten)
{
    // A routed design whose nets all pass the same hops of long names: a
    // small design.json, a dump of tens of megabytes written through a
    // temporary. The test sends SIGTERM once the dump's temporary is in the
    // project directory; a run that ended before the signal landed is tried
    // again with more nets.
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
    bool signalled = false;
    for (int attempt = 0, nets = 200; attempt < 4 && !signalled; ++attempt, nets *= 2)
    {
        SCOPED_TRACE(std::to_string(nets) + " nets");
        const std::string name = "routed" + std::to_string(attempt);
        routed_design(name, nets);
        const fs::path project = m_scratch / (name + "_out");
        const fs::path output = m_scratch / (name + ".txt");
        const std::string scratch = m_scratch.string(), log = output.string(), out = project.string();
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || ::chdir(scratch.c_str()) != 0 || ::dup2(fd, STDOUT_FILENO) < 0 ||
                ::dup2(fd, STDERR_FILENO) < 0)
                ::_exit(126);
            ::execl(ASM_HOST_PATH, "asm_host", "dump-re-network", name.c_str(), "pre_asm_with_bits", "mcfs", "--out",
                    out.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Polls until the dump's temporary appears or the host has ended.
        int wait_status = 0;
        pid_t ended = 0;
        bool seen = false;
        for (long polls = 0; polls < 1000000 && !seen && ended == 0; ++polls)
        {
            seen = !temporaries(project, ".counter.asmre.").empty();
            if (!seen)
            {
                ended = ::waitpid(pid, &wait_status, WNOHANG);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
        if (ended == 0)
        {
            ::kill(pid, SIGTERM);
            ended = ::waitpid(pid, &wait_status, 0);
        }
        ASSERT_EQ(ended, pid);
        const std::string text = read_text(output);
        ASSERT_TRUE(WIFEXITED(wait_status)) << text;
        if (WEXITSTATUS(wait_status) == 0)
        {
            // The dump was written before the signal: try again, longer.
            EXPECT_TRUE(fs::exists(project / "counter.asmre")) << text;
            fs::remove_all(project);
            continue;
        }
        signalled = true;
        EXPECT_TRUE(seen) << text;
        EXPECT_EQ(WEXITSTATUS(wait_status), 128 + SIGTERM) << text;
        EXPECT_EQ(temporaries(project), std::vector<std::string>()) << text;
        EXPECT_FALSE(fs::exists(project / "counter.asmre")) << text;
    }
    EXPECT_TRUE(signalled) << "every dump ended before the signal";
}

TEST_F(HostFaults, ADebugLogNeverChangesAFileTheRunReads)
{
    // The inputs reached through names the run does not use: a key file and
    // an assignments file named by absolute paths outside the design, hard
    // links, the module (a copy: the test must not break the build), and an
    // include that only the module finds.
    fs::create_directories(m_scratch / "keys");
    fs::copy_file(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "secure_boot" / "design.zky",
                  m_scratch / "keys" / "design.zky");
    design_with("secure_boot", "secure", [this](json& d) {
        for (json& setting : d["partitions"][0]["settings"])
            if (setting["id"] == 1519)
                setting["value"] = (m_scratch / "keys" / "design.zky").string();
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
    const fs::path built = fs::path(ASM_HOST_PATH).parent_path();
    fs::create_directories(m_scratch / "modules");
    for (const char* file : {"libasm.so", "libsld_kovx.so", "assembler_asgn.xsd"})
        fs::copy_file(built / file, m_scratch / "modules" / file);
    write_text(m_scratch / "real.log", "an earlier log\n");
    fs::create_symlink("real.log", m_scratch / "link.log");
    write_text(m_scratch / "private.log", "an earlier log\n");
    fs::permissions(m_scratch / "private.log", fs::perms::owner_read | fs::perms::owner_write);
    // A device script outside the design that opens a file by absolute path
    // and sources one by a path relative to the run's directory.
    fs::create_directories(m_scratch / "tclx" / "zasm");
    write_text(m_scratch / "tclx" / "data.txt", "the script's data\n");
    write_text(m_scratch / "tclx" / "more.tcl", "set sourced 1\n");
    write_text(m_scratch / "tclx" / "zasm" / "zx15f256.tcl",
               "set f [open " + (m_scratch / "tclx" / "data.txt").string() +
                   " r]\nread $f\nclose $f\nsource ../tclx/more.tcl\n");
    design_with("basic", "scripted", [this](json& d) {
        d["settings"]["namespace"].push_back({{"id", 658}, {"type", "boolean"}, {"value", true}});
        d["tcl_directory"] = (m_scratch / "tclx").string();
    });
    // The host program, by a hard link: a log renamed over the link would
    // leave the built program as it is.
    std::error_code link_ec;
    fs::create_hard_link(ASM_HOST_PATH, m_scratch / "host-link", link_ec);
    // A log that cannot be renamed over: a mount point, another user's file
    // in a sticky directory; and one that no run may replace: append-only.
    // Each needs what the machine may not allow (root, mounts, chattr).
    write_text(m_scratch / "bound-source.log", "an earlier log\n");
    write_text(m_scratch / "bound.log", "");
    const bool bound = ::mount((m_scratch / "bound-source.log").c_str(), (m_scratch / "bound.log").c_str(), nullptr,
                               MS_BIND, nullptr) == 0;
    if (bound)
        m_mounts.push_back(m_scratch / "bound.log");
    write_text(m_scratch / "append.log", "an earlier log\n");
    m_append_only.push_back(m_scratch / "append.log");
    const bool append_only =
        std::system(("chattr +a '" + (m_scratch / "append.log").string() + "' 2>/dev/null").c_str()) == 0;
    std::string why_not_other_user;
    const OTHER_USER nobody = other_user(why_not_other_user);
    const bool other_user = !nobody.runner.empty();
    fs::create_directories(m_scratch / "sticky");
    fs::permissions(m_scratch / "sticky", fs::perms::all | fs::perms::sticky_bit);
    write_text(m_scratch / "sticky" / "owned.log", "an earlier log\n");
    fs::permissions(m_scratch / "sticky" / "owned.log", fs::perms::owner_read | fs::perms::owner_write |
                                                            fs::perms::group_read | fs::perms::group_write |
                                                            fs::perms::others_read | fs::perms::others_write);
    // A log of another owner, replaced by a run that may keep its owner.
    write_text(m_scratch / "nobody.log", "an earlier log\n");
    const bool chowned = ::chown((m_scratch / "nobody.log").c_str(), 65534, 65534) == 0;

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
        std::string runner = "";
        // False when the machine cannot set the case up.
        bool runs = true;
    };
    const CASE cases[] = {
        {"the key file of setting 1519", "assemble secure", "keys/design.zky", 2,
         "asm_host: keys/design.zky: the debug log cannot be the file of setting 1519",
         m_scratch / "keys" / "design.zky"},
        {"the assignments file of setting 1492", "assemble netlist", "options/assembler_options.xml", 2,
         "asm_host: options/assembler_options.xml: the debug log cannot be the file of setting 1492",
         m_scratch / "options" / "assembler_options.xml"},
        {"a hard link of design.json", "assemble basic", "design-link.json", 2,
         "asm_host: design-link.json: the debug log cannot be design.json of the design directory",
         m_scratch / "basic" / "design.json"},
        {"a hard link of the assignments file", "process-sof project/blinky.sof bits/assignments.xml",
         "assignments-link.xml", 2,
         "asm_host: assignments-link.xml: the debug log cannot be assignments.xml of the assignments file's "
         "directory",
         m_scratch / "bits" / "assignments.xml"},
        {"the module", "assemble plain --module modules/libasm.so", "modules/libasm.so", 2,
         "asm_host: modules/libasm.so: the debug log cannot be the module", m_scratch / "modules" / "libasm.so"},
        {"a directory that takes no new file", "assemble plain", "/proc/self/comm", 2,
         "asm_host: /proc/self/comm: cannot write the debug log: cannot create a file in its directory: ", ""},
        {"an include that only the module reads", "assemble included", "options/more.xml", 1,
         "asm_host: " + (m_scratch / "options" / "more.xml").string() +
             ": the debug log cannot replace a file that the run read; its lines are in ",
         m_scratch / "options" / "more.xml"},
        {"a file that the device script opens", "assemble scripted", "tclx/data.txt", 1,
         "asm_host: " + (m_scratch / "tclx" / "data.txt").string() +
             ": the debug log cannot replace a file that the run read; its lines are in ",
         m_scratch / "tclx" / "data.txt"},
        {"a file that the device script sources", "assemble scripted", "tclx/more.tcl", 1,
         "asm_host: " + (m_scratch / "tclx" / "more.tcl").string() +
             ": the debug log cannot replace a file that the run read; its lines are in ",
         m_scratch / "tclx" / "more.tcl"},
        {"the host program", "assemble plain", "host-link", 2,
         "asm_host: host-link: the debug log cannot be the host program", "", "", "", !link_ec},
        {"a parent that --out makes", "assemble plain", "oo", 2,
         "asm_host: oo: the debug log cannot be the project directory or a directory above it", "", "oo/o"},
        {"a parent that process-sof's --out makes", "process-sof project/blinky.sof bits/assignments.xml", "pp", 2,
         "asm_host: pp: the debug log cannot be the project directory or a directory above it", "", "pp/w"},
        {"an append-only log", "assemble plain", "append.log", 2,
         "asm_host: append.log: cannot write the debug log: Operation not permitted", m_scratch / "append.log", "",
         "", append_only},
        {"a symbolic link", "assemble plain", "link.log", 0, "", ""},
        {"a log of mode 0600", "assemble plain", "private.log", 0, "", ""},
        {"a log of another owner", "assemble plain", "nobody.log", 0, "", ""},
        {"a mount point", "assemble plain", "bound.log", 0, "", "", "", "", bound},
        {"another user's log in a sticky directory", "assemble plain", "sticky/owned.log", 0, "", "", "sticky/work",
         nobody.runner, other_user},
    };
    int n = 0;
    std::vector<std::string> not_run;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (!c.runs)
        {
            not_run.push_back(c.what);
            continue;
        }
        const std::string input = c.input.empty() ? "" : read_text(c.input);
        const std::string out = c.out.empty() ? "work" + std::to_string(n++) : c.out;
        const HOST_RESULT run = run_host(c.arguments + " --out " + out + " --debug-log " + c.log, c.runner,
                                         c.runner.empty() ? ASM_HOST_PATH : nobody.host);
        EXPECT_EQ(run.status, c.status) << run.output;
        if (!c.message.empty())
        {
            EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        }
        if (!c.input.empty())
        {
            EXPECT_EQ(read_text(c.input), input);
        }
        if (c.status == 2)
        {
            EXPECT_FALSE(fs::exists(m_scratch / *fs::path(out).begin()));
        }
        if (c.status == 1)
        {
            const std::string temporary = line_value(run.output, c.message);
            EXPECT_EQ(read_text(temporary).rfind("ASM: ASM Begin\n", 0), 0u) << temporary;
        }
    }
    // The log reached through a link is written where the link leads; a
    // replaced log keeps its mode.
    EXPECT_TRUE(fs::is_symlink(m_scratch / "link.log"));
    EXPECT_EQ(lines_of(read_text(m_scratch / "real.log")).back(), "ASM: ASM End");
    EXPECT_EQ(fs::status(m_scratch / "private.log").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(lines_of(read_text(m_scratch / "private.log")).back(), "ASM: ASM End");
    // A log that cannot be renamed over is written in place, its temporary
    // gone; a replaced log keeps its owner where the run may give it.
    const auto last_line = [](const fs::path& file) {
        const std::vector<std::string> lines = lines_of(read_text(file));
        return lines.empty() ? std::string() : lines.back();
    };
    if (bound)
    {
        EXPECT_EQ(last_line(m_scratch / "bound-source.log"), "ASM: ASM End");
    }
    if (other_user)
    {
        EXPECT_EQ(last_line(m_scratch / "sticky" / "owned.log"), "ASM: ASM End");
        EXPECT_EQ(temporaries(m_scratch / "sticky", ".owned.log."), std::vector<std::string>());
    }
    if (!link_ec)
    {
        EXPECT_TRUE(fs::equivalent(m_scratch / "host-link", ASM_HOST_PATH));
    }
    struct stat owner;
    ASSERT_EQ(::stat((m_scratch / "nobody.log").c_str(), &owner), 0);
    EXPECT_EQ(owner.st_uid, chowned ? 65534u : ::geteuid());
    EXPECT_EQ(last_line(m_scratch / "nobody.log"), "ASM: ASM End");
    EXPECT_EQ(temporaries(m_scratch, ".bound.log."), std::vector<std::string>());
    if (!not_run.empty())
    {
        std::string names;
        for (const std::string& what : not_run)
            names += (names.empty() ? "" : ", ") + what;
        GTEST_SKIP() << "this machine cannot set up: " << names;
    }
}

TEST_F(HostFaults, ProcessSofRefusesADebugLogOverItsInputsBeforeMakingAnything)
{
    assemble_basic();
    const fs::path bits = copy_example("bit_settings", "bits");
    const std::string sof = read_text(m_scratch / "project" / "blinky.sof");
    const std::string assignments = read_text(bits / "assignments.xml");
    const std::string design_json = read_text(m_scratch / "project" / "design.json");
    const std::string command = "process-sof project/blinky.sof bits/assignments.xml --out work --debug-log ";
    const std::pair<std::string, std::string> cases[] = {
        {"project/blinky.sof", "project/blinky.sof: the debug log cannot be the SRAM object file"},
        {"bits/assignments.xml",
         "bits/assignments.xml: the debug log cannot lie inside the assignments file's directory"},
        {"project/design.json", "project/design.json: the debug log cannot be the design's design.json"},
        {"work/debug.log", "work/debug.log: the debug log cannot lie inside the project directory"},
        {"/dev/full", "/dev/full: not a regular file"},
        {"missing/debug.log", "missing/debug.log: cannot write the debug log: its directory does not exist"},
    };
    for (const auto& [log, message] : cases)
    {
        const HOST_RESULT run = run_host(command + log);
        EXPECT_EQ(run.status, 2) << log << "\n" << run.output;
        EXPECT_TRUE(has_line(run.output, "asm_host: " + message)) << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "work")) << log;
        EXPECT_FALSE(fs::exists(m_scratch / "asm_out")) << log;
    }
    EXPECT_EQ(read_text(m_scratch / "project" / "blinky.sof"), sof);
    EXPECT_EQ(read_text(bits / "assignments.xml"), assignments);
    EXPECT_EQ(read_text(m_scratch / "project" / "design.json"), design_json);

    const HOST_RESULT run = run_host(command + "debug.log");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> log = lines_of(read_text(m_scratch / "debug.log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "ASM: ASM Begin");
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
         "asm_host: design/design.json: the debug log cannot be the design's design.json"},
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
        const HOST_RESULT run = run_host("assemble design" + name + " --out work" + name);
        EXPECT_EQ(run.status, 0) << run.output;
    }));
}
