// Tokens of the options file: token files, which bind names to 1-d address
// ranges, 2-d CRAM rectangles or arrays of single-address tokens, and the
// token_1d and token_2d elements that force bits by name.
#include "asm_bit_settings.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_options.h"

#include <big.h>
#include <fio.h>
#include <gen_string.h>

#include <xercesc/dom/DOM.hpp>

#include <array>
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <map>
#include <unordered_set>

#define ASM_SOURCE_TAG ASM_OPTIONS_SOURCE_TAG

namespace
{

const std::streamsize TOKEN_STREAM_BUFFER_SIZE = 32768;

// The fields of a line, split at runs of blanks and tabs.
std::vector<std::string> split_fields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t position = 0;
    while (position < line.size())
    {
        const size_t start = line.find_first_not_of(" \t", position);
        if (start == std::string::npos)
            break;
        size_t stop = line.find_first_of(" \t", start);
        if (stop == std::string::npos)
            stop = line.size();
        fields.push_back(line.substr(start, stop - start));
        position = stop;
    }
    return fields;
}

// N (the range N:N) or A:B (from the smaller to the larger).
void parse_token_range(const std::string& field, int32_t& begin, int32_t& end)
{
    const size_t colon = field.find(':');
    if (colon == std::string::npos)
    {
        begin = end = gen_atoi(field.c_str());
        return;
    }
    const int32_t a = gen_atoi(field.substr(0, colon).c_str());
    const int32_t b = gen_atoi(field.substr(colon + 1).c_str());
    begin = std::min(a, b);
    end = std::max(a, b);
}

bool refers_to_one_address(const ASM_TOKEN& token)
{
    return token.row_begin == token.row_end && token.column_begin == token.column_end;
}

bool is_2d(const ASM_TOKEN& token) { return token.column_begin != -1 && token.column_end != -1; }

// The value of a token element: 1 to 16 hexadecimal digits as 64 bits.
uint64_t parse_token_value(const std::string& value_text)
{
    if (value_text.size() > 16)
        asm_options_fail("Token value is too large.  Token values may not exceed 64 bits.", __LINE__);
    if (value_text.size() <= 8)
        return parse_hex_address(value_text);
    std::string copy = value_text;
    gen_toupper(copy);
    std::string decimal;
    if (!big_string_is_legal(copy.c_str(), BIG_RADIX_HEXADECIMAL) ||
        big_radix_conversion(copy.c_str(), decimal, BIG_RADIX_HEXADECIMAL, BIG_RADIX_DECIMAL, 0) != 0)
        asm_options_fail("Address value \"" + value_text +
                             "\" is not a valid HEXADECIMAL number in the Assembler assignments file",
                         __LINE__);
    return std::strtoull(decimal.c_str(), NULL, 10);
}

// One entry of the work list of a token element: a token and the bits it
// takes.
struct WORK_ENTRY
{
    ASM_TOKEN token;
    uint64_t value;
};

// Steps shared by the 1-d and 2-d token elements: the value, the lookup
// and the work list.
std::vector<WORK_ENTRY> token_work_list(const ASM_CELL_ELEMENT& element, const ASM_TOKEN_TABLE& tokens,
                                        const ASM_TOKEN_ARRAY_TABLE& token_arrays, bool two_d, std::string& name,
                                        std::string& value_text)
{
    name = element.attribute("name");
    value_text = element.attribute("value");
    const uint64_t value = parse_token_value(value_text);
    auto titer = tokens.find(name);
    auto tviter = token_arrays.find(name);
    if (titer == tokens.end() && tviter == token_arrays.end())
        asm_options_fail("Token \"" + name + "\" was not found in the token file(s)", __LINE__);
    ASM_REQUIRE((titer == tokens.end()) || (tviter == token_arrays.end()));

    std::vector<WORK_ENTRY> work;
    if (titer != tokens.end())
    {
        work.push_back(WORK_ENTRY{*titer->second, value});
        return work;
    }
    const auto& members = tviter->second;
    if (members.size() > 4 * value_text.size())
        asm_options_fail("Missing bit settings \"" + value_text + "\" for array token \"" + name +
                             "\" in the Assembler assignments file",
                         __LINE__);
    for (size_t k = 0; k < members.size(); ++k)
    {
        const ASM_TOKEN& member = *members[k];
        if (two_d)
        {
            ASM_REQUIRE(member.row_begin == member.row_end);
            ASM_REQUIRE(member.column_begin == member.column_end);
        }
        else
        {
            const int32_t address_begin = member.row_begin;
            const int32_t address_end = member.row_end;
            ASM_REQUIRE(address_begin == address_end);
        }
        work.push_back(WORK_ENTRY{member, (value >> k) & 1u});
    }
    return work;
}

}  // namespace

