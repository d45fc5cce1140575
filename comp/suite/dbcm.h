// Chip bundle database library of the suite (stand-in): the chips of the
// bundle with their region sets and the attribute facts of their atoms.
#pragma once

#include <memory>
#include <string>
#include <vector>

// The regions of one kind of a chip (0 partial reconfiguration, 1 error
// detection).
class DBCM_REGIONS
{
public:
    void add_region(const std::string& name) { m_names.push_back(name); }
    size_t size() const { return m_names.size(); }
    const std::vector<std::string>& names() const { return m_names; }

private:
    std::vector<std::string> m_names;
};

// One attribute of an atom type as the chip carries it, and whether the
// port map covers it.
struct DBCM_ATOM_ATTRIBUTE
{
    std::string atom_type;
    std::string attribute;
    bool covered;
};

// One named binary section of a chip.
struct DBCM_SECTION
{
    std::string name;
    int major;
    int minor;
    std::string bytes;
};

// A chip's store of named binary sections, in the order they were added.
class DBCM_SECTION_STORE
{
public:
    // Adds a section; with replace true, a section of the same name is
    // replaced in place, otherwise a second one is appended.
    void add_section(const std::string& name, int major, int minor, const std::string& bytes, bool replace);
    const std::vector<DBCM_SECTION>& get_sections() const { return m_sections; }
    // The last section of that name; null when there is none.
    const DBCM_SECTION* find_section(const std::string& name) const;

private:
    std::vector<DBCM_SECTION> m_sections;
};

class DBCM_CHIP
{
public:
    DBCM_CHIP() = default;
    DBCM_CHIP(const DBCM_CHIP&) = delete;
    DBCM_CHIP& operator=(const DBCM_CHIP&) = delete;

    // The chip's regions of the kind; null when it has none of that kind.
    DBCM_REGIONS* get_regions(int kind) const;
    // The region set of the kind, created when absent.
    DBCM_REGIONS* add_regions(int kind);

    void add_atom_attribute(const std::string& atom_type, const std::string& attribute, bool covered)
    {
        m_atom_attributes.push_back(DBCM_ATOM_ATTRIBUTE{atom_type, attribute, covered});
    }
    const std::vector<DBCM_ATOM_ATTRIBUTE>& atom_attributes() const { return m_atom_attributes; }

    // The chip's section store; null until created.
    DBCM_SECTION_STORE* get_section_store() const { return m_sections.get(); }
    // Creates the store when absent and returns it.
    DBCM_SECTION_STORE* create_section_store();

    // How many constraint checks ran on the chip.
    int constraint_checks() const { return m_constraint_checks; }
    void note_constraint_check() { ++m_constraint_checks; }

private:
    std::vector<std::pair<int, std::unique_ptr<DBCM_REGIONS>>> m_regions;
    std::vector<DBCM_ATOM_ATTRIBUTE> m_atom_attributes;
    int m_constraint_checks = 0;
    std::unique_ptr<DBCM_SECTION_STORE> m_sections;
};

class DBCM_DB_MANAGER
{
public:
    // The process-wide manager, created on first use.
    static DBCM_DB_MANAGER* get_or_create_instance();

    // The chip of the index; null when the bundle has no such chip.
    DBCM_CHIP* get_chip(int index) const;
    // Adds a chip at the next index.
    DBCM_CHIP* add_chip();
    // Forgets every chip.
    void reset();

private:
    std::vector<std::unique_ptr<DBCM_CHIP>> m_chips;
};
