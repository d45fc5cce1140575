// Start-up of the assembler module and its fatal-error handling.
//
// At load, after the schema files' descriptors are registered, the module
// tags its memory "ASM", registers its message ids and, when the start-up
// wrapper's exception-handling switch is on, installs its fatal-error
// handling: one handler for the fault signals SIGSEGV, SIGBUS, SIGFPE and
// SIGILL, and the process's terminate handler. Both are process-wide, so the
// one install at load covers every thread.
#pragma once

#include <main.h>

#include <signal.h>

#include <cstdint>

// The static initialisers' work; each does nothing while the switch is off.
// Installs fatal_se_translator for the fault signals.
void install_se_translator_at_load();
// Asks the termination flag, installs fatal_se_translator (when not yet in
// place) and makes fatal_terminate_handler the terminate handler.
void install_thread_exception_handlers();

// The fault-signal handler (SA_SIGINFO). While a termination is under way it
// restores the signal's default action and raises it again, so the fault
// takes its default course; otherwise it runs fatal_se_handler.
void fatal_se_translator(int signal, siginfo_t* info, void* context);

// The registered callback's result when one is registered; without one the
// process ends with exit code 2 after one line on standard error.
int32_t fatal_se_handler(MAIN_SIGNAL_POINTERS* pointers);

// The terminate handler: the registered callback when there is one,
// otherwise one line on standard error and exit code 2.
void fatal_terminate_handler();
