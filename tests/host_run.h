// Runs the built host program in a scratch directory and reads what it left.
// A run's CPU time counts in cpu_seconds() once run_host returns.
#pragma once

#include "cpu_growth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

struct HOST_RESULT
{
    int status = -1;      // the exit status; -1 when the host did not exit normally
    std::string output;   // standard output and standard error, interleaved
};

// A scratch directory, removed at the end of the test.
class HOST_RUN_TEST : public testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/asm_host_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_scratch = dir;
    }

    void TearDown() override { std::filesystem::remove_all(m_scratch); }

    // Runs "asm_host ARGS" with the scratch directory as working directory;
    // a runner ("setpriv ...") goes before the host's path.
    HOST_RESULT run_host(const std::string& arguments, const std::string& runner = "") const
    {
        const std::string command =
            "cd '" + m_scratch.string() + "' && " + runner + " '" ASM_HOST_PATH "' " + arguments + " 2>&1";
        HOST_RESULT result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return result;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            result.output.append(buffer, n);
        const int wait_status = pclose(pipe);
        if (wait_status != -1 && WIFEXITED(wait_status))
            result.status = WEXITSTATUS(wait_status);
        return result;
    }

    // A copy of a sample design in the scratch directory.
    std::filesystem::path copy_example(const std::string& name, const std::string& as) const
    {
        const std::filesystem::path target = m_scratch / as;
        std::filesystem::copy(std::filesystem::path(ASM_TEST_SOURCE_DIR) / "examples" / name, target,
                              std::filesystem::copy_options::recursive);
        return target;
    }

    static std::string read_text(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void write_text(const std::filesystem::path& file, const std::string& text)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }

    static std::vector<std::string> lines_of(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static bool has_line(const std::string& text, const std::string& line)
    {
        for (const std::string& l : lines_of(text))
            if (l == line)
                return true;
        return false;
    }

    // The value after "prefix" on the first line that starts with it; "" when
    // no line does.
    static std::string line_value(const std::string& text, const std::string& prefix)
    {
        for (const std::string& l : lines_of(text))
            if (l.rfind(prefix, 0) == 0)
                return l.substr(prefix.size());
        return "";
    }

    std::filesystem::path m_scratch;
};
