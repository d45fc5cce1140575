// The generated options of a partition: settings that IP cores leave in the
// design, such as the HPS IP's three configuration strings (ACF variable
// types 182, 183 and 184), each kept as the kind it was given.
#include "design.h"

void add_generated_options(HDB_NAMESPACE* name_space, const std::vector<DESIGN_SETTING>& options)
{
    for (const DESIGN_SETTING& option : options)
    {
        std::unique_ptr<HDB_OPTION> generated;
        switch (option.kind)
        {
        case HDB_OPTION_KIND_BOOLEAN:
            generated = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>>(option.bool_value, 0, "");
            break;
        case HDB_OPTION_KIND_ENUM:
            generated = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_ENUM, 0>>(false, option.int_value, "");
            break;
        case HDB_OPTION_KIND_INTEGER:
            generated = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_INTEGER, 0>>(false, option.int_value, "");
            break;
        case HDB_OPTION_KIND_STRING:
            generated = std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, option.string_value);
            break;
        }
        name_space->add_generated_option(option.id, std::move(generated));
    }
}
