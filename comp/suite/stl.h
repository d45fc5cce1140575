// String utilities of the suite (stand-in).
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

// Lower-cases the string in place (ASCII letters).
inline void stl_tolower(std::string& text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
}
