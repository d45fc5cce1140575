// asm_host process-sof: applies the bit settings of an assignments file to
// an SRAM object file through the module's asm_process_sof, in a fresh
// working directory, and prints what the run changed, compared or read.
#include "process_sof.h"

#include "design.h"
#include "host_command.h"
#include "project.h"

#include <asm_model.h>
#include <dmgr.h>
#include <fio.h>
#include <gen.h>
#include <gen_string.h>
#include <msg.h>
#include <pgmio_sof.h>

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

typedef void (*ASM_PROCESS_SOF_ENTRY)(const FIO_PATH&, const FIO_PATH&, bool);

using host_command::EXIT_BAD_INPUT;
using host_command::EXIT_DONE;
using host_command::EXIT_INTERNAL_ERROR;
using host_command::EXIT_RUN_FAILED;
using host_command::fail_input;

const char USAGE[] =
    "usage: asm_host process-sof FILE.sof ASSIGNMENTS.xml [--write] [--out DIR] [--design DIR]\n"
    "                            [--debug-log FILE] [--module PATH]\n"
    "\n"
    "Copies FILE.sof and the assignments file's directory into a new directory and\n"
    "applies the file's bit settings there.\n"
    "  --write           rewrites the copied .sof\n"
    "  --out DIR         the working directory; it must not exist yet\n"
    "                    (default: a new directory under ./asm_out/)\n"
    "  --design DIR      the design directory whose design.json gives the device\n"
    "                    (default: the directory of FILE.sof)\n"
    "  --debug-log FILE  writes the run's debug log to FILE line by line; FILE is new,\n"
    "                    empty or an earlier debug log (emptied and written in place;\n"
    "                    one run at a time), a character device, a pipe, or the file\n"
    "                    that the host's own output goes to (never emptied; runs side\n"
    "                    by side may share it)\n"
    "  --module PATH     the assembler module (default: libasm.so beside asm_host)\n"
    "\n"
    "Exit status: 0 applied; 1 the run posted an error or the host could not read or\n"
    "store its output; 2 bad design directory, usage or module; 3 internal error\n"
    "(also a fault of the assignments file); 128 + the signal when SIGTERM, SIGINT,\n"
    "SIGHUP, SIGQUIT or SIGPIPE ends the host (a signal ignored when the host starts\n"
    "stays ignored).\n";

// Changed bits listed per image before the rest is only counted.
const size_t MAX_LISTED_BITS = 64;
// Lines of each debug file that are printed.
const size_t MAX_PRINTED_LINES = 40;

struct ARGUMENTS
{
    fs::path sof;
    fs::path assignments;
    bool write = false;
    fs::path out;
    fs::path design;
    fs::path debug_log;
    fs::path module;
};

bool parse_arguments(int argc, char** argv, ARGUMENTS& arguments, std::string& problem)
{
    std::vector<std::string> positional;
    if (!host_command::parse_options(argc, argv,
                                     {{"--write", nullptr, &arguments.write},
                                      {"--out", &arguments.out},
                                      {"--design", &arguments.design},
                                      {"--debug-log", &arguments.debug_log},
                                      {"--module", &arguments.module}},
                                     positional, problem))
        return false;
    if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
    {
        problem = "process-sof takes an SRAM object file and an assignments file";
        return false;
    }
    arguments.sof = positional[0];
    arguments.assignments = positional[1];
    return true;
}

// Lists the bits of an image that differ between two reads of the file.
void print_image_changes(const char* name, const SOF_IMAGE* before, const SOF_IMAGE* after, size_t& changes)
{
    if (before == nullptr || after == nullptr || before->bit_count != after->bit_count)
    {
        if ((before == nullptr) != (after == nullptr) ||
            (before != nullptr && after != nullptr && before->bit_count != after->bit_count))
        {
            std::cout << "  " << name << " image: changed in size\n";
            ++changes;
        }
        return;
    }
    size_t listed = 0;
    size_t image_changes = 0;
    for (size_t byte = 0; byte < before->bytes.size(); ++byte)
    {
        const unsigned char differ = static_cast<unsigned char>(before->bytes[byte] ^ after->bytes[byte]);
        if (differ == 0)
            continue;
        for (unsigned bit = 0; bit < 8; ++bit)
        {
            if (((differ >> bit) & 1u) == 0)
                continue;
            const uint32_t index = static_cast<uint32_t>(byte * 8 + bit);
            ++image_changes;
            if (listed++ < MAX_LISTED_BITS)
                std::cout << "  " << name << " " << index << ": " << (before->get_bit(index) ? 1 : 0) << " -> "
                          << (after->get_bit(index) ? 1 : 0) << "\n";
        }
    }
    if (listed > MAX_LISTED_BITS)
        std::cout << "  " << name << ": " << (listed - MAX_LISTED_BITS) << " more bits changed\n";
    changes += image_changes;
}

