// Hierarchy database library of the suite (stand-in): the compile instance
// namespace, its project settings by numeric option id, its settings
// sections, and the hierarchy chip.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The kind of a setting, the first template argument of HDB_DERIVED_OPTION.
enum HDB_OPTION_KIND : int
{
    HDB_OPTION_KIND_BOOLEAN = 1,
    HDB_OPTION_KIND_STRING = 2,
    HDB_OPTION_KIND_INTEGER = 4,
    HDB_OPTION_KIND_ENUM = 6,
};

class HDB_OPTION_INTERFACE;

// One setting: its kind and its value.
class HDB_OPTION
{
public:
    virtual ~HDB_OPTION() = default;
    HDB_OPTION(const HDB_OPTION&) = delete;
    HDB_OPTION& operator=(const HDB_OPTION&) = delete;

    int get_kind() const { return m_kind; }
    bool get_bool_value() const { return m_bool; }
    int get_int_value() const { return m_int; }
    uint16_t get_enum_value() const { return static_cast<uint16_t>(m_int); }
    const std::string& get_string_value() const { return m_text; }
    // The value as text, whatever the kind: "true"/"false", a decimal number
    // or the string itself.
    std::string get_value_str() const;

    // The entries of a multi-valued setting of the holder, in the order
    // they were added; empty when it has none. The processing flags and the
    // inheritance flag change nothing in the stand-in.
    static std::vector<const HDB_OPTION*> get_multi_options(const HDB_OPTION_INTERFACE* holder, int id,
                                                            int processing_flags, bool inherit);

protected:
    HDB_OPTION(int kind, bool b, int i, std::string text) : m_kind(kind), m_bool(b), m_int(i), m_text(std::move(text)) {}

private:
    int m_kind;
    bool m_bool;
    int m_int;
    std::string m_text;
};

template <int KIND>
struct HDB_OPTION_VALUE;
template <>
struct HDB_OPTION_VALUE<HDB_OPTION_KIND_BOOLEAN>
{
    typedef bool type;
};
template <>
struct HDB_OPTION_VALUE<HDB_OPTION_KIND_STRING>
{
    typedef std::string type;
};
template <>
struct HDB_OPTION_VALUE<HDB_OPTION_KIND_INTEGER>
{
    typedef int type;
};
template <>
struct HDB_OPTION_VALUE<HDB_OPTION_KIND_ENUM>
{
    typedef uint16_t type;
};

class HDB_OPTION_INTERFACE;

// A setting seen as one kind. Settings are stored with the scope 0; a lookup
// of another kind or scope finds nothing.
template <int KIND, int SCOPE>
class HDB_DERIVED_OPTION : public HDB_OPTION
{
public:
    typedef typename HDB_OPTION_VALUE<KIND>::type value_type;

    HDB_DERIVED_OPTION(bool b, int i, std::string text) : HDB_OPTION(KIND, b, i, std::move(text)) {}

    // The setting of the id held by the holder itself, or null when it holds
    // none of this kind. The flag is the library's inheritance flag; the
    // stand-in's holders have no inherited settings, so it changes nothing.
    static const HDB_DERIVED_OPTION* get_single_option(const HDB_OPTION_INTERFACE* holder, int id, bool inherit);

    value_type get_value() const
    {
        if constexpr (KIND == HDB_OPTION_KIND_BOOLEAN)
            return get_bool_value();
        else if constexpr (KIND == HDB_OPTION_KIND_STRING)
            return get_string_value();
        else if constexpr (KIND == HDB_OPTION_KIND_INTEGER)
            return get_int_value();
        else
            return get_enum_value();
    }
};

class HDB_SECTION;

// A holder of settings by numeric option id, with named settings sections
// (the global settings section is the one of type 21 with an empty name).
class HDB_OPTION_INTERFACE
{
public:
    HDB_OPTION_INTERFACE();
    virtual ~HDB_OPTION_INTERFACE();
    HDB_OPTION_INTERFACE(const HDB_OPTION_INTERFACE&) = delete;
    HDB_OPTION_INTERFACE& operator=(const HDB_OPTION_INTERFACE&) = delete;

    // Population: a setting replaces any earlier setting of the id.
    void set_bool_option(int id, bool value);
    void set_string_option(int id, const std::string& value);
    void set_int_option(int id, int value);
    void set_enum_option(int id, uint16_t value);
    void remove_option(int id);

    // The holder's own setting of the id; null when there is none.
    const HDB_OPTION* find_option(int id) const;

