// The tool loop on its own: real processes run by run_tool through /bin/sh,
// in a test process that takes in their orphans as the host does. Each
// line notes the processes it leaves in files, so that the test can tell
// which of them are still zombies of the process. A foreign ended child (a
// child of the caller's, in a group of its own, that no one has waited
// for yet) made before the lines comes first among the ended children, so
// that every look walks the groups; the walk's budget is zero here, so
// that each walk takes one kept group beyond those it found ended
// processes in lately, and its order shows.
#include "asm_signal_registry.h"
#include "asm_util_tools.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::string read_text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<pid_t> pids_in(const fs::path& file)
{
    std::vector<pid_t> pids;
    std::istringstream in(read_text(file));
    for (pid_t pid = 0; in >> pid;)
        pids.push_back(pid);
    return pids;
}

// Whether the user may have this many processes (root always may).
bool may_have_processes(rlim_t count)
{
    rlimit processes{};
    return ::geteuid() == 0 || ::getrlimit(RLIMIT_NPROC, &processes) != 0 || processes.rlim_cur == RLIM_INFINITY ||
           processes.rlim_cur >= count;
}

// Whether the process is an ended child of this process that no one has
// reaped yet.
bool zombie_child(pid_t pid)
{
    siginfo_t ended{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid;
}

}  // namespace

class ToolLoop : public testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/asm_tool_loop_XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        m_old_cwd = fs::current_path();
        fs::current_path(m_dir);
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    // What the lines left running ends, every child is reaped, and the
    // process takes in no more orphans: the next case starts as this one.
    void TearDown() override
    {
        for (const char* file : {"live.pids", "left.pids"})
            for (const pid_t pid : pids_in(m_dir / file))
                ::kill(pid, SIGKILL);
        int status = 0;
        for (int polls = 0; polls < 5000 && ::waitpid(-1, &status, WNOHANG) >= 0; ++polls)
            ::usleep(1000);
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
        fs::current_path(m_old_cwd);
        fs::remove_all(m_dir);
    }

    TOOL_RUN line(const std::string& text) { return run_tool({"/bin/sh", "-c", text}, *m_reaper); }

    // A child of the caller's in a group of its own that has ended and that
    // no one has waited for.
    pid_t foreign_ended_child()
    {
        const pid_t child = ::fork();
        if (child == 0)
        {
            ::setpgid(0, 0);
            ::_exit(7);
        }
        siginfo_t ended{};
        ::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT);
        return child;
    }

    // The foreign child is still the caller's to wait for, with its status.
    static void expect_still_the_callers(pid_t child)
    {
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, WNOHANG), child) << "the caller's child was taken";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
    }

    // The processes of the file that are still zombies.
    std::vector<pid_t> zombies_of(const char* file) const
    {
        std::vector<pid_t> zombies;
        for (const pid_t pid : pids_in(m_dir / file))
            if (zombie_child(pid))
                zombies.push_back(pid);
        return zombies;
    }

    // A line that, after its first commands, counts this process's zombies
    // the given number of times, 20 ms apart: from the given count on, none
    // but the highest is above the bound. A pile of zombies that the loop
    // leaves lasts for many counts; a moment in which a busy machine runs
    // the test process late makes one count high.
    void expect_zombies_at_most(const std::string& first, int count, int most, int from = 0)
    {
        const TOOL_RUN run = line(first + "for i in $(seq " + std::to_string(count) +
                                  "); do cat /proc/[0-9]*/stat 2>/dev/null | awk -v p=$PPID '$3 == \"Z\" && "
                                  "$4 == p' | wc -l >>zombies.txt; sleep 0.02; done");
        EXPECT_TRUE(run.succeeded) << run.output;
        std::istringstream counts(read_text(m_dir / "zombies.txt"));
        std::vector<int> samples;
        std::string listed;
        for (int counted = 0; counts >> counted; listed += std::to_string(counted) + " ")
            samples.push_back(counted);
        ASSERT_EQ(samples.size(), static_cast<size_t>(count));
        std::sort(samples.begin() + from, samples.end(), std::greater<int>());
        EXPECT_LE(samples[from + 1], most) << "zombies counted: " << listed;
    }

    // A leftover that keeps leaving orphans among eighty kept groups (the
    // rows below); the arrivals noted or not. Its group is the middle one:
    // the turn, which mostly follows the groups as the lines add them, comes
    // to it late.
    void burst_behind_eighty_groups(bool arrivals)
    {
        if (!fs::exists("/proc/self/stat"))
            GTEST_SKIP() << "/proc is not mounted, so a line cannot count the caller's zombies";
        m_reaper = std::make_unique<TOOL_REAPER>(std::chrono::nanoseconds(0), arrivals);
        const pid_t foreign = foreign_ended_child();
        for (int n = 0; n < 80; ++n)
        {
            if (n == 40)
            {
                ASSERT_TRUE(line("(n=0; while [ ! -e go ] && [ $n -lt 3000 ]; do n=$((n+1)); sleep 0.01; done; "
                                 "for i in $(seq 150); do (sleep 0.05 >/dev/null 2>&1 &); "
                                 "(sleep 0.06 >/dev/null 2>&1 &); sleep 0.01; done) >/dev/null 2>&1 &")
                                .succeeded);
            }
            ASSERT_TRUE(line("sleep 300 >/dev/null 2>&1 & echo $! >>live.pids").succeeded);
        }
        // The foreign child, and what ended since the last look; without
        // the arrivals, once the group was found in its turn.
        expect_zombies_at_most("touch go; ", 80, 1 + 12, arrivals ? 0 : 45);
        expect_still_the_callers(foreign);
    }

    fs::path m_dir;
    fs::path m_old_cwd;
    std::unique_ptr<TOOL_REAPER> m_reaper = std::make_unique<TOOL_REAPER>(std::chrono::nanoseconds(0));
};

