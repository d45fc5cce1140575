#include "asm_util.h"

#include "asm_messages.h"

#include <cfg.h>
#include <fio.h>
#include <msg.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace
{

std::string current_directory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) ? std::string(buffer) : std::string();
}

// The peak resident size of the process in bytes, read independently of
// the memory library.
uint64_t peak_resident_bytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.rfind("VmHWM:", 0) == 0)
        {
            std::istringstream value(line.substr(6));
            uint64_t kilobytes = 0;
            value >> kilobytes;
            return kilobytes * 1024;
        }
    }
    return 0;
}

std::vector<std::string> debug_texts()
{
    std::vector<std::string> texts;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        texts.push_back(line.text);
    return texts;
}

}  // namespace

// Each test case runs in a process of its own, so the memory-report switch is
// read afresh by the first checkpoint of every case.

TEST(MemoryCheckpoint, WritesTheTotalsAsNumbersWhenTheSwitchIsOn)
{
    cfg_clear();
    cfg_set_value("asm_report_memory", "on");
    msg_reset();
    asm_memory_checkpoint("ASM Begin");
    const uint64_t peak_after = peak_resident_bytes();

    ASSERT_EQ(msg_debug_lines().size(), 1u);
    const MSG_DEBUG_LINE& line = msg_debug_lines()[0];
    EXPECT_EQ(line.component, "ASM");
    EXPECT_EQ(line.level, 2);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line.text, match,
                                 std::regex(R"(\[ASM Begin\] ASM memory system current ([0-9]+), system peak ([0-9]+))")))
        << line.text;
    const uint64_t current = std::stoull(match[1]);
    const uint64_t peak = std::stoull(match[2]);
    EXPECT_GT(current, 0u);
    // Current first, then peak: the peak was read later and never shrinks.
    EXPECT_LE(current, peak);
    EXPECT_LE(peak, peak_after);
}

TEST(MemoryCheckpoint, OneLinePerLabelInCallOrder)
{
    cfg_clear();
    cfg_set_value("asm_report_memory", "ON");
    msg_reset();
    for (const char* label : {"ASM Begin", "beginning asm_bcm_device", "before assemble_dev_device clean up",
                              "ASM End"})
        asm_memory_checkpoint(label);
    const std::vector<std::string> texts = debug_texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].rfind("[ASM Begin] ASM memory system current ", 0), 0u);
    EXPECT_EQ(texts[1].rfind("[beginning asm_bcm_device] ASM memory system current ", 0), 0u);
    EXPECT_EQ(texts[2].rfind("[before assemble_dev_device clean up] ASM memory system current ", 0), 0u);
    EXPECT_EQ(texts[3].rfind("[ASM End] ASM memory system current ", 0), 0u);
}

TEST(MemoryCheckpoint, LabelIsWrittenAsText)
{
    cfg_clear();
    cfg_set_value("asm_report_memory", "on");
    msg_reset();
    asm_memory_checkpoint("50%s %d done");
    ASSERT_EQ(msg_debug_lines().size(), 1u);
    EXPECT_EQ(msg_debug_lines()[0].text.rfind("[50%s %d done] ASM memory system current ", 0), 0u);
}

TEST(MemoryCheckpoint, NothingWhenTheSwitchIsAbsentOrOff)
{
    cfg_clear();
    msg_reset();
    asm_memory_checkpoint("ASM Begin");
    asm_memory_checkpoint("ASM End");
    EXPECT_TRUE(msg_debug_lines().empty());
}

TEST(MemoryCheckpoint, SwitchOffExplicitly)
{
    cfg_clear();
    cfg_set_value("asm_report_memory", "off");
    msg_reset();
    asm_memory_checkpoint("ASM Begin");
    EXPECT_TRUE(msg_debug_lines().empty());
}

TEST(MemoryCheckpoint, SwitchTurnedOnAfterTheFirstCheckpointIsNotSeen)
{
    cfg_clear();
    msg_reset();
    asm_memory_checkpoint("ASM Begin");
    cfg_set_value("asm_report_memory", "on");
    asm_memory_checkpoint("beginning asm_bcm_device");
    asm_memory_checkpoint("ASM End");
    EXPECT_TRUE(msg_debug_lines().empty());
}

