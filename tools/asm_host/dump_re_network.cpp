// asm_host dump-re-network: runs the module's routing dump on a design
// directory, as the suite's Tcl layer does: the design is copied into a new
// project directory, the stand-in suite is populated from it with the
// compile instance and the facade made current, and asm_dump_re_network
// gets the words of the command line.
#include "dump_re_network.h"

#include "accessor_proxy.h"
#include "design.h"
#include "project.h"

#include <cfg.h>
#include <dbcm.h>
#include <gen.h>
#include <hdb.h>
#include <msg.h>
#include <zcu.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
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
    "Exit status: 0 dumped; 2 bad design directory or usage; 3 internal error.\n";

struct DUMP_ARGUMENTS
{
    fs::path design;
    std::vector<std::string> words;
    fs::path out;
    fs::path module;
};

bool parse(int argc, char** argv, DUMP_ARGUMENTS& arguments, std::string& problem)
{
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i)
    {
        const std::string word = argv[i];
        fs::path* value = word == "--out" ? &arguments.out : word == "--module" ? &arguments.module : nullptr;
        if (value != nullptr)
        {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
            {
                problem = word + " needs a value";
                return false;
            }
            if (!value->empty())
            {
                problem = word + " is given twice";
                return false;
            }
            *value = argv[++i];
        }
        else if (word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1])))
        {
            problem = "unknown option \"" + word + "\"";
            return false;
        }
        else
        {
            positional.push_back(word);
        }
    }
    if (positional.size() < 3 || positional.size() > 4)
    {
        problem = "expected DESIGN_DIR, KIND, FORMAT and an optional HANDLE";
        return false;
    }
    arguments.design = positional[0];
    arguments.words.assign(positional.begin() + 1, positional.end());
    return true;
}

fs::path own_directory()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

int fail_input(const std::string& problem)
{
    std::cerr << "asm_host: " << problem << std::endl;
    return 2;
}

}  // namespace

int dump_re_network_main(int argc, char** argv)
{
    if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0))
    {
        std::cout << USAGE;
        return 0;
    }
    DUMP_ARGUMENTS arguments;
    std::string problem;
    if (!parse(argc, argv, arguments, problem))
    {
        std::cerr << "asm_host: " << problem << "\n" << USAGE;
        return 2;
    }

    std::error_code ec;
    if (!fs::is_directory(arguments.design, ec))
        return fail_input(arguments.design.string() + ": not a directory");
    DESIGN design;
    try
    {
        design = load_design((arguments.design / "design.json").string());
    }
    catch (const DESIGN_ERROR& error)
    {
        return fail_input(error.what());
    }
    const fs::path ini = arguments.design / "zorvane.ini";
    if (fs::exists(ini, ec) && !cfg_load_ini_file(ini.string(), &problem))
        return fail_input(problem);

    const fs::path module_path =
        arguments.module.empty() ? own_directory() / "libasm.so" : fs::absolute(arguments.module, ec);
    void* handle = dlopen(module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* reason = dlerror();
        std::cerr << "asm_host: cannot load " << module_path.string() << ": " << (reason ? reason : "unknown reason")
                  << std::endl;
        return 3;
    }
    auto dump_entry = reinterpret_cast<DUMP_RE_NETWORK_ENTRY>(dlsym(handle, "asm_dump_re_network"));
    auto set_accessor = reinterpret_cast<SET_AND_GET_ACCESSOR_ENTRY>(dlsym(handle, "set_and_get_asm_zasm_accessor"));
    if (dump_entry == nullptr || set_accessor == nullptr)
    {
        std::cerr << "asm_host: " << module_path.string()
                  << " does not export asm_dump_re_network and set_and_get_asm_zasm_accessor" << std::endl;
        dlclose(handle);
        return 3;
    }

    fs::path project;
    DIRECTORY_SNAPSHOT copied;
    try
    {
        project = create_project_directory(arguments.out, "asm_out", arguments.design);
    }
    catch (const PROJECT_ERROR& error)
    {
        dlclose(handle);
        return fail_input(error.what());
    }
    try
    {
        copy_design_directory(arguments.design, project);
        copied = snapshot_directory(project);
    }
    catch (const PROJECT_ERROR& error)
    {
        fs::remove_all(project, ec);
        dlclose(handle);
        return fail_input(error.what());
    }
    std::string project_text = fs::absolute(project, ec).lexically_normal().string();
    if (project_text.size() > 1 && project_text.back() == '/')
        project_text.pop_back();
    std::cout << "asm_host: dumping the routed network of " << arguments.design.string() << " in "
              << project.string() << std::endl;

    int status = 0;
    {
        // The suite as the Tcl layer finds it: the design's compile instance
        // current in the hierarchy, its facade current in the flow.
        HOST_SUITE suite(design);
        suite.set_project_directory(project_text);
        gen_set_module_path(module_path.parent_path().string());
        if (::chdir(project_text.c_str()) != 0)
        {
            dlclose(handle);
            return fail_input(project_text + ": cannot enter the project directory");
        }
        HDB_NAME_MGR name_mgr;
        name_mgr.set_current_cap_inst(suite.facade()->get_cap_inst());
        hdb_set_current_name_mgr(&name_mgr);
        ZCU_FACADE_UTIL::get_instance()->set_facade(suite.facade());
        std::vector<DEVICE_SELECTION> selections;
        set_accessor(new HOST_ACCESSOR_PROXY(design.accessor, &selections), true);

        std::list<const char*> words;
        for (const std::string& word : arguments.words)
            words.push_back(word.c_str());
        std::optional<std::string> internal_error;
        try
        {
            dump_entry(&words);
        }
        catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
        {
            std::ostringstream text;
            text << "\"" << error.condition() << "\" (" << error.component() << ", " << error.file() << ", line "
                 << error.line() << ")";
            internal_error = text.str();
        }
        catch (const std::exception& error)
        {
            internal_error = std::string("exception: ") + error.what();
        }
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
                std::cout << "  " << path << " (" << size << " bytes)\n";
        }
        catch (const PROJECT_ERROR& error)
        {
            std::cout << "asm_host: " << error.what() << "\n";
        }
        status = internal_error ? 3 : 0;
    }
    std::cout << "Project directory: " << project.string() << "\n";
    std::cout << "Exit status: " << status << std::endl;
    // libasm.so stays mapped once loaded; the handle is let go all the same.
    dlclose(handle);
    return status;
}
