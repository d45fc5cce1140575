// What the module does at load: schema registration, memory tag, message
// ids and, with the start-up wrapper's switch on, the fatal-error handling.
//
// The switch reaches a death test's child through ZORVANE_MAIN_EH: the
// threadsafe style runs the child as a fresh process, so the module's static
// initialisers see the variable exactly as they would in the host.
#include "asm_messages.h"
#include "asm_startup.h"

#include <main.h>
#include <mem.h>
#include <msg.h>

#include <google/protobuf/descriptor.h>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

namespace
{

const std::string SE_THROWN_SEGV = "^Fatal error: SE " + std::to_string(SIGSEGV) +
                                   " thrown\\. The Zorvane software will now exit\\.\n$";
const char TERMINATION_REQUESTED[] = "^Fatal error: Program termination requested\\. The Zorvane software will now exit\\.\n$";
const char RECURSIVE_TERMINATION[] = "\n\\*\\*\\* Internal Error: Recursive termination requested\\.\n$";
const char TERMINATION_FAILED[] = "^\n\\*\\*\\* Fatal Error: Failed to complete termination procedures\n$";

// A real fault, out of the sanitizers' sight: a read of a page without
// access rights.
void fault()
{
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    volatile const char* p = static_cast<volatile const char*>(page);
    (void)*p;
}

void mark(const char* text) { (void)!write(STDERR_FILENO, text, std::strlen(text)); }

bool translator_installed(int signal_number)
{
    struct sigaction action;
    return sigaction(signal_number, nullptr, &action) == 0 && (action.sa_flags & SA_SIGINFO) != 0 &&
           (action.sa_flags & SA_ONSTACK) != 0 && action.sa_sigaction == fatal_se_translator;
}

bool any_handling_installed()
{
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        if (translator_installed(s))
            return true;
    return std::get_terminate() == fatal_terminate_handler;
}

class FatalErrorHandling : public testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setenv("ZORVANE_MAIN_EH", "1", 1);
    }
    void TearDown() override { unsetenv("ZORVANE_MAIN_EH"); }
};

class FatalErrorHandlingOff : public testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        unsetenv("ZORVANE_MAIN_EH");
    }
};

}  // namespace

TEST(ModuleLoad, SchemaFilesAreRegisteredWithoutBeingUsed)
{
    // Nothing in this program names a generated class.
    const google::protobuf::DescriptorPool* pool = google::protobuf::DescriptorPool::generated_pool();
    for (const char* name : {"PB.OPTIONS", "PB.OPTIONS.POWER_MANAGEMENT.DIRECT_FORMAT", "PB.HANDOFF_HPS",
                             "PB.HANDOFF_HPS.PINMUX_CONTROL", "PB.WRITEBACK", "PB.WRITEBACK.WRITEBACK_LUTRAM"})
        EXPECT_NE(pool->FindMessageTypeByName(name), nullptr) << name;
    const google::protobuf::Descriptor* writeback = pool->FindMessageTypeByName("PB.WRITEBACK");
    ASSERT_NE(writeback, nullptr);
    EXPECT_EQ(writeback->file()->name(), "writeback.proto");
    EXPECT_EQ(pool->FindMessageTypeByName("PB.OPTIONS")->file()->name(), "options.proto");
    EXPECT_EQ(pool->FindMessageTypeByName("PB.HANDOFF_HPS")->file()->name(), "handoff_hps.proto");
}

TEST(ModuleLoad, TagsMemoryAndRegistersEveryMessageIdWithItsKind)
{
    const std::vector<std::string> tags = mem_registered_tags();
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "ASM"), 1);

    ASSERT_EQ(asm_registered_message_count, 113u);
    EXPECT_EQ(msg_registered_id_count(), asm_registered_message_count);
    for (size_t i = 0; i < asm_registered_message_count; ++i)
    {
        MSG_POST_TYPE kind;
        ASSERT_TRUE(msg_is_registered_id(asm_registered_message_ids[i], &kind)) << asm_registered_message_ids[i];
        EXPECT_EQ(kind, asm_registered_message_kinds[i]) << asm_registered_message_ids[i];
    }
    MSG_POST_TYPE kind;
    ASSERT_TRUE(msg_is_registered_id(115013, &kind));  // EASM_ASM_ASSIGNMENTS_FILE_ERROR
    EXPECT_EQ(kind, MSG_POST_TYPE_ERROR);
    ASSERT_TRUE(msg_is_registered_id(24392, &kind));  // WASM_ASM_LTM_MISSING_CB_IP
    EXPECT_EQ(kind, MSG_POST_TYPE_WARNING);
    ASSERT_TRUE(msg_is_registered_id(20835, &kind));  // IASM_ASM_OPTION2_DESIGN_IS_CVP_READY
    EXPECT_EQ(kind, MSG_POST_TYPE_INFO);
}

