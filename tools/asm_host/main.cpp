// asm_host: the stand-in of the suite's compiler flow. It loads libasm.so as
// the flow does, populates the stand-in suite from a design directory, sets
// its accessor proxy, calls asm_assemble in a fresh project directory and
// reports what the run did.
#include "accessor_proxy.h"
#include "design.h"
#include "process_sof.h"
#include "dump_re_network.h"
#include "host_command.h"
#include "host_signals.h"
#include "project.h"

#include <asm_model.h>
#include <cfg.h>
#include <dbcm.h>
#include <fio.h>
#include <gen.h>
#include <gen_string.h>
#include <msg.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

typedef int (*ASM_ASSEMBLE_ENTRY)(CMP_FACADE*, uint32_t, bool&, const FIO_PATH&);
typedef ZASM_ACCESSOR_PROXY* (*SET_AND_GET_ACCESSOR_ENTRY)(ZASM_ACCESSOR_PROXY*, bool);

using host_command::EXIT_BAD_INPUT;
using host_command::EXIT_DONE;
using host_command::EXIT_INTERNAL_ERROR;
using host_command::EXIT_RUN_FAILED;
using host_command::fail_input;

const char USAGE[] =
    "usage: asm_host assemble DESIGN_DIR [--out DIR] [--debug-log FILE] [--module PATH]\n"
    "       asm_host process-sof FILE.sof ASSIGNMENTS.xml [--write] [--out DIR] [--design DIR]\n"
    "                            [--debug-log FILE] [--module PATH]\n"
    "       asm_host dump-re-network DESIGN_DIR KIND FORMAT [HANDLE] [--out DIR] [--module PATH]\n"
    "\n"
    "Copies DESIGN_DIR into a new project directory and assembles the design there.\n"
    "  --out DIR         the project directory; it must not exist yet\n"
    "                    (default: a new directory under ./asm_out/)\n"
    "  --debug-log FILE  writes the run's debug log to FILE line by line; FILE is new,\n"
    "                    empty or an earlier debug log (emptied and written in place;\n"
    "                    one run at a time), a character device, a pipe, or the file\n"
    "                    that the host's own output goes to (never emptied; runs side\n"
    "                    by side may share it)\n"
    "  --module PATH     the assembler module (default: libasm.so beside asm_host)\n"
    "\n"
    "Exit status: 0 assembled; 1 the run posted an error, returned -1 or wrote no\n"
    "SRAM object file, or the host could not read or store its output; 2 bad design\n"
    "directory, usage or module; 3 internal error; 128 + the signal when SIGTERM,\n"
    "SIGINT, SIGHUP, SIGQUIT or SIGPIPE ends the host (a signal ignored when the host\n"
    "starts stays ignored).\n"
    "\n"
    "asm_host process-sof --help and asm_host dump-re-network --help describe the\n"
    "other commands.\n";

struct ARGUMENTS
{
    fs::path design;
    fs::path out;
    fs::path debug_log;
    fs::path module;
};

// Reads the command line; false with the problem when it is not a valid one.
bool parse_arguments(int argc, char** argv, ARGUMENTS& arguments, std::string& problem)
{
    if (argc < 2 || std::strcmp(argv[1], "assemble") != 0)
    {
        problem = argc < 2 ? "no command given" : std::string("unknown command \"") + argv[1] + "\"";
        return false;
    }
    std::vector<std::string> positional;
    if (!host_command::parse_options(argc, argv,
                                     {{"--out", &arguments.out}, {"--debug-log", &arguments.debug_log},
                                      {"--module", &arguments.module}},
                                     positional, problem))
        return false;
    if (positional.size() > 1)
    {
        problem = "more than one design directory given";
        return false;
    }
    if (positional.empty() || positional[0].empty())
    {
        problem = "no design directory given";
        return false;
    }
    arguments.design = positional[0];
    return true;
}

