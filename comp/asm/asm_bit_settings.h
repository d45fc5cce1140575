// Bit settings of the assembler options file: the bit_settings elements of
// the collecting element force, compare or read configuration bits of a
// bitstream. Cells are made by raw 1-d and 2-d addresses, base addresses,
// tokens of token files, address packages and architecture groups of the
// device's assembler database; the forced cells are handed to the bitstream
// wrapper, the read and compared ones are listed in debug files.
//
// The sources are split by concern: asm_options_bits.cpp (the context, the
// walk over the bit_settings elements, evaluation and debug output),
// asm_options_address.cpp (address forms, packages and the section walk),
// asm_options_tokens.cpp (token files and token elements) and
// asm_options_archgroups.cpp (architecture groups). Their internal errors all
// carry the source tag "comp/asm/asm_options".
#pragma once

#include <asm_bitfield.h>
#include <asmdb.h>

#include <xercesc/util/XercesDefs.hpp>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class DEV_DEVICE;
class CDB_CHIP_DB_ENTRY;
class FIO_PATH;
class ASM_CELL_RECORDS;

// The source tag of every internal error of the options file.
#define ASM_OPTIONS_SOURCE_TAG "comp/asm/asm_options"

// Address-space tags (the top five bits of a cell's address).
const uint32_t ASM_CRAM_TAG = 0x00000000u;
const uint32_t ASM_CFF_TAG = 0xA0000000u;
const uint32_t ASM_UNVM_TAG = 0x90000000u;
const uint32_t ASM_OPTION_REG_TAG = 0x88000000u;
// Bits 31 and 30 together: no readable bit.
const uint32_t ASM_NO_BIT_TAG = 0xC0000000u;
// A tagged space holds bit indexes below 2^27.
const uint32_t ASM_TAGGED_INDEX_LIMIT = 1u << 27;

// One bit to force, compare or read. Override: the value to force; read:
// the bit found; compare: the requested value XOR the bit found.
struct ASM_FORCED_BIT
{
    uint32_t address;
    uint8_t value;
    int32_t sequence;
};

// A list of cells, each kept as its bit setting (address and value, the form
// the bitstream wrapper takes) with its sequence number beside it, so that
// the forced cells of a walk go to the caller's settings as they stand.
class ASM_FORCED_BIT_LIST
{
public:
    size_t size() const { return m_sequences.size(); }
    bool empty() const { return m_sequences.empty(); }
    ASM_FORCED_BIT operator[](size_t index) const
    {
        const DB_BIT_SETTING& setting = m_settings[index];
        return ASM_FORCED_BIT{setting.address, setting.value, m_sequences[index]};
    }
    void set_value(size_t index, uint8_t value) { m_settings[index].value = value; }
    void push_back(const ASM_FORCED_BIT& cell)
    {
        m_settings.push_back(DB_BIT_SETTING{cell.address, cell.value});
        m_sequences.push_back(cell.sequence);
    }
    // Makes room for at least the given number of further cells, growing
    // the storage at least twofold when it grows.
    void reserve_more(size_t more)
    {
        grow(m_settings, m_settings.size() + more);
        grow(m_sequences, m_sequences.size() + more);
    }
    void clear()
    {
        m_settings.clear();
        m_sequences.clear();
    }
    // Appends the cells' settings to the list and empties this one (without
    // a copy when the list is empty).
    void move_settings_to(std::vector<DB_BIT_SETTING>& settings)
    {
        if (settings.empty())
            settings.swap(m_settings);
        else
            settings.insert(settings.end(), m_settings.begin(), m_settings.end());
        clear();
    }

    class const_iterator
    {
    public:
        const_iterator(const ASM_FORCED_BIT_LIST* list, size_t index) : m_list(list), m_index(index) {}
        ASM_FORCED_BIT operator*() const { return (*m_list)[m_index]; }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }

    private:
        const ASM_FORCED_BIT_LIST* m_list;
        size_t m_index;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

private:
    template <typename T>
    static void grow(std::vector<T>& list, size_t wanted)
    {
        if (wanted > list.capacity())
            list.reserve(std::max(wanted, 2 * list.capacity()));
    }

    std::vector<DB_BIT_SETTING> m_settings;
    std::vector<int32_t> m_sequences;
};

