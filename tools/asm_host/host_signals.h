// How a signal ends the host. SIGTERM, SIGINT, SIGHUP, SIGQUIT and SIGPIPE
// end it with status 128 + the signal, after removing the temporaries that
// the suite's file writers track and calling the module's clean-up entry
// (its own temporaries removed, the process groups of the tools it runs sent
// SIGTERM, and SIGKILL once the tools have ended or after a grace of 1.5 s
// at most). The tools run in sessions of their own, outside the terminal's
// job control: Ctrl-C in the terminal reaches the host, which ends them so.
// A signal ignored when the host starts (a background job of a script) stays
// ignored.
#pragma once

namespace host_signals
{

// Installs the handler for each ending signal that is not ignored.
void install();

// The module's clean-up entry (asm_clean_up_on_signal), which the handler
// calls; null for a module without one.
void set_module_clean_up(void (*clean_up)());

}  // namespace host_signals