    HDB_SECTION* find_section(int type, const std::string& name) const;
    // The section of that type and name, created when absent.
    HDB_SECTION* add_section(int type, const std::string& name);

    // Population of a multi-valued setting: appends one entry (a string).
    void add_multi_option(int id, const std::string& value);
    // The entries of the id, in order; null when there are none.
    const std::vector<std::unique_ptr<HDB_OPTION>>* find_multi_options(int id) const;

private:
    std::map<int, std::vector<std::unique_ptr<HDB_OPTION>>> m_multi_options;
    std::map<int, std::unique_ptr<HDB_OPTION>> m_options;
    std::vector<std::unique_ptr<HDB_SECTION>> m_sections;
};

class HDB_SECTION : public HDB_OPTION_INTERFACE
{
public:
    HDB_SECTION(int type, std::string name) : m_type(type), m_name(std::move(name)) {}
    int get_type() const { return m_type; }
    const std::string& get_name() const { return m_name; }

private:
    int m_type;
    std::string m_name;
};

class HDB_CHIP;

// A compile instance namespace (also the settings of a design partition).
class HDB_NAMESPACE : public HDB_OPTION_INTERFACE
{
public:
    // The namespace's hierarchy chip (not owned); null when none was set.
    HDB_CHIP* get_chip() const { return m_chip; }
    void set_chip(HDB_CHIP* chip) { m_chip = chip; }
    // The namespace's name (the compile instance's name; "" until set).
    const std::string& get_name_string() const { return m_name; }
    void set_name_string(const std::string& name) { m_name = name; }

    // Generated options: the settings that IP cores leave in the design, by
    // ACF variable type, several of a type allowed, kept in the order added
    // (a null option is ignored).
    void add_generated_option(int type, std::unique_ptr<HDB_OPTION> option);
    // The namespace's generated options of the type, in order, replace the
    // list's content. The flag is the library's inheritance flag; the
    // stand-in's namespaces inherit nothing, so it changes nothing.
    void get_all_generated_options(int type, std::vector<const HDB_OPTION*>& list, bool inherit) const;

private:
    HDB_CHIP* m_chip = nullptr;
    std::string m_name;
    std::vector<std::pair<int, std::unique_ptr<HDB_OPTION>>> m_generated_options;
};

// An instance of the design hierarchy with its instance-level settings.
class HDB_INSTANCE_NAME : public HDB_OPTION_INTERFACE
{
public:
    explicit HDB_INSTANCE_NAME(std::string hpath) : m_hpath(std::move(hpath)) {}
    // The instance's hierarchical path from the root ("|top|u_pr").
    const std::string& get_hpath_to_root() const { return m_hpath; }
    // The path without its top level ("u_pr"; a lone level stays whole),
    // with or without the leading "|".
    std::string get_short_hpath() const
    {
        const std::string path = !m_hpath.empty() && m_hpath[0] == '|' ? m_hpath.substr(1) : m_hpath;
        const size_t bar = path.find('|');
        return bar == std::string::npos ? path : path.substr(bar + 1);
    }

private:
    std::string m_hpath;
};

template <int KIND, int SCOPE>
const HDB_DERIVED_OPTION<KIND, SCOPE>* HDB_DERIVED_OPTION<KIND, SCOPE>::get_single_option(
    const HDB_OPTION_INTERFACE* holder, int id, bool)
{
    if (holder == nullptr || SCOPE != 0)
        return nullptr;
    const HDB_OPTION* option = holder->find_option(id);
    if (option == nullptr || option->get_kind() != KIND)
        return nullptr;
    // Settings of a kind are stored as HDB_DERIVED_OPTION<kind, 0>.
    return static_cast<const HDB_DERIVED_OPTION*>(option);
}

// The chip of the design hierarchy.
class HDB_CHIP
{
public:
    explicit HDB_CHIP(std::string name) : m_name(std::move(name)) {}
    const std::string& get_name() const { return m_name; }

private:
    std::string m_name;
};

// The hierarchy's name manager: knows the current compile instance.
class HDB_NAME_MGR
{
public:
    // Null when none was set.
    HDB_NAMESPACE* get_current_cap_inst() const { return m_current_cap_inst; }
    void set_current_cap_inst(HDB_NAMESPACE* cap_inst) { m_current_cap_inst = cap_inst; }

private:
    HDB_NAMESPACE* m_current_cap_inst = nullptr;
};

// The process's current name manager; null until one is set (not owned).
HDB_NAME_MGR* hdb_get_current_name_mgr();
void hdb_set_current_name_mgr(HDB_NAME_MGR* manager);
