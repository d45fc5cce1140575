// The debug and dump files of a run through the built host: a dump that
// cannot be written (a directory in its place) is an error naming it, is
// reported once, leaves what stands there as it was, and the run goes on.
#include "host_run.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace
{

std::string cannot_write(const fs::path& file)
{
    return "Error (22683): Error: Failed to open " + file.string() +
           " file for writing. Confirm that you have write permission for this file. Update the file permissions, "
           "if needed.";
}

}  // namespace

class HostDumpFiles : public HOST_RUN_TEST
{
};

TEST_F(HostDumpFiles, ADumpThatCannotBeWrittenIsAnErrorNamingIt)
{
    struct CASE
    {
        const char* example;
        std::vector<std::string> dumps;  // each a directory in the design
        const char* sof;                 // still written
    };
    const std::vector<CASE> cases = {
        // The option record is saved again for every hash the core library
        // reports: its dump is still reported once.
        {"option_block", {"asm_option_data_dump.txt"}, "sdm_board.sof"},
        {"hps_handoff",
         {"handoff_array.txt", "hps_handoff_array_formated.txt", "asm_hps_handoff_data_dump.txt"},
         "soc_top.sof"},
    };
    for (const CASE& c : cases)
    {
        const fs::path design = copy_example(c.example, c.example);
        for (const std::string& dump : c.dumps)
        {
            fs::create_directory(design / dump);
            write_text(design / dump / "kept.txt", "kept");
        }
        const std::string out = std::string(c.example) + "_out";
        const HOST_RESULT run = run_host("assemble " + std::string(c.example) + " --out " + out);
        EXPECT_EQ(run.status, 1) << run.output;
        std::vector<std::string> errors;
        for (const std::string& line : lines_of(run.output))
            if (line.rfind("Error (", 0) == 0)
                errors.push_back(line);
        std::vector<std::string> expected;
        for (const std::string& dump : c.dumps)
            expected.push_back(cannot_write(m_scratch / out / dump));
        std::sort(errors.begin(), errors.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(errors, expected) << run.output;
        for (const std::string& dump : c.dumps)
            EXPECT_EQ(read_text(m_scratch / out / dump / "kept.txt"), "kept") << dump;
        EXPECT_TRUE(fs::is_regular_file(m_scratch / out / c.sof)) << run.output;
    }
}
