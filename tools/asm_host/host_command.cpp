#include "host_command.h"

#include "host_signals.h"
#include "ini_switches.h"

#include <cfg.h>
#include <fio.h>
#include <gen_string.h>
#include <msg.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace host_command
{

int fail_input(const std::string& problem)
{
    std::cerr << "asm_host: " << gen_printable_text(problem) << std::endl;
    return EXIT_BAD_INPUT;
}

bool asks_for_help(int argc, char** argv)
{
    return argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0);
}

bool parse_options(int argc, char** argv, std::initializer_list<OPTION> options, std::vector<std::string>& positional,
                   std::string& problem, bool negative_numbers)
{
    for (int i = 2; i < argc; ++i)
    {
        const std::string word = argv[i];
        const OPTION* option = nullptr;
        for (const OPTION& listed : options)
            if (word == listed.name)
                option = &listed;
        if (option != nullptr && option->flag != nullptr)
        {
            if (*option->flag)
            {
                problem = word + " is given twice";
                return false;
            }
            *option->flag = true;
        }
        else if (option != nullptr)
        {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
            {
                problem = word + " needs a value";
                return false;
            }
            if (!option->value->empty())
            {
                problem = word + " is given twice";
                return false;
            }
            *option->value = argv[++i];
        }
        else if (word.size() > 1 && word[0] == '-' &&
                 !(negative_numbers && std::isdigit(static_cast<unsigned char>(word[1]))))
        {
            problem = "unknown option \"" + word + "\"";
            return false;
        }
        else
        {
            positional.push_back(word);
        }
    }
    return true;
}

fs::path module_path(const fs::path& given)
{
    std::error_code ec;
    if (!given.empty())
        return fs::absolute(given, ec);
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::path() : exe.parent_path()) / "libasm.so";
}

MODULE::~MODULE()
{
    if (m_handle != nullptr)
        dlclose(m_handle);
}

bool MODULE::load(const fs::path& path, std::initializer_list<const char*> entries, std::string& problem)
{
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
    {
        const char* reason = dlerror();
        problem = "cannot load " + path.string() + ": " + (reason ? reason : "unknown reason");
        return false;
    }
    std::string names;
    bool found = true;
    for (const char* name : entries)
    {
        names += (names.empty() ? "" : " and ") + std::string(name);
        found = found && find(name) != nullptr;
    }
    if (!found)
    {
        problem = path.string() + " does not export " + names;
        return false;
    }
    host_signals::set_module_clean_up(reinterpret_cast<void (*)()>(find("asm_clean_up_on_signal")));
    return true;
}

void* MODULE::find(const char* name) const { return m_handle != nullptr ? dlsym(m_handle, name) : nullptr; }

bool open_module(MODULE& module, const fs::path& path, std::initializer_list<const char*> entries)
{
    if (!path.has_parent_path())
    {
        std::cerr << "asm_host: cannot find the module; give --module" << std::endl;
        return false;
    }
    std::string problem;
    if (!module.load(path, entries, problem))
    {
        std::cerr << "asm_host: " << gen_printable_text(problem) << std::endl;
        return false;
    }
    return true;
}

bool load_design_directory(const fs::path& directory, DESIGN& design, std::string& problem)
{
    try
    {
        design = load_design((directory / "design.json").string());
    }
    catch (const DESIGN_ERROR& error)
    {
        problem = error.what();
        return false;
    }
    // The file's kind is that of the descriptor opened, never of a status
    // read by name before: a FIFO put in its place is refused all the same.
    const fs::path ini = directory / "zorvane.ini";
    const int fd = fio_open_regular_file(ini.string());
    if (fd < 0 && errno == ENOENT)
        return true;
    if (fd < 0 && errno == EINVAL)
    {
        problem = ini.string() + ": not a regular file";
        return false;
    }
    if (fd >= 0)
        ::close(fd);
    std::vector<std::string> names;
    if (!cfg_load_ini_file(ini.string(), &problem, &names))
        return false;
    // The suite ignores a switch that no one reads: a misspelt name would
    // change nothing without a word.
    for (const std::string& name : unread_ini_switches(names))
        std::cerr << "asm_host: warning: " << gen_printable_text(ini.string()) << ": no one reads the INI switch \""
                  << gen_printable_text(name) << "\"; it is ignored" << std::endl;
    return true;
}

