// General utility library of the suite (stand-in): more of its string
// comparison and conversion (gen.h holds the rest).
#pragma once

// gen_atoi is declared with the rest of the library's functions.
#include "gen.h"

#include <string>
#include <string_view>

// Compares exactly (byte by byte): below, equal to or above zero. A null
// text sorts before every other.
int gen_strcmp(const char* first, const char* second);

// Whether the text is null or has no character.
bool gen_is_empty_string(const char* text);

// Upper-cases (lower-cases) the ASCII letters of the text in place.
void gen_toupper(std::string& text);
void gen_tolower(std::string& text);

// The value in the radix (2 to 36, lower-case digits), into the buffer,
// which is returned; it must hold 33 characters. As the C library's itoa of
// the suite's platform: in radix 10 a negative value gets a minus sign, in
// every other radix the value is written as its unsigned 32-bit pattern.
char* gen_itoa(int value, char* buffer, int radix);

// The text with every control character (C0, DEL and the UTF-8 encoded C1
// controls) and every byte that is not part of well-formed UTF-8 written as
// "\xNN", so that no name printed to a terminal can move the cursor,
// recolour it or forge a line of its own. Plain text comes back unchanged.
std::string gen_printable_text(std::string_view text);
