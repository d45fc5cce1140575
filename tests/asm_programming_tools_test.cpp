// The end of a device run: the external programming-file tools (real
// processes: fake tools on PATH that print their words) and the
// device-specific Tcl script (a real Tcl interpreter).
#include "asm_assemble_asmm.h"
#include "asm_signal_registry.h"
#include "asm_util.h"
#include "entry_fixture.h"

#include <acf.h>
#include <zexe.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <climits>
#include <fstream>
#include <functional>
#include <optional>
#include <iostream>
#include <sched.h>
#include <sstream>
#include <thread>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// Prints its own name and each word in brackets, and notes the run in
// runs.txt. "fail" as first word prints an error line and exits with 3;
// "pieces" prints two lines of 264 and 260 characters and exits with 1.
const char* const FAKE_TOOL = R"SH(#!/bin/sh
name=$(basename "$0")
echo "$name $*" >> runs.txt
echo "$name ran:"
for word in "$@"; do echo "[$word]"; done
if [ "$1" = fail ]; then echo "Error (12): conversion failed"; exit 3; fi
if [ "$1" = pieces ]; then
  a=$(printf '%254s' '' | tr ' ' a); b=$(printf '%250s' '' | tr ' ' b)
  echo "${a}Error (x)"; echo "${b}Error (y)"; exit 1
fi
exit 0
)SH";

std::string read_text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// From now on pidfd_open fails with ENOSYS in this process and what it
// starts, as on a system without process descriptors; false where that
// cannot be arranged.
bool refuse_process_descriptors()
{
#ifdef SYS_pidfd_open
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pidfd_open, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0 &&
           syscall(SYS_pidfd_open, getpid(), 0) == -1 && errno == ENOSYS;
#else
    return false;
#endif
}

// Runs the work in a child process in which pidfd_open fails, as on a
// system without process descriptors (a filter that cannot be taken back,
// so never in the test's own process), and gives what the work returned;
// nullopt where that cannot be arranged. A child that fails is an error.
std::optional<std::string> without_process_descriptors(const std::function<std::string()>& work)
{
    char name[] = "/tmp/asm_no_pidfd_XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0)
        return std::string("mkstemp failed");
    ::close(fd);
    const pid_t child = ::fork();
    if (child == 0)
    {
        if (!refuse_process_descriptors())
            ::_exit(2);
        write_text(name, work());
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string text = read_text(name);
    ::unlink(name);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child ended with wait status " + std::to_string(status);
    return text;
}

// Partial-reconfiguration partitions whose revision info is their own.
class FAKE_PARTITIONS : public ASM2_IPARTITIONS, public ASM2_IPROJECT_REVISION_INFO
{
public:
    int get_count() override { return static_cast<int>(m_records.size()); }
    ASM2_IPROJECT_REVISION_INFO* get_revision_info() override { return this; }
    const char* get_output_directory() override { return m_directory.c_str(); }
    const char* get_file_name() override { return "top.pmsf"; }
    const REGION_REVISION& get_region_revision(int index) override { return m_records.at(static_cast<size_t>(index)); }
    std::vector<std::string>* get_string_list() override { return nullptr; }

    std::string m_directory;
    std::vector<REGION_REVISION> m_records;
};

}  // namespace