fs::path create_project(const fs::path& requested, const fs::path& source, fs::path& made)
{
    return create_project_directory(requested, "asm_out", source, &made);
}

void fill_project(const fs::path& project, const fs::path& source, DIRECTORY_SNAPSHOT& copied,
                  const std::function<void(const fs::path&)>& also_copy)
{
    check_design_directory(source);
    copy_design_directory(source, project);
    if (also_copy)
        also_copy(project);
    copied = snapshot_directory(project);
}

namespace
{

// The files of the shared libraries the process has loaded.
std::vector<fs::path> loaded_libraries()
{
    std::vector<fs::path> libraries;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            // The program itself has no name; the kernel's objects no path.
            if (info->dlpi_name != nullptr && std::strchr(info->dlpi_name, '/') != nullptr)
                static_cast<std::vector<fs::path>*>(data)->push_back(info->dlpi_name);
            return 0;
        },
        &libraries);
    return libraries;
}

// Writes the bytes over the contents of the regular file (never waiting on
// anything else put in its place); false with the reason.
bool write_whole_file(const std::string& file, const std::string& bytes, std::string& reason)
{
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status;
    const int kind = fd < 0 ? 0 : ::fstat(fd, &status) != 0 ? errno : S_ISREG(status.st_mode) ? 0 : EINVAL;
    if (kind != 0)
    {
        ::close(fd);
        fd = -1;
        errno = kind;
    }
    bool written = fd >= 0;
    for (size_t done = 0; written && done < bytes.size();)
    {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<size_t>(n) : 0;
    }
    if (!written)
        reason = std::strerror(errno);
    if (fd >= 0 && ::close(fd) != 0 && written)
    {
        reason = std::strerror(errno);
        written = false;
    }
    return written;
}

}  // namespace

std::vector<DEBUG_LOG_INPUT> module_inputs(const fs::path& module)
{
    std::vector<DEBUG_LOG_INPUT> inputs = {
        {module, false, "the module"},
        {module.parent_path() / "assembler_asgn.xsd", false, "the module's schema"},
        {module.parent_path() / "libsld_kovx.so", false, "the debug-instance extension library"},
        {"/proc/self/exe", false, "the host program"},
    };
    for (const fs::path& library : loaded_libraries())
        inputs.push_back({library, false, "the loaded library " + library.string()});
    return inputs;
}

bool check_design_debug_log(const fs::path& target, const std::string& name, const DESIGN& design,
                            const fs::path& project, std::string& problem)
{
    // The settings that name a file the run reads: the assignments file, the
    // key file and the programming-file commands, wherever the design holds
    // them.
    static const int FILE_SETTINGS[] = {1492, 1519, 1576};
    std::vector<DEBUG_LOG_INPUT> inputs;
    const auto add_settings = [&](const std::vector<DESIGN_SETTING>& settings) {
        for (const DESIGN_SETTING& setting : settings)
            if (setting.kind == HDB_OPTION_KIND_STRING && !setting.string_value.empty() &&
                std::find(std::begin(FILE_SETTINGS), std::end(FILE_SETTINGS), setting.id) != std::end(FILE_SETTINGS))
                inputs.push_back({project / setting.string_value, false,
                                  "the file of setting " + std::to_string(setting.id)});
    };
    add_settings(design.namespace_settings);
    add_settings(design.global_settings.value_or(std::vector<DESIGN_SETTING>()));
    add_settings(design.design_settings.value_or(std::vector<DESIGN_SETTING>()));
    add_settings(design.assignments);
    for (const DESIGN_PARTITION& partition : design.partitions)
    {
        add_settings(partition.settings);
        add_settings(partition.generated_options);
        if (partition.instance)
            add_settings(partition.instance->settings);
        if (partition.netlist)
            add_settings(partition.netlist->generated_options);
    }
    for (const std::string& file : design.sld.debug_files)
        inputs.push_back({project / file, false, "the debug file " + file});
    try
    {
        check_debug_log_inputs(target, name, inputs);
    }
    catch (const PROJECT_ERROR& error)
    {
        problem = error.what();
        return false;
    }
    return true;
}

namespace
{

// The debug log's temporary while the run writes it.
std::string g_debug_log_temporary;

}  // namespace

