#include "cfg.h"
#include "fio.h"

#include <boost/algorithm/string.hpp>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

namespace
{

std::map<std::string, std::string>& settings()
{
    static std::map<std::string, std::string> values;
    return values;
}

const std::string* find_value(const char* name)
{
    if (name == nullptr)
        return nullptr;
    auto it = settings().find(name);
    return it == settings().end() ? nullptr : &it->second;
}

bool is_on_text(const std::string& text)
{
    return boost::iequals(text, "on") || boost::iequals(text, "true") || boost::iequals(text, "yes") || text == "1";
}

}  // namespace

KESTIL_BOOL cfg_is_on(const char* name) { return cfg_is_on(name, false); }

KESTIL_BOOL cfg_is_on(const char* name, bool default_value)
{
    const std::string* value = find_value(name);
    return value ? is_on_text(*value) : default_value;
}

std::string cfg_get_value(const char* name, const char* default_value)
{
    const std::string* value = find_value(name);
    if (value)
        return *value;
    return default_value ? default_value : "";
}

int cfg_get_int_value(const char* name, int default_value)
{
    const std::string* value = find_value(name);
    if (value == nullptr || value->empty())
        return default_value;
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value->c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || number < INT32_MIN || number > INT32_MAX)
        return default_value;
    return static_cast<int>(number);
}

bool cfg_has_value(const char* name) { return find_value(name) != nullptr; }

void cfg_set_value(const std::string& name, const std::string& value) { settings()[name] = value; }

void cfg_remove_value(const std::string& name) { settings().erase(name); }

void cfg_clear() { settings().clear(); }

bool cfg_load_ini_file(const std::string& path, std::string* error, std::vector<std::string>* names)
{
    // Read from the regular file that was opened: a FIFO would hold the run.
    std::string text;
    if (!fio_read_regular_file(path, text))
    {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::istringstream in(text);
    std::map<std::string, std::string> loaded;
    std::string line;
    int line_number = 0;
    while (std::getline(in, line))
    {
        ++line_number;
        boost::trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        size_t eq = line.find('=');
        std::string name = eq == std::string::npos ? std::string() : boost::trim_copy(line.substr(0, eq));
        if (name.empty())
        {
            if (error)
                *error = path + ":" + std::to_string(line_number) + ": expected \"name = value\"";
            return false;
        }
        loaded[name] = boost::trim_copy(line.substr(eq + 1));
        if (names)
            names->push_back(name);
    }
    for (auto& entry : loaded)
        settings()[entry.first] = entry.second;
    return true;
}