class ProgrammingTools : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        acf_reset_revision();
        zexe_reset();
        dstr_set_debug_string(BASE_DEVICE, "VR_Base_Debug");
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART, DEVICE));
        fs::current_path(m_project_dir);

        // The fake tools first on PATH, for this case only.
        const fs::path tools = fs::path(m_project_dir) / "tools";
        fs::create_directories(tools);
        for (const char* name : {"zorvane_cpf", "zorvane_pfg"})
        {
            write_text(tools / name, FAKE_TOOL);
            chmod((tools / name).c_str(), 0755);
        }
        m_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (tools.string() + ":" + m_path).c_str(), 1);
    }

    // A case may change PATH; the next one, in the same process when the
    // cases run as one, starts from the PATH it was given.
    void TearDown() override
    {
        setenv("PATH", m_path.c_str(), 1);
        ENTRY_SUITE::TearDown();
    }

    std::unique_ptr<ASM_MY_PROJECT> make()
    {
        return std::make_unique<ASM_MY_PROJECT>(&cmp, &device, &part_manager, &chip, -1, nullptr);
    }

    static ACF_REVISION_MANAGER* revision() { return ACF_MANAGER::get_acf_manager()->get_revision_manager(); }

    std::string sof() const { return m_project_dir + "/rev1.sof"; }
    std::string rbf() const { return m_project_dir + "/rev1.rbf"; }

    // The texts of the posted messages of the id, in order.
    static std::vector<std::string> texts_of(unsigned id)
    {
        std::vector<std::string> texts;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            if (record.id == id)
                texts.push_back(record.text);
        return texts;
    }

    static std::string success(const std::string& command, const char* outcome = "successful")
    {
        return "Programming files generation using command " + command + " was " + outcome +
               ". Check pfg.log for more info.";
    }
    static std::string failure(const std::string& command) { return success(command, "unsuccessful"); }

    // What the fake tool prints for its words.
    static std::string printed(const std::string& name, const std::vector<std::string>& words)
    {
        std::string text = name + " ran:\n";
        for (const std::string& word : words)
            text += "[" + word + "]\n";
        return text;
    }

    std::string pfg_log() const { return read_text(fs::path(m_project_dir) / "pfg.log"); }
    std::string runs() const { return read_text(fs::path(m_project_dir) / "runs.txt"); }

    fs::path script_path() const { return fs::path(m_project_dir) / "tcl" / "zasm" / "vr_base_debug.tcl"; }

    void write_script(const std::string& text) const
    {
        fs::create_directories(script_path().parent_path());
        write_text(script_path(), text);
    }

    std::vector<std::string> script_lines() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : debug_texts())
            if (line.rfind("device_specific_tcl:", 0) == 0)
                lines.push_back(line);
        return lines;
    }

    DEV_PART_MANAGER part_manager;
    std::string m_path;
};

TEST_F(ProgrammingTools, DefaultCommandConvertsTheSofWithTheFamilysTool)
{
    revision()->set_assignment(1575, true);
    auto project = make();
    const std::pair<int, const char*> tools[] = {
        {29, "zorvane_pfg"}, {52, "zorvane_pfg"}, {67, "zorvane_pfg"}, {15, "zorvane_cpf"}, {44, "zorvane_cpf"}};
    std::string expected_runs;
    for (const auto& [family, tool] : tools)
    {
        EXPECT_TRUE(run_programming_file_tools(family, *project));
        EXPECT_EQ(texts_of(22527).back(), success(std::string(tool) + "  -c " + sof() + " " + rbf())) << family;
        EXPECT_EQ(pfg_log(), printed(tool, {"-c", sof(), rbf()})) << family;
        expected_runs += std::string(tool) + " -c " + sof() + " " + rbf() + "\n";
    }
    EXPECT_EQ(runs(), expected_runs);
    EXPECT_EQ(revision()->read_lock_count(), 0);

    // A tool that cannot start fails, and pfg.log, where its message sends
    // the user, says why.
    setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(run_programming_file_tools(29, *project));
    EXPECT_EQ(texts_of(22528), std::vector<std::string>{failure("zorvane_pfg  -c " + sof() + " " + rbf())});
    EXPECT_EQ(pfg_log(), "Cannot start zorvane_pfg: No such file or directory\n");
    // So does a command-file line whose tool the shell cannot find.
    write_text("pfg_commands.txt", "first one\n");
    revision()->set_assignment(1576, "pfg_commands.txt");
    EXPECT_FALSE(run_programming_file_tools(15, *project));
    EXPECT_EQ(pfg_log(), "zorvane_cpf first one: exit status 127, which the shell gives for a command it cannot "
                         "find\n");
}

TEST_F(ProgrammingTools, ALogThatCannotBeWrittenIsAnError)
{
    // A full disk (the log on /dev/full), then a directory in the log's place.
    revision()->set_assignment(1575, true);
    auto project = make();
    const std::string log = m_project_dir + "/pfg.log";
    const std::string error = "Error: Failed to open " + log +
                              " file for writing. Confirm that you have write permission for this file. Update the "
                              "file permissions, if needed.";
    fs::create_symlink("/dev/full", log);
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(texts_of(22527).size(), 1u);
    EXPECT_EQ(texts_of(22683), std::vector<std::string>{error});

    fs::remove(log);
    fs::create_directory(log);
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(texts_of(22527).size(), 2u);
    EXPECT_EQ(texts_of(22683), (std::vector<std::string>{error, error}));

    // A tool that fails: its failure and the log's.
    write_text("pfg_commands.txt", "fail now\n");
    revision()->set_assignment(1576, "pfg_commands.txt");
    EXPECT_FALSE(run_programming_file_tools(15, *project));
    EXPECT_EQ(texts_of(22528).front(), failure("zorvane_cpf fail now"));
    EXPECT_EQ(texts_of(22683), (std::vector<std::string>{error, error, error}));
}

