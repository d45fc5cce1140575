#include "dbcm.h"
#include "constra.h"

DBCM_REGIONS* DBCM_CHIP::get_regions(int kind) const
{
    for (const auto& regions : m_regions)
        if (regions.first == kind)
            return regions.second.get();
    return nullptr;
}

DBCM_REGIONS* DBCM_CHIP::add_regions(int kind)
{
    if (DBCM_REGIONS* existing = get_regions(kind))
        return existing;
    m_regions.emplace_back(kind, std::make_unique<DBCM_REGIONS>());
    return m_regions.back().second.get();
}

DBCM_DB_MANAGER* DBCM_DB_MANAGER::get_or_create_instance()
{
    static DBCM_DB_MANAGER manager;
    return &manager;
}

DBCM_CHIP* DBCM_DB_MANAGER::get_chip(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_chips.size())
        return nullptr;
    return m_chips[index].get();
}

DBCM_CHIP* DBCM_DB_MANAGER::add_chip()
{
    m_chips.push_back(std::make_unique<DBCM_CHIP>());
    return m_chips.back().get();
}

void DBCM_DB_MANAGER::reset() { m_chips.clear(); }

bool constra_check_bcm_chip(DBCM_CHIP* chip)
{
    if (chip == nullptr)
        return false;
    chip->note_constraint_check();
    return true;
}

void DBCM_SECTION_STORE::add_section(const std::string& name, int major, int minor, const std::string& bytes,
                                     bool replace)
{
    if (replace)
    {
        for (DBCM_SECTION& section : m_sections)
        {
            if (section.name == name)
            {
                section = DBCM_SECTION{name, major, minor, bytes};
                return;
            }
        }
    }
    m_sections.push_back(DBCM_SECTION{name, major, minor, bytes});
}

const DBCM_SECTION* DBCM_SECTION_STORE::find_section(const std::string& name) const
{
    const DBCM_SECTION* found = nullptr;
    for (const DBCM_SECTION& section : m_sections)
    {
        if (section.name == name)
            found = &section;
    }
    return found;
}

DBCM_SECTION_STORE* DBCM_CHIP::create_section_store()
{
    if (!m_sections)
        m_sections = std::make_unique<DBCM_SECTION_STORE>();
    return m_sections.get();
}
