#include "gen_string.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace
{

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence of a non-ASCII character at
// the start of the text (no overlong form, no surrogate, nothing above
// U+10FFFF); 0 when there is none.
size_t sequence_length(std::string_view text)
{
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || text.size() < length)
        return 0;
    const unsigned char second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (!continuation(static_cast<unsigned char>(text[i])))
            return 0;
    // U+0080 to U+009F are the C1 controls.
    if (lead == 0xC2 && second <= 0x9F)
        return 0;
    return length;
}

}  // namespace

int gen_strcmp(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr)
        return (first == nullptr ? 0 : 1) - (second == nullptr ? 0 : 1);
    return std::strcmp(first, second);
}

bool gen_is_empty_string(const char* text) { return text == nullptr || *text == '\0'; }

void gen_toupper(std::string& text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void gen_tolower(std::string& text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

char* gen_itoa(int value, char* buffer, int radix)
{
    if (buffer == nullptr)
        return nullptr;
    if (radix < 2 || radix > 36)
    {
        buffer[0] = '\0';
        return buffer;
    }
    static const char DIGITS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    char reversed[33];
    size_t count = 0;
    const bool negative = radix == 10 && value < 0;
    uint32_t rest = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do
    {
        reversed[count++] = DIGITS[rest % static_cast<uint32_t>(radix)];
        rest /= static_cast<uint32_t>(radix);
    } while (rest != 0);
    size_t out = 0;
    if (negative)
        buffer[out++] = '-';
    while (count > 0)
        buffer[out++] = reversed[--count];
    buffer[out] = '\0';
    return buffer;
}

std::string gen_printable_text(std::string_view text)
{
    static const char HEX[] = "0123456789abcdef";
    std::string printed;
    printed.reserve(text.size());
    size_t i = 0;
    while (i < text.size())
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c >= 0x20 && c < 0x7F ? 1 : c >= 0x80 ? sequence_length(text.substr(i)) : 0;
        if (length > 0)
        {
            printed.append(text.substr(i, length));
            i += length;
            continue;
        }
        printed.append("\\x").append(1, HEX[c >> 4]).append(1, HEX[c & 0xF]);
        ++i;
    }
    return printed;
}