TEST_F(ProgrammingTools, CommandFileLinesRunInOrderUntilOneFails)
{
    // Windows line ends, an empty line, and a last line without a line feed.
    write_text("pfg_commands.txt", "first one\r\n\nfail now\r\nthird");
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    auto project = make();

    EXPECT_FALSE(run_programming_file_tools(15, *project));

    EXPECT_EQ(texts_of(22527), std::vector<std::string>{success("zorvane_cpf first one")});
    EXPECT_EQ(texts_of(22528), (std::vector<std::string>{failure("zorvane_cpf fail now"),
                                                          failure("Error (12): conversion failed\n")}));
    EXPECT_EQ(runs(), "zorvane_cpf first one\nzorvane_cpf fail now\n");
    EXPECT_EQ(pfg_log(), printed("zorvane_cpf", {"first", "one"}) + printed("zorvane_cpf", {"fail", "now"}) +
                             "Error (12): conversion failed\n");
    EXPECT_EQ(revision()->read_lock_count(), 0);
}

TEST_F(ProgrammingTools, CommandFileWithoutCommandsKeepsTheDefault)
{
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    auto project = make();
    const std::string default_runs = "zorvane_cpf -c " + sof() + " " + rbf() + "\n";

    write_text("pfg_commands.txt", "\n\r\n\n");
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(runs(), default_runs);

    revision()->set_assignment(1576, "no/such/pfg_commands.txt");
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(runs(), default_runs + default_runs);
    const std::vector<MSG_RECORD>& messages = MSG_REPORT::active().messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].id, 22673u);
    EXPECT_EQ(messages[1].text.find("pfg_commands.txt is not found under no/such/pfg_commands.txt, "), 0u);
    EXPECT_EQ(messages[2].id, 22527u);
}

TEST_F(ProgrammingTools, PathsWithShellCharactersReachTheToolAsTwoWords)
{
    const std::string directory = m_project_dir + "/a b;touch x";
    fs::create_directories(directory);
    gen_set_project_output_directory(directory);
    revision()->set_assignment(1575, true);
    auto project = make();

    EXPECT_TRUE(run_programming_file_tools(15, *project));

    const std::string sof_path = directory + "/rev1.sof";
    const std::string rbf_path = directory + "/rev1.rbf";
    EXPECT_EQ(pfg_log(), printed("zorvane_cpf", {"-c", sof_path, rbf_path}));
    EXPECT_EQ(texts_of(22527),
              std::vector<std::string>{success("zorvane_cpf  -c '" + sof_path + "' '" + rbf_path + "'")});
    EXPECT_FALSE(fs::exists(fs::path(m_project_dir) / "x"));
    EXPECT_FALSE(fs::exists(fs::path(directory) / "x"));
}

TEST_F(ProgrammingTools, RevisionLocksDecideWhetherToolsRun)
{
    write_text("pfg.log", "earlier run\n");
    auto project = make();

    // 1575 absent, then off; then on under the caller's write lock.
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    revision()->set_assignment(1575, false);
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    revision()->set_assignment(1575, true);
    ASSERT_TRUE(revision()->write_lock());
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(pfg_log(), "earlier run\n");
    EXPECT_FALSE(fs::exists("runs.txt"));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    revision()->write_unlock();

    // The caller's read lock is left as it was.
    ASSERT_TRUE(revision()->read_lock(true));
    EXPECT_TRUE(run_programming_file_tools(15, *project));
    EXPECT_EQ(revision()->read_lock_count(), 1);
    revision()->read_unlock();

    revision()->set_read_lock_refused(true);
    EXPECT_EQ(internal_error_of([&] { run_programming_file_tools(15, *project); }),
              "Could not open ZSF for assignment query. @comp/asm/asm_util");
    EXPECT_EQ(runs(), "zorvane_cpf -c " + sof() + " " + rbf() + "\n");
}

