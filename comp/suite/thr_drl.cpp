#include "thr_drl.h"

#include "gen.h"

#include <dlfcn.h>

#include <string>

namespace
{
std::string& last_error()
{
    thread_local std::string text;
    return text;
}

void note_dl_error(const std::string& fallback)
{
    const char* text = dlerror();
    last_error() = text != nullptr ? text : fallback;
}
}  // namespace

void* thr_drl_load(const char* name)
{
    last_error().clear();
    if (name == nullptr || *name == '\0')
    {
        last_error() = "no library name";
        return nullptr;
    }
    const std::string file = std::string("lib") + name + ".so";
    const std::string module_dir = gen_get_module_path();
    if (!module_dir.empty())
    {
        if (void* library = dlopen((module_dir + file).c_str(), RTLD_NOW | RTLD_NODELETE))
            return library;
    }
    dlerror();
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_NODELETE);
    if (library == nullptr)
        note_dl_error("cannot load " + file);
    return library;
}

void* thr_drl_find_function(void* library, const char* name)
{
    last_error().clear();
    if (library == nullptr || name == nullptr)
    {
        last_error() = "no library or no function name";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr)
        note_dl_error(std::string("undefined symbol: ") + name);
    return address;
}

const char* thr_drl_get_error() { return last_error().c_str(); }
