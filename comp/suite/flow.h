// Compiler flow library of the suite (stand-in): the design hash that the
// flow keeps for a compile instance.
#pragma once

#include <cstdint>
#include <utility>

class HDB_NAMESPACE;

// The flow's design hash of the compile instance as two 64-bit halves
// (first, second); (0, 0) when none was set.
std::pair<uint64_t, uint64_t> flow_get_design_hash(const HDB_NAMESPACE* cap_inst);

// Population, for the host and the tests.
void flow_set_design_hash(const HDB_NAMESPACE* cap_inst, uint64_t first, uint64_t second);
void flow_reset();