TEST_F(FatalErrorHandlingOff, NothingIsInstalled)
{
    EXPECT_FALSE(any_handling_installed());
    install_se_translator_at_load();
    install_thread_exception_handlers();
    EXPECT_FALSE(any_handling_installed());
    EXPECT_FALSE(main_terminate_called(false));

    // The runtime's own terminate handler is still in place.
    EXPECT_EXIT(std::terminate(), testing::KilledBySignal(SIGABRT), "terminate called without an active exception");
}

TEST_F(FatalErrorHandling, InstalledAtLoadForEveryFaultSignal)
{
    EXPECT_EXIT(
        {
            bool all = std::get_terminate() == fatal_terminate_handler;
            for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL})
                all = all && translator_installed(s);
            _exit(all ? 0 : 1);
        },
        testing::ExitedWithCode(0), "^$");
}

TEST_F(FatalErrorHandling, FaultWithoutCallbackPrintsTheSignalAndExitsWith2)
{
    EXPECT_EXIT(fault(), testing::ExitedWithCode(2), SE_THROWN_SEGV);
    EXPECT_EXIT(__builtin_trap(), testing::ExitedWithCode(2),
                "^Fatal error: SE " + std::to_string(SIGILL) + " thrown\\. The Zorvane software will now exit\\.\n$");
    // Without the fault's information the code reads -1.
    EXPECT_EXIT(fatal_se_handler(nullptr), testing::ExitedWithCode(2),
                "^Fatal error: SE -1 thrown\\. The Zorvane software will now exit\\.\n$");
}

TEST_F(FatalErrorHandling, UncaughtExceptionOnAThreadRequestsTermination)
{
    EXPECT_EXIT(
        {
            std::thread worker([] { throw std::runtime_error("lost"); });
            worker.join();
        },
        testing::ExitedWithCode(2), TERMINATION_REQUESTED);
}

TEST_F(FatalErrorHandling, SecondEntryIsARecursiveTermination)
{
    EXPECT_EXIT(
        {
            main_terminate_called(true);
            std::terminate();
        },
        testing::ExitedWithCode(2), std::string("^") + RECURSIVE_TERMINATION);

    // The guard comes before the callback: a callback that terminates again
    // is not called a second time.
    EXPECT_EXIT(
        {
            main_terminator_callback = [] {
                mark("callback");
                std::terminate();
            };
            std::terminate();
        },
        testing::ExitedWithCode(2), std::string("^callback") + RECURSIVE_TERMINATION);

    EXPECT_EXIT(
        {
            main_terminate_called(true);
            fatal_se_handler(nullptr);
        },
        testing::ExitedWithCode(2), std::string("^") + RECURSIVE_TERMINATION);
}

TEST_F(FatalErrorHandling, FaultDuringTerminationTakesItsDefaultCourse)
{
    EXPECT_EXIT(
        {
            main_terminate_called(true);
            fault();
        },
        testing::KilledBySignal(SIGSEGV), "^$");
}

TEST_F(FatalErrorHandling, CallbackThatThrowsFailsTheTermination)
{
    EXPECT_EXIT(
        {
            main_terminator_callback = [] { throw std::runtime_error("callback"); };
            std::terminate();
        },
        testing::ExitedWithCode(2), TERMINATION_FAILED);
    EXPECT_EXIT(
        {
            main_seh_callback = [](MAIN_SIGNAL_POINTERS*) -> int32_t { throw 1; };
            fault();
        },
        testing::ExitedWithCode(2), TERMINATION_FAILED);
}

TEST_F(FatalErrorHandling, CallbackTakesOverAndTheModulePrintsNothing)
{
    // A fault on a worker thread reaches the callback with its signal.
    EXPECT_EXIT(
        {
            main_seh_callback = [](MAIN_SIGNAL_POINTERS* pointers) -> int32_t {
                _exit(pointers->info->si_signo == SIGSEGV && pointers->context != nullptr ? 7 : 8);
            };
            std::thread worker(fault);
            worker.join();
        },
        testing::ExitedWithCode(7), "^$");

    // A callback that returns leaves the fault to its default course: the
    // faulting read runs again while the termination is under way.
    EXPECT_EXIT(
        {
            main_seh_callback = [](MAIN_SIGNAL_POINTERS*) -> int32_t {
                mark("seh callback\n");
                return 0;
            };
            fault();
        },
        testing::KilledBySignal(SIGSEGV), "^seh callback\n$");

    // A terminate handler that returns makes the runtime abort.
    EXPECT_EXIT(
        {
            main_terminator_callback = [] { mark("terminator callback\n"); };
            std::terminate();
        },
        testing::KilledBySignal(SIGABRT), "^terminator callback\n$");
}

TEST(FatalSeHandler, ReturnsTheCallbacksResult)
{
    main_reset();
    static int seen_signal = 0;
    main_seh_callback = [](MAIN_SIGNAL_POINTERS* pointers) -> int32_t {
        seen_signal = pointers->info->si_signo;
        return -1073741819;
    };
    siginfo_t info{};
    info.si_signo = SIGBUS;
    MAIN_SIGNAL_POINTERS pointers{&info, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(fatal_se_handler(&pointers), -1073741819);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(seen_signal, SIGBUS);
    EXPECT_TRUE(main_terminate_called(false));
    main_reset();
}