// Sequence number -> description of the cell that took it.
typedef std::map<int32_t, std::string> ASM_DESCRIPTION_TABLE;

// A token: a 1-d range (row_begin/row_end are the address range, the
// columns -1) or a 2-d rectangle of the CRAM.
struct ASM_TOKEN
{
    int32_t row_begin;
    int32_t row_end;
    int32_t column_begin;
    int32_t column_end;
};
typedef std::map<std::string, std::shared_ptr<ASM_TOKEN>> ASM_TOKEN_TABLE;
typedef std::map<std::string, std::vector<std::shared_ptr<ASM_TOKEN>>> ASM_TOKEN_ARRAY_TABLE;

// Package name -> its cells (made at declaration, base 0).
typedef std::map<std::string, ASM_FORCED_BIT_LIST> ASM_PACKAGE_TABLE;

typedef std::vector<xercesc::DOMElement*> ASM_ELEMENT_LIST;

// Sorts the direct child elements of an element by name into the lists, in
// one walk: list i receives, in document order, the children named names[i]
// (appended; the lists are not emptied first).
void collect_child_elements(const xercesc::DOMElement* element, const std::vector<const char*>& names,
                            const std::vector<ASM_ELEMENT_LIST*>& lists);

// A cell element (address_1d, address_2d, token_1d, token_2d): a DOM element
// or the record the loader kept in its place (asm_options.h).
class ASM_CELL_ELEMENT
{
public:
    explicit ASM_CELL_ELEMENT(const xercesc::DOMElement* element) : m_element(element), m_records(NULL), m_record(0)
    {
    }
    ASM_CELL_ELEMENT(const ASM_CELL_RECORDS* records, size_t record)
        : m_element(NULL), m_records(records), m_record(record)
    {
    }

    // The value of an attribute: its schema default or "" when the element
    // does not carry it (as get_attribute_string).
    std::string attribute(const char* name) const;

private:
    const xercesc::DOMElement* m_element;
    const ASM_CELL_RECORDS* m_records;
    size_t m_record;
};
typedef std::vector<ASM_CELL_ELEMENT> ASM_CELL_LIST;

// Sorts the cell elements below an element (cram, cff,
// expanded_option_register, base_address_1d, base_address_2d or
// address_package) by name into the lists, as collect_child_elements does:
// list i receives, in document order, the cells named names[i], whether built
// as DOM children or kept as records.
void collect_cell_elements(const xercesc::DOMElement* element, const std::vector<const char*>& names,
                           const std::vector<ASM_CELL_LIST*>& lists);

// The next number of the process-wide sequence counter (0 when the module is
// loaded, never reset); the counter goes up by one.
int32_t asm_next_bit_sequence();
// The number the next cell will take.
int32_t asm_peek_bit_sequence();

// Appends the cell with the low bit of the value, numbered by the sequence
// counter; a description, if any, is kept under that number.
inline void asm_add_forced_cell(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions, uint32_t address,
                                uint64_t value, const std::string& desc)
{
    const int32_t sequence = asm_next_bit_sequence();
    cells.push_back(ASM_FORCED_BIT{address, static_cast<uint8_t>(value & 1u), sequence});
    if (!desc.empty())
        descriptions[sequence] = desc;
}

// Reports an options-file fault; does not return.
[[noreturn]] void asm_options_fail(const std::string& text, int line);

// The 32-bit value of a hexadecimal text of 1 to 8 digits (either case).
uint32_t parse_hex_address(const std::string& text);

// The JTAG user code of a jtag_user_code element.
void parse_jtag_user_code(uint32_t* jtag_user_code, const xercesc::DOMElement* element);
// An option_register element: sets the bit of its index in the value word to
// its value, and marks it in the mask word (refusing a bit marked already
// when the repeat check is on).
void parse_option_register(uint32_t* option_register, uint32_t* option_set_register, bool repeat_check,
                           const xercesc::DOMElement* element);

// Reads one token file into the tables.
void read_token_file(const std::string& path, ASM_TOKEN_TABLE& tokens, ASM_TOKEN_ARRAY_TABLE& token_arrays);
// Copies the source tables into the destination tables (new records).
void merge_token_tables(ASM_TOKEN_TABLE& destination_tokens, const ASM_TOKEN_TABLE& source_tokens,
                        ASM_TOKEN_ARRAY_TABLE& destination_arrays, const ASM_TOKEN_ARRAY_TABLE& source_arrays);
