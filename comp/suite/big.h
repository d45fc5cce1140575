// Big-number library of the suite (stand-in): numbers of any length as
// text, checked and converted between radixes.
#pragma once

#include <string>

enum BIG_RADIX
{
    BIG_RADIX_BINARY = 2,
    BIG_RADIX_OCTAL = 8,
    BIG_RADIX_DECIMAL = 10,
    BIG_RADIX_HEXADECIMAL = 16,
};

// Whether the text is a non-empty run of digits of the radix, nothing else
// (hexadecimal digits in either case). A null text is not legal.
bool big_string_is_legal(const char* text, BIG_RADIX radix);

// Converts the number in the text from one radix to the other: the result is
// the digits without leading zeros ("0" for zero; hexadecimal in upper case),
// padded with leading zeros to width digits when width is larger. 0 on
// success; -1, with the result emptied, when the text is not legal in the
// radix it comes from.
int big_radix_conversion(const char* text, std::string& result, BIG_RADIX from, BIG_RADIX to, int width);
