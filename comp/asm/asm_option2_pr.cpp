#include "asm_option2_pr.h"

#include "asm_common.h"

#include <hdb.h>

#define ASM_SOURCE_TAG "comp/asm/asm_option2_pr"

namespace
{

const int OPTION_BITSTREAM_VERIFICATION = 1254;

}  // namespace

ASM_OPTION2_PR_INFO::ASM_OPTION2_PR_INFO() : m_bitstream_verification(false)
{
    // No fallback to a global section here: an absent setting is false.
    const auto* verification = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(
        top_partition_settings(), OPTION_BITSTREAM_VERIFICATION, true);
    if (verification != nullptr)
        m_bitstream_verification = verification->get_bool_value();
}
