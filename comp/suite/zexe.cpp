#include "zexe.h"

#include "msg.h"

#include <tcl.h>

#include <csignal>
#include <cstdarg>

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

Tcl_Interp* interpreter()
{
    ZEXE_STATE& zexe = state();
    if (zexe.interp != nullptr)
        return zexe.interp;
    // Tcl sets SIGPIPE to be ignored when it starts; the process's own
    // disposition (a handler that ends it, or the default) is kept, and so
    // is what the processes it starts later inherit.
    struct sigaction pipe_action;
    const bool pipe_known = sigaction(SIGPIPE, nullptr, &pipe_action) == 0;
    static bool library_found = false;
    if (!library_found)
    {
        // Lets Tcl locate its script library (init.tcl) from the process.
        Tcl_FindExecutable(nullptr);
        library_found = true;
    }
    zexe.interp = Tcl_CreateInterp();
    if (Tcl_Init(zexe.interp) != TCL_OK)
        debug_line("Tcl_Init failed: %s", Tcl_GetStringResult(zexe.interp));
    if (pipe_known)
        sigaction(SIGPIPE, &pipe_action, nullptr);
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
    const int code = Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL);
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
