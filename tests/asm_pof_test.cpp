// The chip's output path.
#include "asm_pof.h"

#include <cdb.h>
#include <cmp.h>
#include <gen.h>
#include <hdb.h>
#include <msg.h>

#include <gtest/gtest.h>

TEST(ChipOutputPath, TakesTheProjectPathOrTheOutputDirectoryWithTheChipsName)
{
    HDB_CHIP hdb_chip("top_chip");
    CDB_CHIP_DB_ENTRY chip;
    chip.set_chip(&hdb_chip);
    CMP_FACADE cmp;
    cmp.set_project_path(FIO_PATH("/work/proj", "", ""));
    gen_set_project_output_directory("/work/proj/output_files");

    FIO_PATH path("old/leftover.sof");
    chip_output_path(&cmp, &chip, path, true);
    EXPECT_EQ(path.text(), "/work/proj/top_chip");

    chip_output_path(&cmp, &chip, path, false);
    EXPECT_EQ(path.text(), "/work/proj/output_files/top_chip");
    EXPECT_EQ(path.directory(), "/work/proj/output_files");
    EXPECT_EQ(path.extension(), "");
}

TEST(ChipOutputPath, ProjectPathKeepsItsExtension)
{
    HDB_CHIP hdb_chip("chip_b");
    CDB_CHIP_DB_ENTRY chip;
    chip.set_chip(&hdb_chip);
    CMP_FACADE cmp;
    cmp.set_project_path(FIO_PATH("/p/project.qpf"));
    FIO_PATH path;
    chip_output_path(&cmp, &chip, path, true);
    EXPECT_EQ(path.text(), "/p/chip_b.qpf");
}

TEST(ChipOutputPath, ChipWithoutHierarchyChipIsAnInternalError)
{
    CDB_CHIP_DB_ENTRY chip;
    CMP_FACADE cmp;
    FIO_PATH path("keep/me.txt");
    try
    {
        chip_output_path(&cmp, &chip, path, true);
        FAIL() << "no internal error";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "hdb_chip != NULL");
        EXPECT_EQ(e.file(), "comp/asm/asm_pof");
    }
    EXPECT_EQ(path.text(), "keep/me.txt");
}
