// Bit address forms of the options file (1-d and 2-d addresses, base
// addresses, the JTAG user code and option-register elements), address
// packages and the walk over one bit-setting section.
//
// Every cell stays in its address space: a CRAM address never reaches bit
// 31, a tagged bit index stays below 2^27, and range sizes are computed in
// 64 bits, so no value of the file can move a bit into another space or make
// more cells than its value supplies.
#include "asm_bit_settings.h"

#include "asm_common.h"
#include "asm_options.h"

#include <big.h>
#include <gen_string.h>

#include <xercesc/dom/DOM.hpp>

#include <cinttypes>
#include <climits>
#include <cstdlib>

#define ASM_SOURCE_TAG ASM_OPTIONS_SOURCE_TAG

using xercesc::DOMElement;

namespace
{

const char* space_name(uint32_t tag)
{
    switch (tag)
    {
    case ASM_CFF_TAG:
        return "CFF";
    case ASM_UNVM_TAG:
        return "UNVM";
    case ASM_OPTION_REG_TAG:
        return "Option Register";
    default:
        return "CRAM";
    }
}

[[noreturn]] void outside_space(int64_t address, uint32_t tag, int line)
{
    asm_options_fail(safe_sprintf("Address %" PRId64 " is outside the %s address space in the Assembler "
                                  "assignments file",
                                  address, space_name(tag)),
                     line);
}

// The cell address of a 1-d address in the space of the tag; false for an
// address with bits 31 and 30 set, which makes no cell.
bool address_in_space(int64_t address, uint32_t tag, uint32_t& cell_address)
{
    if (address < INT32_MIN || address > static_cast<int64_t>(UINT32_MAX))
        outside_space(address, tag, __LINE__);
    const uint32_t pattern = static_cast<uint32_t>(address);
    if ((pattern & ASM_NO_BIT_TAG) == ASM_NO_BIT_TAG)
        return false;
    if (tag == ASM_CRAM_TAG ? (pattern & 0x80000000u) != 0 : pattern >= ASM_TAGGED_INDEX_LIMIT)
        outside_space(address, tag, __LINE__);
    cell_address = pattern | tag;
    return true;
}

// A flat CRAM address of the 2-d forms.
uint32_t cram_address(int64_t address)
{
    if (address < 0 || address > INT32_MAX)
        outside_space(address, ASM_CRAM_TAG, __LINE__);
    return static_cast<uint32_t>(address);
}

// A decimal number or a range A:B of an attribute, as 32-bit numbers.
void parse_range(const std::string& text, int32_t& first, int32_t& second)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
    {
        first = second = gen_atoi(text.c_str());
        return;
    }
    first = gen_atoi(text.substr(0, colon).c_str());
    second = gen_atoi(text.substr(colon + 1).c_str());
}

}  // namespace

uint32_t parse_hex_address(const std::string& text)
{
    // One to eight hexadecimal digits, the common case, are taken as they
    // stand; any other text goes the checked way below, which reports it.
    if (!text.empty() && text.size() <= 8)
    {
        uint32_t value = 0;
        bool digits = true;
        for (size_t i = 0; digits && i < text.size(); ++i)
        {
            const int digit = hex_digit_value(text[i]);
            digits = digit >= 0;
            value = (value << 4) | static_cast<uint32_t>(digit & 0xF);
        }
        if (digits)
            return value;
    }
    std::string copy = text;
    gen_toupper(copy);
    if (!big_string_is_legal(copy.c_str(), BIG_RADIX_HEXADECIMAL))
        asm_options_fail("Address value \"" + text +
                             "\" is not a valid HEXADECIMAL number in the Assembler assignments file",
                         __LINE__);
    if (copy.size() >= 9)
        asm_options_fail("Address value \"" + text +
                             "\" is not a valid HEXADECIMAL number (size limited to 32 bits) in the Assembler "
                             "assignments file",
                         __LINE__);
    std::string decimal;
    if (big_radix_conversion(copy.c_str(), decimal, BIG_RADIX_HEXADECIMAL, BIG_RADIX_DECIMAL, 0) != 0)
        asm_options_fail("Address value \"" + text +
                             "\" is not a valid HEXADECIMAL number in the Assembler assignments file",
                         __LINE__);
    // At most eight digits: the decimal text fits 32 unsigned bits.
    return static_cast<uint32_t>(std::strtoul(decimal.c_str(), NULL, 10));
}

void parse_jtag_user_code(uint32_t* jtag_user_code, const DOMElement* element)
{
    ASM_REQUIRE((jtag_user_code != NULL) && (element != NULL));
    *jtag_user_code = parse_hex_address(get_attribute_string("value", element));
}