TEST_F(ProgrammingTools, OutputReachesTheLogInPiecesAndOnlyWholeErrorTextsAreSeen)
{
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    write_text("pfg_commands.txt", "pieces");  // a last line without a line feed counts
    auto project = make();

    EXPECT_FALSE(run_programming_file_tools(15, *project));

    // The first line splits after 254 characters, so its "Error (" starts a
    // piece; the second splits inside its "Error (" and goes unseen.
    EXPECT_EQ(texts_of(22528), (std::vector<std::string>{failure("zorvane_cpf pieces"), failure("Error (x)\n")}));
    const std::string expected = printed("zorvane_cpf", {"pieces"}) + std::string(254, 'a') + "Error (x)\n" +
                                 std::string(250, 'b') + "Error (y)\n";
    EXPECT_EQ(pfg_log(), expected);
}

TEST_F(ProgrammingTools, PartialReconfigurationMaskFileNamesThePaths)
{
    revision()->set_assignment(1575, true);
    auto project = make();
    auto partitions = std::make_unique<FAKE_PARTITIONS>();
    partitions->m_directory = m_project_dir + "/out";
    partitions->m_records.resize(2);
    partitions->m_records[1].no_output_files = 1;
    FAKE_PARTITIONS* held = partitions.get();
    project->m_pr_partitions = std::move(partitions);

    EXPECT_TRUE(run_programming_file_tools(15, *project));
    const std::string stem = m_project_dir + "/out/top";
    EXPECT_EQ(pfg_log(), printed("zorvane_cpf", {"-c", stem + ".sof", stem + ".rbf"}));

    // Every record without output files leaves no path; the lock is released.
    held->m_records[0].no_output_files = 1;
    EXPECT_EQ(internal_error_of([&] { run_programming_file_tools(15, *project); }),
              "!sof_path.fullpath().empty() @comp/asm/asm_util");
    EXPECT_EQ(revision()->read_lock_count(), 0);
}

TEST_F(ProgrammingTools, DeviceScriptRunsInTheTclInterpreterAndItsOutcomeIsOnlyLogged)
{
    gen_set_tcl_internal_fullpath(m_project_dir + "/tcl");
    auto project = make();
    const std::string found = "device_specific_tcl: Found " + script_path().string();

    // Setting 658 absent: nothing is looked for.
    project->device_specific_tcl();
    EXPECT_TRUE(script_lines().empty());

    cap_inst.set_bool_option(658, true);
    project->device_specific_tcl();
    write_script("");
    project->device_specific_tcl();
    write_script("set ::answer [expr {6 * 7}]\n");
    project->device_specific_tcl();
    // A script cannot end the process.
    write_script("exit 3\n");
    project->device_specific_tcl();
    EXPECT_EQ(script_lines(), (std::vector<std::string>{
                                  "device_specific_tcl: Not found " + script_path().string(), found,
                                  "device_specific_tcl: Empty tcl_value", found, "device_specific_tcl: TCL_OK ", found,
                                  "device_specific_tcl: TCL_FAIL "}));
    EXPECT_EQ(zexe_evaluation_count(), 2);
    EXPECT_EQ(zexe_get_global("answer"), "42");

    // A background process of the script that has ended by the script's end
    // is no zombie of the process afterwards: an ended child that no one
    // waits for would come first among the ended children for the rest of
    // the run.
    write_script("set ::pid [exec sh -c {exit 5} &]\nafter 300\n");
    project->device_specific_tcl();
    EXPECT_EQ(script_lines().back(), "device_specific_tcl: TCL_OK ");
    siginfo_t ended{};
    const int waited = ::waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT);
    EXPECT_TRUE(waited != 0 || ended.si_pid == 0) << "the script's process " << zexe_get_global("pid")
                                                  << " is left a zombie: " << ended.si_pid;

    // Through the whole device run: the script fails, the run goes on and
    // the tools still run after it.
    write_script("error boom\n");
    revision()->set_assignment(1575, true);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);
    EXPECT_EQ(script_lines().back(), "device_specific_tcl: TCL_FAIL ");
    EXPECT_EQ(zexe_last_script(), "error boom\n");
    EXPECT_TRUE(fs::exists(sof()));
    EXPECT_EQ(runs(), "zorvane_cpf -c " + sof() + " " + rbf() + "\n");
}