TEST_F(ToolLoop, TheWalkForgetsAKeptGroupThatIsNoLongerTheRunsAndGoesOn)
{
    // A line's group whose only member left it (setsid), or whose only
    // member someone else waited for, is no longer the run's: the walk that
    // meets it forgets it and goes on to the next kept group, whose member
    // that ends later is reaped.
    struct CASE
    {
        const char* what;
        const char* first;   // the line whose group is no longer the run's once its process ends or leaves
        bool waited_for;     // the test waits for that process
    };
    const CASE cases[] = {
        {"its member left it", "(sleep 0.2; exec setsid sleep 30) >/dev/null 2>&1 & echo $! >>left.pids", false},
        {"its member was waited for by someone else", "sleep 0.2 >/dev/null 2>&1 & echo $! >>left.pids", true},
    };
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const pid_t foreign = foreign_ended_child();
        ASSERT_TRUE(line(c.first).succeeded);
        ASSERT_TRUE(line("sleep 300 >/dev/null 2>&1 & echo $! >>live.pids; "
                         "sleep 0.4 >/dev/null 2>&1 & echo $! >later.pids")
                        .succeeded);
        const pid_t left = pids_in(m_dir / "left.pids").back();
        if (c.waited_for)
        {
            int status = 0;
            EXPECT_EQ(::waitpid(left, &status, 0), left);
        }
        else
        {
            for (int polls = 0; polls < 5000 && ::getpgid(left) != left; ++polls)
                ::usleep(1000);
        }
        ASSERT_TRUE(line("sleep 0.8").succeeded);
        EXPECT_EQ(zombies_of("later.pids"), std::vector<pid_t>{}) << "the walk stopped at the group left behind";
        expect_still_the_callers(foreign);
    }
}

