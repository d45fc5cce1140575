#include "dev.h"

#include <map>

namespace
{

struct TRAITS
{
    std::map<int, std::set<int>> parts;
    std::map<int, std::set<int>> devices;
};

TRAITS& traits()
{
    static TRAITS table;
    return table;
}

bool has_trait(const std::map<int, std::set<int>>& table, int key, int trait)
{
    auto it = table.find(key);
    return it != table.end() && it->second.count(trait) != 0;
}

}  // namespace

bool DEV_PART_MANAGER::test_part_trait_of(DEV_PART part, int trait) const
{
    return has_trait(traits().parts, part, trait);
}

bool DEV_PART_MANAGER::test_device_trait_of(DEV_DEVICE_ENUM device, int trait) const
{
    return has_trait(traits().devices, device, trait);
}

void dev_set_part_traits(DEV_PART part, const std::set<int>& list) { traits().parts[part] = list; }

void dev_set_device_traits(DEV_DEVICE_ENUM device, const std::set<int>& list) { traits().devices[device] = list; }

void dev_reset_traits() { traits() = TRAITS(); }