TEST_F(ProgrammingTools, WithoutProcessDescriptorsAToolsEndIsStillItsOwn)
{
    // Where the system has no process descriptors, a tool's end is looked
    // for. A tool that closes its output and goes on is waited for to its
    // real end and status; one whose output a process it left holds ends
    // the line once that output ends.
    write_text("pfg_commands.txt", "first one\n"
                                   "x; (sleep 0.2; echo held) &\n"
                                   "x; exec >/dev/null; sleep 0.2; echo late >late.txt; exit 3\n");
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    auto project = make();

    const std::optional<std::string> outcome = without_process_descriptors([&] {
        std::ostringstream text;
        text << "tools " << run_programming_file_tools(15, *project) << "\n";
        for (const std::string& message : texts_of(22527))
            text << message << "\n";
        for (const std::string& message : texts_of(22528))
            text << message << "\n";
        return text.str();
    });
    if (!outcome)
        GTEST_SKIP() << "a seccomp filter cannot refuse pidfd_open here";

    EXPECT_EQ(read_text(fs::path(m_project_dir) / "late.txt"), "late\n");
    EXPECT_EQ(*outcome, "tools 0\n" + success("zorvane_cpf first one") + "\n" +
                            success("zorvane_cpf x; (sleep 0.2; echo held) &") + "\n" +
                            failure("zorvane_cpf x; exec >/dev/null; sleep 0.2; echo late >late.txt; exit 3") + "\n");
    EXPECT_EQ(pfg_log(), printed("zorvane_cpf", {"first", "one"}) + printed("zorvane_cpf", {"x"}) + "held\n" +
                             printed("zorvane_cpf", {"x"}));
}

TEST_F(ProgrammingTools, WithoutProcessDescriptorsASilentToolCostsTheCallerAlmostNothing)
{
    // Where the tool's end is looked for, the caller still sleeps between
    // its looks while a tool writes nothing: a tool that keeps its output
    // open and one that has closed it and lives on, each silent for 1.5 s.
    // Each line writes the caller's CPU ticks (/proc/$PPID/stat) that went
    // by while it was silent; the least of three runs (a run within the
    // bound for both ends the row) must stay within 3% of the silent time.
    // A loop that wakes for nothing at each look's last millisecond spends
    // a tenth of a CPU. The host's own rows check the same with process
    // descriptors.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a tool cannot read the caller's CPU time";
    const std::string ticks = "$(awk '{print $14 + $15}' /proc/$PPID/stat)";
    const std::string silent = "s=" + ticks + "; sleep 1.5; echo $((" + ticks + " - s)) >>cpu.txt\n";
    write_text("pfg_commands.txt", "x; " + silent + "x; exec >/dev/null; " + silent);
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    auto project = make();
    const long bound = 3 * ::sysconf(_SC_CLK_TCK) * 15 / 1000;
    const std::optional<std::string> spent = without_process_descriptors([&] {
        std::vector<long> least(2, LONG_MAX);
        for (int round = 0; round < 3 && std::max(least[0], least[1]) > bound; ++round)
        {
            fs::remove("cpu.txt");
            if (!run_programming_file_tools(15, *project))
                return std::string("a run failed");
            std::istringstream lines(read_text("cpu.txt"));
            for (long& tool : least)
            {
                long ticks_spent = LONG_MAX;
                lines >> ticks_spent;
                tool = std::min(tool, ticks_spent);
            }
        }
        return std::to_string(least[0]) + " " + std::to_string(least[1]);
    });
    if (!spent)
        GTEST_SKIP() << "a seccomp filter cannot refuse pidfd_open here";
    long open = LONG_MAX, closed = LONG_MAX;
    std::istringstream(*spent) >> open >> closed;
    EXPECT_LE(open, bound) << "ticks while a tool with its output open was silent: " << *spent;
    EXPECT_LE(closed, bound) << "ticks while a tool that closed its output lived on: " << *spent;
}

