// Runs a fuzz target's LLVMFuzzerTestOneInput over inputs without libFuzzer,
// so that the ordinary (sanitized) build replays the checked-in corpus:
//   asm_fuzz_TARGET_replay [--timeout CPU_SECONDS] PATH...
// A path is a file or a directory, whose regular files run in name order.
//
// Each input runs in a process of its own (this program again, with --one),
// with a fresh process state and its own temporary directory (TMPDIR),
// which is removed however the process ends. An input fails when its
// process does not end normally with status 0 (a crash, a sanitizer
// report, a finding of the target), uses more CPU time than the timeout
// or grows past the memory limit. The timeout counts CPU time, which a busy
// machine does not inflate; a process that waits without computing (on a
// FIFO, say) is ended after HANG_FACTOR times the timeout of waiting.
#include "fuzz_support.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#if defined(__SANITIZE_ADDRESS__)
#define ASM_REPLAY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ASM_REPLAY_ASAN 1
#endif
#endif

#ifdef ASM_REPLAY_ASAN
// Under AddressSanitizer the address space cannot be limited (its shadow
// takes terabytes); the sanitizer's limit on the resident size stands in.
// ASAN_OPTIONS given in the environment add to these.
extern "C" const char* __asan_default_options() { return "hard_rss_limit_mb=1024"; }
#endif

namespace
{

const unsigned DEFAULT_TIMEOUT_SECONDS = 3;
const unsigned HANG_FACTOR = 10;

bool read_input(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The child's side: one input, in this process.
int run_one(const std::string& path, unsigned timeout)
{
    // The CPU time limit: SIGXCPU at the timeout, SIGKILL a second later.
    const struct rlimit cpu = {timeout, timeout + 1};
    setrlimit(RLIMIT_CPU, &cpu);
#ifndef ASM_REPLAY_ASAN
    // An address space of 2 GiB (the sanitizer build limits the resident
    // size instead, in __asan_default_options).
    const rlim_t limit = static_cast<rlim_t>(2048) << 20;
    const struct rlimit address_space = {limit, limit};
    setrlimit(RLIMIT_AS, &address_space);
#endif
    std::string bytes;
    if (!read_input(path, bytes))
    {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 2;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

// The parent's side: runs the input in a child with its own TMPDIR and
// judges how it ended. True when it passed.
bool replay(const std::string& self, const std::string& path, unsigned timeout)
{
    std::string scratch = (std::filesystem::temp_directory_path() / "asm_fuzz_replay_XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr)
    {
        std::fprintf(stderr, "replay: cannot make a temporary directory for %s\n", path.c_str());
        return false;
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "TMPDIR=", 7) != 0)
            environment.emplace_back(*entry);
    environment.push_back("TMPDIR=" + scratch);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string one = "--one";
    std::string input = path;
    std::string program = self;
    std::string limit = std::to_string(timeout);
    char* argv[] = {program.data(), one.data(), input.data(), limit.data(), nullptr};

    std::fprintf(stderr, "replay: %s\n", path.c_str());
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    bool passed = false;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
    {
        std::fprintf(stderr, "replay: cannot start %s\n", self.c_str());
    }
    else
    {
        int status = 0;
        struct rusage usage = {};
        bool hung = false;
        for (;;)
        {
            const pid_t ended = wait4(child, &status, WNOHANG, &usage);
            if (ended == child || (ended < 0 && errno != EINTR))
                break;
            if (!hung && std::chrono::steady_clock::now() - start > std::chrono::seconds(HANG_FACTOR * timeout))
            {
                hung = true;
                kill(child, SIGKILL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        const bool over_cpu_limit = WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || cpu >= timeout);
        if (hung)
            std::fprintf(stderr, "replay: %s: hangs: still running after %u s, %.3f s of CPU time\n", path.c_str(),
                         HANG_FACTOR * timeout, cpu);
        else if (over_cpu_limit)
            std::fprintf(stderr, "replay: %s: timeout: more than %u s of CPU time\n", path.c_str(), timeout);
        else if (WIFSIGNALED(status))
            std::fprintf(stderr, "replay: %s: ended by signal %d after %.3f s of CPU time\n", path.c_str(),
                         WTERMSIG(status), cpu);
        else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "replay: %s: exit status %d after %.3f s of CPU time\n", path.c_str(),
                         WEXITSTATUS(status), cpu);
        else
        {
            std::fprintf(stderr, "replay: %s: passed in %.3f s of CPU time\n", path.c_str(), cpu);
            passed = true;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    return passed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--one") == 0)
        return run_one(argv[2], static_cast<unsigned>(std::stoul(argv[3])));

    unsigned timeout = DEFAULT_TIMEOUT_SECONDS;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (argument == "--timeout" && i + 1 < argc)
        {
            timeout = static_cast<unsigned>(std::stoul(argv[++i]));
            if (timeout == 0)
            {
                std::fprintf(stderr, "replay: the timeout is a whole number of seconds, at least 1\n");
                return 2;
            }
            continue;
        }
        std::error_code ec;
        if (std::filesystem::is_directory(argument, ec))
        {
            std::vector<std::string> files;
            for (const auto& entry : std::filesystem::directory_iterator(argument, ec))
                if (entry.is_regular_file(ec))
                    files.push_back(entry.path().string());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        }
        else
        {
            inputs.push_back(argument);
        }
    }
    if (inputs.empty())
    {
        std::fprintf(stderr, "usage: %s [--timeout CPU_SECONDS] FILE_OR_DIRECTORY...\n", argv[0]);
        return 2;
    }

    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec)
    {
        std::fprintf(stderr, "replay: cannot find this program: %s\n", ec.message().c_str());
        return 2;
    }
    size_t failed = 0;
    for (const std::string& path : inputs)
        if (!replay(self, path, timeout))
            ++failed;
    if (failed > 0)
        std::fprintf(stderr, "replay: %zu of %zu inputs failed\n", failed, inputs.size());
    return failed == 0 ? 0 : 1;
}
