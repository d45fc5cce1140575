#include "host_signals.h"

#include <fio.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace host_signals
{

namespace
{

const int ENDING_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE};

std::atomic<void (*)()> g_module_clean_up{nullptr};

extern "C" void end_on_signal(int signal)
{
    // Only async-signal-safe calls: unlink, kill, waitid, clock_gettime, poll, _exit.
    fio_remove_tracked_temporaries();
    if (void (*clean_up)() = g_module_clean_up.load())
        clean_up();
    ::_exit(128 + signal);
}

}  // namespace

void install()
{
    static_assert(std::atomic<void (*)()>::is_always_lock_free, "the signal handler reads the module's entry");
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = end_on_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal : ENDING_SIGNALS)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : ENDING_SIGNALS)
    {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

void set_module_clean_up(void (*clean_up)()) { g_module_clean_up.store(clean_up); }

}  // namespace host_signals