TEST_F(ProgrammingTools, WhatTheToolsLeaveIsReapedButNoChildOfTheCaller)
{
    // The run goes on in a child process that takes in what the tools leave,
    // as the host does; as root, as the first process of a pid namespace of
    // its own, where the number a process gets can be chosen. Two children
    // of that caller end, one in its process group and one in a group of
    // its own, before the tools run; as root, only after a first child, in
    // a group of its own, has been given the number of a line's group whose
    // members all left it (setsid) while the run goes on. Ended children of
    // the caller then come first at every look, so that the run's groups
    // are looked through one by one: the lines' orphans are reaped all the
    // same, also a burst of them after a quiet while (the last line counts
    // the caller's zombies soon after), and each child is still the
    // caller's to wait for.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a line cannot count the caller's zombies";
    std::string commands;
    for (int line = 0; line < 10; ++line)
        commands += "x; for i in 1 2 3 4 5 6 7 8 9 10; do (sleep 0 >/dev/null 2>&1 &); done\n";
    commands += "x; echo $$ >group.txt; (sleep 0.2; exec setsid sleep 30 >/dev/null 2>&1) >/dev/null 2>&1 &\n"
                "x; sleep 1.5; for i in $(seq 50); do (sleep 0 >/dev/null 2>&1 &); done; sleep 0.15; "
                "cat /proc/[0-9]*/stat 2>/dev/null | awk -v p=$ASM_CALLER '$3 == \"Z\" && $4 == p' | wc -l "
                ">zombies.txt\n";
    write_text("pfg_commands.txt", commands);
    revision()->set_assignment(1575, true);
    revision()->set_assignment(1576, "pfg_commands.txt");
    auto project = make();
    const fs::path directory(m_project_dir);

    // The caller: what became of the tools and of each child, in outcome.txt.
    const auto caller = [&](bool choose_numbers) {
        // The lines find the caller by its number outside the namespace.
        ::setenv("ASM_CALLER", fs::read_symlink("/proc/self").c_str(), 1);
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        std::vector<std::pair<pid_t, int>> children;
        const auto child_ending_with = [&](int code, bool own_group) {
            const pid_t child = ::fork();
            if (child == 0)
            {
                if (own_group)
                    ::setpgid(0, 0);
                ::_exit(code);
            }
            siginfo_t ended{};
            ::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT);
            children.emplace_back(child, code);
        };
        if (!choose_numbers)
        {
            child_ending_with(7, false);
            child_ending_with(9, true);
        }
        std::thread anew;
        pid_t group = 0;
        if (choose_numbers)
            anew = std::thread([&] {
                for (int polls = 0; polls < 5000 && read_text(directory / "group.txt").empty(); ++polls)
                    ::usleep(1000);
                group = std::atoi(read_text(directory / "group.txt").c_str());
                // The line's tool is reaped and nothing is left of its group.
                for (int polls = 0; polls < 5000 && (::kill(group, 0) == 0 || ::kill(-group, 0) == 0); ++polls)
                    ::usleep(1000);
                std::ofstream("/proc/sys/kernel/ns_last_pid") << group - 1;
                child_ending_with(11, true);
                child_ending_with(7, false);
                child_ending_with(9, true);
            });
        std::ostringstream outcome;
        outcome << "tools " << run_programming_file_tools(15, *project) << "\n";
        if (anew.joinable())
            anew.join();
        if (choose_numbers)
            outcome << "given anew " << (children.front().first == group) << "\n";
        for (const auto& [child, code] : children)
        {
            int status = 0;
            const bool waited = ::waitpid(child, &status, WNOHANG) == child && WIFEXITED(status);
            outcome << "child " << code << " exit " << (waited ? WEXITSTATUS(status) : -1) << "\n";
        }
        write_text(directory / "outcome.txt", outcome.str());
    };
    const bool root = ::geteuid() == 0;
    const pid_t outer = ::fork();
    if (outer == 0)
    {
        if (!root || ::unshare(CLONE_NEWPID) != 0)
        {
            caller(false);
            ::_exit(0);
        }
        const pid_t first = ::fork();
        if (first == 0)
        {
            caller(true);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(first, &status, 0);
        ::_exit(1);
    }
    ASSERT_GT(outer, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(outer, &status, 0), outer);
    const bool chosen = WIFEXITED(status) && WEXITSTATUS(status) == 1;
    if (root && !chosen)
        std::cout << "[  SKIPPED ] a pid namespace cannot be made here: no number is given anew" << std::endl;
    EXPECT_EQ(read_text(directory / "outcome.txt"), std::string("tools 1\n") +
                                                        (chosen ? "given anew 1\nchild 11 exit 11\n" : "") +
                                                        "child 7 exit 7\nchild 9 exit 9\n");
    const std::string zombies = read_text(directory / "zombies.txt");
    ASSERT_FALSE(zombies.empty());
    EXPECT_LE(std::atoi(zombies.c_str()), 3 + 5) << "the caller's children and what the lines left";
}

TEST_F(ProgrammingTools, FileIsReadWhole)
{
    const std::string bytes("line\r\nzero\0byte\n\xff", 17);
    write_text("bytes.bin", bytes);
    EXPECT_EQ(read_file_into_string(m_project_dir + "/bytes.bin"), bytes);
    EXPECT_EQ(read_file_into_string(m_project_dir + "/missing.bin"), "");
}
