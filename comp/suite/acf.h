// Assignment library of the suite (stand-in): what the suite knows of each
// project setting (variable) by its numeric id: its user name and the
// families it applies to.
#pragma once

#include "dev.h"

#include <map>
#include <set>
#include <string>

// The setting's user name; null for an id the library does not know.
const char* acf_get_variable_user_name(int id);
// Whether the setting applies to the family; false for an unknown id.
bool acf_variable_includes_family(int id, DEV_FAMILY family);

// Population, for the host and the tests: a name or family list given again
// replaces the earlier one.
void acf_set_variable_user_name(int id, const std::string& name);
void acf_set_variable_families(int id, const std::set<DEV_FAMILY>& families);
void acf_reset();

// ---------------------------------------------------------------------------
// The current revision: its assignments by numeric option id and its lock.

// The lock of the current revision: any number of readers, or one writer.
class ACF_REVISION_MANAGER
{
public:
    bool is_read_locked() const { return m_readers > 0; }
    bool is_write_locked() const { return m_write_locked; }
    // Takes a read lock (the flag asks to wait for it; nothing here ever
    // waits). False, lock not taken, when the revision is write-locked or
    // the refusal switch is on.
    bool read_lock(bool wait);
    // Releases one read lock; one that is not held is ignored.
    void read_unlock();
    // Takes the write lock: false when it is held or read locks are.
    bool write_lock();
    void write_unlock() { m_write_locked = false; }

    // Test switch: every later read_lock is refused.
    void set_read_lock_refused(bool refused) { m_read_lock_refused = refused; }
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
    std::map<int, ASSIGNMENT> m_assignments;
};

class ACF_MANAGER
{
public:
    // The manager of the open project; one for the process.
    static ACF_MANAGER* get_acf_manager();
    ACF_REVISION_MANAGER* get_revision_manager() { return &m_revision_manager; }

private:
    ACF_REVISION_MANAGER m_revision_manager;
};

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
