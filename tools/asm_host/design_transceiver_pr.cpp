#include "design_transceiver_pr.h"

#include "design.h"

#include <dbcm.h>
#include <dev.h>
#include <zhd.h>
#include <zpr.h>

#include <cctype>
#include <set>

namespace
{

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

void add_block_tree(DBCM_INSTANCE_NODE* node, const DESIGN_BLOCK& block)
{
    for (const auto& [setting, value] : block.settings)
        node->set_setting(setting.c_str(), value.c_str());
    for (const DESIGN_BLOCK& child : block.children)
        add_block_tree(node->add_child(child.type_or_name.c_str()), child);
}

}  // namespace

bool parse_hex_bytes(const std::string& text, std::string& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    std::string result;
    for (size_t i = 0; i < text.size(); i += 2)
    {
        const int high = hex_digit(text[i]);
        const int low = hex_digit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        result.push_back(static_cast<char>(high * 16 + low));
    }
    bytes = result;
    return true;
}

void apply_brask_types(const DESIGN& design)
{
    for (const DESIGN_PART& part : design.parts)
        for (const auto& [uid, type] : part.brask_types)
            dev_set_brask_type(static_cast<DEV_PART>(part.part), uid, type);
}

void apply_design_sectors(const DESIGN& design, DBCM_CHIP* chip)
{
    if (design.sectors.empty())
        return;
    DBCM_DEVICE* device = chip->add_device(design.device_name);
    for (const DESIGN_SECTOR& data : design.sectors)
    {
        DBCM_SECTOR* sector = device->add_device_sector(data.name, data.type);
        for (const DESIGN_BLOCK& block : data.blocks)
        {
            sector->add_instance(block.type_or_name.c_str());
            add_block_tree(chip->add_named_instance(block.type_or_name.c_str()), block);
        }
    }
}
