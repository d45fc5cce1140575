// Runs the built host program in a scratch directory and reads what it left.
// Every test starts the host, or what runs it, through start_process, so
// that the host starts with the same signal dispositions whatever the test
// process was given. A run's CPU time counts in cpu_seconds() once run_host
// returns.
#pragma once

#include "cpu_growth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

    // How start_process starts a program; what is not set is the test's own.
    struct START_OPTIONS
    {
        std::string input;   // a file for standard input
        std::string output;  // a file for standard output and error, created, emptied unless append
        bool append = false;
        int output_fd = -1;  // or a descriptor for them (a pipe's write end)
        bool own_group = false;                // in a process group of its own
        int ignored = 0;                       // a signal ignored from the start
    };

    // Starts argv[0] (looked up on PATH when it has no slash) in the scratch
    // directory, with every signal at its default but options.ignored and
    // none blocked: a host started under nohup, or by a runner that ignores
    // SIGPIPE, would keep those ignored. The child's pid; -1 when it cannot
    // be started (a file that does not open). A child that cannot set itself
    // up exits with 126, one that cannot run the program with 127.
    pid_t start_process(const std::vector<std::string>& argv, const START_OPTIONS& options) const
    {
        // All that the child needs is made before the fork.
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        const std::string scratch = m_scratch.string();
        const int input = options.input.empty() ? -1 : ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        const int output = options.output.empty()
                               ? options.output_fd
                               : ::open(options.output.c_str(),
                                        O_WRONLY | O_CREAT | O_CLOEXEC | (options.append ? O_APPEND : O_TRUNC), 0600);
        pid_t pid = -1;
        if ((options.input.empty() || input >= 0) && (options.output.empty() || output >= 0))
            pid = ::fork();
        if (pid == 0)
        {
            bool ready = ::chdir(scratch.c_str()) == 0 && (input < 0 || ::dup2(input, STDIN_FILENO) >= 0) &&
                         (output < 0 || (::dup2(output, STDOUT_FILENO) >= 0 && ::dup2(output, STDERR_FILENO) >= 0)) &&
                         (!options.own_group || ::setpgid(0, 0) == 0);
            struct sigaction action = {};
            sigemptyset(&action.sa_mask);
            action.sa_handler = SIG_DFL;
            for (int signal = 1; signal < NSIG; ++signal)
                if (signal != SIGKILL && signal != SIGSTOP)
                    ::sigaction(signal, &action, nullptr);
            action.sa_handler = SIG_IGN;
            ready = ready && (options.ignored == 0 || ::sigaction(options.ignored, &action, nullptr) == 0);
            sigset_t none;
            sigemptyset(&none);
            if (!ready || ::sigprocmask(SIG_SETMASK, &none, nullptr) != 0)
                ::_exit(126);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        // Also here, so that the group is there before the test signals it.
        if (pid > 0 && options.own_group)
            ::setpgid(pid, pid);
        if (input >= 0)
            ::close(input);
        if (!options.output.empty() && output >= 0)
            ::close(output);
        return pid;
    }

    // Runs "asm_host ARGS 2>&1" with run_shell: a runner ("setpriv ...")
    // goes before the host's path, and host names another copy of the host
    // program.
    HOST_RESULT run_host(const std::string& arguments, const std::string& runner = "",
                         const std::string& host = ASM_HOST_PATH) const
    {
        return run_shell(runner + " '" + host + "' " + arguments + " 2>&1");
    }

    // Runs the command line with /bin/sh -c, started by start_process, and
    // waits for it; its exit status and its standard output and error.
    HOST_RESULT run_shell(const std::string& command) const
    {
        HOST_RESULT result;
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return result;
        START_OPTIONS options;
        options.output_fd = ends[1];
        const pid_t pid = start_process({"/bin/sh", "-c", command}, options);
        ::close(ends[1]);
        char buffer[4096];
        for (ssize_t n; pid > 0 && (n = ::read(ends[0], buffer, sizeof buffer)) != 0;)
        {
            if (n > 0)
                result.output.append(buffer, static_cast<size_t>(n));
            else if (errno != EINTR)
                break;
        }
        ::close(ends[0]);
        int wait_status = 0;
        if (pid > 0 && ::waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status))
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

    // Waits until the process has ended (gone, or a zombie no one has
    // reaped yet), for half a minute at most; a process still running then
    // is killed. Whether it had ended.
    static bool wait_until_ended(pid_t pid)
    {
        const auto state = [pid] {
            const std::string stat = read_text("/proc/" + std::to_string(pid) + "/stat");
            const size_t end = stat.rfind(')');
            return end == std::string::npos || end + 2 >= stat.size() ? 'X' : stat[end + 2];
        };
        for (int polls = 0; polls < 3000; ++polls)
        {
            if (state() == 'X' || state() == 'Z')
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        return false;
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
