#include "host_signals.h"

#include <fio.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace host_signals
{

namespace
{

const int ENDING_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE};

std::atomic<void (*)()> g_module_clean_up{nullptr};

// The thread that installed the handler, the one that calls the module.
pthread_t g_runner;

extern "C" void end_on_signal(int signal)
{
    // The module starts its tools and makes its temporaries on the thread
    // that calls it, holding the ending signals in that thread alone while
    // it registers them, and must start nothing after the clean-up. The
    // system hands a signal to any thread that does not hold it (Tcl's
    // notifier, once a device script has used the event loop): such a
    // thread passes it on to the caller's thread, which takes it as soon
    // as it holds it no longer, and so the clean-up runs there, once,
    // seeing every tool the run has started.
    if (!pthread_equal(pthread_self(), g_runner))
    {
        const int saved_errno = errno;
        ::pthread_kill(g_runner, signal);
        errno = saved_errno;
        return;
    }
    // Only async-signal-safe calls: unlink, kill, waitpid, clock_gettime, poll, _exit.
    fio_remove_tracked_temporaries();
    if (void (*clean_up)() = g_module_clean_up.load())
        clean_up();
    ::_exit(128 + signal);
}

}  // namespace

void install()
{
    static_assert(std::atomic<void (*)()>::is_always_lock_free, "the signal handler reads the module's entry");
    g_runner = pthread_self();
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

    // The run waits for the tools it starts: with SIGCHLD ignored by
    // whoever started the host, the system would reap them first and every
    // wait would find no child.
    struct sigaction child;
    std::memset(&child, 0, sizeof child);
    child.sa_handler = SIG_DFL;
    sigemptyset(&child.sa_mask);
    sigaction(SIGCHLD, &child, nullptr);
    // What a tool leaves behind when it ends comes to the host rather than
    // to the system's init: the module reaps it as the run goes on, and the
    // clean-up on a signal reaps it and sees when nothing of the tool's
    // group is left; an init that reaps no orphans would keep the grace
    // waiting on their zombies.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void set_module_clean_up(void (*clean_up)()) { g_module_clean_up.store(clean_up); }

}  // namespace host_signals
