// asm_host dump-re-network: runs the module's routing dump on a design
// directory, as the suite's Tcl layer does: the design is copied into a new
// project directory, the stand-in suite is populated from it with the
// compile instance and the facade made current, and asm_dump_re_network
// gets the words of the command line.
#include "dump_re_network.h"

#include "accessor_proxy.h"
#include "design.h"
#include "host_command.h"
#include "project.h"

#include <asm_dump_words.h>
#include <dbcm.h>
#include <gen.h>
#include <gen_string.h>
#include <hdb.h>
#include <msg.h>
#include <zcu.h>

#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

typedef void (*DUMP_RE_NETWORK_ENTRY)(std::list<const char*>*);
typedef ZASM_ACCESSOR_PROXY* (*SET_AND_GET_ACCESSOR_ENTRY)(ZASM_ACCESSOR_PROXY*, bool);

const char USAGE[] =
    "usage: asm_host dump-re-network DESIGN_DIR KIND FORMAT [HANDLE] [--out DIR] [--module PATH]\n"
    "\n"
    "Copies DESIGN_DIR into a new project directory and dumps its routed network there.\n"
    "  KIND              pre_asm, pre_asm_with_bits or pre_asm_with_2d_bits\n"
    "  FORMAT            mcfs, mcfd or sch\n"
    "  HANDLE            the device handle handed to the accessor proxy (default -1)\n"
    "  --out DIR         the project directory; it must not exist yet\n"
    "                    (default: a new directory under ./asm_out/)\n"
    "  --module PATH     the assembler module (default: libasm.so beside asm_host)\n"
    "\n"
    "Exit status: 0 dumped; 1 the host could not read the run's output (the project\n"
    "directory cannot be listed); 2 bad design directory or usage; 3 internal error (also\n"
    "a dump that cannot be written); 128 + the signal when SIGTERM, SIGINT, SIGHUP,\n"
    "SIGQUIT or SIGPIPE ends the host (a signal ignored when the host starts stays\n"
    "ignored).\n";

struct DUMP_ARGUMENTS
{
    fs::path design;
    std::vector<std::string> words;
    fs::path out;
    fs::path module;
};

bool parse(int argc, char** argv, DUMP_ARGUMENTS& arguments, std::string& problem)
{
    // A negative HANDLE is a word of the command, not an option.
    std::vector<std::string> positional;
    if (!host_command::parse_options(argc, argv, {{"--out", &arguments.out}, {"--module", &arguments.module}},
                                     positional, problem, true))
        return false;
    if (positional.size() < 3 || positional.size() > 4)
    {
        problem = "expected DESIGN_DIR, KIND, FORMAT and an optional HANDLE";
        return false;
    }
    arguments.design = positional[0];
    arguments.words.assign(positional.begin() + 1, positional.end());
    return true;
}

using host_command::EXIT_BAD_INPUT;
using host_command::EXIT_DONE;
using host_command::EXIT_INTERNAL_ERROR;
using host_command::EXIT_RUN_FAILED;
using host_command::fail_input;

// The module takes a word it does not know as the first of its list and
// says nothing: the host names it, so that a misspelt word does not pass
// for the dump it asked for.
template <size_t COUNT>
void check_word(const std::string& word, const char* what, const std::array<const char*, COUNT>& known)
{
    std::string listed;
    for (const char* name : known)
    {
        if (word == name)
            return;
        listed += (listed.empty() ? "" : ", ") + std::string(name);
    }
    std::cerr << "asm_host: warning: " << what << " \"" << gen_printable_text(word) << "\" is not one of " << listed
              << "; the module takes " << known[0] << std::endl;
}

// The device handle: a decimal number within the range of int.
void check_handle(const std::string& word)
{
    const bool digits = word.find_first_not_of("0123456789", word[0] == '-' || word[0] == '+' ? 1 : 0) ==
                            std::string::npos &&
                        word.find_first_of("0123456789") != std::string::npos;
    errno = 0;
    const long value = digits ? std::strtol(word.c_str(), nullptr, 10) : 0;
    if (digits && errno == 0 && value >= INT_MIN && value <= INT_MAX)
        return;
    std::cerr << "asm_host: warning: the device handle \"" << gen_printable_text(word)
              << "\" is not a decimal number from " << INT_MIN << " to " << INT_MAX << std::endl;
}

}  // namespace

