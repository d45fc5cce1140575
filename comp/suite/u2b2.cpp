#include "u2b2.h"

#include "msg.h"

bool U2B2_ATTRIBUTE_COVERAGE_CHECK_OP::work(const std::vector<ZSYM>* atom_types)
{
    m_findings.clear();
    if (m_chip == nullptr || atom_types == nullptr)
        return false;
    for (const DBCM_ATOM_ATTRIBUTE& attribute : m_chip->atom_attributes())
    {
        if (attribute.covered)
            continue;
        for (const ZSYM& type : *atom_types)
            if (attribute.atom_type == type.cname())
                m_findings.push_back(attribute);
    }
    return m_findings.empty();
}

void U2B2_ATTRIBUTE_COVERAGE_CHECK_OP::post()
{
    for (const DBCM_ATOM_ATTRIBUTE& finding : m_findings)
    {
        MSG_W warning;
        warning.fill_args("Attribute %1!s! of atom type %2!s! is not covered by the port map/WU2B2_ATTRIBUTE_NOT_COVERED",
                          finding.attribute.c_str(), finding.atom_type.c_str());
        warning.post();
    }
}
