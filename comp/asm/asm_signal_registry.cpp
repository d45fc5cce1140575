#include "asm_signal_registry.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
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
};

constexpr size_t TEMPORARY_SLOTS = 32;
constexpr size_t TOOL_SLOTS = 16;
TEMPORARY_SLOT g_temporaries[TEMPORARY_SLOTS];
TOOL_SLOT g_tools[TOOL_SLOTS];

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "the signal handler reads the slots");

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
    g_tools[slot].state.store(SLOT_PUBLISHED);
}

void release_tool_slot(int slot)
{
    if (slot >= 0 && static_cast<size_t>(slot) < TOOL_SLOTS)
        g_tools[slot].state.store(SLOT_FREE);
}

}  // namespace asm_registry

extern "C" void asm_clean_up_on_signal()
{
    for (TEMPORARY_SLOT& slot : g_temporaries)
        if (slot.state.load() == SLOT_PUBLISHED)
            ::unlink(slot.path);
    for (TOOL_SLOT& slot : g_tools)
        if (slot.state.load() == SLOT_PUBLISHED)
            ::kill(-slot.group.load(), SIGTERM);
}
