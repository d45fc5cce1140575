// How a signal ends the host. SIGTERM, SIGINT, SIGHUP, SIGQUIT and SIGPIPE
// end it with status 128 + the signal, after removing the temporaries that
// the suite's file writers track and calling the module's clean-up entry
// (its own temporaries removed, the process groups of the tools it runs sent
// SIGTERM, waited for while anything of them runs, for 1.5 s at most, and
// what is left then sent SIGKILL). The tools run in sessions of their own,
// outside the terminal's job control: Ctrl-C in the terminal reaches the
// host, which ends them so.
// A signal ignored when the host starts (a background job of a script) stays
// ignored. The handler does its work on the thread that installed it, the
// one that calls the module: another thread that the system hands the
// signal to (Tcl's notifier) passes it on there and returns.
#pragma once

namespace host_signals
{

// Installs the handler for each ending signal that is not ignored; called on
// the thread that then calls the module. Also
// prepares the host for the tools it runs: SIGCHLD back to its default (so
// that their ends are the host's to wait for), and the host the reaper of
// what they leave behind.
void install();

// The module's clean-up entry (asm_clean_up_on_signal), which the handler
// calls; null for a module without one.
void set_module_clean_up(void (*clean_up)());

}  // namespace host_signals