TEST(MemoryCheckpoint, SwitchTurnedOffAfterTheFirstCheckpointIsNotSeen)
{
    cfg_clear();
    cfg_set_value("asm_report_memory", "on");
    msg_reset();
    asm_memory_checkpoint("ASM Begin");
    cfg_set_value("asm_report_memory", "off");
    asm_memory_checkpoint("ASM End");
    const std::vector<std::string> texts = debug_texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].rfind("[ASM End] ", 0), 0u);
}

TEST(OopsLine, KeepsTheBlankAfterTheText)
{
    msg_reset();
    EXPECT_TRUE(log_oops("row 7 of table Fitter Summary"));
    ASSERT_EQ(msg_debug_lines().size(), 1u);
    EXPECT_EQ(msg_debug_lines()[0].component, "ASM");
    EXPECT_EQ(msg_debug_lines()[0].level, 2);
    EXPECT_EQ(msg_debug_lines()[0].text, "Oops: row 7 of table Fitter Summary ");
}

TEST(OopsLine, TextIsNotAFormat)
{
    msg_reset();
    log_oops("100%d %s");
    ASSERT_EQ(msg_debug_lines().size(), 1u);
    EXPECT_EQ(msg_debug_lines()[0].text, "Oops: 100%d %s ");
}

namespace
{

// A message that records what happens to it.
class TRACKED_MESSAGE : public MSG_E
{
public:
    TRACKED_MESSAGE(bool post_result, bool& deleted, MSG_REPORT*& posted_to)
        : m_post_result(post_result), m_deleted(deleted), m_posted_to(posted_to)
    {
    }
    ~TRACKED_MESSAGE() override { m_deleted = true; }
    bool post() override
    {
        m_posted_to = report();
        return m_post_result;
    }

private:
    bool m_post_result;
    bool& m_deleted;
    MSG_REPORT*& m_posted_to;
};

}  // namespace

TEST(PostMessage, ReturnsThePostResultAndAlwaysDeletes)
{
    for (bool result : {true, false})
    {
        bool deleted = false;
        MSG_REPORT own;
        MSG_REPORT* posted_to = &own;
        auto* message = new TRACKED_MESSAGE(result, deleted, posted_to);
        message->set_report(&own);
        EXPECT_EQ(post_message(message), result);
        EXPECT_TRUE(deleted);
        // No report given: the report was reset to none (the active one).
        EXPECT_EQ(posted_to, nullptr);
    }
}

TEST(PostMessage, GivenReportReceivesTheMessage)
{
    msg_reset();
    MSG_REPORT own;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(post_message(msg_EASM_ASM_CVP_INVALID_ERROR("tile 3"), &own));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error (22140): Invalid CVP Error: tile 3\n");
    ASSERT_EQ(own.messages().size(), 1u);
    EXPECT_EQ(own.messages()[0].id, 22140u);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST(PostMessage, NoReportPostsIntoTheActiveOne)
{
    msg_reset();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(post_message(msg_WASM_ASM_PR_POF_ID_DISABLED()));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id_name, "WASM_ASM_PR_POF_ID_DISABLED");
}

TEST(PostMessage, SilentMessagePrintsNothing)
{
    msg_reset();
    MSG_INDEX::get_default_index()->suppress(21985);
    testing::internal::CaptureStdout();
    post_message(msg_WASM_ASM_PR_POF_ID_DISABLED());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_TRUE(MSG_REPORT::active().messages()[0].silent);
}

TEST(PostMessage, NullMessageIsNotPosted)
{
    msg_reset();
    EXPECT_FALSE(post_message(nullptr));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST(PathOutput, WritesTheFullPathUnquoted)
{
    std::ostringstream out;
    out << "pfg -c " << FIO_PATH("out dir/sub/../design.sof") << ";";
    EXPECT_EQ(out.str(), "pfg -c " + current_directory() + "/out dir/design.sof;");

    std::ostringstream absolute;
    absolute << FIO_PATH("/tmp/x/../a b.rbf");
    EXPECT_EQ(absolute.str(), "/tmp/a b.rbf");
}

TEST(PathOutput, YieldsTheStream)
{
    std::ostringstream out;
    std::ostream& result = out << FIO_PATH("/p/f.txt");
    EXPECT_EQ(&result, &out);
}
