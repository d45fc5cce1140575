// Tcl execution library of the suite (stand-in): one Tcl 8.6 interpreter for
// the process, made on first use, in which the suite's tools evaluate
// scripts.
//
// The interpreter is a real one (libtcl): Tcl_Init runs when it is made (a
// failure is written to the debug log under "ZEXE" and the interpreter
// stays usable for the built-in commands), and its "exit" command is
// hidden, so that a script cannot end the process that hosts it (calling it
// is the error 'invalid command name "exit"'). While the interpreter starts
// and evaluates, a SIGPIPE raised by its own writes has no effect: a
// script's write to a pipe without a reader is an error of the script. A
// SIGPIPE that another process sends meanwhile is delivered once the work
// is done, and the process's own disposition of SIGPIPE (which Tcl would
// set to ignored) is kept. Nothing is blocked: a process that a script
// starts begins with SIGPIPE at its default and no signal blocked.
// Once a script has run, the processes it started in the background that
// have ended are reaped (Tcl itself does so only at its next exec).
#pragma once

#include <string>

// Evaluates the script at global level. True when the result is TCL_OK;
// false for any other result and for a null script. A failed script's
// result text goes to the debug log under "ZEXE".
bool zexe_evaluate_tcl_command(const char* script);

// For tests: the number of evaluations since the last reset, the last
// script evaluated, and the value of a global variable of the interpreter
// ("" when unset or when no interpreter was made).
int zexe_evaluation_count();
std::string zexe_last_script();
std::string zexe_get_global(const std::string& name);

// Deletes the interpreter (the next evaluation makes a fresh one) and
// clears the test counters.
void zexe_reset();