std::string hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void print_changes(const SOF_CONTENTS& before, const SOF_CONTENTS& after)
{
    std::cout << "Changes to the SRAM object file:\n";
    size_t changes = 0;
    print_image_changes("CRAM", &before.cram, &after.cram, changes);
    print_image_changes("CFF", before.cff ? &*before.cff : nullptr, after.cff ? &*after.cff : nullptr, changes);
    print_image_changes("UNVM", before.unvm ? &*before.unvm : nullptr, after.unvm ? &*after.unvm : nullptr, changes);
    print_image_changes("OPTION_REG", before.option_register ? &*before.option_register : nullptr,
                        after.option_register ? &*after.option_register : nullptr, changes);
    const uint32_t register_before = before.option_register_word.value_or(0);
    const uint32_t register_after = after.option_register_word.value_or(0);
    if (register_before != register_after)
    {
        std::cout << "  option register: " << hex32(register_before) << " -> " << hex32(register_after) << "\n";
        ++changes;
    }
    if (before.jtag_user_code != after.jtag_user_code)
    {
        std::cout << "  JTAG user code: " << hex32(before.jtag_user_code) << " -> " << hex32(after.jtag_user_code)
                  << "\n";
        ++changes;
    }
    if (changes == 0)
        std::cout << "  none\n";
}

void print_debug_file(const fs::path& path)
{
    // Read from the regular file that was opened: one swapped for a FIFO
    // since the run would hold the summary.
    std::string text;
    if (!fio_read_regular_file(path.string(), text))
        return;
    std::istringstream in(text);
    std::string line;
    size_t count = 0;
    while (std::getline(in, line))
    {
        if (count++ < MAX_PRINTED_LINES)
            std::cout << "    | " << gen_printable_text(line) << "\n";
    }
    if (count > MAX_PRINTED_LINES)
        std::cout << "    | ... " << (count - MAX_PRINTED_LINES) << " more lines\n";
}

}  // namespace