// Copies the source packages and descriptions into the destination.
void merge_address_packages(ASM_PACKAGE_TABLE& destination, const ASM_PACKAGE_TABLE& source,
                            ASM_DESCRIPTION_TABLE& destination_descriptions,
                            const ASM_DESCRIPTION_TABLE& source_descriptions);

// The bit settings of one options object, for one bitstream and device.
class ASM_BIT_SETTINGS_CONTEXT
{
public:
    ASM_BIT_SETTINGS_CONTEXT(ASM_BITFIELD* bitfield, DEV_DEVICE* device, ASMDB_DIE* asmdb_die, ASMDB_DIRT* asmdb_dirt,
                             CDB_CHIP_DB_ENTRY* chip);

    // Reads m_num_cram_columns from the device's basic information; the
    // device must have CRAM columns.
    void read_num_cram_columns();

    // Walks the bit_settings elements of the collecting element; appends the
    // forced bits to settings and sets the wrapper's option register and
    // JTAG user code when the file forces them.
    void process_bit_settings(std::vector<DB_BIT_SETTING>& settings, xercesc::DOMElement* main_element);

    // Address forms.
    void parse_address_1d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                          ASM_FORCED_BIT_LIST& cells, uint32_t tag, int32_t base);
    void parse_address_2d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                          ASM_FORCED_BIT_LIST& cells, int64_t offset);
    void parse_base_address_1d(const ASM_ELEMENT_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                               const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                               ASM_FORCED_BIT_LIST& cells, uint32_t tag, const ASM_PACKAGE_TABLE& packages);
    void parse_base_address_2d(const ASM_ELEMENT_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                               const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                               ASM_FORCED_BIT_LIST& cells, const ASM_PACKAGE_TABLE& packages);

    // Token elements.
    void parse_token_1d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                        const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                        ASM_FORCED_BIT_LIST& cells, uint32_t tag, int32_t base);
    void parse_token_2d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                        const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                        ASM_FORCED_BIT_LIST& cells, int64_t base);

    // Address packages and the section walk.
    void parse_address_package(const ASM_ELEMENT_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                               const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                               ASM_PACKAGE_TABLE& packages);
    void resolve_address_reference(const ASM_ELEMENT_LIST& elements, ASM_FORCED_BIT_LIST& cells, uint32_t tag,
                                   const ASM_PACKAGE_TABLE& packages, int64_t base);
    void process_bit_section(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions,
                             const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                             xercesc::DOMElement* section, uint32_t tag, const ASM_PACKAGE_TABLE& packages);

    // Architecture groups.
    void parse_element_location(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions,
                                xercesc::DOMElement* element);

    // The debug file of one debug_mode element.
    void write_bit_settings_debug_file(const ASM_FORCED_BIT_LIST& cells, const ASM_DESCRIPTION_TABLE& descriptions,
                                       const FIO_PATH& path, bool style_2d, uint32_t option_register,
                                       uint32_t option_mask, uint32_t jtag_value, bool jtag_flag);

    ASM_BITFIELD* m_bitfield;
    DEV_DEVICE* m_device;
    ASMDB_DIE* m_asmdb_die;
    ASMDB_DIRT* m_asmdb_dirt;
    CDB_CHIP_DB_ENTRY* m_chip;
    bool m_has_chip;
    int32_t m_num_cram_columns;

private:
    struct SELECTION;
    void parse_block_elements(const ASM_ELEMENT_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                              ASM_FORCED_BIT_LIST& cells, bool all_elements);
    void parse_arch_index(const ASM_ELEMENT_LIST& selects, ASM_DESCRIPTION_TABLE& descriptions,
                          ASM_FORCED_BIT_LIST& cells, int32_t group_index, int32_t alternative_index,
                          ASMDB_ARCH_GROUP_BLOCK_TYPE block_type, bool all_elements);
    void find_arch_group(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions, const SELECTION& selection);
    // The base family of the chip, or, without a chip, of the device.
    int base_family() const;
};
