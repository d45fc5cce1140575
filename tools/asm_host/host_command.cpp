#include "host_command.h"

#include "host_signals.h"
#include "ini_switches.h"

#include <cfg.h>
#include <fio.h>
#include <gen_string.h>
#include <msg.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
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

bool has_design_file(const fs::path& directory, std::string& problem)
{
    const fs::path file = directory / "design.json";
    struct stat status;
    if (::stat(file.c_str(), &status) == 0)
        return true;
    problem = DESIGN_ERROR(file.string(), "", "cannot read the file").what();
    return false;
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

bool check_design_debug_log(const DEBUG_LOG& log, const DESIGN& design, const fs::path& project,
                            std::string& problem)
{
    // The settings that name a file the run reads: the assignments file, the
    // key file and the programming-file commands, wherever the design holds
    // them.
    static const int FILE_SETTINGS[] = {1492, 1519, 1576};
    std::vector<std::pair<fs::path, std::string>> files;
    const auto add_settings = [&](const std::vector<DESIGN_SETTING>& settings) {
        for (const DESIGN_SETTING& setting : settings)
            if (setting.kind == HDB_OPTION_KIND_STRING && !setting.string_value.empty() &&
                std::find(std::begin(FILE_SETTINGS), std::end(FILE_SETTINGS), setting.id) != std::end(FILE_SETTINGS))
                files.emplace_back(project / setting.string_value, "the file of setting " + std::to_string(setting.id));
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
        files.emplace_back(project / file, "the debug file " + file);
    for (const auto& [file, what] : files)
        if (log.is(file))
        {
            problem = log.name() + ": the debug log cannot be " + what;
            return false;
        }
    return true;
}

int fail_start(const fs::path& made, const std::string& problem)
{
    // The directory is this run's own: no half copy is left behind.
    std::error_code ec;
    if (!made.empty())
        fs::remove_all(made, ec);
    return fail_input(problem);
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
