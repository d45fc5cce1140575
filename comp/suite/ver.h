// Version library of the suite (stand-in): the suite's version text.
#pragma once

#include <string>

// The suite's version; with full true, also its build and edition.
std::string ver_get_full_version(bool full);
