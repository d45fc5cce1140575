#include "zexe.h"

#include "msg.h"

#include <tcl.h>

#include <csignal>
#include <cstdarg>
#include <cstring>

#include <signal.h>
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

// Set by the handler below when a SIGPIPE that another process sent arrives
// while the interpreter works.
volatile sig_atomic_t g_sigpipe_sent = 0;

// The system gives the SIGPIPE of a write to a pipe or socket without a
// reader SI_USER and the writer's own process id; any other is a signal
// that someone sent.
extern "C" void note_sent_sigpipe(int, siginfo_t* info, void*)
{
    if (info == nullptr || info->si_code != SI_USER || info->si_pid != getpid())
        g_sigpipe_sent = 1;
}

// Runs the interpreter's work with a handler of SIGPIPE that lets the
// interpreter's own writes raise it without effect, as a Tcl interpreter
// runs scripts: a write of the script to a pipe that no one reads fails
// with EPIPE, an error the script can catch, and does not end the process.
// A SIGPIPE that another process sends meanwhile is noted and sent again
// once the work is done, when the process's own disposition is back (Tcl
// sets SIGPIPE to be ignored when it starts): it ends the process as it
// would have. Nothing is blocked, and a caught signal is set back to its
// default across execve: a process that a script starts begins with
// SIGPIPE at its default and no signal blocked, as from a shell, however
// Tcl makes it. A SIGPIPE that the process ignores stays ignored, for the
// work too.
template <typename WORK>
auto with_sigpipe_an_error(WORK work)
{
    struct sigaction previous;
    const bool handled = sigaction(SIGPIPE, nullptr, &previous) == 0 &&
                         ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_IGN);
    if (handled)
    {
        struct sigaction noting;
        std::memset(&noting, 0, sizeof noting);
        noting.sa_sigaction = note_sent_sigpipe;
        noting.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&noting.sa_mask);
        g_sigpipe_sent = 0;
        sigaction(SIGPIPE, &noting, nullptr);
    }
    auto result = work();
    if (handled)
    {
        sigaction(SIGPIPE, &previous, nullptr);
        if (g_sigpipe_sent != 0)
        {
            g_sigpipe_sent = 0;
            kill(getpid(), SIGPIPE);
        }
    }
    return result;
}

Tcl_Interp* interpreter()
{
    ZEXE_STATE& zexe = state();
    if (zexe.interp != nullptr)
        return zexe.interp;
    static bool process_initialised = false;
    if (!process_initialised)
    {
        // Tcl's start for the process: among the rest it takes its system
        // encoding from the locale, which the channels and file names of a
        // script use (without it a script's non-ASCII text is written, and
        // its files named, in ISO 8859-1 whatever the locale). It sets
        // SIGPIPE to be ignored, and the process's own disposition is put
        // back as soon as it returns: a SIGPIPE sent in the short rest of
        // this one call, once per process, is the only one that can be lost.
        with_sigpipe_an_error([] { Tcl_FindExecutable(nullptr); return 0; });
        process_initialised = true;
    }
    zexe.interp = with_sigpipe_an_error([] {
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
    const int code = with_sigpipe_an_error([&] { return Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL); });
    // Tcl reaps the background processes of a script ("exec ... &") only at
    // its next exec: those that have ended by now are reaped here, so that
    // they do not wait as zombies of the process for the rest of the run.
    Tcl_ReapDetachedProcs();
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
