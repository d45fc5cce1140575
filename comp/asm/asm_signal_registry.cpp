#include "asm_signal_registry.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace
{

// A slot is free (0), claimed by its writer while it fills it (1), or
// published (2): the signal handler reads published slots only.
enum SLOT_STATE : int
{
    SLOT_FREE = 0,
    SLOT_CLAIMED = 1,
    SLOT_PUBLISHED = 2,
};

struct TEMPORARY_SLOT
{
    std::atomic<int> state{SLOT_FREE};
    char path[PATH_MAX];
};

struct TOOL_SLOT
{
    std::atomic<int> state{SLOT_FREE};
    std::atomic<pid_t> group{0};
    std::atomic<bool> leader_reaped{false};  // the tool whose pid numbers the group is reaped
};

constexpr size_t TEMPORARY_SLOTS = 32;
constexpr size_t TOOL_SLOTS = 16;
TEMPORARY_SLOT g_temporaries[TEMPORARY_SLOTS];
TOOL_SLOT g_tools[TOOL_SLOTS];

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "the signal handler reads the slots");

// How long the tools have to end after SIGTERM before their groups are sent
// SIGKILL, and how often the clean-up looks meanwhile.
constexpr long TOOL_GRACE_MS = 1500;
constexpr int TOOL_POLL_MS = 10;

// Whether nothing of the tool's process group is left. The tool, a child
// of the caller, is reaped once it has ended (so are other children of the
// caller in the group: what a tool left when it ended, where the caller
// takes in orphans), since a zombie still counts as a member of its group.
// Reaping the tool does not free the group's number while anything of the
// group lives. At most a bounded number is reaped a look, so that a group
// that keeps leaving orphans cannot hold the clean-up past its grace.
// waitpid and kill are bare system calls, safe in a signal handler.
bool group_ended(pid_t group)
{
    int status = 0;
    for (int reaped = 0; reaped < 64 && ::waitpid(-group, &status, WNOHANG) > 0; ++reaped)
    {
    }
    return ::kill(-group, 0) != 0 && errno == ESRCH;
}

template <typename SLOT, size_t COUNT>
int claim(SLOT (&slots)[COUNT])
{
    for (size_t i = 0; i < COUNT; ++i)
    {
        int expected = SLOT_FREE;
        if (slots[i].state.compare_exchange_strong(expected, SLOT_CLAIMED))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

namespace asm_registry
{

ENDING_SIGNALS_HELD::ENDING_SIGNALS_HELD()
{
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE})
        sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &m_previous);
}

ENDING_SIGNALS_HELD::~ENDING_SIGNALS_HELD() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

int make_temporary(const std::string& target, std::string& temporary, int& slot)
{
    const size_t slash = target.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    if (name == target.size())
    {
        errno = EINVAL;
        return -1;
    }
    std::string pattern = target.substr(0, name) + "." + target.substr(name) + ".XXXXXX";
    if (pattern.size() >= PATH_MAX)
    {
        errno = ENAMETOOLONG;
        return -1;
    }
    const ENDING_SIGNALS_HELD held;
    slot = claim(g_temporaries);
    if (slot < 0)
    {
        errno = EAGAIN;
        return -1;
    }
    const int fd = ::mkostemp(&pattern[0], O_CLOEXEC);
    if (fd < 0)
    {
        g_temporaries[slot].state.store(SLOT_FREE);
        slot = -1;
        return -1;
    }
    std::memcpy(g_temporaries[slot].path, pattern.c_str(), pattern.size() + 1);
    g_temporaries[slot].state.store(SLOT_PUBLISHED);
    temporary = pattern;
    return fd;
}

void forget_temporary(int slot)
{
    if (slot >= 0 && static_cast<size_t>(slot) < TEMPORARY_SLOTS)
        g_temporaries[slot].state.store(SLOT_FREE);
}

int claim_tool_slot() { return claim(g_tools); }

void publish_tool_group(int slot, pid_t group)
{
    g_tools[slot].group.store(group);
    g_tools[slot].leader_reaped.store(false);
    g_tools[slot].state.store(SLOT_PUBLISHED);
}

bool group_still_the_reaped_tools(pid_t group)
{
    const bool member = !(::kill(-group, 0) != 0 && errno == ESRCH);
    return member && ::kill(group, 0) != 0 && errno == ESRCH;
}

void mark_tool_reaped(int slot)
{
    if (slot >= 0 && static_cast<size_t>(slot) < TOOL_SLOTS)
        g_tools[slot].leader_reaped.store(true);
}

void release_tool_slot(int slot)
{
    if (slot >= 0 && static_cast<size_t>(slot) < TOOL_SLOTS)
        g_tools[slot].state.store(SLOT_FREE);
}

}  // namespace asm_registry

extern "C" void asm_clean_up_on_signal()
{
    const int saved_errno = errno;
    for (TEMPORARY_SLOT& slot : g_temporaries)
        if (slot.state.load() == SLOT_PUBLISHED)
            ::unlink(slot.path);
    pid_t groups[TOOL_SLOTS];
    size_t count = 0;
    for (TOOL_SLOT& slot : g_tools)
        if (slot.state.load() == SLOT_PUBLISHED)
        {
            // A reaped tool's group is ended only while it is still the tool's.
            const pid_t group = slot.group.load();
            if (slot.leader_reaped.load() && !asm_registry::group_still_the_reaped_tools(group))
                continue;
            groups[count] = group;
            ::kill(-groups[count++], SIGTERM);
        }
    if (count > 0)
    {
        // The grace lasts while anything of a tool's group runs, not only
        // the tool: a tool behind a shell outlives the shell, which ends at
        // once, while it handles SIGTERM. A group that has ended is not
        // looked at again (its number may be another's by then); the
        // others get SIGKILL when the grace is over, which ends a tool that
        // ignores SIGTERM and what it started.
        bool left[TOOL_SLOTS];
        for (size_t i = 0; i < count; ++i)
            left[i] = true;
        timespec start;
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        for (;;)
        {
            size_t running = 0;
            for (size_t i = 0; i < count; ++i)
            {
                if (left[i] && group_ended(groups[i]))
                    left[i] = false;
                running += left[i] ? 1 : 0;
            }
            timespec now;
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const long elapsed_ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
            if (running == 0 || elapsed_ms >= TOOL_GRACE_MS)
                break;
            ::poll(nullptr, 0, TOOL_POLL_MS);
        }
        for (size_t i = 0; i < count; ++i)
            if (left[i])
                ::kill(-groups[i], SIGKILL);
    }
    errno = saved_errno;
}
