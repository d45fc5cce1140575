#include "asm_option2_pr.h"

#include <hdb.h>
#include <zhd.h>

#define ASM_SOURCE_TAG "comp/asm/asm_option2_pr"

namespace
{

const int OPTION_BITSTREAM_VERIFICATION = 1254;

// The settings of the current design's top partition; null when there is
// no such design or partition.
HDB_OPTION_INTERFACE* current_design_settings()
{
    ZHD_ROOT* root = ZHD_ROOT::get();
    ZHD_DESIGN* design = root != nullptr ? root->get_design("") : nullptr;
    ZHD_PARTITION* top = design != nullptr ? design->get_top_partition() : nullptr;
    return top != nullptr ? top->get_hdb() : nullptr;
}

}  // namespace

ASM_OPTION2_PR_INFO::ASM_OPTION2_PR_INFO() : m_bitstream_verification(false)
{
    // No fallback to a global section here: an absent setting is false.
    const auto* verification = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(
        current_design_settings(), OPTION_BITSTREAM_VERIFICATION, true);
    if (verification != nullptr)
        m_bitstream_verification = verification->get_bool_value();
}