void read_token_file(const std::string& path, ASM_TOKEN_TABLE& tokens, ASM_TOKEN_ARRAY_TABLE& token_arrays)
{
    if (!FIO_FILE_SYSTEM::exists(FIO_PATH(path)))
        asm_options_fail("Cannot find token file " + path + " as specified in the ASM Options file", __LINE__);
    std::vector<char> stream_buffer(static_cast<size_t>(TOKEN_STREAM_BUFFER_SIZE));
    asm_io::kestil_ifstream stream;
    stream.rdbuf()->pubsetbuf(stream_buffer.data(), TOKEN_STREAM_BUFFER_SIZE);
    stream.open(path.c_str());
    if (!stream.is_open())
        asm_options_fail("Cannot open TOKEN file " + path + " specified in ASM assignment file", __LINE__);

    ASM_TOKEN_TABLE local_tokens;
    std::string line;
    // Lines of any length are read whole; a last line without a line end is
    // handled too, and a line end of "\r\n" counts as one.
    while (std::getline(stream, line))
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = split_fields(line);
        if (line[0] == '$')
        {
            const std::string array = fields[0].substr(1);
            std::vector<std::shared_ptr<ASM_TOKEN>> members;
            std::unordered_set<const ASM_TOKEN*> taken;
            for (size_t i = 1; i < fields.size(); ++i)
            {
                const std::string& member_name = fields[i];
                auto local = local_tokens.find(member_name);
                if (local == local_tokens.end())
                    asm_options_fail("Token name \"" + member_name + "\" not found in file " + path +
                                         " and cannot be used in token array declaration",
                                     __LINE__);
                if (!taken.insert(local->second.get()).second)
                    asm_options_fail("Token name \"" + member_name +
                                         "\" cannot be added more than once to an array token in file " + path,
                                     __LINE__);
                members.push_back(local->second);
                if (!refers_to_one_address(*local->second))
                    asm_options_fail("Array token name \"" + array + "\" cannot include token name \"" +
                                         member_name + "\" because the token refers to multiple addresses in file " +
                                         path,
                                     __LINE__);
                if (is_2d(*members.front()) != is_2d(*local->second))
                    asm_options_fail("Tokens in array \"" + array + "\" in file " + path +
                                         " must all have the same dimension type",
                                     __LINE__);
            }
            if (tokens.count(array) != 0 || token_arrays.count(array) != 0)
                asm_options_fail("Token name \"" + array + "\" found in file " + path + " is not unique", __LINE__);
            token_arrays[array] = std::move(members);
            continue;
        }
        if (fields.empty())
            continue;
        if (fields.size() < 2)
            asm_options_fail("bad token file", __LINE__);
        ASM_TOKEN token{0, 0, -1, -1};
        parse_token_range(fields[1], token.row_begin, token.row_end);
        const int32_t row_begin = token.row_begin;
        const int32_t row_end = token.row_end;
        ASM_REQUIRE((row_begin >= 0) && (row_end >= 0));
        if (fields.size() >= 3)
        {
            parse_token_range(fields[2], token.column_begin, token.column_end);
            const int32_t column_begin = token.column_begin;
            const int32_t column_end = token.column_end;
            ASM_REQUIRE((column_begin >= 0) && (column_end >= 0));
        }
        const std::string& name = fields[0];
        if (tokens.count(name) != 0 || token_arrays.count(name) != 0)
            asm_options_fail("Token name \"" + name + "\" found in file " + path + " is not unique", __LINE__);
        auto record = std::make_shared<ASM_TOKEN>(token);
        tokens[name] = record;
        local_tokens[name] = record;
    }
    if (stream.bad())
        asm_options_fail("Cannot read TOKEN file " + path + " specified in ASM assignment file", __LINE__);
    asm_debug_log(2, "%s", ("Successfully parsed TOKENS file " + path).c_str());
}

