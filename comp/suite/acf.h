// Assignment library of the suite (stand-in): what the suite knows of each
// project setting (variable) by its numeric id: its user name and the
// families it applies to; the project's revisions with their settings
// files, the revision write lock, and the names of enumeration values.
#pragma once

#include "dev.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The setting's user name; null for an id the library does not know.
const char* acf_get_variable_user_name(int id);
// Whether the setting applies to the family; false for an unknown id.
bool acf_variable_includes_family(int id, DEV_FAMILY family);

// Population, for the host and the tests: a name or family list given again
// replaces the earlier one.
void acf_set_variable_user_name(int id, const std::string& name);
void acf_set_variable_families(int id, const std::set<DEV_FAMILY>& families);
void acf_reset();

// The setting's variable name (as written in a settings file, such as
// "PWRMGT_SLAVE_DEVICE_TYPE"); "" for an id the library does not name.
std::string acf_variable_type_to_string(int id);
// Population: the variable name and the value of the setting in the
// default-settings file (ACF_MANAGER::get_assignment_default_value).
void acf_set_variable_name(int id, const std::string& name);
void acf_set_variable_default_value(int id, const std::string& value);

// Project assignments, revisions and enumeration names.
//
// A revision's settings file (<project>/<revision>.zsf) holds one assignment
// a line: its file category (a number), its variable name and, after one or
// more blanks, its value (the rest of the line, blanks at both ends cut).
// Blank lines and lines starting with # are skipped; a line without a
// numeric category and a variable name is not an assignment.

class ACF_ASSIGNMENT
{
public:
    ACF_ASSIGNMENT(int file_category, std::string variable, std::string value)
        : m_file_category(file_category), m_variable(std::move(variable)), m_value(std::move(value))
    {
    }
    int get_file_category() const { return m_file_category; }
    const std::string& get_variable_string() const { return m_variable; }
    const std::string& get_value() const { return m_value; }

private:
    int m_file_category;
    std::string m_variable;
    std::string m_value;
};

// The lock of the current revision and its assignments by numeric option
// id: any number of readers, or one writer.
class ACF_REVISION_MANAGER
{
public:
    bool is_read_locked() const { return m_readers > 0; }
    bool is_write_locked() const { return m_write_locked; }
    // Takes a read lock (the flag asks to wait for it; nothing here ever
    // waits). False, lock not taken, when the revision is write-locked or
    // read locks are refused.
    bool read_lock(bool wait);
    // Releases one read lock; one that is not held is ignored.
    void read_unlock();
    // Takes the write lock (the flag asks to wait; nothing here waits):
    // false when it is held, read locks are held or write locks are refused.
    bool write_lock(bool wait = true);
    // Releases the write lock (the flag is the library's; nothing changes
    // when the lock is not held).
    void write_unlock(bool flag = true);

    // Test switches: every later read_lock / write_lock is refused.
    void set_read_lock_refused(bool refused) { m_read_lock_refused = refused; }
    void set_write_lock_refused(bool refused) { m_write_lock_refused = refused; }
    int read_lock_count() const { return m_readers; }

    // The current revision's assignments (a second value of an id replaces
    // the first).
    void set_assignment(int id, bool value);
    void set_assignment(int id, const std::string& value);
    void set_assignment(int id, const char* value) { set_assignment(id, std::string(value ? value : "")); }
    // The assignment of the id as a flag or a text; null when the revision
    // has none of that kind.
    const bool* find_flag(int id) const;
    const std::string* find_text(int id) const;

    void reset();

private:
    struct ASSIGNMENT
    {
        bool is_flag = false;
        bool flag = false;
        std::string text;
    };
    int m_readers = 0;
    bool m_write_locked = false;
    bool m_read_lock_refused = false;
    bool m_write_lock_refused = false;
    std::map<int, ASSIGNMENT> m_assignments;
};

class ACF_MANAGER
{
public:
    // The manager of the open project; one for the process.
    static ACF_MANAGER* get_acf_manager();
    ACF_REVISION_MANAGER* get_revision_manager() { return &m_revision_manager; }

    // The project's directory ("" until set).
    const std::string& get_project_full_path() const { return m_project_path; }
    // The revisions of the project at the path, in order; none for a path
    // that is not the project's.
    std::vector<std::string> get_list_of_revisions_for_project(const std::string& project_path) const;
    // The assignments of a settings file, in file order; with a filter, only
    // those whose variable it lists. The flag is the library's; the
    // stand-in reads alike either way. A file that cannot be read gives none.
    std::vector<ACF_ASSIGNMENT> read_assignment_setting_file(const std::string& path,
                                                              const std::set<std::string>* variables,
                                                              bool flag) const;

    // The setting's value in the default-settings file; "" when it has none.
    std::string get_assignment_default_value(int id) const;

    // Population.
    void set_project(const std::string& project_path, const std::vector<std::string>& revisions);
    // Forgets the project, its revisions and the revision state.
    void reset();

private:
    ACF_REVISION_MANAGER m_revision_manager;
    std::string m_project_path;
    std::vector<std::string> m_revisions;
};

// Makes every later lock request, read or write, fail (true) or succeed
// again (false).
void acf_set_lock_refusal(bool refuse);

// The name of an enumeration value (such as "AS_FREQ_100MHZ"); its decimal
// text when the library holds no name for it.
std::string acf_enum_type_to_string(uint16_t value);
// The name the user sees; the name when there is none, else the decimal text.
std::string acf_enum_type_to_user_string(uint16_t value);
// The value of an enumeration name; ACF_ENUM_VALUE_INVALID for a name the
// library does not know (or a null name).
constexpr uint16_t ACF_ENUM_VALUE_INVALID = 0xFFFF;
uint16_t acf_string_to_enum_type_enum(const char* name);
// The name of the default that the library relates to setting `id` when
// setting `other_id` has the value `other_value`; null when it relates none.
const char* acf_relate_to_variable_type_enum(int id, int other_id, uint16_t other_value);

// Population: a name given again replaces the earlier one.
void acf_set_enum_name(uint16_t value, const std::string& name, const std::string& user_name = "");
void acf_set_related_default(int id, int other_id, uint16_t other_value, const std::string& name);

// The current revision's assignment of the option id, or the default when
// it has none of that kind (a text assignment is no flag). The three texts
// narrow the lookup to a section, an entity and an instance; null asks for
// the project-wide assignment, the only kind the stand-in keeps (a non-null
// text finds nothing).
bool acf_get_value(ACF_MANAGER* manager, int id, bool default_value, const char* section, const char* entity,
                   const char* instance);
std::string acf_get_value(ACF_MANAGER* manager, int id, const std::string& default_value, const char* section,
                          const char* entity, const char* instance);
// A literal default is a text default (it would otherwise convert to bool).
inline std::string acf_get_value(ACF_MANAGER* manager, int id, const char* default_value, const char* section,
                                 const char* entity, const char* instance)
{
    return acf_get_value(manager, id, std::string(default_value ? default_value : ""), section, entity, instance);
}

// Forgets the assignments and drops every lock and switch.
void acf_reset_revision();

// A project setting's (variable's) numeric id, numbered as the suite's
// assignment library numbers them; generated options are told apart by it.
enum ACF_VARIABLE_TYPE_ENUM : int
{
};
