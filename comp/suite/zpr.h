// Partial-reconfiguration project library of the suite (stand-in): the
// design hash that the flow recorded for a partition's settings namespace.
#pragma once

#include <string>

class HDB_NAMESPACE;

namespace ZPR
{

class UTILS
{
public:
    // The partition's design hash (text); "" when none was recorded.
    static std::string get_design_hash(const HDB_NAMESPACE* partition);

    // Population, for the host and the tests.
    static void set_design_hash(const HDB_NAMESPACE* partition, const std::string& hash);
    static void reset();
};

}  // namespace ZPR
