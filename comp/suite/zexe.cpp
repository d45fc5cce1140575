#include "zexe.h"

#include "fio.h"
#include "msg.h"

#include <tcl.h>

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

// A command of the interpreter wrapped so that the files it names are
// recorded as read (fio_record_read) before the original runs: the host
// keeps its debug log off them.
struct WRAPPED_COMMAND
{
    Tcl_ObjCmdProc* original;
    ClientData original_data;
    // The argument that names the file: 1 from the front, else the last.
    bool file_is_last;
};

int record_file_and_call(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    const WRAPPED_COMMAND* command = static_cast<const WRAPPED_COMMAND*>(data);
    if (objc >= 2)
    {
        Tcl_Obj* file = command->file_is_last ? objv[objc - 1] : objv[1];
        // "open |command" starts a pipeline; it names no file.
        const char* text = Tcl_GetString(file);
        // The path as the interpreter resolves it: against its current
        // directory, "~" expanded.
        Tcl_Obj* resolved = text[0] == '|' ? nullptr : Tcl_FSGetNormalizedPath(interp, file);
        if (resolved != nullptr)
            fio_record_read(Tcl_GetString(resolved));
        Tcl_ResetResult(interp);
    }
    return command->original(command->original_data, interp, objc, objv);
}

void wrap_command(Tcl_Interp* interp, const char* name, bool file_is_last)
{
    Tcl_CmdInfo info;
    if (Tcl_GetCommandInfo(interp, name, &info) == 0 || info.objProc == nullptr)
    {
        debug_line("cannot wrap the %s command", name);
        return;
    }
    // One per interpreter; freed when the interpreter deletes the command.
    WRAPPED_COMMAND* command = new WRAPPED_COMMAND{info.objProc, info.objClientData, file_is_last};
    Tcl_CreateObjCommand(interp, name, record_file_and_call, command,
                         [](ClientData data) { delete static_cast<WRAPPED_COMMAND*>(data); });
}

Tcl_Interp* interpreter()
{
    ZEXE_STATE& zexe = state();
    if (zexe.interp != nullptr)
        return zexe.interp;
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
    if (Tcl_HideCommand(zexe.interp, "exit", "exit") != TCL_OK)
        debug_line("cannot hide the exit command: %s", Tcl_GetStringResult(zexe.interp));
    wrap_command(zexe.interp, "open", false);
    wrap_command(zexe.interp, "source", true);
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