void merge_token_tables(ASM_TOKEN_TABLE& destination_tokens, const ASM_TOKEN_TABLE& source_tokens,
                        ASM_TOKEN_ARRAY_TABLE& destination_arrays, const ASM_TOKEN_ARRAY_TABLE& source_arrays)
{
    for (const auto& entry : source_tokens)
    {
        if (destination_tokens.count(entry.first) != 0 || destination_arrays.count(entry.first) != 0)
            asm_options_fail("Token name \"" + entry.first + "\" is not unique", __LINE__);
        destination_tokens[entry.first] = std::make_shared<ASM_TOKEN>(*entry.second);
    }
    // An array's member becomes the first destination token, in name order,
    // with the member's rows and columns; the tokens are indexed by those
    // once, so that the merge stays linear in the number of members.
    std::map<std::array<int32_t, 4>, std::shared_ptr<ASM_TOKEN>> by_place;
    if (!source_arrays.empty())
        for (const auto& candidate : destination_tokens)
        {
            const ASM_TOKEN& token = *candidate.second;
            by_place.emplace(std::array<int32_t, 4>{token.row_begin, token.row_end, token.column_begin, token.column_end},
                             candidate.second);
        }
    for (const auto& entry : source_arrays)
    {
        std::vector<std::shared_ptr<ASM_TOKEN>> members;
        for (const auto& member : entry.second)
        {
            const auto found =
                by_place.find({member->row_begin, member->row_end, member->column_begin, member->column_end});
            const std::shared_ptr<ASM_TOKEN> duplicate = found == by_place.end() ? NULL : found->second;
            ASM_REQUIRE(duplicate != NULL);
            members.push_back(duplicate);
        }
        if (destination_tokens.count(entry.first) != 0 || destination_arrays.count(entry.first) != 0)
            asm_options_fail("Token name \"" + entry.first + "\" is not unique", __LINE__);
        destination_arrays[entry.first] = std::move(members);
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_token_1d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                                              const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                                              ASM_FORCED_BIT_LIST& cells, uint32_t tag, int32_t base)
{
    for (const ASM_CELL_ELEMENT& element : elements)
    {
        std::string name;
        std::string value_text;
        const std::vector<WORK_ENTRY> work = token_work_list(element, tokens, token_arrays, false, name, value_text);
        for (const WORK_ENTRY& entry : work)
        {
            if (entry.token.column_begin != -1 || entry.token.column_end != -1)
                asm_options_fail("Token \"" + name + "\" is not a 1-d address", __LINE__);
            const int64_t begin = static_cast<int64_t>(entry.token.row_begin) + base;
            const int64_t end = static_cast<int64_t>(entry.token.row_end) + base;
            if (end - begin + 1 > 4 * static_cast<int64_t>(value_text.size()))
                asm_options_fail(safe_sprintf("Missing bit settings \"%s\" for address range %" PRId64 ":%" PRId64
                                              " in the Assembler assignments file",
                                              value_text.c_str(), begin, end),
                                 __LINE__);
            const std::string desc = element.attribute("desc");
            for (int64_t address = begin; address <= end; ++address)
            {
                if (address < INT32_MIN || address > static_cast<int64_t>(UINT32_MAX))
                    asm_options_fail(safe_sprintf("Address %" PRId64 " is outside the address space of token \"%s\" "
                                                  "in the Assembler assignments file",
                                                  address, name.c_str()),
                                     __LINE__);
                const uint32_t pattern = static_cast<uint32_t>(address);
                if ((pattern & ASM_NO_BIT_TAG) == ASM_NO_BIT_TAG)
                    continue;
                if (tag == ASM_CRAM_TAG ? (pattern & 0x80000000u) != 0 : pattern >= ASM_TAGGED_INDEX_LIMIT)
                    asm_options_fail(safe_sprintf("Address %" PRId64 " is outside the address space of token \"%s\" "
                                                  "in the Assembler assignments file",
                                                  address, name.c_str()),
                                     __LINE__);
                asm_add_forced_cell(cells, descriptions, pattern | tag, entry.value >> ((address - begin) % 64), desc);
            }
        }
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_token_2d(const ASM_CELL_LIST& elements, ASM_DESCRIPTION_TABLE& descriptions,
                                              const ASM_TOKEN_TABLE& tokens, const ASM_TOKEN_ARRAY_TABLE& token_arrays,
                                              ASM_FORCED_BIT_LIST& cells, int64_t base)
{
    for (const ASM_CELL_ELEMENT& element : elements)
    {
        std::string name;
        std::string value_text;
        const std::vector<WORK_ENTRY> work = token_work_list(element, tokens, token_arrays, true, name, value_text);
        for (const WORK_ENTRY& entry : work)
        {
            const ASM_TOKEN& token = entry.token;
            if (token.column_begin == -1 || token.column_end == -1)
                asm_options_fail("Token \"" + name + "\" is not a 2-d address", __LINE__);
            const int64_t width = static_cast<int64_t>(token.column_end) - token.column_begin + 1;
            const int64_t height = static_cast<int64_t>(token.row_end) - token.row_begin + 1;
            if (width * height > 4 * static_cast<int64_t>(value_text.size()))
                asm_options_fail(safe_sprintf("Missing bit settings \"%s\" for address range R%d:%d C%d:%d in the "
                                              "Assembler assignments file",
                                              value_text.c_str(), token.row_begin, token.row_end, token.column_begin,
                                              token.column_end),
                                 __LINE__);
            const std::string desc = element.attribute("desc");
            for (int64_t row = token.row_begin; row <= token.row_end; ++row)
            {
                for (int64_t column = token.column_begin; column <= token.column_end; ++column)
                {
                    const int64_t address = row * m_num_cram_columns + column + base;
                    if (address < 0 || address > INT32_MAX)
                        asm_options_fail(safe_sprintf("Address %" PRId64 " is outside the CRAM address space in "
                                                      "the Assembler assignments file",
                                                      address),
                                         __LINE__);
                    const int64_t bit = (row - token.row_begin) * width + (column - token.column_begin);
                    asm_add_forced_cell(cells, descriptions, static_cast<uint32_t>(address), entry.value >> (bit % 64), desc);
                }
            }
        }
    }
}
