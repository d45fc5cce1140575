// Device symbol library of the suite (stand-in): the names of device
// elements. Elements are numbered from 1 in the order they are added; the
// generic element follows the last one, and 0 is no element.
#pragma once

#include "zsym.h"

#include <cstdint>

enum DEV_ELEMENT_ENUM : uint16_t
{
    DEV_ELEMENT_NONE = 0,
};

// The generic element: one past the last named element.
DEV_ELEMENT_ENUM dsym_get_generic_dev_element_enum();

// The symbol of an element's name in the location element namespace; the
// null symbol for 0, the generic element and anything beyond it.
ZSYM dsym_enum_to_symbol(DEV_ELEMENT_ENUM element);

// Population: adds an element name and returns its enum (the old generic
// value; the generic element moves up by one). DEV_ELEMENT_NONE when the
// name is null or empty, or the 16-bit range is full.
DEV_ELEMENT_ENUM dsym_add_element(const char* name);
// Forgets every added element.
void dsym_reset();