int fail_start(const fs::path& made, const std::string& problem)
{
    // The directory is this run's own: no half copy is left behind, nor the
    // debug log's temporary of a run that never started.
    std::error_code ec;
    if (!made.empty())
        fs::remove_all(made, ec);
    if (!g_debug_log_temporary.empty())
    {
        msg_set_debug_echo_file("");
        ::unlink(g_debug_log_temporary.c_str());
        g_debug_log_temporary.clear();
    }
    return fail_input(problem);
}

bool follow_debug_log(const fs::path& target, std::string& problem)
{
    if (target.empty())
        return true;
    std::string temporary;
    const int fd = create_temporary_beside(target, temporary);
    if (fd < 0)
    {
        problem = target.string() + ": cannot write the debug log: cannot create a file in its directory: " +
                  std::strerror(errno);
        return false;
    }
    ::close(fd);
    if (!msg_set_debug_echo_file(temporary))
    {
        problem = temporary + ": cannot open the debug log's temporary: " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    g_debug_log_temporary = temporary;
    std::cout << "asm_host: the debug log goes to " << gen_printable_text(temporary) << " until the run ends"
              << std::endl;
    return true;
}

bool store_debug_log(const fs::path& target, size_t first)
{
    if (target.empty())
        return true;
    const bool echoed_whole = msg_set_debug_echo_file("");
    const std::string temporary = g_debug_log_temporary;
    g_debug_log_temporary.clear();
    const std::vector<MSG_DEBUG_LINE>& lines = msg_debug_lines();
    std::string text;
    for (size_t i = first; i < lines.size(); ++i)
        text.append(lines[i].component).append(": ").append(lines[i].text).append(1, '\n');
    // The temporary holds the log already, unless the echo missed a line (a
    // full disk): then it is written again whole.
    std::string problem;
    if (!echoed_whole && !write_whole_file(temporary, text, problem))
    {
        ::unlink(temporary.c_str());
        std::cout << "asm_host: " << gen_printable_text(target.string()) << ": cannot write the file: " << problem
                  << "\n";
        return false;
    }
    // The module alone knows some of its inputs (includes, token files):
    // the log never replaces one of them, nor a library of the process.
    const std::optional<FILE_IDENTITY> identity = file_identity(target);
    bool read_by_run = identity && fio_was_read(identity->first, identity->second);
    for (const fs::path& library : loaded_libraries())
        read_by_run = read_by_run || (identity && file_identity(library) == identity);
    if (read_by_run)
    {
        std::cout << "asm_host: " << gen_printable_text(target.string())
                  << ": the debug log cannot replace a file that the run read; its lines are in "
                  << gen_printable_text(temporary) << "\n";
        return false;
    }
    // A log that cannot be renamed over (a file of another user in a sticky
    // directory, a mount point) but was found writable when the run started
    // is written in place: a good run is not failed at its end for it.
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
    {
        if (!write_whole_file(target, text, problem))
        {
            std::cout << "asm_host: " << gen_printable_text(target.string()) << ": cannot write the file: "
                      << problem << "; the debug log's lines are in " << gen_printable_text(temporary) << "\n";
            return false;
        }
        ::unlink(temporary.c_str());
    }
    return true;
}

std::string last_debug_line(size_t first, const std::string& end)
{
    const std::vector<MSG_DEBUG_LINE>& lines = msg_debug_lines();
    for (size_t i = lines.size(); i > first; --i)
        if (lines[i - 1].text != end)
            return "\"" + gen_printable_text(lines[i - 1].text) + "\"";
    return "";
}

std::optional<std::string> call_guarded(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        std::ostringstream text;
        text << "\"" << gen_printable_text(error.condition()) << "\" (" << error.component() << ", " << error.file()
             << ", line " << error.line() << ")";
        return text.str();
    }
    catch (const std::exception& error)
    {
        return "exception: " + gen_printable_text(error.what());
    }
    catch (...)
    {
        return std::string("unknown exception");
    }
    return std::nullopt;
}

MESSAGE_COUNTS count_messages()
{
    MESSAGE_COUNTS counts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
    {
        if (record.silent)
            continue;
        if (record.kind == MSG_POST_TYPE_ERROR)
            ++counts.errors;
        else if (record.kind == MSG_POST_TYPE_WARNING)
            ++counts.warnings;
        else
            ++counts.infos;
    }
    return counts;
}

std::string project_text(const fs::path& project)
{
    std::error_code ec;
    std::string text = fs::absolute(project, ec).lexically_normal().string();
    if (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

}  // namespace host_command