TEST_F(ToolLoop, AWalkTakesAHundredKeptGroupsALook)
{
    // A hundred lines each leave a process that ends 2 to 3 s after its
    // line, in an order of their own, every other line also a process that
    // runs on; meanwhile a later line counts this process's zombies, behind
    // a foreign ended child. They came while alive, so only the walk's turn
    // finds them: with the usual budget a walk takes all hundred groups,
    // and what ends is reaped at the next look; a walk of a few groups
    // leaves them to pile up. Half the groups have nothing left once the
    // walk has reaped their process, and are forgotten on its way.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a line cannot count the caller's zombies";
    m_reaper = std::make_unique<TOOL_REAPER>();
    const pid_t foreign = foreign_ended_child();
    for (int n = 0; n < 100; ++n)
        ASSERT_TRUE(line(std::string(n % 2 == 0 ? "sleep 300 >/dev/null 2>&1 & echo $! >>live.pids; " : "") +
                         "sleep " + std::to_string(2 + 37 * n % 100 / 100.0) + " >/dev/null 2>&1 &")
                        .succeeded);
    expect_zombies_at_most("", 90, 1 + 12);
    expect_still_the_callers(foreign);
}

TEST_F(ToolLoop, AGroupThatKeepsLeavingOrphansIsFoundAtOnceAndWalkedFirst)
{
    // Eighty kept groups, one of which has a leftover that leaves two
    // processes every 10 ms once a later line has started, which end 50 and
    // 60 ms after; that line counts this process's zombies every 20 ms
    // meanwhile. The children that came to the process since the last walk
    // lead the walk to that group at once, although they come while they
    // still run; where they are not noted (as without /proc) the first
    // walks find the group in its turn among the eighty. From then on the
    // walks take it first, at every look, so that what ends there later is
    // reaped too: a few zombies at most, where taking it only in its turn
    // lets them pile up again and again.
    burst_behind_eighty_groups(true);
}

TEST_F(ToolLoop, WithoutArrivalsAGroupThatKeepsLeavingOrphansIsWalkedFirstOnceFound)
{
    // The same where the children that came are not noted (as without
    // /proc): the first walks find the group in its turn.
    burst_behind_eighty_groups(false);
}

TEST_F(ToolLoop, ManyChildrenBehindAForeignChildCostTheCallerAFewPercent)
{
    // Behind a foreign ended child, so that every look walks, a line's
    // leftover starts 2000 processes once the next line has begun, and
    // ends, so that they all come to the caller at once, alive; that next
    // line waits for them and then 1.5 s more. The caller's CPU ticks over
    // that line stay within a tenth of the time it took (the least of two
    // runs): the looks take a bounded share of the time however long each
    // one takes, and a child that came and still runs costs no look through
    // its group's members (2000 of them, for each of the 2000).
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a line cannot read the caller's CPU time";
    if (!may_have_processes(10000))
        GTEST_SKIP() << "the user may not have the 4000 processes of this row (ulimit -u)";
    m_reaper = std::make_unique<TOOL_REAPER>();
    const pid_t foreign = foreign_ended_child();
    const std::string ticks = "$(awk '{print $14 + $15}' /proc/$PPID/stat)";
    const std::string now = "$(date +%s%N)";
    double least = 1;
    for (const std::string round : {"1", "2"})
    {
        SCOPED_TRACE("run " + round);
        ASSERT_TRUE(line("(n=0; while [ ! -e go" + round + " ] && [ $n -lt 3000 ]; do n=$((n+1)); sleep 0.01; done; "
                         "for i in $(seq 2000); do "
                         "sleep 300 >/dev/null 2>&1 & echo $! >>live.pids; done; : >started" + round +
                         ") >/dev/null 2>&1 &")
                        .succeeded);
        ASSERT_TRUE(line("s=" + ticks + "; t=" + now + "; touch go" + round + "; n=0; while [ ! -e started" + round +
                         " ] && [ $n -lt 600 ]; do n=$((n+1)); sleep 0.1; done; sleep 1.5; echo $((" + ticks +
                         " - s)) $((" + now + " - t)) >cpu.txt")
                        .succeeded);
        std::istringstream spent(read_text(m_dir / "cpu.txt"));
        long ticks_spent = 0, nanoseconds = 0;
        spent >> ticks_spent >> nanoseconds;
        ASSERT_GT(nanoseconds, 0);
        least = std::min(least, static_cast<double>(ticks_spent) / ::sysconf(_SC_CLK_TCK) / (nanoseconds / 1e9));
    }
    EXPECT_LE(least, 0.1) << "the share of a CPU the caller spent while the line ran";
    expect_still_the_callers(foreign);
}

