// The stand-in libraries behave as their callers rely on.
#include <acf.h>
#include <cfg.h>
#include <fio.h>
#include <msg.h>
#include <pgmio_sof.h>
#include <sci.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

TEST(MessageLibrary, FillArgsTakesArgumentsInPlaceholderNumberOrder)
{
    MSG_W message;
    message.fill_args("Assignment setting for %1!s! (%3!s!) found in assembler does not match the setting found in "
                      "fitter (%2!s!). Rerun fitter stage./WASM_ASM_MISMATCH_ASSIGNMENT",
                      "A", "fit", "asm");
    EXPECT_EQ(message.text(), "Assignment setting for A (asm) found in assembler does not match the setting found in "
                              "fitter (fit). Rerun fitter stage.");
    EXPECT_EQ(message.id_name(), "WASM_ASM_MISMATCH_ASSIGNMENT");

    MSG_E error;
    error.fill_args("File \"%1!s!\", line %2!d!, column %4!d!: %3!s!/E", "f.xml", 3, "bad", 9);
    EXPECT_EQ(error.text(), "File \"f.xml\", line 3, column 9: bad");
}

TEST(MessageLibrary, PostRecordsIntoTheActiveOrGivenReport)
{
    msg_reset();
    MSG_E error;
    error.fill_args("broken/EASM_X");
    error.set_id(5);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(error.post());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error (5): broken\n");
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id_name, "EASM_X");

    MSG_REPORT own;
    MSG_I_NULL silent;
    silent.set_report(&own);
    testing::internal::CaptureStdout();
    silent.post();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(own.messages().size(), 1u);
    EXPECT_TRUE(own.messages()[0].silent);
    EXPECT_EQ(MSG_REPORT::active().messages().size(), 1u);
}

TEST(MessageLibrary, RegistrarHoldsIdsForItsLifetime)
{
    static const unsigned ids[] = {100, 200};
    static const MSG_POST_TYPE kinds[] = {MSG_POST_TYPE_ERROR, MSG_POST_TYPE_WARNING};
    {
        MSG_ID_REGISTRAR registrar(ids, kinds, 2);
        MSG_POST_TYPE kind;
        ASSERT_TRUE(msg_is_registered_id(200, &kind));
        EXPECT_EQ(kind, MSG_POST_TYPE_WARNING);
    }
    EXPECT_FALSE(msg_is_registered_id(200));
}

TEST(IniSettings, TellsAbsentFromOff)
{
    cfg_clear();
    EXPECT_FALSE(cfg_is_on("attribute_coverage_check_asm"));
    EXPECT_TRUE(cfg_is_on("attribute_coverage_check_asm", true));
    cfg_set_value("attribute_coverage_check_asm", "off");
    EXPECT_FALSE(cfg_is_on("attribute_coverage_check_asm", true));
    EXPECT_TRUE(cfg_has_value("attribute_coverage_check_asm"));
    cfg_set_value("skip_asm", "ON");
    EXPECT_TRUE(cfg_is_on("skip_asm"));
}

TEST(IniSettings, LoadsNameValueLinesAndRejectsOthers)
{
    cfg_clear();
    char name[] = "/tmp/zorvane_ini_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream ini(name);
        ini << "# comment\nskip_asm = on\nasm_threshold=0x20\n\n";
    }
    std::string error;
    ASSERT_TRUE(cfg_load_ini_file(name, &error)) << error;
    EXPECT_TRUE(cfg_is_on("skip_asm"));
    EXPECT_EQ(cfg_get_int_value("asm_threshold", 0), 32);
    EXPECT_EQ(cfg_get_int_value("missing", -4), -4);
    {
        std::ofstream ini(name);
        ini << "no equals sign here\n";
    }
    EXPECT_FALSE(cfg_load_ini_file(name, &error));
    EXPECT_NE(error.find(":1:"), std::string::npos);
    std::remove(name);
}

TEST(FilePath, SplitsAndJoinsDirectoryBaseAndExtension)
{
    FIO_PATH path("out/top.sof");
    EXPECT_EQ(path.directory(), "out");
    EXPECT_EQ(path.base(), "top");
    EXPECT_EQ(path.extension(), "sof");
    path.base("top_debug");
    path.extension("xml");
    EXPECT_EQ(path.text(), "out/top_debug.xml");

    FIO_PATH bare("asgn.xml");
    EXPECT_FALSE(bare.has_directory());
    EXPECT_EQ(FIO_PATH("/a/b").text(), "/a/b");
    EXPECT_EQ(FIO_PATH("/x").directory(), "/");
    EXPECT_EQ(FIO_PATH("/x").text(), "/x");
    EXPECT_EQ(FIO_PATH("/p/q/../r.txt").fullpath(), "/p/r.txt");
}

TEST(FilePath, ReadersOfAUsersFilesRefuseAnythingButARegularFileWithoutWaiting)
{
    char pattern[] = "/tmp/suite_readers_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    // A FIFO without a writer would hold an open by name, /dev/zero never
    // ends, and a directory opens but reads as an empty file.
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir + "/zero").c_str()), 0);
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0700), 0);
    SCI_INSTANCE instance;
    instance.name = "probe";
    SCI_INSTANCE_BUILDER::add_instance(instance);
    const auto design_hash = [](const std::string& file) {
        return SCI_INSTANCE_BUILDER::get_design_hash(nullptr, nullptr, {file});
    };
    std::vector<std::string> outcomes;
    std::vector<std::string> expected;
    for (const char* name : {"pipe", "zero", "sub"})
    {
        const std::string file = dir + "/" + name;
        std::string error;
        SOF_CONTENTS contents;
        std::string outcome =
            std::string(name) + ": ini " + (cfg_load_ini_file(file, &error) ? "loaded" : "refused") + ", settings " +
            std::to_string(ACF_MANAGER::get_acf_manager()->read_assignment_setting_file(file, nullptr, false).size()) +
            ", sof " + (sof_read_file(file, contents, nullptr, &error) ? "read" : "refused") + ", copy " +
            (fio_copy_regular_file(file, dir + "/copy", &error) ? std::string("made") : error);
        // A debug file that cannot be read counts as its name alone, as
        // when it is missing.
        const std::string hash = design_hash(file);
        std::error_code ec;
        std::filesystem::remove(file, ec);
        outcome += std::string(", debug file ") + (hash == design_hash(file) ? "as missing" : "digested");
        outcomes.push_back(outcome);
        expected.push_back(std::string(name) +
                           ": ini refused, settings 0, sof refused, copy not a regular file, debug file as missing");
    }
    EXPECT_EQ(outcomes, expected);
    // The copies refused left neither a file nor a temporary.
    std::vector<std::string> left;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
