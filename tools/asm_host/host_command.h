// What the host's subcommands (assemble, process-sof, dump-re-network) share:
// the exit statuses, the reading of the command line's options, the loading
// of the module and its entries, the reading of a design directory's
// design.json and zorvane.ini, and the guarded call into the module.
#pragma once

#include "design.h"
#include "project.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace host_command
{

enum EXIT_STATUS
{
    EXIT_DONE = 0,
    EXIT_RUN_FAILED = 1,
    EXIT_BAD_INPUT = 2,
    EXIT_INTERNAL_ERROR = 3,
};

// Prints "asm_host: PROBLEM" on the error stream; returns EXIT_BAD_INPUT.
int fail_input(const std::string& problem);

// An option of a subcommand: "--name VALUE" into value, or the flag "--name"
// into flag.
struct OPTION
{
    const char* name;
    std::filesystem::path* value = nullptr;
    bool* flag = nullptr;
};

// Whether the command's one word (argv[2]) is "--help" or "-h": the command
// then prints its usage on the output stream and exits with EXIT_DONE.
bool asks_for_help(int argc, char** argv);

// Reads the words from argv[2] on: each option once, with a non-empty value
// where it takes one; every other word is positional. A word starting with
// "-" that no option names is refused, unless negative_numbers lets "-1"
// and the like through as positional words. False with the problem when the
// line is not a valid one.
bool parse_options(int argc, char** argv, std::initializer_list<OPTION> options, std::vector<std::string>& positional,
                   std::string& problem, bool negative_numbers = false);

// The module to load: the given path made absolute, or libasm.so beside the
// host's own executable. A path with a directory, so that dlopen takes this
// file and does not search the library path.
std::filesystem::path module_path(const std::filesystem::path& given);

// The loaded module, let go when this goes.
class MODULE
{
public:
    MODULE() = default;
    MODULE(const MODULE&) = delete;
    MODULE& operator=(const MODULE&) = delete;
    ~MODULE();

    // Loads the module and looks its entries up; false with the problem
    // ("cannot load PATH: REASON" or "PATH does not export A and B") when
    // the module or an entry cannot be found. The module's clean-up entry,
    // when it has one, goes to the signal handler (host_signals.h).
    bool load(const std::filesystem::path& path, std::initializer_list<const char*> entries, std::string& problem);

    // An entry that load() looked up.
    template <typename ENTRY>
    ENTRY entry(const char* name) const
    {
        return reinterpret_cast<ENTRY>(find(name));
    }

private:
    void* find(const char* name) const;

    void* m_handle = nullptr;
};

// Loads the module at the path (module_path()) with its entries; prints the
// problem and returns false when it cannot. A module that is missing or
// cannot be loaded is a problem of the command line (EXIT_BAD_INPUT).
bool open_module(MODULE& module, const std::filesystem::path& path, std::initializer_list<const char*> entries);

// Whether the design directory holds a design.json that can be found (of
// whatever kind: reading it tells more); false with the problem that reading
// it would give when not. Asked before the directory is walked or anything
// is made.
bool has_design_file(const std::filesystem::path& directory, std::string& problem);

// Reads design.json of the design directory and its zorvane.ini when there
// is one; false with the problem when either is refused.
bool load_design_directory(const std::filesystem::path& directory, DESIGN& design, std::string& problem);

// Makes the project directory (create_project_directory with the default
// parent "asm_out") for a copy of the source directory; the outermost
// directory that the call made goes to made, also when it throws the
// PROJECT_ERROR.
std::filesystem::path create_project(const std::filesystem::path& requested, const std::filesystem::path& source,
                                     std::filesystem::path& made);

// Copies the source directory (refused as check_design_directory refuses
// it) into the project directory and, when given, runs also_copy on it;
// then takes the snapshot of what it holds. Throws the PROJECT_ERROR.
void fill_project(const std::filesystem::path& project, const std::filesystem::path& source,
                  DIRECTORY_SNAPSHOT& copied, const std::function<void(const std::filesystem::path&)>& also_copy = {});

// Takes back what a start that failed made (the project directory, or the
// outermost parent that the run made for it) and prints the problem;
// returns EXIT_BAD_INPUT. (A debug log that the start made is removed when
// its DEBUG_LOG goes.)
int fail_start(const std::filesystem::path& made, const std::string& problem);

// Refuses a debug log that is a file the design's settings name (the
// assignments file, the key file, the programming-file commands) or one of
// its debug files, also one that does not exist yet; relative names are
// taken from the project directory, where the run takes place. False with
// the problem.
bool check_design_debug_log(const DEBUG_LOG& log, const DESIGN& design, const std::filesystem::path& project,
                            std::string& problem);

// The last debug line from the index first on that is not "end", quoted;
// empty when there is none.
std::string last_debug_line(size_t first, const std::string& end);

// Runs the call into the module; the internal error (or any other
// exception) it raised, as the summary prints it.
std::optional<std::string> call_guarded(const std::function<void()>& call);

// The messages the run posted and did not silence.
struct MESSAGE_COUNTS
{
    size_t errors = 0;
    size_t warnings = 0;
    size_t infos = 0;
};
MESSAGE_COUNTS count_messages();

// The project directory as the suite is given it: absolute, normal, with no
// trailing "/".
std::string project_text(const std::filesystem::path& project);

}  // namespace host_command
