// The commands that README.md and docs/ give to run (every line of a
// ```sh block) run as written from a copy of the repository root whose
// build/release/bin is the built host's directory; the lines of scripts/
// (which install packages and build) are left out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
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

// Runs the line with bash in the directory; the exit status (-1 when it did
// not exit) and the output.
std::pair<int, std::string> run_line(const fs::path& directory, const std::string& line)
{
    const fs::path script = directory / ".line.sh";
    std::ofstream(script) << "cd '" << directory.string() << "' || exit 99\n" << line << "\n";
    FILE* pipe = popen(("/bin/bash '" + script.string() + "' 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return {-1, "cannot start bash"};
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class ReadmeCommands : public testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/asm_readme_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_root = dir;
        const fs::path source(ASM_TEST_SOURCE_DIR);
        for (const char* name : {"examples", "comp", "docs", "tools"})
            fs::create_directory_symlink(source / name, m_root / name);
        fs::create_directories(m_root / "build" / "release");
        fs::create_directory_symlink(fs::path(ASM_HOST_PATH).parent_path(), m_root / "build" / "release" / "bin");
        const std::string path = fs::path(ASM_PROTOC).parent_path().string() + ":" + std::getenv("PATH");
        setenv("PATH", path.c_str(), 1);
    }

    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
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
        const auto [status, output] = run_line(m_root, line);
        EXPECT_EQ(status, 0) << line << "\n" << output;
    }
}

}  // namespace
