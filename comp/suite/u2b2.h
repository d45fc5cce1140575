// Port map library of the suite (stand-in): the attribute coverage check.
#pragma once

#include "dbcm.h"
#include "zsym.h"

#include <vector>

// Checks that the port map covers every attribute that the chip's atoms of
// the given types carry, and posts a warning for each one it does not.
class U2B2_ATTRIBUTE_COVERAGE_CHECK_OP
{
public:
    explicit U2B2_ATTRIBUTE_COVERAGE_CHECK_OP(DBCM_CHIP* chip) : m_chip(chip) {}
    U2B2_ATTRIBUTE_COVERAGE_CHECK_OP(const U2B2_ATTRIBUTE_COVERAGE_CHECK_OP&) = delete;
    U2B2_ATTRIBUTE_COVERAGE_CHECK_OP& operator=(const U2B2_ATTRIBUTE_COVERAGE_CHECK_OP&) = delete;

    // Collects the uncovered attributes of the listed atom types; true when
    // there is none. False for a null chip or list.
    bool work(const std::vector<ZSYM>* atom_types);
    // Posts one warning per uncovered attribute that work found.
    void post();

    const std::vector<DBCM_ATOM_ATTRIBUTE>& findings() const { return m_findings; }

private:
    DBCM_CHIP* m_chip;
    std::vector<DBCM_ATOM_ATTRIBUTE> m_findings;
};
