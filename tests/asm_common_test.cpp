#include "asm_common.h"

#include <gtest/gtest.h>

#define ASM_SOURCE_TAG "comp/asm/asm_test"

TEST(InternalError, CarriesConditionComponentSourceAndLine)
{
    try
    {
        internal_error("cmp != NULL", "comp/asm/asm_root", 123);
        FAIL() << "internal_error returned";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "cmp != NULL");
        EXPECT_EQ(e.component(), "ASM");
        EXPECT_EQ(e.file(), "comp/asm/asm_root");
        EXPECT_EQ(e.line(), 123);
    }
}

TEST(InternalError, RequireMacroReportsTheConditionAsWritten)
{
    const void* chip = nullptr;
    try
    {
        ASM_REQUIRE(chip != NULL);
        FAIL() << "no internal error";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "chip != NULL");
        EXPECT_EQ(e.file(), "comp/asm/asm_test");
        EXPECT_EQ(e.line(), __LINE__ - 7);
    }
}

TEST(InternalError, IsNotAStandardException)
{
    bool caught_as_std = false;
    try
    {
        try
        {
            internal_error("x", "f", 1);
        }
        catch (const std::exception&)
        {
            caught_as_std = true;
        }
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
    }
    EXPECT_FALSE(caught_as_std);
}

TEST(SafeSprintf, FormatsMatchingArguments)
{
    EXPECT_EQ(safe_sprintf("Invalid element %d", 7), "Invalid element 7");
    EXPECT_EQ(safe_sprintf("%s:%u", std::string("a"), 3u), "a:3");
    std::string out;
    EXPECT_TRUE(safe_sprintf(out, "block_name -> %s", "lab"));
    EXPECT_EQ(out, "block_name -> lab");
}

TEST(SafeSprintf, MismatchGivesTheDiagnosticWithEveryArgument)
{
    // More conversions than arguments: the printf engine throws.
    std::string text = safe_sprintf("%d and %d", 42);
    EXPECT_EQ(text, "ERROR: args not compatible with format string\nformat: %d and %d\narg[0]: 42\n");

    std::string out;
    EXPECT_FALSE(safe_sprintf(out, "%s %s %s", "a", 5));
    EXPECT_EQ(out, "ERROR: args not compatible with format string\nformat: %s %s %s\narg[0]: a\narg[1]: 5\n");
}

TEST(DebugLog, WritesUnderTheModuleTag)
{
    msg_reset();
    EXPECT_TRUE(asm_debug_log(2, "%s", "ASM Begin"));
    ASSERT_EQ(msg_debug_lines().size(), 1u);
    EXPECT_EQ(msg_debug_lines()[0].component, "ASM");
    EXPECT_EQ(msg_debug_lines()[0].level, 2);
    EXPECT_EQ(msg_debug_lines()[0].text, "ASM Begin");
}
