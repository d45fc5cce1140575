#include "asmdb.h"

#include <map>

namespace
{
std::map<std::string, ASMDB_ARCH_GROUP_BLOCK_TYPE>& block_types()
{
    static std::map<std::string, ASMDB_ARCH_GROUP_BLOCK_TYPE> table;
    return table;
}
}  // namespace

ASMDB_ARCH_GROUP_BLOCK_TYPE asmdb_get_asmdb_arch_group_block_type_by_string(const char* name)
{
    if (name == nullptr)
        return ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID;
    auto found = block_types().find(name);
    return found == block_types().end() ? ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID : found->second;
}

void asmdb_set_arch_group_block_type_name(ASMDB_ARCH_GROUP_BLOCK_TYPE type, const std::string& name)
{
    block_types()[name] = type;
}

void asmdb_clear_arch_group_block_types() { block_types().clear(); }