void parse_option_register(uint32_t* option_register, uint32_t* option_set_register, bool repeat_check,
                           const DOMElement* element)
{
    ASM_REQUIRE((option_register != NULL) && (option_set_register != NULL) && (element != NULL));
    const int32_t index = gen_atoi(get_attribute_string("index", element).c_str());
    const int32_t temp = gen_atoi(get_attribute_string("value", element).c_str());
    ASM_REQUIRE((temp == 0) || (temp == 1));
    const uint32_t bit = 1u << (static_cast<uint32_t>(index) & 31u);
    if (temp == 1)
        *option_register |= bit;
    else
        *option_register &= ~bit;
    if (repeat_check && (*option_set_register & bit) != 0)
        asm_options_fail(safe_sprintf("Found repeated forced bit settings for option register index %d in the "
                                      "Assembler assignments file",
                                      index),
                         __LINE__);
    *option_set_register |= bit;
}

void ASM_BIT_SETTINGS_CONTEXT::parse_address_1d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                                                ASM_FORCED_BIT_LIST& cells, uint32_t tag, int32_t base)
{
    // The ranges first, so that the list grows once for all the cells the
    // elements can make: at most 32 each, as a longer range fails for want
    // of bits in its value of at most eight digits.
    std::vector<std::pair<int32_t, int32_t>> ranges(elements.size());
    size_t most_cells = 0;
    for (size_t i = 0; i < elements.size(); ++i)
    {
        parse_range(elements[i].attribute("addr"), ranges[i].first, ranges[i].second);
        const int64_t length = std::abs(static_cast<int64_t>(ranges[i].second) - ranges[i].first) + 1;
        most_cells += static_cast<size_t>(std::min<int64_t>(length, 32));
    }
    cells.reserve_more(most_cells);
    for (size_t i = 0; i < elements.size(); ++i)
    {
        const ASM_CELL_ELEMENT& element = elements[i];
        const int32_t first = ranges[i].first;
        const int32_t second = ranges[i].second;
        const int64_t begin = static_cast<int64_t>(std::min(first, second)) + base;
        const int64_t end = static_cast<int64_t>(std::max(first, second)) + base;
        const std::string value_text = element.attribute("value");
        const uint32_t value = parse_hex_address(value_text);
        if (4 * static_cast<int64_t>(value_text.size()) < end - begin + 1)
            asm_options_fail(safe_sprintf("Missing bit settings \"%s\" for address range %" PRId64 ":%" PRId64
                                          " in the Assembler assignments file",
                                          value_text.c_str(), begin, end),
                             __LINE__);
        const std::string desc = element.attribute("desc");
        for (int64_t address = begin; address <= end; ++address)
        {
            uint32_t cell_address = 0;
            if (address_in_space(address, tag, cell_address))
                asm_add_forced_cell(cells, descriptions, cell_address, value >> (address - begin), desc);
        }
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_address_2d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                                                ASM_FORCED_BIT_LIST& cells, int64_t offset)
{
    for (const ASM_CELL_ELEMENT& element : elements)
    {
        int32_t a = 0;
        int32_t b = 0;
        parse_range(element.attribute("row"), a, b);
        const uint32_t row_first = std::min(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        const uint32_t row_last = std::max(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        parse_range(element.attribute("column"), a, b);
        const uint32_t column_first = std::min(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        const uint32_t column_last = std::max(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        const std::string value_text = element.attribute("value");
        const uint32_t value = parse_hex_address(value_text);
        const uint64_t rows = static_cast<uint64_t>(row_last) - row_first + 1;
        const uint64_t columns = static_cast<uint64_t>(column_last) - column_first + 1;
        const uint64_t supplied = 4 * static_cast<uint64_t>(value_text.size());
        if (rows > supplied || columns > supplied || rows * columns > supplied)
            asm_options_fail(safe_sprintf("Missing bit settings \"%s\" for address range R%u:%u C%u:%u in the "
                                          "Assembler assignments file",
                                          value_text.c_str(), row_first, row_last, column_first, column_last),
                             __LINE__);
        const std::string desc = element.attribute("desc");
        for (uint64_t row = row_first; row <= row_last; ++row)
        {
            for (uint64_t column = column_first; column <= column_last; ++column)
            {
                if (row > INT32_MAX || column > INT32_MAX)
                    outside_space(static_cast<int64_t>(row > INT32_MAX ? row : column), ASM_CRAM_TAG, __LINE__);
                const int64_t address = static_cast<int64_t>(row) * m_num_cram_columns +
                                        static_cast<int64_t>(column) + offset;
                const uint64_t bit = (row - row_first) * columns + (column - column_first);
                asm_add_forced_cell(cells, descriptions, cram_address(address), value >> bit, desc);
            }
        }
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_base_address_1d(const ASM_ELEMENT_LIST& elements,
                                                     ASM_DESCRIPTION_TABLE& descriptions, const ASM_TOKEN_TABLE& tokens,
                                                     const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                                                     ASM_FORCED_BIT_LIST& cells, uint32_t tag,
                                                     const ASM_PACKAGE_TABLE& packages)
{
    for (DOMElement* element : elements)
    {
        ASM_REQUIRE(element != NULL);
        const int32_t base = gen_atoi(get_attribute_string("addr", element).c_str());
        ASM_CELL_LIST addresses, token_elements;
        ASM_ELEMENT_LIST references;
        collect_cell_elements(element, {"address_1d", "token_1d"}, {&addresses, &token_elements});
        collect_child_elements(element, {"address_reference"}, {&references});
        parse_address_1d(addresses, descriptions, cells, tag, base);
        parse_token_1d(token_elements, descriptions, tokens, token_arrays, cells, tag, base);
        resolve_address_reference(references, cells, tag, packages, base);
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_base_address_2d(const ASM_ELEMENT_LIST& elements,
                                                     ASM_DESCRIPTION_TABLE& descriptions, const ASM_TOKEN_TABLE& tokens,
                                                     const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                                                     ASM_FORCED_BIT_LIST& cells, const ASM_PACKAGE_TABLE& packages)
{
    for (DOMElement* element : elements)
    {
        ASM_REQUIRE(element != NULL);
        const int32_t row = gen_atoi(get_attribute_string("row", element).c_str());
        const int32_t column = gen_atoi(get_attribute_string("column", element).c_str());
        const int64_t base = static_cast<int64_t>(row) * m_num_cram_columns + column;
        ASM_CELL_LIST addresses, token_elements;
        ASM_ELEMENT_LIST references;
        collect_cell_elements(element, {"address_2d", "token_2d"}, {&addresses, &token_elements});
        collect_child_elements(element, {"address_reference"}, {&references});
        parse_address_2d(addresses, descriptions, cells, base);
        parse_token_2d(token_elements, descriptions, tokens, token_arrays, cells, base);
        // 2-d addresses are CRAM addresses: the references are checked as
        // such.
        resolve_address_reference(references, cells, ASM_CRAM_TAG, packages, base);
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_address_package(const ASM_ELEMENT_LIST& elements,
                                                     ASM_DESCRIPTION_TABLE& descriptions, const ASM_TOKEN_TABLE& tokens,
                                                     const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                                                     ASM_PACKAGE_TABLE& packages)
{
    for (DOMElement* element : elements)
    {
        ASM_REQUIRE((element != NULL));
        const std::string name = get_attribute_string("name", element);
        if (packages.count(name) != 0)
            asm_options_fail("Address package name \"" + name + "\" is not unique in the Assembler assignments file",
                             __LINE__);
        const std::string type = get_attribute_string("bit_type", element);
        uint32_t tag = 0;
        if (gen_strcmp(type.c_str(), "cram") == 0)
            tag = ASM_CRAM_TAG;
        else if (gen_strcmp(type.c_str(), "cff") == 0)
            tag = ASM_CFF_TAG;
        else if (gen_strcmp(type.c_str(), "unvm") == 0)
            tag = ASM_UNVM_TAG;
        else if (gen_strcmp(type.c_str(), "option_register") == 0)
            tag = ASM_OPTION_REG_TAG;
        else
            asm_options_fail("Address package name \"" + name + "\" contains unsupported bit_type \"" + type + "\".",
                             __LINE__);
        ASM_CELL_LIST addresses_1d, addresses_2d, tokens_1d, tokens_2d;
        collect_cell_elements(element, {"address_1d", "address_2d", "token_1d", "token_2d"},
                              {&addresses_1d, &addresses_2d, &tokens_1d, &tokens_2d});
        if (tag != ASM_CRAM_TAG && (!addresses_2d.empty() || !tokens_2d.empty()))
            asm_options_fail("Address package name \"" + name +
                                 "\" contains \"cff\" attribute but also contains 2-d style addresses in the "
                                 "Assembler assignments file",
                             __LINE__);
        ASM_FORCED_BIT_LIST package;
        parse_address_1d(addresses_1d, descriptions, package, tag, 0);
        parse_token_1d(tokens_1d, descriptions, tokens, token_arrays, package, tag, 0);
        parse_address_2d(addresses_2d, descriptions, package, 0);
        parse_token_2d(tokens_2d, descriptions, tokens, token_arrays, package, 0);
        packages[name] = std::move(package);
    }
}

void merge_address_packages(ASM_PACKAGE_TABLE& destination, const ASM_PACKAGE_TABLE& source,
                            ASM_DESCRIPTION_TABLE& destination_descriptions,
                            const ASM_DESCRIPTION_TABLE& source_descriptions)
{
    for (const auto& entry : source)
    {
        if (destination.count(entry.first) != 0)
            asm_options_fail("Address package name \"" + entry.first +
                                 "\" is not unique in the Assembler assignments file",
                             __LINE__);
        destination[entry.first] = entry.second;
    }
    for (const auto& entry : source_descriptions)
        destination_descriptions[entry.first] = entry.second;
}

void ASM_BIT_SETTINGS_CONTEXT::resolve_address_reference(const ASM_ELEMENT_LIST& elements, ASM_FORCED_BIT_LIST& cells,
                                                         uint32_t tag, const ASM_PACKAGE_TABLE& packages, int64_t base)
{
    for (DOMElement* element : elements)
    {
        ASM_REQUIRE((element != NULL));
        const std::string name = get_attribute_string("name", element);
        auto package = packages.find(name);
        if (package == packages.end())
            asm_options_fail("Address package name \"" + name + "\" was not found in the Assembler assignments file",
                             __LINE__);
        const std::string illegal = "Address reference name \"" + name +
                                    "\" refers to illegal address space in " + space_name(tag) +
                                    " bit settings section in the Assembler assignments file";
        for (const ASM_FORCED_BIT cell : package->second)
        {
            // The cell keeps its own space: a CRAM cell stays below bit 31, a
            // tagged cell keeps its tag and an index below 2^27.
            const bool cram_cell = (cell.address & 0x80000000u) == 0;
            const uint32_t cell_tag = cram_cell ? 0u : (cell.address & 0xF8000000u);
            const int64_t moved = static_cast<int64_t>(cell.address & ~cell_tag) + base;
            const int64_t limit = cram_cell ? static_cast<int64_t>(0x80000000u) : ASM_TAGGED_INDEX_LIMIT;
            if (moved < 0 || moved >= limit)
                asm_options_fail(illegal, __LINE__);
            const uint32_t address = static_cast<uint32_t>(moved) | cell_tag;
            bool legal = true;
            switch (tag)
            {
            case ASM_CRAM_TAG:
                legal = (address & 0x80000000u) == 0;
                break;
            case ASM_CFF_TAG:
            case ASM_UNVM_TAG:
            case ASM_OPTION_REG_TAG:
                legal = (address & tag) != 0;
                break;
            default:
                break;
            }
            if (!legal)
                asm_options_fail(illegal, __LINE__);
            cells.push_back(ASM_FORCED_BIT{address, cell.value, cell.sequence});
        }
    }
}

void ASM_BIT_SETTINGS_CONTEXT::process_bit_section(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions,
                                                   const ASM_TOKEN_TABLE& tokens,
                                                   const ASM_TOKEN_ARRAY_TABLE& token_arrays, DOMElement* section,
                                                   uint32_t tag, const ASM_PACKAGE_TABLE& packages)
{
    DOMElement* element = section;
    ASM_REQUIRE(element != NULL);
    // block_range, block_location and block_name carry nothing the
    // assembler applies.
    ASM_CELL_LIST addresses_1d, addresses_2d, tokens_1d, tokens_2d;
    ASM_ELEMENT_LIST bases_1d, bases_2d, package_elements;
    collect_cell_elements(section, {"address_1d", "address_2d", "token_1d", "token_2d"},
                          {&addresses_1d, &addresses_2d, &tokens_1d, &tokens_2d});
    collect_child_elements(section, {"base_address_1d", "base_address_2d", "address_package"},
                           {&bases_1d, &bases_2d, &package_elements});

    ASM_PACKAGE_TABLE section_packages;
    merge_address_packages(section_packages, packages, descriptions, ASM_DESCRIPTION_TABLE());
    parse_address_package(package_elements, descriptions, tokens, token_arrays, section_packages);

    parse_address_1d(addresses_1d, descriptions, cells, tag, 0);
    parse_token_1d(tokens_1d, descriptions, tokens, token_arrays, cells, tag, 0);
    parse_base_address_1d(bases_1d, descriptions, tokens, token_arrays, cells, tag, section_packages);
    if (tag == ASM_CRAM_TAG)
    {
        parse_address_2d(addresses_2d, descriptions, cells, 0);
        parse_token_2d(tokens_2d, descriptions, tokens, token_arrays, cells, 0);
        parse_base_address_2d(bases_2d, descriptions, tokens, token_arrays, cells, section_packages);
    }
}
