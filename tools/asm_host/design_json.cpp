#include "design_json.h"

namespace design_json
{

std::vector<DESIGN_SETTING> read_settings(const VALUE& list_value)
{
    std::vector<DESIGN_SETTING> settings;
    UNIQUE<int> ids("setting");
    for (const VALUE& element : list_value.elements())
    {
        OBJECT entry(element);
        DESIGN_SETTING setting;
        VALUE id = entry.required("id");
        setting.id = id.int32();
        ids.check(setting.id, id);
        VALUE type = entry.required("type");
        const std::string type_name = type.string();
        VALUE value = entry.required("value");
        if (type_name == "boolean")
        {
            setting.kind = HDB_OPTION_KIND_BOOLEAN;
            setting.bool_value = value.boolean();
        }
        else if (type_name == "enumeration")
        {
            setting.kind = HDB_OPTION_KIND_ENUM;
            setting.int_value = static_cast<int>(value.integer(0, UINT16_MAX));
        }
        else if (type_name == "integer")
        {
            setting.kind = HDB_OPTION_KIND_INTEGER;
            setting.int_value = value.int32();
        }
        else if (type_name == "string")
        {
            setting.kind = HDB_OPTION_KIND_STRING;
            setting.string_value = value.string();
        }
        else if (type_name == "multi")
        {
            setting.multi = true;
            for (const VALUE& entry_value : value.elements())
                setting.multi_values.push_back(entry_value.string());
        }
        else
        {
            type.fail("expected one of \"boolean\", \"enumeration\", \"integer\", \"string\", \"multi\"");
        }
        entry.finish();
        settings.push_back(setting);
    }
    return settings;
}

std::vector<DESIGN_SETTING> read_generated_options(const VALUE& list_value)
{
    std::vector<DESIGN_SETTING> options = read_settings(list_value);
    for (size_t i = 0; i < options.size(); ++i)
        if (options[i].multi)
            list_value.elements()[i].fail("a generated option has one value, not \"multi\"");
    return options;
}

}  // namespace design_json
