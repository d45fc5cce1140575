#include "acf.h"
#include "fio.h"

#include <cctype>
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
    ACF_MANAGER::get_acf_manager()->reset();
}

ACF_MANAGER* ACF_MANAGER::get_acf_manager()
{
    static ACF_MANAGER manager;
    return &manager;
}

void ACF_MANAGER::reset()
{
    m_revision_manager.reset();
    m_project_path.clear();
    m_revisions.clear();
}

std::vector<std::string> ACF_MANAGER::get_list_of_revisions_for_project(const std::string& project_path) const
{
    return project_path == m_project_path ? m_revisions : std::vector<std::string>();
}

std::vector<ACF_ASSIGNMENT> ACF_MANAGER::read_assignment_setting_file(const std::string& path,
                                                                       const std::set<std::string>* variables,
                                                                       bool) const
{
    std::vector<ACF_ASSIGNMENT> assignments;
    // A file that is missing or not a regular file holds no assignment.
    std::string text;
    if (!fio_read_regular_file(path, text))
        text.clear();
    std::istringstream in(text);
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

void acf_set_lock_refusal(bool refuse)
{
    ACF_REVISION_MANAGER* revision = ACF_MANAGER::get_acf_manager()->get_revision_manager();
    revision->set_read_lock_refused(refuse);
    revision->set_write_lock_refused(refuse);
}

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

// ---------------------------------------------------------------------------
// The current revision

bool ACF_REVISION_MANAGER::read_lock(bool /*wait*/)
{
    if (m_write_locked || m_read_lock_refused)
        return false;
    ++m_readers;
    return true;
}

void ACF_REVISION_MANAGER::read_unlock()
{
    if (m_readers > 0)
        --m_readers;
}

bool ACF_REVISION_MANAGER::write_lock(bool /*wait*/)
{
    if (m_write_locked || m_readers > 0 || m_write_lock_refused)
        return false;
    m_write_locked = true;
    return true;
}

void ACF_REVISION_MANAGER::write_unlock(bool /*flag*/) { m_write_locked = false; }

void ACF_REVISION_MANAGER::set_assignment(int id, bool value)
{
    ASSIGNMENT& assignment = m_assignments[id];
    assignment.is_flag = true;
    assignment.flag = value;
    assignment.text.clear();
}

void ACF_REVISION_MANAGER::set_assignment(int id, const std::string& value)
{
    ASSIGNMENT& assignment = m_assignments[id];
    assignment.is_flag = false;
    assignment.flag = false;
    assignment.text = value;
}

const bool* ACF_REVISION_MANAGER::find_flag(int id) const
{
    auto it = m_assignments.find(id);
    return it != m_assignments.end() && it->second.is_flag ? &it->second.flag : nullptr;
}

const std::string* ACF_REVISION_MANAGER::find_text(int id) const
{
    auto it = m_assignments.find(id);
    return it != m_assignments.end() && !it->second.is_flag ? &it->second.text : nullptr;
}

void ACF_REVISION_MANAGER::reset()
{
    m_readers = 0;
    m_write_locked = false;
    m_read_lock_refused = false;
    m_write_lock_refused = false;
    m_assignments.clear();
}

bool acf_get_value(ACF_MANAGER* manager, int id, bool default_value, const char* section, const char* entity,
                   const char* instance)
{
    if (manager == nullptr || section != nullptr || entity != nullptr || instance != nullptr)
        return default_value;
    const bool* flag = manager->get_revision_manager()->find_flag(id);
    return flag != nullptr ? *flag : default_value;
}

std::string acf_get_value(ACF_MANAGER* manager, int id, const std::string& default_value, const char* section,
                          const char* entity, const char* instance)
{
    if (manager == nullptr || section != nullptr || entity != nullptr || instance != nullptr)
        return default_value;
    const std::string* text = manager->get_revision_manager()->find_text(id);
    return text != nullptr ? *text : default_value;
}

void acf_reset_revision() { ACF_MANAGER::get_acf_manager()->get_revision_manager()->reset(); }
