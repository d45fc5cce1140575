#include "asm_sld_utilities.h"

#include "asm_common.h"

void ASM_SLD_PROCESSOR::process_partition(ZHD_PARTITION* /*partition*/, ASM_ISLD_DEBUG* /*sink*/)
{
    asm_debug_log(2, "%s", "Not Implemented Yet");
}
