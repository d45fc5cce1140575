#include "asm_startup.h"

#include "asm_messages.h"

#include <mem.h>
#include <msg.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#define ASM_SOURCE_TAG "comp/asm/asm_startup"

namespace
{

const int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

const char RECURSIVE_TERMINATION[] = "\n*** Internal Error: Recursive termination requested.\n";
const char SE_THROWN[] = "Fatal error: SE %d thrown. The Zorvane software will now exit.\n";
const char TERMINATION_REQUESTED[] = "Fatal error: Program termination requested. The Zorvane software will now exit.\n";
const char TERMINATION_FAILED[] = "\n*** Fatal Error: Failed to complete termination procedures\n";

// The alternate signal stack of the loading thread, so that a stack overflow
// there still reaches the handler.
alignas(16) char loading_thread_signal_stack[64 * 1024];

// Output for a signal handler: only write(2), and standard output is flushed
// only when its lock can be taken (another thread may hold it).
void write_stderr(const char* text, size_t size)
{
    while (size > 0)
    {
        ssize_t written = write(STDERR_FILENO, text, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        text += written;
        size -= static_cast<size_t>(written);
    }
}

void flush_stdout_if_free()
{
    if (ftrylockfile(stdout) == 0)
    {
        fflush_unlocked(stdout);
        funlockfile(stdout);
    }
}

[[noreturn]] void end_process_from_signal(const char* line, size_t size)
{
    flush_stdout_if_free();
    write_stderr(line, size);
    _exit(2);
}

template <size_t N>
[[noreturn]] void end_process_from_signal(const char (&line)[N])
{
    end_process_from_signal(line, N - 1);
}

// Outside a signal handler the standard streams are used as usual.
[[noreturn]] void end_process(const char* line)
{
    std::fflush(stdout);
    std::fputs(line, stderr);
    std::fflush(stderr);
    _exit(2);
}

// The format with its one %d replaced by the value, without the C library's
// formatter (not async-signal-safe). Returns the length written.
size_t format_signal_line(char* out, size_t capacity, const char* format, int value)
{
    char digits[16];
    size_t digit_count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do
    {
        digits[digit_count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        digits[digit_count++] = '-';

    size_t length = 0;
    for (const char* p = format; *p != '\0' && length + 1 < capacity; ++p)
    {
        if (p[0] == '%' && p[1] == 'd')
        {
            while (digit_count > 0 && length + 1 < capacity)
                out[length++] = digits[--digit_count];
            ++p;
            continue;
        }
        out[length++] = *p;
    }
    out[length] = '\0';
    return length;
}

void install_fatal_signal_handlers()
{
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0)
    {
        stack_t alternate{};
        alternate.ss_sp = loading_thread_signal_stack;
        alternate.ss_size = sizeof(loading_thread_signal_stack);
        sigaltstack(&alternate, nullptr);
    }
    for (int signal_number : FATAL_SIGNALS)
    {
        struct sigaction installed;
        if (sigaction(signal_number, nullptr, &installed) == 0 && (installed.sa_flags & SA_SIGINFO) != 0 &&
            installed.sa_sigaction == fatal_se_translator)
            continue;
        struct sigaction action{};
        action.sa_sigaction = fatal_se_translator;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(signal_number, &action, nullptr);
    }
}

// Lets the signal take its default course: it is blocked while its handler
// runs, so the raised signal is delivered, with the default action, when the
// handler returns.
void pass_on_untranslated(int signal_number)
{
    struct sigaction default_action{};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    raise(signal_number);
}

// Runs an initialiser's work at its place in the load order.
struct LOAD_STEP
{
    explicit LOAD_STEP(void (*step)()) { step(); }
};

}  // namespace

void install_se_translator_at_load()
{
    if (main_eh_enabled())
        install_fatal_signal_handlers();
}

void install_thread_exception_handlers()
{
    if (!main_eh_enabled())
        return;
    main_terminate_called(false);
    install_fatal_signal_handlers();
    std::set_terminate(fatal_terminate_handler);
}

void fatal_se_translator(int signal_number, siginfo_t* info, void* context)
{
    const int saved_errno = errno;
    if (main_terminate_called(false))
    {
        pass_on_untranslated(signal_number);
    }
    else
    {
        MAIN_SIGNAL_POINTERS pointers{info, context};
        fatal_se_handler(&pointers);
    }
    errno = saved_errno;
}

int32_t fatal_se_handler(MAIN_SIGNAL_POINTERS* pointers)
{
    try
    {
        if (main_terminate_called(true))
            end_process_from_signal(RECURSIVE_TERMINATION);
        MAIN_SEH_CALLBACK callback = main_seh_callback.load();
        if (callback != nullptr)
            return callback(pointers);
        const int code = (pointers != nullptr && pointers->info != nullptr) ? pointers->info->si_signo : -1;
        char line[sizeof(SE_THROWN) + 16];
        const size_t length = format_signal_line(line, sizeof(line), SE_THROWN, code);
        end_process_from_signal(line, length);
    }
    catch (...)
    {
        end_process_from_signal(TERMINATION_FAILED);
    }
}

void fatal_terminate_handler()
{
    try
    {
        if (main_terminate_called(true))
            end_process(RECURSIVE_TERMINATION);
        MAIN_TERMINATOR_CALLBACK callback = main_terminator_callback.load();
        if (callback != nullptr)
        {
            callback();
            return;
        }
        end_process(TERMINATION_REQUESTED);
    }
    catch (...)
    {
        end_process(TERMINATION_FAILED);
    }
}

// The module's static initialisers, in the order they run at load. The
// schema files' descriptors are registered before them: the generated code
// runs at an earlier initialisation priority.
namespace
{

const LOAD_STEP se_translator_at_load(install_se_translator_at_load);
MEM_INITIALIZER module_memory_tag("ASM");
MSG_ID_REGISTRAR module_message_ids(asm_registered_message_ids, asm_registered_message_kinds,
                                    asm_registered_message_count);
const LOAD_STEP thread_exception_handlers(install_thread_exception_handlers);

}  // namespace
