// Partial-reconfiguration project library of the suite (stand-in): the
// design hash that the flow recorded for a partition's settings namespace.
#pragma once

#include <cstdint>
#include <string>

class HDB_NAMESPACE;

namespace ZPR
{

class UTILS
{
public:
    // The partition's design hash (text); "" when none was recorded.
    static std::string get_design_hash(const HDB_NAMESPACE* partition);

    // The partition's partial-reconfiguration POF index (0 when none was
    // recorded) and its POF value data (bytes; "" when none). The flag asks
    // for the data as the programming files store it.
    static uint32_t get_pr_pof_index(const HDB_NAMESPACE* partition);
    static std::string get_pr_pof_value_data(const HDB_NAMESPACE* partition, bool for_programming_files);

    // Population, for the host and the tests.
    static void set_design_hash(const HDB_NAMESPACE* partition, const std::string& hash);
    static void set_pr_pof_index(const HDB_NAMESPACE* partition, uint32_t index);
    static void set_pr_pof_value_data(const HDB_NAMESPACE* partition, const std::string& data);
    static void reset();
};

}  // namespace ZPR
