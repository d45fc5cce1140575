// Runs the built host program in a scratch directory and reads what it left.
// A run's CPU time counts in cpu_seconds() once run_host returns.
#pragma once

#include "cpu_growth.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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
    // a runner ("setpriv ...") goes before the host's path, and host names
    // another copy of the host program.
    HOST_RESULT run_host(const std::string& arguments, const std::string& runner = "",
                         const std::string& host = ASM_HOST_PATH) const
    {
        const std::string command =
            "cd '" + m_scratch.string() + "' && " + runner + " '" + host + "' " + arguments + " 2>&1";
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

    // How to run the host as an ordinary user (uid and gid 65534), whose
    // outcome can differ from root's. The build may lie where that user
    // cannot enter (a clone in a private directory), so the host program,
    // its libraries and the module's data files are copied into a directory
    // of their own that everyone may read, and the scratch directory is
    // opened to everyone. Empty, with the reason in why, where the machine
    // cannot do it (not root, no setpriv, the copy does not run).
    struct OTHER_USER
    {
        std::string runner;  // for run_host's runner
        std::string host;    // for run_host's host
    };
    OTHER_USER other_user(std::string& why)
    {
        namespace fs = std::filesystem;
        if (::geteuid() != 0)
        {
            why = "the tests do not run as root, so they cannot run the host as another user";
            return {};
        }
        if (m_other_host.empty())
        {
            const fs::path copy = m_scratch / "other_user_bin";
            std::error_code ec;
            fs::create_directory(copy, ec);
            const fs::path built = fs::path(ASM_HOST_PATH).parent_path();
            for (fs::directory_iterator it(built, ec), end; !ec && it != end; it.increment(ec))
            {
                const std::string name = it->path().filename().string();
                const bool wanted = name == "asm_host" || it->path().extension() == ".so" ||
                                    it->path().extension() == ".xsd";
                if (wanted && fs::is_regular_file(it->path()))
                    fs::copy_file(it->path(), copy / name, ec);
            }
            fs::permissions(m_scratch, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add, ec);
            m_other_host = (copy / "asm_host").string();
        }
        OTHER_USER other{"setpriv --reuid=65534 --regid=65534 --clear-groups env LD_LIBRARY_PATH='" +
                             std::filesystem::path(m_other_host).parent_path().string() + "'",
                         m_other_host};
        const HOST_RESULT probe = run_host("--help", other.runner, other.host);
        if (probe.status != 0)
        {
            why = "the host does not run as uid 65534 here: " + probe.output;
            return {};
        }
        return other;
    }

    // For a host started in the background (a child of the test): polls
    // until ready() or the host has ended; sends the signal (none for 0)
    // when ready and waits for the host to end, for a minute at most (then it is killed, so
    // that a host that hangs fails its row rather than the suite). The
    // host's wait status; seen tells whether ready() was met, elapsed (when
    // given) the seconds from the signal to the host's end.
    static int signal_when(pid_t pid, int signal, const std::function<bool()>& ready, bool& seen,
                           double* elapsed = nullptr)
    {
        int wait_status = 0;
        pid_t ended = 0;
        seen = false;
        for (long polls = 0; polls < 1000000 && !seen && ended == 0; ++polls)
        {
            seen = ready();
            if (!seen)
            {
                ended = ::waitpid(pid, &wait_status, WNOHANG);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
        if (ended == 0)
        {
            const auto sent = std::chrono::steady_clock::now();
            if (signal != 0)
                ::kill(pid, signal);
            for (int polls = 0; polls < 60000 && ended == 0; ++polls)
            {
                ended = ::waitpid(pid, &wait_status, WNOHANG);
                if (ended == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (elapsed != nullptr)
                *elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
            if (ended == 0)
            {
                ::kill(pid, SIGKILL);
                ended = ::waitpid(pid, &wait_status, 0);
            }
        }
        EXPECT_EQ(ended, pid);
        return wait_status;
    }

    std::filesystem::path m_scratch;
    std::string m_other_host;
};
