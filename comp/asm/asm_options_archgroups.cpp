// Architecture groups of the options file: the archgroups section names
// groups of the device's assembler database by type, index and block type,
// and the group's own operation turns the selection into configuration bits.
#include "asm_bit_settings.h"

#include "asm_common.h"
#include "asm_options.h"

#include <cdb.h>
#include <cfg.h>
#include <dev.h>
#include <gen.h>
#include <gen_string.h>

#include <xercesc/dom/DOM.hpp>

#define ASM_SOURCE_TAG ASM_OPTIONS_SOURCE_TAG

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace
{

const ASMDB_ARCH_GROUP_TYPE ARCH_TYPE_ALTERNATIVE_SELECT = static_cast<ASMDB_ARCH_GROUP_TYPE>(5);
const int FAMILY_ALTERNATIVE_SELECT = 66;

// The elements below an element (at any depth) with the name, in document
// order.
ASM_ELEMENT_LIST descendants(const DOMElement* element, const char* name)
{
    ASM_ELEMENT_LIST list;
    get_descendant_elements(list, element, name);
    return list;
}

std::string block_type_text(ASMDB_ARCH_GROUP_BLOCK_TYPE block_type)
{
    return block_type == 0 ? std::string("BLOCK_NO_TYPE") : std::string(asmdb_get_debug_string(block_type));
}

}  // namespace

// One select element with its enclosing block-index element.
struct ASM_BIT_SETTINGS_CONTEXT::SELECTION
{
    std::string description;
    int32_t group_index;
    int32_t alternative_index;
    ASMDB_ARCH_GROUP_BLOCK_TYPE block_type;
    ASMDB_ARCH_GROUP_TYPE arch_type;
    int32_t arch_index;
    uint32_t arg;
    std::string arg_string;
    bool value_given;
    bool ram_select_value;
    bool all_elements;
    int32_t array_index;
    int32_t array_index_value;
    std::string bcm_block;
};

void ASM_BIT_SETTINGS_CONTEXT::parse_element_location(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions,
                                                      DOMElement* element)
{
    const char* elem_name = "archgroups";
    ASM_REQUIRE((elem_name != NULL) && (element != NULL));
    // element_location, pin_location and element_name name no bits the
    // assembler applies.
    descendants(element, "element_location");
    descendants(element, "pin_location");
    descendants(element, "element_name");
    const ASM_ELEMENT_LIST element_indexes = descendants(element, "element_index");
    const ASM_ELEMENT_LIST all_elements = descendants(element, "all_elements");
    parse_block_elements(element_indexes, descriptions, cells, false);
    parse_block_elements(all_elements, descriptions, cells, true);
}

void ASM_BIT_SETTINGS_CONTEXT::parse_block_elements(const ASM_ELEMENT_LIST& elements,
                                                    ASM_DESCRIPTION_TABLE& descriptions, ASM_FORCED_BIT_LIST& cells,
                                                    bool all_elements)
{
    for (DOMElement* element : elements)
    {
        const int32_t group_index = all_elements ? 0 : gen_atoi(get_attribute_string("index", element).c_str());
        const std::string type_name = get_attribute_string("block_type", element);
        if (!asmdb_exists_asmdb_arch_group_block_type_by_string(type_name.c_str()))
            asm_options_fail("No match found for block type \"" + type_name +
                                 "\" in block index element in the Assembler assignments file",
                             __LINE__);
        ASMDB_ARCH_GROUP_BLOCK_TYPE block_type = asmdb_get_asmdb_arch_group_block_type_by_string(type_name.c_str());
        if (block_type == 1)
            block_type = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0);
        parse_arch_index(descendants(element, "select"), descriptions, cells, group_index, -1, block_type,
                         all_elements);
    }
}

void ASM_BIT_SETTINGS_CONTEXT::parse_arch_index(const ASM_ELEMENT_LIST& selects, ASM_DESCRIPTION_TABLE& descriptions,
                                                ASM_FORCED_BIT_LIST& cells, int32_t group_index,
                                                int32_t alternative_index, ASMDB_ARCH_GROUP_BLOCK_TYPE block_type,
                                                bool all_elements)
{
    for (DOMElement* element : selects)
    {
        SELECTION selection;
        selection.group_index = group_index;
        selection.alternative_index = alternative_index;
        selection.block_type = block_type;
        selection.all_elements = all_elements;
        selection.arch_index = gen_atoi(get_attribute_string("arch_index", element).c_str());
        const std::string type_name = get_attribute_string("arch_type", element);
        if (!asmdb_exists_asmdb_arch_group_type_by_string(type_name.c_str()))
            asm_options_fail("No match found for archgroup type \"" + type_name +
                                 "\" in archgroup select element in the Assembler assignments file",
                             __LINE__);
        selection.arch_type = asmdb_get_asmdb_arch_group_type_by_string(type_name.c_str());
        selection.arg = parse_hex_address(get_attribute_string("arg", element));
        selection.arg_string = get_attribute_string("arg_string", element);

        const std::string str = get_attribute_string("value", element);
        selection.value_given = gen_strcmp(str.c_str(), "none") != 0;
        const bool ram_select_value = gen_strcmp(str.c_str(), "1") == 0;
        selection.ram_select_value = ram_select_value;
        if (selection.value_given)
            ASM_REQUIRE(ram_select_value || (::gen_strcmp(str.c_str(), "0") == 0));

        // An absent array_index turns the array selection off.
        const std::string array_index_text = get_attribute_string("array_index", element);
        selection.array_index = array_index_text.empty() ? -1 : gen_atoi(array_index_text.c_str());
        const int32_t array_index_value = gen_atoi(get_attribute_string("array_index_value", element).c_str());
        ASM_REQUIRE(static_cast<uint32_t>(array_index_value) == 0 || static_cast<uint32_t>(array_index_value) == 1);
        selection.array_index_value = array_index_value;
        selection.description = get_attribute_string("desc", element);
        selection.bcm_block = get_attribute_string("bcm_block", element);

        if (selection.description.empty())
        {
            std::string& text = selection.description;
            text = std::string("arch_type = ") + asmdb_get_debug_string(selection.arch_type);
            if (selection.arch_index != -1)
                text += ", arch_index = " + std::to_string(selection.arch_index);
            if (block_type != 0)
                text += std::string(", block_type = ") + asmdb_get_debug_string(block_type);
            if (selection.value_given)
                text += std::string(", value = ") + (selection.ram_select_value ? "1" : "0");
            if (all_elements)
                text += ", all group elements selected";
            else
                text += ", group_index = " + std::to_string(group_index);
        }
        find_arch_group(cells, descriptions, selection);
    }
}

