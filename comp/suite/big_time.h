// Small utility library of the suite (stand-in): BIG_TIME, a time or a
// frequency held exactly, as a non-negative fraction of its base unit
// (femtoseconds for a time, hertz for a frequency).
//
// Value text: a non-negative decimal number, digits with at most one '.'
// ("100", "12.5", ".5"), at most 12 digits in all.
// Unit text (exact case): time units "s", "ms", "us", "ns", "ps", "fs";
// frequency units "Hz", "kHz", "MHz", "GHz", accepted only when the flag
// allow_frequency is true.
// A value text or unit text outside these gives an invalid value, as does the
// default constructor.
//
// to_string(decimals) renders "<number> <unit>" with exactly `decimals`
// digits after the point (no point for 0 decimals; more than 9 are taken as
// 9), rounded half up. The unit is the largest of the value's kind in which
// the rounded number is at least 1; smaller values, and 0, take the smallest
// unit (fs or Hz). An invalid value renders as "".
// Examples: 100 MHz / 3 with 2 decimals is "33.33 MHz"; 80 MHz / 1000 is
// "80.00 kHz"; 100 MHz / 1 is "100.00 MHz".
#pragma once

#include <cstdint>
#include <string>

class BIG_TIME
{
public:
    // An invalid value.
    BIG_TIME() = default;
    BIG_TIME(const char* value, const char* unit, bool allow_frequency);

    // The value divided by a positive number, of the same kind. A divisor of
    // 0 or less, an invalid value, or a quotient too fine to be held exactly
    // gives an invalid value.
    BIG_TIME operator/(int64_t divisor) const;

    std::string to_string(uint16_t decimals) const;

    bool is_valid() const { return m_kind != KIND::INVALID; }

private:
    enum class KIND
    {
        INVALID,
        TIME,
        FREQUENCY,
    };

    KIND m_kind = KIND::INVALID;
    // The value is m_numerator / m_denominator base units; the fraction is
    // kept in lowest terms.
    unsigned __int128 m_numerator = 0;
    uint64_t m_denominator = 1;
};
