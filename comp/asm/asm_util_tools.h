// The programming-file tools as processes: each runs in a session of its
// own, its standard output read to its end, its status kept; what the run's
// tools leave behind is reaped as the run goes on.
#pragma once

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <sys/types.h>

struct TOOL_RUN
{
    bool succeeded = false;  // started and exited normally with status 0
    int exit_status = -1;    // the status of a normal exit; -1 for none
    std::string output;
    std::string start_failure;  // why the tool could not be started; "" when it was
};

// What the run's tools leave behind, and the end of the tool that runs. The
// host takes in the processes that a tool leaves when it ends (their parent
// ended first), and those are its children to reap: a zombie that no one
// reaps holds its process slot until the host ends. Each tool runs in a
// process group of its own that only the tool and what it started are in,
// so every ended process of those groups is reaped here while the run goes
// on (the module and the Tcl interpreter wait for no process of them), and
// no other child of the process is ever taken.
//
// A look asks whether any child of the process has ended at all, and reaps
// the first ended child as long as it is of the run's groups: it costs what
// has ended, not what lives. When an ended child of someone else comes
// first (one that its parent has not waited for yet, or an orphan that left
// its tool's group), the look walks instead:
//  - the children that came to the process since the last walk (the
//    orphans it took in, listed by /proc): one that has ended and is of the
//    run's groups is reaped, and the group of each that is of them is
//    walked first from then on, so that a leftover that keeps leaving
//    orphans is found at once however many groups are kept;
//  - the running tool's group, and the kept groups where orphans came or
//    a walk found ended processes lately;
//  - then as many of the other kept groups, in turn, as the walk's budget
//    of time allows (at least one), going on past it while each group
//    walked has ended processes. Each group costs a look through all the
//    children of the process, so the budget bounds what a walk costs
//    beyond what has ended, however many groups are kept.
// What a look spends finding nothing, beyond as much again as it spends
// reaping, makes the next one wait long enough that it takes at most a
// LOOK_SHARE-th of the time (run_tool): the reaping itself is never held
// back, so it keeps pace with what the tools leave however many children
// the process has.
class TOOL_REAPER
{
public:
    // How often the ended processes are looked for while a tool runs.
    static constexpr int LOOK_MS = 10;
    // The looks take at most this share of the time (1/20) while a tool runs.
    static constexpr int LOOK_SHARE = 20;
    // The time a walk may spend on kept groups in turn with nothing ended.
    static constexpr std::chrono::microseconds WALK_BUDGET{500};

    // A walk notes the children that came to the process since the last
    // one from /proc unless told not to (as where /proc is not mounted).
    explicit TOOL_REAPER(std::chrono::nanoseconds walk_budget = WALK_BUDGET, bool note_arrivals = true)
        : m_walk_budget(walk_budget), m_note_arrivals(note_arrivals)
    {
    }

    // The tool now running, its group registered in the slot (-1 for none).
    // A kept group whose number the tool has taken ended before it.
    void start(pid_t tool, int slot);

    // The tool's output has ended: once the tool is reaped the run is done
    // with it.
    void output_ended() { m_output_open = false; }

    bool tool_reaped() const { return m_tool_reaped; }

    // The running tool's wait status once it is reaped; -1 when it was no
    // longer a child of the process to wait for.
    int tool_status() const { return m_tool_status; }

    // Reaps the running tool when it has ended.
    void reap_tool_if_ended();

    // One look: reaps what has ended of the run's groups, the running tool
    // among it. The CPU time the look spent reaping: finding each ended
    // process and taking it.
    std::chrono::nanoseconds look();

    // Once the tool is reaped and its output has ended: forgets its slot,
    // keeps its group while anything of it is left, and reaps what has
    // ended.
    void finish();

private:
    // A kept group where orphans came or a walk found ended processes, and
    // the last walk in which it is walked first.
    struct RECENT_GROUP
    {
        pid_t group;
        unsigned long until;
    };

    // At most this many processes are reaped a look (and from a group a
    // walk), so that processes that end as fast as they are reaped never
    // hold the tool's output.
    static constexpr int REAPED_PER_LOOK = 256;
    // A group is walked first for this many walks after a walk found ended
    // processes in it, and for ARRIVED_WALKS after an orphan of it came that
    // still runs (a leftover's orphans mostly end soon after they come;
    // those that run on, found in their group's turn, cost no walk a look
    // through their group); at most RECENT_GROUPS groups are.
    static constexpr unsigned long RECENT_WALKS = 100;
    static constexpr unsigned long ARRIVED_WALKS = 10;
    static constexpr size_t RECENT_GROUPS = 16;

    bool is_run_group(pid_t group, bool member_in_hand = false);
    void release_slot();
    void reap_tool();
    void walk();
    int reap_group(pid_t group);
    void note_recent(pid_t group, unsigned long walks);
    bool is_recent(pid_t group) const;
    void reap_arrivals();
    void reaping_starts();
    void reaped();

    const std::chrono::nanoseconds m_walk_budget;
    const bool m_note_arrivals;
    pid_t m_tool = 0;  // the running tool, whose pid numbers its group; 0 between tools
    int m_slot = -1;   // its registry slot while the group may run
    bool m_tool_reaped = true;
    bool m_output_open = false;
    int m_tool_status = -1;
    std::set<pid_t> m_kept;               // the groups of earlier tools with something left
    std::vector<RECENT_GROUP> m_recent;   // kept groups with orphans or ended processes lately
    pid_t m_last_walked = 0;              // the kept group that the last walk ended with
    unsigned long m_walks = 0;
    std::vector<pid_t> m_children;  // the children of the process at the last walk, sorted
    bool m_children_read = false;   // whether a walk has read them
    std::chrono::nanoseconds m_reaping{};       // the CPU time the look has spent reaping
    std::chrono::nanoseconds m_reaping_from{};  // the thread's CPU time where the next reap counts from
};

// Runs the words as a process without a shell: standard input /dev/null,
// standard output read from a pipe to its end, standard error inherited.
// The tool runs in a session of its own, and so in a process group of its
// own whose number is its pid, registered while it runs, so that a signal
// that ends the process ends the tool and what it started. While it runs,
// and once it has ended, what the run's tools left behind is reaped.
TOOL_RUN run_tool(const std::vector<std::string>& words, TOOL_REAPER& reaper);