int ASM_BIT_SETTINGS_CONTEXT::base_family() const
{
    if (m_has_chip)
        return m_chip->get_base_family_enum();
    // Without a chip (a bitstream processed on its own) the family is the
    // family of the device the bitstream was made for.
    const DEV_BASIC_INFO* basic_info = m_device != NULL ? m_device->get_basic_info() : NULL;
    if (basic_info == NULL)
        return -1;
    return DEV_PART_MANAGER().get_family_of(basic_info->get_device_enum());
}

void ASM_BIT_SETTINGS_CONTEXT::find_arch_group(ASM_FORCED_BIT_LIST& cells, ASM_DESCRIPTION_TABLE& descriptions,
                                               const SELECTION& selection)
{
    ASMDB_SETTING_STREAMS streams;
    const ASMDB_ARCH_GROUP_BASE* group = NULL;
    const int num_groups = m_asmdb_die->get_num_groups();
    for (int i = 0; i < num_groups && group == NULL; ++i)
    {
        const ASMDB_ARCH_GROUP_BASE* candidate = m_asmdb_die->get_arch_group(i);
        ASM_REQUIRE(candidate != NULL);
        if (candidate->m_type != selection.arch_type)
            continue;
        if (!selection.bcm_block.empty() &&
            gen_stricmp(asmdb_get_debug_string(candidate->get_bcm_block_type()), selection.bcm_block.c_str()) != 0)
            continue;
        const bool relax = cfg_is_on("asm_xml_relax_bcm_index");
        if (candidate->m_index != selection.arch_index || candidate->m_block_type != selection.block_type)
            continue;
        if (!relax && !candidate->accepts(selection.group_index, selection.arg, streams))
            continue;
        group = candidate;
    }
    for (int i = 0; i < num_groups && group == NULL; ++i)
    {
        const ASMDB_ARCH_GROUP_BASE* candidate = m_asmdb_die->get_arch_group(i);
        if (candidate->m_type == selection.arch_type && candidate->m_index == selection.arch_index &&
            candidate->m_block_type == 0)
            group = candidate;
    }
    const std::string where = std::string("(type = ") + asmdb_get_debug_string(selection.arch_type) +
                              ", index = " + std::to_string(selection.arch_index) +
                              ", block_type = " + block_type_text(selection.block_type) + ")";
    if (group == NULL)
        asm_options_fail("Archgroup not found in Assembler database " + where, __LINE__);

    if (!selection.value_given)
    {
        if (selection.all_elements)
        {
            if (!selection.arg_string.empty())
                group->get_all_elements_settings(selection.arg_string, streams);
            else
                group->get_all_elements_settings(selection.arg, streams);
        }
        else
        {
            if (!selection.arg_string.empty())
                asm_options_fail("SOF XML dump for generic atom not implemented", __LINE__);
            group->get_select_settings(selection.group_index, selection.arg, streams);
        }
    }
    else
    {
        if (selection.all_elements)
            asm_options_fail("No support available for RAM-based select function upon all muxes for this "
                             "archgroup " +
                                 where,
                             __LINE__);
        int32_t select = selection.group_index;
        if (base_family() == FAMILY_ALTERNATIVE_SELECT && selection.arch_type == ARCH_TYPE_ALTERNATIVE_SELECT)
            select = selection.alternative_index;
        group->get_ram_select_settings(select, selection.arg, selection.ram_select_value, streams);
    }

    size_t stride = 0;
    const bool array_selection = selection.array_index != -1;
    if (array_selection)
    {
        const int32_t group_size = group->get_group_size();
        ASM_REQUIRE(group_size > 0);
        stride = streams.m_settings.size() / static_cast<size_t>(group_size);
    }
    int64_t next = selection.array_index;
    for (size_t k = 0; k < streams.m_settings.size(); ++k)
    {
        const ASMDB_SETTING& setting = streams.m_settings[k];
        uint8_t value = setting.value;
        if (array_selection)
        {
            if (static_cast<int64_t>(k) != next)
                continue;
            value = selection.array_index_value != 0 ? 1 : 0;
            // A stride of 0 takes one setting only.
            next = stride == 0 ? -2 : next + static_cast<int64_t>(stride);
        }
        const int32_t sequence = asm_next_bit_sequence();
        cells.push_back(ASM_FORCED_BIT{setting.address, value, sequence});
        if (!selection.description.empty())
            descriptions[sequence] = selection.description;
    }
}
