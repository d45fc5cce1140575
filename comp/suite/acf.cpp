#include "acf.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace
{
struct VARIABLE
{
    std::string user_name;
    bool named = false;
    std::set<DEV_FAMILY> families;
    std::string name;
    std::string default_value;
};

std::map<int, VARIABLE>& variables()
{
    static std::map<int, VARIABLE> table;
    return table;
}
}  // namespace

const char* acf_get_variable_user_name(int id)
{
    auto it = variables().find(id);
    return it == variables().end() || !it->second.named ? nullptr : it->second.user_name.c_str();
}

bool acf_variable_includes_family(int id, DEV_FAMILY family)
{
    auto it = variables().find(id);
    return it != variables().end() && it->second.families.count(family) != 0;
}

void acf_set_variable_user_name(int id, const std::string& name)
{
    VARIABLE& variable = variables()[id];
    variable.user_name = name;
    variable.named = true;
}

void acf_set_variable_families(int id, const std::set<DEV_FAMILY>& families) { variables()[id].families = families; }

std::string acf_variable_type_to_string(int id)
{
    auto it = variables().find(id);
    return it == variables().end() ? std::string() : it->second.name;
}

void acf_set_variable_name(int id, const std::string& name) { variables()[id].name = name; }

void acf_set_variable_default_value(int id, const std::string& value) { variables()[id].default_value = value; }

std::string ACF_MANAGER::get_assignment_default_value(int id) const
{
    auto it = variables().find(id);
    return it == variables().end() ? std::string() : it->second.default_value;
}

namespace
{

struct ENUM_NAME
{
    std::string name;
    std::string user_name;
};

struct PROJECT_STATE
{
    ACF_MANAGER manager;
    bool write_locked = false;
    bool refuse_locks = false;
    std::map<uint16_t, ENUM_NAME> enum_names;
    std::map<std::tuple<int, int, uint16_t>, std::string> related_defaults;
};

PROJECT_STATE& project_state()
{
    static PROJECT_STATE state;
    return state;
}

std::string trimmed(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace

void acf_reset()
{
    variables().clear();
    project_state() = PROJECT_STATE();
}

ACF_MANAGER* ACF_MANAGER::get_acf_manager() { return &project_state().manager; }

std::vector<std::string> ACF_MANAGER::get_list_of_revisions_for_project(const std::string& project_path) const
{
    return project_path == m_project_path ? m_revisions : std::vector<std::string>();
}

std::vector<ACF_ASSIGNMENT> ACF_MANAGER::read_assignment_setting_file(const std::string& path,
                                                                       const std::set<std::string>* variables,
                                                                       bool) const
{
    std::vector<ACF_ASSIGNMENT> assignments;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
    {
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#')
            continue;
        std::istringstream words(text);
        int category = 0;
        std::string variable;
        if (!(words >> category) || !(words >> variable))
            continue;
        std::string value;
        std::getline(words, value);
        if (variables != nullptr && variables->count(variable) == 0)
            continue;
        assignments.emplace_back(category, variable, trimmed(value));
    }
    return assignments;
}

void ACF_MANAGER::set_project(const std::string& project_path, const std::vector<std::string>& revisions)
{
    m_project_path = project_path;
    m_revisions = revisions;
}

bool ACF_REVISION_MANAGER::write_lock(bool)
{
    PROJECT_STATE& state = project_state();
    if (state.refuse_locks || state.write_locked)
        return false;
    state.write_locked = true;
    return true;
}

void ACF_REVISION_MANAGER::write_unlock(bool) { project_state().write_locked = false; }

bool ACF_REVISION_MANAGER::is_write_locked() { return project_state().write_locked; }

void acf_set_lock_refusal(bool refuse) { project_state().refuse_locks = refuse; }

std::string acf_enum_type_to_string(uint16_t value)
{
    auto it = project_state().enum_names.find(value);
    return it == project_state().enum_names.end() ? std::to_string(value) : it->second.name;
}

std::string acf_enum_type_to_user_string(uint16_t value)
{
    auto it = project_state().enum_names.find(value);
    if (it == project_state().enum_names.end())
        return std::to_string(value);
    return it->second.user_name.empty() ? it->second.name : it->second.user_name;
}

uint16_t acf_string_to_enum_type_enum(const char* name)
{
    if (name == nullptr)
        return ACF_ENUM_VALUE_INVALID;
    for (const auto& entry : project_state().enum_names)
        if (entry.second.name == name)
            return entry.first;
    return ACF_ENUM_VALUE_INVALID;
}

const char* acf_relate_to_variable_type_enum(int id, int other_id, uint16_t other_value)
{
    auto it = project_state().related_defaults.find(std::make_tuple(id, other_id, other_value));
    return it == project_state().related_defaults.end() ? nullptr : it->second.c_str();
}

void acf_set_enum_name(uint16_t value, const std::string& name, const std::string& user_name)
{
    project_state().enum_names[value] = ENUM_NAME{name, user_name};
}

void acf_set_related_default(int id, int other_id, uint16_t other_value, const std::string& name)
{
    project_state().related_defaults[std::make_tuple(id, other_id, other_value)] = name;
}
