// The commands that README.md and docs/ give to run (every line of a
// ```sh block) run as written from a copy of the repository root whose
// build/release/bin is the built host's directory; the lines of scripts/
// (which install packages and build) are left out.
#include "host_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// The command lines of the ```sh blocks of a Markdown file, in order.
std::vector<std::string> shell_lines(const fs::path& file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    bool in_block = false;
    for (std::string line; std::getline(in, line);)
    {
        if (line.rfind("```", 0) == 0)
            in_block = !in_block && line == "```sh";
        else if (in_block && !line.empty() && line[0] != '#' && line.rfind("scripts/", 0) != 0)
            lines.push_back(line);
    }
    return lines;
}

// The scratch directory is the copy of the repository root.
class ReadmeCommands : public HOST_RUN_TEST
{
protected:
    void SetUp() override
    {
        HOST_RUN_TEST::SetUp();
        if (HasFatalFailure())
            return;
        const fs::path source(ASM_TEST_SOURCE_DIR);
        for (const char* name : {"examples", "comp", "docs", "tools"})
            fs::create_directory_symlink(source / name, m_scratch / name);
        fs::create_directories(m_scratch / "build" / "release");
        fs::create_directory_symlink(fs::path(ASM_HOST_PATH).parent_path(), m_scratch / "build" / "release" / "bin");
        const std::string path = fs::path(ASM_PROTOC).parent_path().string() + ":" + std::getenv("PATH");
        setenv("PATH", path.c_str(), 1);
    }

    // Runs the line with bash in the root.
    HOST_RESULT run_line(const std::string& line) const
    {
        const fs::path script = m_scratch / ".line.sh";
        std::ofstream(script) << line << "\n";
        return run_shell("/bin/bash '" + script.string() + "'");
    }
};

TEST_F(ReadmeCommands, EveryShellLineRunsAsWrittenFromTheRepositoryRoot)
{
    const fs::path source(ASM_TEST_SOURCE_DIR);
    std::vector<std::string> lines = shell_lines(source / "README.md");
    // The README's block tries every sample.
    EXPECT_GE(lines.size(), 15u);
    for (const fs::directory_entry& doc : fs::directory_iterator(source / "docs"))
        if (doc.path().extension() == ".md")
            for (const std::string& line : shell_lines(doc.path()))
                lines.push_back(line);
    for (const std::string& line : lines)
    {
        const HOST_RESULT run = run_line(line);
        EXPECT_EQ(run.status, 0) << line << "\n" << run.output;
    }
}

}  // namespace
