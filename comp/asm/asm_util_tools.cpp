#include "asm_util_tools.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_signal_registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

using asm_registry::group_still_the_reaped_tools;

namespace
{

// Whether a child of the process has ended, without reaping it: the first
// such child in ended.si_pid, 0 when there is none.
bool ended_child(idtype_t type, pid_t id, siginfo_t& ended)
{
    std::memset(&ended, 0, sizeof ended);
    return ::waitid(type, static_cast<id_t>(id), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0;
}

// A descriptor that becomes readable when the process ends (Linux 5.3 and
// later); -1 where the system has none.
int process_descriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// The poll timeout that ends no sooner than the time given: a timeout cut
// down to whole milliseconds would wake the loop early, again and again,
// for the last millisecond.
int timeout_for(std::chrono::steady_clock::duration left)
{
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// The children of the process, of every thread, as /proc lists them,
// sorted; false where /proc is not mounted. A kernel without the lists
// gives none: no child is then taken for one that came.
bool children_of_the_process(std::vector<pid_t>& children)
{
    children.clear();
    DIR* const tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr)
        return false;
    for (const dirent* task = ::readdir(tasks); task != nullptr; task = ::readdir(tasks))
    {
        if (task->d_name[0] == '.')
            continue;
        // A thread that has ended meanwhile has no list to read: none.
        const std::string text =
            asm_io::read_proc_text((std::string("/proc/self/task/") + task->d_name + "/children").c_str());
        const char* p = text.c_str();
        for (char* end = nullptr;; p = end)
        {
            const long pid = std::strtol(p, &end, 10);
            if (end == p)
                break;
            children.push_back(static_cast<pid_t>(pid));
        }
    }
    ::closedir(tasks);
    std::sort(children.begin(), children.end());
    return true;
}

// The CPU time the calling thread has taken.
std::chrono::nanoseconds thread_cpu_time()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

void TOOL_REAPER::start(pid_t tool, int slot)
{
    m_tool = tool;
    m_slot = slot;
    m_tool_reaped = false;
    m_output_open = true;
    m_tool_status = -1;
    m_kept.erase(tool);
}

void TOOL_REAPER::reap_tool_if_ended()
{
    if (m_tool_reaped)
        return;
    siginfo_t ended;
    std::memset(&ended, 0, sizeof ended);
    // Still running when nothing has ended; an error (the tool waited for
    // by another thread) ends the wait for it too.
    if (::waitid(P_PID, static_cast<id_t>(m_tool), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0)
        return;
    reap_tool();
}

std::chrono::nanoseconds TOOL_REAPER::look()
{
    m_reaping = std::chrono::nanoseconds::zero();
    if (m_tool_reaped && m_slot >= 0 && !group_still_the_reaped_tools(m_tool))
        release_slot();
    // The kept groups reaped from, looked at once the look is done: whether
    // anything of a group is left costs a look through its members.
    std::vector<pid_t> reaped_from;
    reaping_starts();
    for (int count = 0; count < REAPED_PER_LOOK; ++count)
    {
        siginfo_t ended;
        if (!ended_child(P_ALL, 0, ended))
            break;
        if (ended.si_pid == m_tool && !m_tool_reaped)
        {
            reap_tool();
            reaped();
            continue;
        }
        const pid_t group = ::getpgid(ended.si_pid);
        if (group < 0)
            continue;  // waited for meanwhile by another thread of the process
        if (!is_run_group(group, true))
        {
            walk();
            break;
        }
        int status = 0;
        if (::waitpid(ended.si_pid, &status, WNOHANG) <= 0)
            break;
        reaped();
        if (group != m_tool && std::find(reaped_from.begin(), reaped_from.end(), group) == reaped_from.end())
            reaped_from.push_back(group);
    }
    for (const pid_t group : reaped_from)
        if (!group_still_the_reaped_tools(group))
            m_kept.erase(group);
    return m_reaping;
}

void TOOL_REAPER::finish()
{
    release_slot();
    if (group_still_the_reaped_tools(m_tool))
        m_kept.insert(m_tool);
    m_tool = 0;
    look();
}

// Whether the group is one of the run's. A group whose members all left it
// ends without a reaped member, and its number may be given anew, so each
// use of a kept group checks it first; one that is no longer the run's is
// forgotten. With an ended member of the group in hand, the group has a
// member, and only its number is looked at (a look through the group's
// members costs as many as it has).
bool TOOL_REAPER::is_run_group(pid_t group, bool member_in_hand)
{
    const auto still_the_tools = [group, member_in_hand] {
        if (!member_in_hand)
            return group_still_the_reaped_tools(group);
        return ::kill(group, 0) != 0 && errno == ESRCH;
    };
    if (m_tool != 0 && group == m_tool)
        return !m_tool_reaped || still_the_tools();
    const auto kept = m_kept.find(group);
    if (kept == m_kept.end())
        return false;
    if (still_the_tools())
        return true;
    m_kept.erase(kept);
    return false;
}

void TOOL_REAPER::release_slot()
{
    asm_registry::release_tool_slot(m_slot);
    m_slot = -1;
}

// Reaps the running tool, which has ended, and keeps its status. A tool
// whose output has ended is done with: its slot is freed first, while its
// number is still its group's. A tool whose output a process it left still
// holds keeps its slot, marked as the slot of a reaped tool, so that a
// signal that ends the run ends that process too: the group's number stays
// its own while any member lives, and the clean-up, like each look, takes a
// process that has the tool's number again for the sign that the group has
// ended. The ending signals are held meanwhile.
void TOOL_REAPER::reap_tool()
{
    const asm_registry::ENDING_SIGNALS_HELD held;
    if (!m_output_open)
        release_slot();
    int status = 0;
    const pid_t reaped = ::waitpid(m_tool, &status, WNOHANG);
    if (reaped == 0)
        return;
    m_tool_reaped = true;
    m_tool_status = reaped == m_tool ? status : -1;
    if (m_slot >= 0)
        asm_registry::mark_tool_reaped(m_slot);
    if (m_slot >= 0 && !group_still_the_reaped_tools(m_tool))
        release_slot();
}

void TOOL_REAPER::walk()
{
    ++m_walks;
    if (m_note_arrivals)
        reap_arrivals();
    if (m_tool != 0 && is_run_group(m_tool))
        reap_group(m_tool);

    // The groups where orphans came or ended processes were found lately
    // come first: an orphan that a group's leftover makes is mostly
    // followed by more.
    for (auto recent = m_recent.begin(); recent != m_recent.end();)
    {
        const bool run_group = is_run_group(recent->group);
        if (run_group && reap_group(recent->group) > 0)
            recent->until = std::max(recent->until, m_walks + RECENT_WALKS);
        if (!run_group || m_walks >= recent->until)
            recent = m_recent.erase(recent);
        else
            ++recent;
    }

    // Then the other kept groups in turn, from where the last walk ended.
    // Each step finds its group by number, so that one forgotten on the
    // way leaves nothing to step from.
    const auto deadline = std::chrono::steady_clock::now() + m_walk_budget;
    bool found = false;
    for (size_t walked = 0, count = m_kept.size(); walked < count && !m_kept.empty(); ++walked)
    {
        if (walked > 0 && !found && std::chrono::steady_clock::now() >= deadline)
            break;
        const auto next = m_kept.upper_bound(m_last_walked);
        const pid_t group = next != m_kept.end() ? *next : *m_kept.begin();
        m_last_walked = group;
        found = !is_recent(group) && is_run_group(group) && reap_group(group) > 0;
        if (found)
        {
            note_recent(group, RECENT_WALKS);
            if (!group_still_the_reaped_tools(group))
                m_kept.erase(group);
        }
    }
}

// Reaps the ended processes of the group; how many.
int TOOL_REAPER::reap_group(pid_t group)
{
    int count = 0;
    reaping_starts();
    for (; count < REAPED_PER_LOOK; ++count)
    {
        siginfo_t ended;
        if (!ended_child(P_PGID, group, ended))
            break;
        int status = 0;
        if (ended.si_pid == m_tool && !m_tool_reaped)
            reap_tool();
        else if (::waitpid(ended.si_pid, &status, WNOHANG) <= 0)
            break;
        reaped();
    }
    return count;
}

// What a look spends reaping counts from a mark: the time from there to the
// end of a reap (finding the ended process and taking it) is reaping, and
// the reap sets the mark anew. What is not followed by a reap (a search
// that found nothing) is not.
void TOOL_REAPER::reaping_starts() { m_reaping_from = thread_cpu_time(); }

void TOOL_REAPER::reaped()
{
    const std::chrono::nanoseconds now = thread_cpu_time();
    m_reaping += now - m_reaping_from;
    m_reaping_from = now;
}

// The children that came since the last walk: each that has ended and is
// of the run's groups is reaped, and the group of each that is of them,
// ended or not, is walked first from then on. A leftover's orphans mostly
// come while they still run (the more so on a busy machine), and end soon
// after.
void TOOL_REAPER::reap_arrivals()
{
    std::vector<pid_t> children;
    if (!children_of_the_process(children))
        return;
    std::vector<pid_t> arrived;
    std::set_difference(children.begin(), children.end(), m_children.begin(), m_children.end(),
                        std::back_inserter(arrived));
    m_children.swap(children);
    // At the first walk every child seems to have come: those that still
    // run lead the walks nowhere.
    const bool came_lately = m_children_read;
    m_children_read = true;
    for (const pid_t child : arrived)
    {
        // Only one that has ended is reaped: its group cannot change any
        // more, and it is a member in hand. One that runs may leave its
        // group meanwhile, which leads the walks to a group that a walk then
        // finds to be no longer the run's, and forgets.
        siginfo_t ended;
        const bool has_ended = ended_child(P_PID, child, ended);
        if (!has_ended && !came_lately)
            continue;
        if (has_ended)
            reaping_starts();
        const pid_t group = ::getpgid(child);
        // A child that still runs in a group noted already only notes it
        // again, and costs no check of the group.
        if (group < 0 || group == m_tool || ((has_ended || !is_recent(group)) && !is_run_group(group, true)))
            continue;
        if (has_ended)
        {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) != child)
                continue;
            reaped();
        }
        note_recent(group, has_ended ? RECENT_WALKS : ARRIVED_WALKS);
    }
}

bool TOOL_REAPER::is_recent(pid_t group) const
{
    return std::any_of(m_recent.begin(), m_recent.end(),
                       [group](const RECENT_GROUP& recent) { return recent.group == group; });
}

void TOOL_REAPER::note_recent(pid_t group, unsigned long walks)
{
    const auto noted = std::find_if(m_recent.begin(), m_recent.end(),
                                    [group](const RECENT_GROUP& recent) { return recent.group == group; });
    if (noted != m_recent.end())
    {
        noted->until = std::max(noted->until, m_walks + walks);
        return;
    }
    // The group whose turn first would end first makes room.
    if (m_recent.size() >= RECENT_GROUPS)
        m_recent.erase(std::min_element(m_recent.begin(), m_recent.end(),
                                        [](const RECENT_GROUP& a, const RECENT_GROUP& b) { return a.until < b.until; }));
    m_recent.push_back(RECENT_GROUP{group, m_walks + walks});
}

// In a session of its own the tool has no controlling terminal: the user's
// terminal never stops it as a background job (a write to it under "stty
// tostop", a change of its modes), and the terminal's Ctrl-C reaches the
// host alone, whose signal handler ends the tool's group.
TOOL_RUN run_tool(const std::vector<std::string>& words, TOOL_REAPER& reaper)
{
    TOOL_RUN run;
    if (words.empty())
        return run;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
    {
        run.start_failure = safe_sprintf("Cannot start %s: %s", words[0].c_str(), std::strerror(errno));
        return run;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = EAGAIN;
    const int slot = asm_registry::claim_tool_slot();
    if (slot >= 0)
    {
        // The tool gets the signal mask of the caller, not the one held
        // here while it is started and registered.
        const asm_registry::ENDING_SIGNALS_HELD held;
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setsigmask(&attributes, &held.previous());
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
        spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        if (spawned == 0)
            asm_registry::publish_tool_group(slot, pid);
        else
            asm_registry::release_tool_slot(slot);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (spawned != 0)
    {
        ::close(pipe_fds[0]);
        run.start_failure = safe_sprintf("Cannot start %s: %s", argv[0], std::strerror(spawned));
        asm_debug_log(2, "%s", run.start_failure.c_str());
        return run;
    }
    reaper.start(pid, slot);

    // The loop sleeps until the tool writes, the tool ends or a look is due.
    // The tool's end is seen on its process descriptor as it happens; where
    // the system has none it is looked for at each look and, once the
    // output has ended (a tool's output mostly ends as it exits), in looks
    // that start at 1 ms. What the tools left behind is reaped in looks
    // LOOK_MS apart or more (see below), however much the tool writes.
    const int tool_end = process_descriptor(pid);
    char buffer[4096];
    bool reading = true;
    int end_look_ms = 1;
    const std::chrono::milliseconds look_every(TOOL_REAPER::LOOK_MS);
    auto next_look = std::chrono::steady_clock::now() + look_every;
    auto last_finding = std::chrono::nanoseconds::max();
    while (reading || !reaper.tool_reaped())
    {
        pollfd watched[2];
        nfds_t count = 0;
        const nfds_t output = count;
        if (reading)
            watched[count++] = {pipe_fds[0], POLLIN, 0};
        const nfds_t ending = count;
        if (tool_end >= 0 && !reaper.tool_reaped())
            watched[count++] = {tool_end, POLLIN, 0};
        const bool end_looked_for = tool_end < 0 && !reading;
        int timeout = timeout_for(next_look - std::chrono::steady_clock::now());
        if (end_looked_for)
        {
            timeout = std::min(timeout, end_look_ms);
            end_look_ms = std::min(2 * end_look_ms, TOOL_REAPER::LOOK_MS);
        }
        const bool ready = ::poll(watched, count, timeout) > 0;

        if (ready && reading && watched[output].revents != 0)
        {
            const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
            if (n > 0)
                run.output.append(buffer, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
            {
                reading = false;
                reaper.output_ended();
            }
        }
        if ((ready && ending < count && watched[ending].revents != 0) || end_looked_for)
            reaper.reap_tool_if_ended();
        const auto now = std::chrono::steady_clock::now();
        if (now >= next_look)
        {
            // The next look is due LOOK_MS after this one ends, or later,
            // so that what the looks spend finding nothing takes at most a
            // LOOK_SHARE-th of the loop's time beyond what they spend
            // reaping (many children make each look through the groups
            // longer). The reaping is never held back: each reap costs a
            // look through the children, and spacing the looks by it would
            // leave what ends faster than that to pile up. What a look
            // costs is the CPU time it took, and no more than the look
            // before took: a look that the machine held up costs no later
            // look, and the thread's CPU time also counts what the machine
            // did meanwhile on its processor (interrupts, time taken by
            // the virtual machine's host), so that one look of a few
            // microseconds may show milliseconds.
            const auto cost_before = thread_cpu_time();
            const std::chrono::nanoseconds reaping = reaper.look();
            const auto cost = thread_cpu_time() - cost_before;
            const auto finding = cost - std::min<std::chrono::nanoseconds>(cost, 2 * reaping);
            next_look = std::chrono::steady_clock::now() +
                        std::max<std::chrono::nanoseconds>(
                            look_every, std::min(finding, last_finding) * (TOOL_REAPER::LOOK_SHARE - 1));
            last_finding = finding;
        }
    }
    ::close(pipe_fds[0]);
    if (tool_end >= 0)
        ::close(tool_end);
    reaper.finish();

    const int status = reaper.tool_status();
    if (status != -1 && WIFEXITED(status))
        run.exit_status = WEXITSTATUS(status);
    run.succeeded = run.exit_status == 0;
    return run;
}
