// General utility library of the suite (stand-in): string comparison and
// conversion (the suite's directories are in gen.h).
#pragma once

#include <string>

// Compares exactly (byte by byte): below, equal to or above zero. A null
// text sorts before every other.
int gen_strcmp(const char* first, const char* second);

// Whether the text is null or has no character.
bool gen_is_empty_string(const char* text);

// Upper-cases (lower-cases) the ASCII letters of the text in place.
void gen_toupper(std::string& text);
void gen_tolower(std::string& text);

// The decimal number at the start of the text, as C's atoi reads it (blanks,
// then an optional sign, then digits; 0 when there is none), except that a
// number beyond the 32-bit range keeps its low 32 bits instead of being
// undefined: "4294967295" gives -1. A null text gives 0.
int gen_atoi(const char* text);

// The value in the radix (2 to 36, lower-case digits), into the buffer,
// which is returned; it must hold 33 characters. As the C library's itoa of
// the suite's platform: in radix 10 a negative value gets a minus sign, in
// every other radix the value is written as its unsigned 32-bit pattern.
char* gen_itoa(int value, char* buffer, int radix);
