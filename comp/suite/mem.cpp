#include "mem.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace
{

std::vector<std::string>& tags()
{
    static std::vector<std::string> live;
    return live;
}

// A "Name:  N kB" line of /proc/self/status, in bytes (0 when absent).
uint64_t proc_status_bytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
    {
        if (line.compare(0, prefix.size(), prefix) == 0)
        {
            std::istringstream value(line.substr(prefix.size()));
            uint64_t kilobytes = 0;
            value >> kilobytes;
            return kilobytes * 1024;
        }
    }
    return 0;
}

}  // namespace

MEM_INITIALIZER::MEM_INITIALIZER(const char* tag) : m_tag(tag ? tag : "") { tags().push_back(m_tag); }

MEM_INITIALIZER::~MEM_INITIALIZER()
{
    auto it = std::find(tags().begin(), tags().end(), m_tag);
    if (it != tags().end())
        tags().erase(it);
}

std::vector<std::string> mem_registered_tags() { return tags(); }

uint64_t MEM_MANAGER::current_total_memory() { return proc_status_bytes("VmRSS"); }

uint64_t MEM_MANAGER::peak_total_memory() { return proc_status_bytes("VmHWM"); }