int assemble(const ARGUMENTS& arguments)
{
    // Every problem of the arguments is found first, before design.json is
    // read and before the project directory is made.
    std::error_code ec;
    if (!fs::is_directory(arguments.design, ec))
        return fail_input(arguments.design.string() + ": not a directory");
    std::string problem;
    if (!host_command::has_design_file(arguments.design, problem))
        return fail_input(problem);
    const fs::path default_parent = "asm_out";
    try
    {
        check_project_directory(arguments.out, default_parent, arguments.design);
    }
    catch (const PROJECT_ERROR& error)
    {
        return fail_input(error.what());
    }
    const fs::path module_path = host_command::module_path(arguments.module);
    host_command::MODULE module;
    if (!host_command::open_module(module, module_path, {"asm_assemble", "set_and_get_asm_zasm_accessor"}))
        return EXIT_BAD_INPUT;
    const auto assemble_entry = module.entry<ASM_ASSEMBLE_ENTRY>("asm_assemble");
    const auto set_and_get_accessor = module.entry<SET_AND_GET_ACCESSOR_ENTRY>("set_and_get_asm_zasm_accessor");
    DEBUG_LOG debug_log;
    try
    {
        if (!arguments.debug_log.empty())
            debug_log.open(arguments.debug_log, arguments.out, default_parent, arguments.design,
                           "the design directory");
    }
    catch (const PROJECT_ERROR& error)
    {
        return fail_input(error.what());
    }

    // The project directory is made before the slow steps (reading a large
    // design.json, copying the directory), so that the host can say where
    // it works; a start that fails from here on takes it back.
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
    std::cout << "asm_host: assembling " << gen_printable_text(arguments.design.string()) << " in "
              << gen_printable_text(project.string()) << std::endl;

    DESIGN design;
    if (!host_command::load_design_directory(arguments.design, design, problem))
        return host_command::fail_start(made, problem);
    const fs::path project_absolute = fs::absolute(project, ec).lexically_normal();
    if (debug_log.is_open() && !host_command::check_design_debug_log(debug_log, design, project_absolute, problem))
        return host_command::fail_start(made, problem);
    DIRECTORY_SNAPSHOT copied;
    try
    {
        host_command::fill_project(project, arguments.design, copied);
    }
    catch (const PROJECT_ERROR& error)
    {
        return host_command::fail_start(made, error.what());
    }
    const size_t first_debug_line = msg_debug_lines().size();
    // A design directory may hold an SRAM object file of an earlier run.
    const fs::path sof = project_absolute / (design.revision + ".sof");
    const auto sof_before = file_identity(sof);
    if (!debug_log.start(problem))
        return host_command::fail_start(made, problem);

    // The suite as the flow leaves it for the assembler: the design's data,
    // the project directory as project path, output directory and working
    // directory, and the module's directory for the module's data files.
    HOST_SUITE suite(design);
    const std::string project_text = host_command::project_text(project);
    suite.set_project_directory(project_text);
    gen_set_module_path(module_path.parent_path().string());
    if (::chdir(project_text.c_str()) != 0)
        return host_command::fail_start(made, project_text + ": cannot enter the project directory");

    std::vector<DEVICE_SELECTION> selections;
    set_and_get_accessor(new HOST_ACCESSOR_PROXY(design.accessor, &selections), true);
    int result = 0;
    const std::optional<std::string> internal_error = host_command::call_guarded([&] {
        bool out_flag = false;
        result = assemble_entry(suite.facade(), 0, out_flag, FIO_PATH(project_text, "", ""));
    });
    // The module deletes the proxy it holds; the registry lets go of the
    // run's objects while the module that made them is still loaded.
    set_and_get_accessor(nullptr, true);
    ASM_MODEL::reset();

    const host_command::MESSAGE_COUNTS counts = host_command::count_messages();
    std::cout << "\n--- asm_host summary ---\n";
    if (internal_error)
        std::cout << "Result: internal error " << *internal_error << "\n";
    else
        std::cout << "Result: " << result << "\n";
    std::cout << "Messages: " << counts.errors << " errors, " << counts.warnings << " warnings, " << counts.infos
              << " infos\n";
    std::cout << "Device selections:";
    if (selections.empty())
        std::cout << " none";
    for (const DEVICE_SELECTION& selection : selections)
        std::cout << " (device " << selection.device << ", part " << selection.part << ")";
    std::cout << "\n";

    int status = EXIT_DONE;
    if (!debug_log.finish(problem))
    {
        std::cout << "asm_host: " << gen_printable_text(problem) << "\n";
        status = EXIT_RUN_FAILED;
    }
    const auto sof_after = file_identity(sof);
    bool sof_written = sof_after && sof_after != sof_before;
    try
    {
        const auto written = changed_files(copied, snapshot_directory(project_absolute));
        for (const auto& [path, size] : written)
            sof_written = sof_written || path == design.revision + ".sof";
        std::cout << "Files written:" << (written.empty() ? " none" : "") << "\n";
        for (const auto& [path, size] : written)
            std::cout << "  " << gen_printable_text(path) << " (" << size << " bytes)\n";

        const DBCM_CHIP* bundle_chip = DBCM_DB_MANAGER::get_or_create_instance()->get_chip(0);
        const std::vector<SECTION_FILE> sections =
            write_section_files(bundle_chip != nullptr ? bundle_chip->get_section_store() : nullptr, project_absolute);
        std::cout << "Chip database sections:" << (sections.empty() ? " none" : "") << "\n";
        for (const SECTION_FILE& section : sections)
            std::cout << "  " << section.section << " (" << section.size << " bytes) -> " << section.file << "\n";

        std::ostringstream report;
        suite.facade()->get_report()->write_text(report);
        write_file_atomically(project_absolute / "asm.rpt", report.str());
        std::cout << "Report: asm.rpt (" << report.str().size() << " bytes)\n";
    }
    catch (const PROJECT_ERROR& error)
    {
        std::cout << "asm_host: " << gen_printable_text(error.what()) << "\n";
        status = EXIT_RUN_FAILED;
    }
    std::cout << "Project directory: " << gen_printable_text(project.string()) << "\n";

    std::string reason;
    if (internal_error)
    {
        status = EXIT_INTERNAL_ERROR;
        reason = "internal error";
    }
    else if (counts.errors > 0)
    {
        status = EXIT_RUN_FAILED;
        reason = "the run posted an error";
    }
    else if (result < 0)
    {
        status = EXIT_RUN_FAILED;
        reason = "the run returned " + std::to_string(result);
    }
    else if (status == EXIT_RUN_FAILED)
    {
        reason = "the host could not store the run's output";
    }
    else if (!sof_written && !cfg_is_on("skip_asm"))
    {
        // The module's result stays as it is; the flow does not call a run
        // that wrote no SRAM object file a success.
        status = EXIT_RUN_FAILED;
        const std::string line = host_command::last_debug_line(first_debug_line, "ASM End");
        reason = "no SRAM object file was written: " +
                 (line.empty() ? std::string("the run logged no reason") : "the run's last debug line reads " + line);
    }
    std::cout << "Exit status: " << status << (reason.empty() ? "" : " (" + reason + ")") << std::endl;
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    host_signals::install();
    if ((argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) ||
        (argc == 3 && std::strcmp(argv[1], "assemble") == 0 && host_command::asks_for_help(argc, argv)))
    {
        std::cout << USAGE;
        return EXIT_DONE;
    }
    if (argc >= 2 && std::strcmp(argv[1], "process-sof") == 0)
        return process_sof_command(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "dump-re-network") == 0)
        return dump_re_network_main(argc, argv);
    ARGUMENTS arguments;
    std::string problem;
    if (!parse_arguments(argc, argv, arguments, problem))
    {
        std::cerr << "asm_host: " << gen_printable_text(problem) << "\n" << USAGE;
        return EXIT_BAD_INPUT;
    }
    return assemble(arguments);
}
