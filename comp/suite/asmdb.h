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
#include <memory>
#include <vector>

class ASMDB_ARCH_GROUP_BASE;

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

    ASMDB_DIE();
    ~ASMDB_DIE();
    ASMDB_DIE(const ASMDB_DIE&) = delete;
    ASMDB_DIE& operator=(const ASMDB_DIE&) = delete;

    // The die's architecture groups, in the order added; null for an index
    // out of range.
    int get_num_groups() const { return static_cast<int>(m_arch_groups.size()); }
    const ASMDB_ARCH_GROUP_BASE* get_arch_group(int index) const;
    // Population: appends a group (owned).
    void add_arch_group(std::unique_ptr<ASMDB_ARCH_GROUP_BASE> group);

private:
    std::vector<std::unique_ptr<ASMDB_ARCH_GROUP_BASE>> m_arch_groups;
    BLOCK_INFO_MAP m_block_infos;
    std::string m_first_id_string;
    std::string m_second_id_string;
};

// The assembler database's per-die "dirt" object; the assembler only hands
// it on.
class ASMDB_DIRT
{
};

#include <cstdint>

// A type of architecture group. Types are numbers with names (population
// below); 0 is no type.
enum ASMDB_ARCH_GROUP_TYPE : int
{
    ASMDB_ARCH_GROUP_TYPE_NONE = 0,
};

// Whether a name names a block type or a group type (exact, case-sensitive;
// a null name names none).
bool asmdb_exists_asmdb_arch_group_block_type_by_string(const char* name);
bool asmdb_exists_asmdb_arch_group_type_by_string(const char* name);
// The group type of a name that exists; ASMDB_ARCH_GROUP_TYPE_NONE otherwise.
ASMDB_ARCH_GROUP_TYPE asmdb_get_asmdb_arch_group_type_by_string(const char* name);
// A printable name of a type: its name ("BLOCK_NO_TYPE" for block type 0
// without one), else "<BLOCK_TYPE n>" or "<ARCH_GROUP_TYPE n>".
const char* asmdb_get_debug_string(ASMDB_ARCH_GROUP_BLOCK_TYPE type);
const char* asmdb_get_debug_string(ASMDB_ARCH_GROUP_TYPE type);
// Population of the group type names (a name given again takes the new
// type); asmdb_clear_arch_group_block_types forgets them too.
void asmdb_set_arch_group_type_name(ASMDB_ARCH_GROUP_TYPE type, const std::string& name);

// One configuration bit as a group gives it: an address with its
// address-space tag, and a value.
struct ASMDB_SETTING
{
    uint32_t address;
    uint8_t value;
};

// What a group's setting operation appends to.
class ASMDB_SETTING_STREAMS
{
public:
    std::vector<ASMDB_SETTING> m_settings;
};

// An architecture group of a die: a type, an index, a block type, and the
// operations that turn a selection into configuration bits.
class ASMDB_ARCH_GROUP_BASE
{
public:
    ASMDB_ARCH_GROUP_BASE(int index, ASMDB_ARCH_GROUP_TYPE type, ASMDB_ARCH_GROUP_BLOCK_TYPE block_type)
        : m_index(index), m_type(type), m_block_type(block_type)
    {
    }
    virtual ~ASMDB_ARCH_GROUP_BASE() = default;

    // The bits of one element (the select index) for the argument, each
    // taking the RAM select value where the argument selects it.
    virtual void get_ram_select_settings(int select, uint32_t arg, bool ram_value,
                                         ASMDB_SETTING_STREAMS& streams) const = 0;
    // The bits of one element for the argument.
    virtual void get_select_settings(int select, uint32_t arg, ASMDB_SETTING_STREAMS& streams) const = 0;
    // The bits of every element for a named argument.
    virtual void get_all_elements_settings(const std::string& arg_string, ASMDB_SETTING_STREAMS& streams) const = 0;
    // The bits of every element for the argument.
    virtual void get_all_elements_settings(uint32_t arg, ASMDB_SETTING_STREAMS& streams) const = 0;
    // Whether the group has the element and accepts the argument for it.
    virtual bool accepts(int select, uint32_t arg, ASMDB_SETTING_STREAMS& streams) const = 0;
    // The number of elements.
    virtual int32_t get_group_size() const = 0;
    // The block type of the group's BCM block.
    virtual ASMDB_ARCH_GROUP_BLOCK_TYPE get_bcm_block_type() const = 0;

    int m_index;
    ASMDB_ARCH_GROUP_TYPE m_type;
    ASMDB_ARCH_GROUP_BLOCK_TYPE m_block_type;
};

// A group of equal elements laid out one after another: element e of a
// group of width w owns the w addresses from base + e * w (the base carries
// the address-space tag). Bit k of an argument is the value of the
// element's k-th bit; an argument wider than the element is refused.
class ASMDB_TABLE_ARCH_GROUP : public ASMDB_ARCH_GROUP_BASE
{
public:
    ASMDB_TABLE_ARCH_GROUP(int index, ASMDB_ARCH_GROUP_TYPE type, ASMDB_ARCH_GROUP_BLOCK_TYPE block_type,
                           ASMDB_ARCH_GROUP_BLOCK_TYPE bcm_block_type, int32_t size, int32_t width, uint32_t base)
        : ASMDB_ARCH_GROUP_BASE(index, type, block_type),
          m_bcm_block_type(bcm_block_type),
          m_size(size),
          m_width(width),
          m_base(base)
    {
    }

    // Population: a named argument for the all-elements setting by string.
    void set_named_argument(const std::string& name, uint32_t arg) { m_named_arguments[name] = arg; }

    // RAM select: only the bits that the argument selects, each set to the
    // RAM select value.
    void get_ram_select_settings(int select, uint32_t arg, bool ram_value,
                                 ASMDB_SETTING_STREAMS& streams) const override;
    void get_select_settings(int select, uint32_t arg, ASMDB_SETTING_STREAMS& streams) const override;
    // An unknown name gives no bits.
    void get_all_elements_settings(const std::string& arg_string, ASMDB_SETTING_STREAMS& streams) const override;
    void get_all_elements_settings(uint32_t arg, ASMDB_SETTING_STREAMS& streams) const override;
    bool accepts(int select, uint32_t arg, ASMDB_SETTING_STREAMS& streams) const override;
    int32_t get_group_size() const override { return m_size; }
    ASMDB_ARCH_GROUP_BLOCK_TYPE get_bcm_block_type() const override { return m_bcm_block_type; }

private:
    ASMDB_ARCH_GROUP_BLOCK_TYPE m_bcm_block_type;
    int32_t m_size;
    int32_t m_width;
    uint32_t m_base;
    std::map<std::string, uint32_t> m_named_arguments;
};
