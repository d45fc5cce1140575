// What a process ended by a signal must not leave behind of the module: the
// temporaries that its atomic writers fill and the process groups of the
// programming-file tools that it runs (each tool in a session of its own, so
// its pid numbers its group). Both are kept in fixed slots, so that
// asm_clean_up_on_signal, which the host's signal handler calls, reads them
// with atomic loads only and calls nothing but unlink, kill, waitpid,
// clock_gettime and poll. A slot is claimed before what it names is made:
// when every slot is taken, the file is not made or the tool not started,
// and the caller fails.
#pragma once

#include "asm_common.h"

#include <csignal>
#include <string>
#include <sys/types.h>

namespace asm_registry
{

// Holds the ending signals (SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE) back
// in the calling thread while it lives, so that a signal never finds a file
// or a process made but not yet registered.
class ENDING_SIGNALS_HELD
{
public:
    ENDING_SIGNALS_HELD();
    ~ENDING_SIGNALS_HELD();
    ENDING_SIGNALS_HELD(const ENDING_SIGNALS_HELD&) = delete;
    ENDING_SIGNALS_HELD& operator=(const ENDING_SIGNALS_HELD&) = delete;

    // The thread's signal mask before (what a spawned process should get).
    const sigset_t& previous() const { return m_previous; }

private:
    sigset_t m_previous;
};

// Makes and registers the temporary that an atomic writer fills and then
// renames over the target: ".<file name>.XXXXXX" in the target's
// directory, mode 0600, close-on-exec. The descriptor, with the temporary's
// path and its slot; -1 with errno set when it cannot be made (EINVAL for a
// target without a file name, EAGAIN when every slot is taken).
int make_temporary(const std::string& target, std::string& temporary, int& slot);

// Forgets the temporary of the slot once it is renamed or removed.
void forget_temporary(int slot);

// A slot for the process group of a tool about to be started; -1 when every
// slot is taken. publish_tool_group names the group once the tool runs;
// release_tool_slot frees the slot once nothing of the group is to be ended
// any more, while the group's number is still the tool's. A tool reaped
// while a process it left still runs keeps its slot, marked by
// mark_tool_reaped: the clean-up then ends the group only while
// group_still_the_reaped_tools holds.
int claim_tool_slot();
void publish_tool_group(int slot, pid_t group);
void mark_tool_reaped(int slot);
void release_tool_slot(int slot);

// Whether the process group of a reaped tool, numbered by its pid, is still
// the tool's: it has a member and no process has the tool's number. A
// group's number is no one else's while a member lives, so a process that
// has it again means that the group ended (or its members all left it) and
// the number was given anew. Async-signal-safe (kill only).
bool group_still_the_reaped_tools(pid_t group);

}  // namespace asm_registry

// For the host's signal handler, which then ends the process: removes every
// registered temporary and sends SIGTERM to every registered tool group;
// when there is one, waits while anything of the groups runs (a tool is
// reaped once it has ended, and so is any other child of the process in
// its group), for 1.5 s at most, and then sends SIGKILL to each group that
// has something left, which ends a tool that ignores SIGTERM and whatever
// the tools started. Async-signal-safe; errno is kept. To be called on the
// thread that calls the module, which holds the ending signals while it
// registers a tool in that thread alone and must start nothing after the
// clean-up: a handler that the system calls on another thread passes the
// signal on to that one.
extern "C" ASM_EXPORT void asm_clean_up_on_signal();
