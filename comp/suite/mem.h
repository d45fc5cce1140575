// Memory library of the suite (stand-in): module memory tags and the
// process's memory totals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Tags the memory a module allocates while it lives.
class MEM_INITIALIZER
{
public:
    explicit MEM_INITIALIZER(const char* tag);
    ~MEM_INITIALIZER();
    MEM_INITIALIZER(const MEM_INITIALIZER&) = delete;
    MEM_INITIALIZER& operator=(const MEM_INITIALIZER&) = delete;

private:
    std::string m_tag;
};

// The tags of the live MEM_INITIALIZER objects, oldest first.
std::vector<std::string> mem_registered_tags();

class MEM_MANAGER
{
public:
    // Bytes the process uses now and at its peak (resident set size).
    static uint64_t current_total_memory();
    static uint64_t peak_total_memory();
};
