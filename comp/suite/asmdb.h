// Assembler database library of the suite (stand-in): per-die assembler data.
#pragma once

// A block type of the assembler database's architecture groups.
enum ASMDB_ARCH_GROUP_BLOCK_TYPE : int
{
    ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID = -1,
};

#include <string>

// The block type that a name gives in the assembler database (exact,
// case-sensitive). A name that names no block type, and a null name, give
// ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID.
ASMDB_ARCH_GROUP_BLOCK_TYPE asmdb_get_asmdb_arch_group_block_type_by_string(const char* name);

// Population, for the host and the tests: the name of a block type (a name
// given again takes the new type), and the reset to no names.
void asmdb_set_arch_group_block_type_name(ASMDB_ARCH_GROUP_BLOCK_TYPE type, const std::string& name);
void asmdb_clear_arch_group_block_types();

#include <map>

// The assembler database's information on one block of a die: its version
// string and its ICD block name (either may be empty).
class ASMDB_BLOCK_INFO
{
public:
    ASMDB_BLOCK_INFO() = default;
    ASMDB_BLOCK_INFO(const std::string& version_string, const std::string& icd_block_name)
        : m_version_string(version_string), m_icd_block_name(icd_block_name)
    {
    }

    const std::string& get_version_string() const { return m_version_string; }
    const std::string& get_icd_block_name() const { return m_icd_block_name; }

private:
    std::string m_version_string;
    std::string m_icd_block_name;
};

// The assembler database of one die: its block-information table, ordered by
// block key, and the die's two identification strings.
class ASMDB_DIE
{
public:
    typedef std::map<int, ASMDB_BLOCK_INFO> BLOCK_INFO_MAP;

    const BLOCK_INFO_MAP& get_block_info_map() const { return m_block_infos; }
    const std::string& get_first_id_string() const { return m_first_id_string; }
    const std::string& get_second_id_string() const { return m_second_id_string; }

    // Population: a key given again takes the new block information.
    void set_block_info(int key, const ASMDB_BLOCK_INFO& info) { m_block_infos[key] = info; }
    void set_id_strings(const std::string& first, const std::string& second)
    {
        m_first_id_string = first;
        m_second_id_string = second;
    }

private:
    BLOCK_INFO_MAP m_block_infos;
    std::string m_first_id_string;
    std::string m_second_id_string;
};
