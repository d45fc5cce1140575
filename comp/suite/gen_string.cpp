#include "gen_string.h"

#include <cctype>
#include <cstdint>
#include <cstring>

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
