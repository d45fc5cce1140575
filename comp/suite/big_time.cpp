#include "big_time.h"

#include <cstring>

namespace
{

typedef unsigned __int128 WIDE;

struct UNIT
{
    const char* name;
    uint64_t factor;  // base units per unit
};

// Largest first.
const UNIT TIME_UNITS[] = {
    {"s", 1000000000000000ull}, {"ms", 1000000000000ull}, {"us", 1000000000ull},
    {"ns", 1000000ull},         {"ps", 1000ull},          {"fs", 1ull},
};
const UNIT FREQUENCY_UNITS[] = {
    {"GHz", 1000000000ull},
    {"MHz", 1000000ull},
    {"kHz", 1000ull},
    {"Hz", 1ull},
};

const size_t MAX_VALUE_DIGITS = 12;
const uint16_t MAX_DECIMALS = 9;

const UNIT* find_unit(const UNIT* units, size_t count, const char* name)
{
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(units[i].name, name) == 0)
            return &units[i];
    return nullptr;
}

WIDE gcd(WIDE a, WIDE b)
{
    while (b != 0)
    {
        WIDE r = a % b;
        a = b;
        b = r;
    }
    return a;
}

WIDE power_of_ten(unsigned exponent)
{
    WIDE value = 1;
    for (unsigned i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

std::string wide_to_decimal(WIDE value)
{
    if (value == 0)
        return "0";
    std::string text;
    while (value != 0)
    {
        text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    }
    return text;
}

// numerator / (denominator * factor) scaled by 10^decimals, rounded half up.
// The caller keeps denominator * factor below 2^124, so that neither the
// remainders nor their doubles overflow.
WIDE scaled_rounded(WIDE numerator, WIDE divisor, uint16_t decimals)
{
    WIDE result = numerator / divisor;
    WIDE remainder = numerator % divisor;
    for (uint16_t i = 0; i < decimals; ++i)
    {
        remainder *= 10;
        result = result * 10 + remainder / divisor;
        remainder %= divisor;
    }
    if (remainder * 2 >= divisor)
        ++result;
    return result;
}

}  // namespace

BIG_TIME::BIG_TIME(const char* value, const char* unit, bool allow_frequency)
{
    if (value == nullptr || unit == nullptr)
        return;

    KIND kind = KIND::INVALID;
    const UNIT* found = find_unit(TIME_UNITS, sizeof(TIME_UNITS) / sizeof(TIME_UNITS[0]), unit);
    if (found != nullptr)
        kind = KIND::TIME;
    else if (allow_frequency)
    {
        found = find_unit(FREQUENCY_UNITS, sizeof(FREQUENCY_UNITS) / sizeof(FREQUENCY_UNITS[0]), unit);
        if (found != nullptr)
            kind = KIND::FREQUENCY;
    }
    if (found == nullptr)
        return;

    WIDE digits = 0;
    size_t digit_count = 0;
    unsigned fraction_digits = 0;
    bool seen_point = false;
    for (const char* c = value; *c != '\0'; ++c)
    {
        if (*c == '.' && !seen_point)
        {
            seen_point = true;
            continue;
        }
        if (*c < '0' || *c > '9')
            return;
        if (++digit_count > MAX_VALUE_DIGITS)
            return;
        digits = digits * 10 + static_cast<unsigned>(*c - '0');
        if (seen_point)
            ++fraction_digits;
    }
    if (digit_count == 0)
        return;

    WIDE numerator = digits * found->factor;
    WIDE denominator = power_of_ten(fraction_digits);
    const WIDE common = gcd(numerator, denominator);
    m_kind = kind;
    m_numerator = numerator / common;
    m_denominator = static_cast<uint64_t>(denominator / common);
}

BIG_TIME BIG_TIME::operator/(int64_t divisor) const
{
    BIG_TIME quotient;
    if (!is_valid() || divisor <= 0)
        return quotient;
    const WIDE by = static_cast<WIDE>(divisor);
    const WIDE common = gcd(m_numerator, by);
    const WIDE denominator = static_cast<WIDE>(m_denominator) * (by / common);
    if (denominator > UINT64_MAX)
        return quotient;
    quotient.m_kind = m_kind;
    quotient.m_numerator = m_numerator / common;
    quotient.m_denominator = static_cast<uint64_t>(denominator);
    return quotient;
}

std::string BIG_TIME::to_string(uint16_t decimals) const
{
    if (!is_valid())
        return std::string();
    if (decimals > MAX_DECIMALS)
        decimals = MAX_DECIMALS;

    const UNIT* units = m_kind == KIND::TIME ? TIME_UNITS : FREQUENCY_UNITS;
    const size_t count = m_kind == KIND::TIME ? sizeof(TIME_UNITS) / sizeof(TIME_UNITS[0])
                                              : sizeof(FREQUENCY_UNITS) / sizeof(FREQUENCY_UNITS[0]);
    const WIDE one = power_of_ten(decimals);

    // The denominator is below 2^64 and a factor below 2^50: their product,
    // times 20, stays far from 2^128.
    const UNIT* chosen = &units[count - 1];
    WIDE scaled = 0;
    for (size_t i = 0; i < count; ++i)
    {
        scaled = scaled_rounded(m_numerator, static_cast<WIDE>(m_denominator) * units[i].factor, decimals);
        if (scaled >= one)
        {
            chosen = &units[i];
            break;
        }
    }

    std::string text = wide_to_decimal(scaled / one);
    if (decimals > 0)
    {
        std::string fraction = wide_to_decimal(scaled % one);
        text += '.';
        text.append(decimals - fraction.size(), '0');
        text += fraction;
    }
    return text + " " + chosen->name;
}
