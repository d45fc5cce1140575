// Start-up wrapper library of the suite (stand-in): the process's
// exception-handling switch, its termination flag and the callbacks that
// take over fatal errors.
//
// The switch is off unless a test turns it on with main_set_eh_enabled, or
// the host runs the process with the environment variable ZORVANE_MAIN_EH=1.
// Without a setter the variable is read at every call, so a module that is
// loaded at process start sees it from its static initialisers.
#pragma once

#include <signal.h>

#include <atomic>
#include <cstdint>

// What a fatal signal hands to a callback: the signal's information and the
// interrupted thread's context (a ucontext_t).
struct MAIN_SIGNAL_POINTERS
{
    siginfo_t* info;
    void* context;
};

// Takes over a fatal signal; its result goes back to the module's handler.
typedef int32_t (*MAIN_SEH_CALLBACK)(MAIN_SIGNAL_POINTERS* pointers);
// Takes over a terminate request.
typedef void (*MAIN_TERMINATOR_CALLBACK)();

// True when the modules install their fatal-error handling.
bool main_eh_enabled();
// Sets the switch for the rest of the process (the environment no longer
// counts).
void main_set_eh_enabled(bool enabled);

// Called with false: whether a termination is under way. Called with true:
// marks a termination as under way and returns whether one already was.
// Lock-free, so a signal handler may call it.
bool main_terminate_called(bool set);

// The registered callbacks; null when none is registered.
extern std::atomic<MAIN_SEH_CALLBACK> main_seh_callback;
extern std::atomic<MAIN_TERMINATOR_CALLBACK> main_terminator_callback;

// Clears the termination flag, both callbacks and the switch's setting.
void main_reset();
