// The built library exports its entry under a plain name. This binary does
// not link the module's objects: it loads libasm.so as the suite's compiler
// flow does and shares the suite stand-in with it.
#include <cfg.h>
#include <fio.h>
#include <msg.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <dlfcn.h>

class CMP_FACADE;

typedef int (*ASM_ASSEMBLE_ENTRY)(CMP_FACADE*, uint32_t, bool&, const FIO_PATH&);

TEST(ExportedEntry, AsmAssembleIsFoundByItsPlainNameAndRuns)
{
    void* library = dlopen(ASM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<ASM_ASSEMBLE_ENTRY>(dlsym(library, "asm_assemble"));
    ASSERT_NE(entry, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "set_and_get_asm_zasm_accessor"), nullptr) << dlerror();
    // The module's internals stay hidden: asm_debug_log(int, const char*, ...).
    EXPECT_EQ(dlsym(library, "_Z13asm_debug_logiPKcz"), nullptr);

    cfg_clear();
    msg_reset();
    cfg_set_value("skip_asm", "on");
    bool out_flag = true;
    EXPECT_EQ(entry(nullptr, 0, out_flag, FIO_PATH()), 0);
    EXPECT_FALSE(out_flag);
    std::vector<std::string> lines;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        if (line.component == "ASM")
            lines.push_back(line.text);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "ASM Begin", "Skipping ASM because skip_asm = ON was found in your zorvane.ini file.",
                         "ASM End"}));
    EXPECT_EQ(dlclose(library), 0);
}