int process_sof_command(int argc, char** argv)
{
    if (host_command::asks_for_help(argc, argv))
    {
        std::cout << USAGE;
        return EXIT_DONE;
    }
    ARGUMENTS arguments;
    std::string problem;
    if (!parse_arguments(argc, argv, arguments, problem))
    {
        std::cerr << "asm_host: " << gen_printable_text(problem) << "\n" << USAGE;
        return EXIT_BAD_INPUT;
    }

    // Every problem of the arguments is found first, before design.json is
    // read and before the working directory is made.
    std::error_code ec;
    if (!fs::is_regular_file(arguments.sof, ec))
        return fail_input(arguments.sof.string() + ": not a file");
    if (!fs::is_regular_file(arguments.assignments, ec))
        return fail_input(arguments.assignments.string() + ": not a file");
    const fs::path sof_absolute = fs::absolute(arguments.sof, ec).lexically_normal();
    const fs::path assignments_directory = fs::absolute(arguments.assignments, ec).lexically_normal().parent_path();
    const fs::path design_directory =
        arguments.design.empty() ? sof_absolute.parent_path() : fs::absolute(arguments.design, ec);
    // A design directory without design.json is no design directory: it is
    // refused before anything walks it (a debug log's checks would).
    if (!host_command::has_design_file(design_directory, problem))
        return fail_input(arguments.design.empty()
                              ? problem + "; give --design DIR, the design directory of the SRAM object file"
                              : problem);
    const fs::path default_parent = "asm_out";
    try
    {
        check_project_directory(arguments.out, default_parent, assignments_directory);
    }
    catch (const PROJECT_ERROR& error)
    {
        return fail_input(error.what());
    }
    const fs::path module_path = host_command::module_path(arguments.module);
    host_command::MODULE module;
    if (!host_command::open_module(module, module_path, {"asm_process_sof"}))
        return EXIT_BAD_INPUT;
    const auto entry = module.entry<ASM_PROCESS_SOF_ENTRY>("asm_process_sof");
    DEBUG_LOG debug_log;
    try
    {
        if (!arguments.debug_log.empty())
            debug_log.open(arguments.debug_log, arguments.out, default_parent, assignments_directory,
                           "the assignments file's directory", design_directory);
        // The SRAM object file is read and copied after the log has begun.
        if (debug_log.is_open() && debug_log.is(arguments.sof))
            throw PROJECT_ERROR(arguments.debug_log.string() + ": the debug log cannot be the SRAM object file");
    }
    catch (const PROJECT_ERROR& error)
    {
        return fail_input(error.what());
    }

    // The working directory: a copy of the assignments file's directory
    // (its token files and includes) and of the SRAM object file. It is
    // made before the slow steps; a start that fails from here on takes it
    // back.
    fs::path project;
    fs::path made;
    try
    {
        project = host_command::create_project(arguments.out, assignments_directory, made);
    }
    catch (const PROJECT_ERROR& error)
    {
        return host_command::fail_start(made, error.what());
    }
    std::cout << "asm_host: applying " << gen_printable_text(arguments.assignments.string()) << " to "
              << gen_printable_text(arguments.sof.string()) << " in " << gen_printable_text(project.string())
              << (arguments.write ? " (rewriting the file)" : "") << std::endl;

    DESIGN design;
    if (!host_command::load_design_directory(design_directory, design, problem))
        return host_command::fail_start(made, problem);
    if (!design.asm_data)
        return host_command::fail_start(
            made, DESIGN_ERROR((design_directory / "design.json").string(), "die.asm_data",
                               "required key is missing: process-sof opens the device through its assembler data")
                      .what());
    const fs::path project_absolute = fs::absolute(project, ec).lexically_normal();
    if (debug_log.is_open() && !host_command::check_design_debug_log(debug_log, design, project_absolute, problem))
        return host_command::fail_start(made, problem);

    DIRECTORY_SNAPSHOT copied;
    const fs::path sof_name = sof_absolute.filename();
    try
    {
        host_command::fill_project(project, assignments_directory, copied, [&](const fs::path& directory) {
            if (fs::exists(directory / sof_name, ec))
                throw PROJECT_ERROR(sof_name.string() + ": the assignments file's directory holds a file of that name");
            copy_regular_file(sof_absolute, directory / sof_name);
        });
    }
    catch (const PROJECT_ERROR& error)
    {
        return host_command::fail_start(made, error.what());
    }
    if (!debug_log.start(problem))
        return host_command::fail_start(made, problem);

    SOF_CONTENTS before;
    const bool readable = sof_read_file((project_absolute / sof_name).string(), before, nullptr);

    std::optional<std::string> internal_error;
    {
        // The suite holds the design's part table and names; the device
        // manager opens the file's device from the design.
        HOST_SUITE suite(design);
        suite.set_project_directory(project_absolute.string());
        gen_set_module_path(module_path.parent_path().string());
        register_design_arch_group_types(design);
        dmgr_set_device_builder([&design](DEV_PART part) { return make_design_device(design, part); });
        if (::chdir(project_absolute.c_str()) != 0)
            return host_command::fail_start(made, project_absolute.string() + ": cannot enter the directory");
        internal_error = host_command::call_guarded([&] {
            entry(FIO_PATH((project_absolute / sof_name).string()),
                  FIO_PATH((project_absolute / arguments.assignments.filename()).string()), arguments.write);
        });
        dmgr_reset();
        ASM_MODEL::reset();
    }

    std::cout << "\n--- asm_host summary ---\n";
    if (internal_error)
        std::cout << "Result: internal error " << *internal_error << "\n";
    else
        std::cout << "Result: done\n";
    const size_t errors = host_command::count_messages().errors;
    std::cout << "Messages: " << errors << " errors\n";

    // The working directory may have gone or changed under the run: what
    // cannot be read is named, and the run is not called a success.
    bool stored = debug_log.finish(problem);
    if (!stored)
        std::cout << "asm_host: " << gen_printable_text(problem) << "\n";
    SOF_CONTENTS after;
    if (readable && sof_read_file((project_absolute / sof_name).string(), after, nullptr))
        print_changes(before, after);

    try
    {
        const auto written = changed_files(copied, snapshot_directory(project_absolute));
        std::cout << "Files written:" << (written.empty() ? " none" : "") << "\n";
        for (const auto& [path, size] : written)
        {
            std::cout << "  " << gen_printable_text(path) << " (" << size << " bytes)\n";
            if (fs::path(path) != sof_name)
                print_debug_file(project_absolute / path);
        }
    }
    catch (const PROJECT_ERROR& error)
    {
        std::cout << "asm_host: " << gen_printable_text(error.what()) << "\n";
        stored = false;
    }
    std::cout << "Working directory: " << gen_printable_text(project.string()) << "\n";

    int status = EXIT_DONE;
    std::string reason;
    if (internal_error)
    {
        status = EXIT_INTERNAL_ERROR;
        reason = "internal error";
    }
    else if (errors > 0)
    {
        status = EXIT_RUN_FAILED;
        reason = "the run posted an error";
    }
    else if (!stored)
    {
        status = EXIT_RUN_FAILED;
        reason = "the host could not read or store the run's output";
    }
    std::cout << "Exit status: " << status << (reason.empty() ? "" : " (" + reason + ")") << std::endl;
    return status;
}
