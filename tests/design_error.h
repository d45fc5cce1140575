// The error that reading a design.json text raises, as the tests compare it.
#pragma once

#include "design.h"

#include <string>

// "key: problem" of the error that parse_design raises for the text; empty
// when the text reads.
inline std::string design_error_text(const std::string& text)
{
    try
    {
        parse_design(text, "design.json");
    }
    catch (const DESIGN_ERROR& error)
    {
        return error.key() + ": " + error.problem();
    }
    return "";
}