TEST_F(ToolLoop, ABurstOfOrphansBesideThousandsOfLiveChildrenIsReapedAsItComes)
{
    // Thirty lines leave a hundred processes running each; then a line
    // leaves 1500 short orphans as fast as its shell can while it counts
    // this process's zombies. Each reap looks through the 3000 children and
    // more: looks spaced by what their reaping cost would take a few
    // hundred a second and let the rest pile up by the hundred. What has
    // ended is reaped at each look instead, a few dozen at most.
    if (!fs::exists("/proc/self/stat"))
        GTEST_SKIP() << "/proc is not mounted, so a line cannot count the caller's zombies";
    if (!may_have_processes(10000))
        GTEST_SKIP() << "the user may not have the 4500 processes of this row (ulimit -u)";
    m_reaper = std::make_unique<TOOL_REAPER>();
    for (int n = 0; n < 30; ++n)
        ASSERT_TRUE(line("for i in $(seq 100); do sleep 300 >/dev/null 2>&1 & echo $! >>live.pids; done").succeeded);
    expect_zombies_at_most("(for i in $(seq 1500); do (sleep 0.01 >/dev/null 2>&1 &); done) >/dev/null 2>&1 & ", 25,
                           40);
}

TEST_F(ToolLoop, ALineEndsForACallerThatIgnoresSigchld)
{
    // The system then reaps every child of the caller's as it ends, the
    // tool among them, so that no wait finds it: the line ends all the
    // same, its output read to its end and its status unknown.
    const auto previous = std::signal(SIGCHLD, SIG_IGN);
    const TOOL_RUN run = line("echo out");
    std::signal(SIGCHLD, previous);
    EXPECT_EQ(run.output, "out\n");
    EXPECT_FALSE(run.succeeded);
}

TEST(ToolRegistry, TheCleanUpLeavesAGroupWhoseReapedToolsNumberWasGivenAnew)
{
    // A tool reaped while a process it left still runs keeps its slot,
    // marked. The clean-up ends that group (here: a leader that has ended,
    // and its child) while it has members and no process has the tool's
    // number; a process that has the number again (a session leader
    // standing in for one given it anew) is left alone. An unmarked slot's
    // group is ended as before. What ends comes to this process to reap.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const auto session = [](bool leave_a_member) {
        const pid_t leader = ::fork();
        if (leader == 0)
        {
            ::setsid();
            if (!leave_a_member || ::fork() == 0)
                ::pause();
            ::_exit(0);
        }
        // Once the group is its own (and, when asked, its leader has ended).
        for (int polls = 0; polls < 1000 && ::getpgid(leader) != leader; ++polls)
            ::usleep(1000);
        int status = 0;
        if (leave_a_member)
            ::waitpid(leader, &status, 0);
        return leader;
    };
    const auto ended_by_clean_up = [](pid_t group, bool marked) {
        const int slot = asm_registry::claim_tool_slot();
        EXPECT_GE(slot, 0);
        asm_registry::publish_tool_group(slot, group);
        if (marked)
            asm_registry::mark_tool_reaped(slot);
        asm_clean_up_on_signal();
        asm_registry::release_tool_slot(slot);
        return ::kill(-group, 0) != 0 && errno == ESRCH;
    };
    const pid_t newcomer = session(false);
    const pid_t left = session(true);
    EXPECT_FALSE(ended_by_clean_up(newcomer, true)) << "a group whose number was given anew was ended";
    EXPECT_TRUE(ended_by_clean_up(left, true)) << "the reaped tool's group was left running";
    EXPECT_TRUE(ended_by_clean_up(newcomer, false)) << "an unmarked slot's group was left running";
    // Nothing that a failed row left holds the test's output, and the
    // process takes in no more orphans.
    ::kill(-newcomer, SIGKILL);
    ::kill(-left, SIGKILL);
    int status = 0;
    while (::waitpid(-1, &status, 0) > 0)
    {
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
