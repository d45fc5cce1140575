#include "big.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace
{

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

}  // namespace

bool big_string_is_legal(const char* text, BIG_RADIX radix)
{
    if (text == nullptr || *text == '\0')
        return false;
    for (const char* c = text; *c != '\0'; ++c)
        if (digit_value(*c) >= static_cast<int>(radix))
            return false;
    return true;
}

int big_radix_conversion(const char* text, std::string& result, BIG_RADIX from, BIG_RADIX to, int width)
{
    result.clear();
    if (!big_string_is_legal(text, from))
        return -1;
    // The number as little-endian digits of the target radix; each source
    // digit multiplies it by the source radix and adds the digit.
    std::vector<uint32_t> digits;
    for (const char* c = text; *c != '\0'; ++c)
    {
        uint32_t carry = static_cast<uint32_t>(digit_value(*c));
        for (uint32_t& digit : digits)
        {
            const uint32_t value = digit * static_cast<uint32_t>(from) + carry;
            digit = value % static_cast<uint32_t>(to);
            carry = value / static_cast<uint32_t>(to);
        }
        while (carry != 0)
        {
            digits.push_back(carry % static_cast<uint32_t>(to));
            carry /= static_cast<uint32_t>(to);
        }
    }
    static const char DIGITS[] = "0123456789ABCDEF";
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
        result.push_back(DIGITS[*it]);
    if (result.empty())
        result = "0";
    if (width > 0 && result.size() < static_cast<size_t>(width))
        result.insert(0, static_cast<size_t>(width) - result.size(), '0');
    return 0;
}
