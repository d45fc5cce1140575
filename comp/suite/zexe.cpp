#include "zexe.h"

#include "msg.h"

#include <tcl.h>

#include <csignal>
#include <cstdarg>

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace
{

struct ZEXE_STATE
{
    Tcl_Interp* interp = nullptr;
    int evaluations = 0;
    std::string last_script;
};

ZEXE_STATE& state()
{
    static ZEXE_STATE zexe;
    return zexe;
}

void debug_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

void debug_line(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    msg_local_vdebug("ZEXE", static_cast<MSG_D_LEVEL>(2), format, args);
    va_end(args);
}

// Runs the interpreter's work with SIGPIPE held back in the calling
// thread, as a Tcl interpreter runs scripts: a write of the script to a
// pipe that no one reads fails with EPIPE, an error the script can catch,
// and does not end the process. Tcl sets SIGPIPE to be ignored when it
// starts; the process's own disposition is put back, so that a SIGPIPE
// keeps ending the process as it did, and the processes it starts later
// inherit that disposition. A SIGPIPE that another process sent meanwhile
// is delivered once the work is done; those that the thread's own writes
// raised are dropped.
template <typename WORK>
auto with_sigpipe_held(WORK work)
{
    sigset_t pipe_set;
    sigset_t previous;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_set, &previous);
    struct sigaction action;
    const bool known = sigaction(SIGPIPE, nullptr, &action) == 0;
    auto result = work();
    if (known)
        sigaction(SIGPIPE, &action, nullptr);
    // The system gives a SIGPIPE of a write the sender's own process id.
    bool sent = false;
    siginfo_t info;
    const timespec at_once = {0, 0};
    while (sigtimedwait(&pipe_set, &info, &at_once) == SIGPIPE)
        sent = sent || info.si_code != SI_USER || info.si_pid != getpid();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (sent)
        kill(getpid(), SIGPIPE);
    return result;
}

Tcl_Interp* interpreter()
{
    ZEXE_STATE& zexe = state();
    if (zexe.interp != nullptr)
        return zexe.interp;
    zexe.interp = with_sigpipe_held([] {
        static bool library_found = false;
        if (!library_found)
        {
            // Lets Tcl locate its script library (init.tcl) from the process.
            Tcl_FindExecutable(nullptr);
            library_found = true;
        }
        Tcl_Interp* interp = Tcl_CreateInterp();
        if (Tcl_Init(interp) != TCL_OK)
            debug_line("Tcl_Init failed: %s", Tcl_GetStringResult(interp));
        return interp;
    });
    if (Tcl_HideCommand(zexe.interp, "exit", "exit") != TCL_OK)
        debug_line("cannot hide the exit command: %s", Tcl_GetStringResult(zexe.interp));
    Tcl_ResetResult(zexe.interp);
    return zexe.interp;
}

}  // namespace

bool zexe_evaluate_tcl_command(const char* script)
{
    if (script == nullptr)
        return false;
    ZEXE_STATE& zexe = state();
    Tcl_Interp* interp = interpreter();
    ++zexe.evaluations;
    zexe.last_script = script;
    const int code = with_sigpipe_held([&] { return Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL); });
    if (code != TCL_OK)
        debug_line("script failed (code %d): %s", code, Tcl_GetStringResult(interp));
    return code == TCL_OK;
}

int zexe_evaluation_count() { return state().evaluations; }

std::string zexe_last_script() { return state().last_script; }

std::string zexe_get_global(const std::string& name)
{
    Tcl_Interp* interp = state().interp;
    if (interp == nullptr)
        return std::string();
    const char* value = Tcl_GetVar(interp, name.c_str(), TCL_GLOBAL_ONLY);
    return value != nullptr ? std::string(value) : std::string();
}

void zexe_reset()
{
    ZEXE_STATE& zexe = state();
    if (zexe.interp != nullptr)
        Tcl_DeleteInterp(zexe.interp);
    zexe.interp = nullptr;
    zexe.evaluations = 0;
    zexe.last_script.clear();
}
