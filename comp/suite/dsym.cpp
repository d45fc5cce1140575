#include "dsym.h"

#include <limits>
#include <string>
#include <vector>

namespace
{

// Index i holds the name of element i + 1.
std::vector<std::string>& element_names()
{
    static std::vector<std::string> names;
    return names;
}

}  // namespace

DEV_ELEMENT_ENUM dsym_get_generic_dev_element_enum()
{
    return static_cast<DEV_ELEMENT_ENUM>(element_names().size() + 1);
}

ZSYM dsym_enum_to_symbol(DEV_ELEMENT_ENUM element)
{
    ZSYM symbol;
    if (element != DEV_ELEMENT_NONE && element <= element_names().size())
        symbol.use(ZSYM_NAMESPACE_LOCATION_ELEMENT, element_names()[element - 1].c_str());
    return symbol;
}

DEV_ELEMENT_ENUM dsym_add_element(const char* name)
{
    // The generic element needs a value of its own above the last element.
    if (name == nullptr || *name == '\0' || element_names().size() + 2 > std::numeric_limits<uint16_t>::max())
        return DEV_ELEMENT_NONE;
    element_names().emplace_back(name);
    return static_cast<DEV_ELEMENT_ENUM>(element_names().size());
}

void dsym_reset() { element_names().clear(); }
