// Fuzz target: a token file. The input is the token file input.tok. It is
// read alone first; when it reads, an assignments file is written that
// names it in a bit_settings element and forces bits through up to 32 of
// its tokens and arrays (those of at most 64 addresses), which then runs
// as asm_process_sof runs it.
#include "fuzz_bit_settings.h"

#include <algorithm>

namespace
{

const size_t MAX_ELEMENTS = 32;

// The name as an attribute value; false for a name that is no XML text.
bool attribute_text(const std::string& name, std::string& text)
{
    text.clear();
    for (const char c : name)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)
            return false;
        switch (c)
        {
        case '&': text += "&amp;"; break;
        case '<': text += "&lt;"; break;
        case '>': text += "&gt;"; break;
        case '"': text += "&quot;"; break;
        default: text += c; break;
        }
    }
    return true;
}

// Enough hexadecimal digits for that many bits, alternating ones and zeros.
std::string value_for(uint64_t bits)
{
    const size_t digits = static_cast<size_t>(std::max<uint64_t>(1, (bits + 3) / 4));
    return std::string(digits, 'A');
}

uint64_t address_count(const ASM_TOKEN& token)
{
    const uint64_t rows = static_cast<uint64_t>(static_cast<int64_t>(token.row_end) - token.row_begin + 1);
    if (token.column_begin == -1 && token.column_end == -1)
        return rows;
    return rows * static_cast<uint64_t>(static_cast<int64_t>(token.column_end) - token.column_begin + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_DIRECTORY directory("asm_fuzz_tokens");
    const std::string token_path = directory.write("input.tok", fuzz_bytes(data, size));

    fuzz_reset_process_state();
    ASM_TOKEN_TABLE tokens;
    ASM_TOKEN_ARRAY_TABLE token_arrays;
    try
    {
        read_token_file(token_path, tokens, token_arrays);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
        return 0;
    }

    std::string elements;
    size_t count = 0;
    std::string name;
    for (const auto& entry : tokens)
    {
        if (count == MAX_ELEMENTS || !attribute_text(entry.first, name) || address_count(*entry.second) > 64)
            continue;
        const bool two_d = entry.second->column_begin != -1 && entry.second->column_end != -1;
        elements += std::string("<") + (two_d ? "token_2d" : "token_1d") + " name=\"" + name + "\" value=\"" +
                    value_for(address_count(*entry.second)) + "\"/>";
        ++count;
    }
    for (const auto& entry : token_arrays)
    {
        if (count == MAX_ELEMENTS || !attribute_text(entry.first, name) || entry.second.size() > 64)
            continue;
        const bool two_d = !entry.second.empty() && entry.second.front()->column_begin != -1;
        elements += std::string("<") + (two_d ? "token_2d" : "token_1d") + " name=\"" + name + "\" value=\"" +
                    value_for(entry.second.size()) + "\"/>";
        ++count;
    }
    const std::string options = directory.write(
        "options.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>"
                       "<bit_settings action=\"override\"><token_file filename=\"input.tok\"/><cram>" +
                           elements + "</cram></bit_settings></asm_assignments></assembler_options>\n");
    fuzz_load_and_apply(options);
    return 0;
}