int dump_re_network_main(int argc, char** argv)
{
    if (host_command::asks_for_help(argc, argv))
    {
        std::cout << USAGE;
        return EXIT_DONE;
    }
    DUMP_ARGUMENTS arguments;
    std::string problem;
    if (!parse(argc, argv, arguments, problem))
    {
        std::cerr << "asm_host: " << gen_printable_text(problem) << "\n" << USAGE;
        return EXIT_BAD_INPUT;
    }
    check_word(arguments.words[0], "the dump kind", ASM_DUMP_KIND_WORDS);
    check_word(arguments.words[1], "the coordinate format", ASM_DUMP_FORMAT_WORDS);
    if (arguments.words.size() > 2)
        check_handle(arguments.words[2]);

    // Every problem of the arguments is found first, before design.json is
    // read and before the project directory is made.
    std::error_code ec;
    if (!fs::is_directory(arguments.design, ec))
        return fail_input(arguments.design.string() + ": not a directory");
    try
    {
        check_project_directory(arguments.out, "asm_out", arguments.design);
    }
    catch (const PROJECT_ERROR& error)
    {
        return fail_input(error.what());
    }
    const fs::path module_path = host_command::module_path(arguments.module);
    host_command::MODULE module;
    if (!host_command::open_module(module, module_path, {"asm_dump_re_network", "set_and_get_asm_zasm_accessor"}))
        return EXIT_BAD_INPUT;
    const auto dump_entry = module.entry<DUMP_RE_NETWORK_ENTRY>("asm_dump_re_network");
    const auto set_accessor = module.entry<SET_AND_GET_ACCESSOR_ENTRY>("set_and_get_asm_zasm_accessor");

    // The project directory is made before the slow steps; a start that
    // fails from here on takes it back.
    fs::path project;
    fs::path made;
    try
    {
        project = host_command::create_project(arguments.out, arguments.design, made);
    }
    catch (const PROJECT_ERROR& error)
    {
        return host_command::fail_start(made, error.what());
    }
    std::cout << "asm_host: dumping the routed network of " << gen_printable_text(arguments.design.string()) << " in "
              << gen_printable_text(project.string()) << std::endl;

    DESIGN design;
    if (!host_command::load_design_directory(arguments.design, design, problem))
        return host_command::fail_start(made, problem);
    if (!design.routing)
        return host_command::fail_start(
            made, DESIGN_ERROR((arguments.design / "design.json").string(), "routing",
                               "required key is missing: dump-re-network dumps the design's routed network")
                      .what());
    DIRECTORY_SNAPSHOT copied;
    try
    {
        host_command::fill_project(project, arguments.design, copied);
    }
    catch (const PROJECT_ERROR& error)
    {
        return host_command::fail_start(made, error.what());
    }
    const std::string project_text = host_command::project_text(project);

    int status = EXIT_DONE;
    std::string reason;
    {
        // The suite as the Tcl layer finds it: the design's compile instance
        // current in the hierarchy, its facade current in the flow.
        HOST_SUITE suite(design);
        suite.set_project_directory(project_text);
        gen_set_module_path(module_path.parent_path().string());
        if (::chdir(project_text.c_str()) != 0)
            return host_command::fail_start(made, project_text + ": cannot enter the project directory");
        HDB_NAME_MGR name_mgr;
        name_mgr.set_current_cap_inst(suite.facade()->get_cap_inst());
        hdb_set_current_name_mgr(&name_mgr);
        ZCU_FACADE_UTIL::get_instance()->set_facade(suite.facade());
        std::vector<DEVICE_SELECTION> selections;
        set_accessor(new HOST_ACCESSOR_PROXY(design.accessor, &selections), true);

        std::list<const char*> words;
        for (const std::string& word : arguments.words)
            words.push_back(word.c_str());
        const std::optional<std::string> internal_error = host_command::call_guarded([&] { dump_entry(&words); });
        std::cout.flush();
        set_accessor(nullptr, true);
        ZCU_FACADE_UTIL::get_instance()->set_facade(nullptr);
        hdb_set_current_name_mgr(nullptr);

        std::cout << "\n--- asm_host summary ---\n";
        std::cout << "Result: " << (internal_error ? "internal error " + *internal_error : std::string("dumped"))
                  << "\n";
        try
        {
            const auto written = changed_files(copied, snapshot_directory(fs::path(project_text)));
            std::cout << "Files written:" << (written.empty() ? " none" : "") << "\n";
            for (const auto& [path, size] : written)
                std::cout << "  " << gen_printable_text(path) << " (" << size << " bytes)\n";
        }
        catch (const PROJECT_ERROR& error)
        {
            // The project directory went or changed under the run: no
            // success is claimed for a dump the host cannot see.
            std::cout << "asm_host: " << gen_printable_text(error.what()) << "\n";
            status = EXIT_RUN_FAILED;
            reason = "the host could not read the run's output";
        }
        if (internal_error)
        {
            status = EXIT_INTERNAL_ERROR;
            reason = "internal error";
        }
    }
    std::cout << "Project directory: " << gen_printable_text(project.string()) << "\n";
    std::cout << "Exit status: " << status << (reason.empty() ? "" : " (" + reason + ")") << std::endl;
    // libasm.so stays mapped once loaded; the module lets go of its handle
    // all the same.
    return status;
}
