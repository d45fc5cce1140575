// libasm.so loaded as the host loads it: its static initialisers register
// the schema files, the memory tag and the message ids, and, with the
// start-up wrapper's switch on, its fatal-error handling takes over.
// This program links only the suite and protobuf, never the module's objects.
#include <main.h>
#include <mem.h>
#include <msg.h>

#include <google/protobuf/descriptor.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace
{

void* load_module()
{
    void* module = dlopen(ASM_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    return module;
}

}  // namespace

TEST(SharedModuleLoad, RegistersSchemasTagAndMessageIds)
{
    unsetenv("ZORVANE_MAIN_EH");
    const google::protobuf::DescriptorPool* pool = google::protobuf::DescriptorPool::generated_pool();
    ASSERT_EQ(pool->FindMessageTypeByName("PB.WRITEBACK"), nullptr);
    const size_t ids_before = msg_registered_id_count();
    std::terminate_handler terminate_before = std::get_terminate();

    ASSERT_NE(load_module(), nullptr);
    for (const char* name : {"PB.OPTIONS", "PB.HANDOFF_HPS", "PB.WRITEBACK"})
        EXPECT_NE(pool->FindMessageTypeByName(name), nullptr) << name;
    const std::vector<std::string> tags = mem_registered_tags();
    EXPECT_NE(std::find(tags.begin(), tags.end(), "ASM"), tags.end());
    EXPECT_EQ(msg_registered_id_count(), ids_before + 113);
    MSG_POST_TYPE kind;
    ASSERT_TRUE(msg_is_registered_id(12914, &kind));  // WASM_SLD_EMBEDDED_FILE_ERROR
    EXPECT_EQ(kind, MSG_POST_TYPE_WARNING);

    // The switch is off: no handler of the module's.
    EXPECT_EQ(std::get_terminate(), terminate_before);
}

TEST(SharedModuleLoad, WithTheSwitchOnTakesOverTerminationForTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("ZORVANE_MAIN_EH", "1", 1);
            if (load_module() == nullptr)
                _exit(1);
            struct sigaction action;
            sigaction(SIGBUS, nullptr, &action);
            if ((action.sa_flags & (SA_SIGINFO | SA_ONSTACK)) != (SA_SIGINFO | SA_ONSTACK))
                _exit(1);
            std::terminate();
        },
        testing::ExitedWithCode(2),
        "^Fatal error: Program termination requested\\. The Zorvane software will now exit\\.\n$");
}
