#include "acf.h"

#include <map>

namespace
{
struct VARIABLE
{
    std::string user_name;
    bool named = false;
    std::set<DEV_FAMILY> families;
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

void acf_reset() { variables().clear(); }

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

bool ACF_REVISION_MANAGER::write_lock()
{
    if (m_write_locked || m_readers > 0)
        return false;
    m_write_locked = true;
    return true;
}

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
    m_assignments.clear();
}

ACF_MANAGER* ACF_MANAGER::get_acf_manager()
{
    static ACF_MANAGER manager;
    return &manager;
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
