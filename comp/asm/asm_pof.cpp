#include "asm_pof.h"

#include "asm_common.h"

#include <cdb.h>
#include <cmp.h>
#include <gen.h>
#include <hdb.h>

#define ASM_SOURCE_TAG "comp/asm/asm_pof"

void chip_output_path(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, FIO_PATH& path, bool from_facade)
{
    HDB_CHIP* hdb_chip = chip->get_chip();
    ASM_REQUIRE(hdb_chip != NULL);
    if (from_facade)
        path = cmp->get_project_path();
    else
        path = FIO_PATH(gen_get_project_output_directory(), "", "");
    path.base(hdb_chip->get_name());
}
