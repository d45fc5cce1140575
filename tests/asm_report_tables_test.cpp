// The assembler's report tables: the file list, the settings table of each
// file line and the CRC table with its clock rate.
#include "asm_common.h"
#include "asm_util.h"

#include <cdb.h>
#include <cfg.h>
#include <cmp.h>
#include <msg.h>
#include <rdb.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{

typedef std::vector<std::string> TEXTS;
typedef std::vector<TEXTS> ROWS;

const TEXTS OPTION_SETTING_TITLE{RDB_OPTION, RDB_SETTING};
const char* const CREATING_LINE = " Creating the asm.rpt tables...";
const char* const DIVISOR_ZERO_LINE = "CRC clock divisor is 0; the CRC clock rate is shown undivided";

std::string settings_table_name(const std::string& file_name)
{
    return std::string(RDB_ASSEMBLER_FILE_SETTINGS) + file_name;
}

ROWS rows_of(const RDB_TABLE_OBJECT& table)
{
    ROWS rows;
    for (size_t i = 0; i < table.row_count(); ++i)
        rows.push_back(table.row(i).texts());
    return rows;
}

std::vector<MSG_DEBUG_LINE> module_debug_lines()
{
    std::vector<MSG_DEBUG_LINE> lines;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        if (line.component == "ASM")
            lines.push_back(line);
    return lines;
}

TEXTS module_debug_texts()
{
    TEXTS texts;
    for (const MSG_DEBUG_LINE& line : module_debug_lines())
        texts.push_back(line.text);
    return texts;
}

// A facade whose report cannot be had.
class FACADE_WITHOUT_REPORT : public CMP_FACADE
{
public:
    RDB_REPORT* get_report() override { return nullptr; }
};

}  // namespace

class ReportTables : public testing::Test
{
protected:
    void SetUp() override
    {
        cfg_clear();
        msg_reset();
        set_families(15, 15);
        chip.set_crc_clock_divisor(1);
    }

    void set_families(DEV_FAMILY base, DEV_FAMILY internal)
    {
        chip.set_base_family(base);
        chip.set_internal_family(internal);
    }

    void create(const TEXTS& lines)
    {
        ASM_RPT_DATA_CACHE cache(chip);
        create_asm_report_tables(&cmp, lines, &cache, &chip);
    }

    // The condition and source of the internal error the call raised, "" for
    // none.
    std::string create_error(const TEXTS& lines)
    {
        try
        {
            create(lines);
        }
        catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
        {
            EXPECT_EQ(e.component(), "ASM");
            error_line = e.line();
            return e.condition() + " @" + e.file();
        }
        return "";
    }

    const RDB_FOLDER_OBJECT& folder() { return *cmp.get_report()->get_current_folder(); }

    TEXTS table_names()
    {
        TEXTS names;
        for (size_t i = 0; i < folder().table_count(); ++i)
            names.push_back(folder().table(i).name());
        return names;
    }

    ROWS rows_of_table(size_t index) { return rows_of(folder().table(index)); }

    // The CRC table's rows; empty when there is no CRC table.
    ROWS crc_rows()
    {
        const RDB_TABLE_OBJECT* table = folder().find_table(RDB_ASSEMBLER_CRC_TABLE_NAME);
        return table != nullptr ? rows_of(*table) : ROWS();
    }

    CMP_FACADE cmp;
    CDB_CHIP_DB_ENTRY chip;
    // The line of the last internal error that create_error caught.
    int error_line = 0;
};

TEST_F(ReportTables, EmptyListGivesTheFileListWithItsTitleOnly)
{
    create({});
    EXPECT_EQ(cmp.get_report()->folder_count(), 1u);
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME}));
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}}));

    const std::vector<MSG_DEBUG_LINE> lines = module_debug_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, CREATING_LINE);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(ReportTables, TablesGoToTheReportsCurrentFolder)
{
    cmp.get_report()->get_current_folder();
    cmp.get_report()->open_folder("Later stage");
    create({"a = 1 ; /out/top.sof"});
    ASSERT_EQ(cmp.get_report()->folder_count(), 2u);
    EXPECT_EQ(cmp.get_report()->folder(0).table_count(), 0u);
    EXPECT_EQ(cmp.get_report()->folder(1).table_count(), 2u);
}

// ---------------------------------------------------------------------------
// File lines

TEST_F(ReportTables, RunsOwnLineGivesTheFileRowAndThreeSettingsRows)
{
    const std::string line = safe_sprintf("JTAG usercode = 0x%08X,Checksum = 0x%08X,Design hash = %s ; %s",
                                          0x00ABCDEFu, 0xC0FFEE01u, "5d41402abc4b2a76", "/work/out/top.sof");
    create({line});

    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name("top.sof")}));
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}, {"/work/out/top.sof"}}));
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE,
                                      {"JTAG usercode ", "0x00ABCDEF"},
                                      {"Checksum ", "0xC0FFEE01"},
                                      {"Design hash ", "5d41402abc4b2a76 "}}));
}

TEST_F(ReportTables, SettingsTableIsNamedAfterTheFileNameOfThePath)
{
    create({"a = 1 ; D:\\out\\top.sof", "a = 1 ; out/sub\\mixed.pmsf", "a = 1 ; dir\\sub/last.rbf",
            "a = 1 ; bare.sof", "a = 1 ; /out/dir/"});
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name("top.sof"),
                                    settings_table_name("mixed.pmsf"), settings_table_name("last.rbf"),
                                    settings_table_name("bare.sof"), settings_table_name("")}));
    // The file list keeps each path whole.
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME},
                                      {"D:\\out\\top.sof"},
                                      {"out/sub\\mixed.pmsf"},
                                      {"dir\\sub/last.rbf"},
                                      {"bare.sof"},
                                      {"/out/dir/"}}));
}

TEST_F(ReportTables, FileLinesKeepTheirOrderInBothPasses)
{
    create({"x = 1 ; /p/b.pmsf", "y = 2 ; /p/a.pmsf", "z = 3 ; /p/b.pmsf"});
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name("b.pmsf"),
                                    settings_table_name("a.pmsf"), settings_table_name("b.pmsf")}));
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}, {"/p/b.pmsf"}, {"/p/a.pmsf"}, {"/p/b.pmsf"}}));
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE, {"x ", "1 "}}));
    EXPECT_EQ(rows_of_table(2), (ROWS{OPTION_SETTING_TITLE, {"y ", "2 "}}));
    EXPECT_EQ(rows_of_table(3), (ROWS{OPTION_SETTING_TITLE, {"z ", "3 "}}));
}

TEST_F(ReportTables, ItemsSplitAtCommasAndTheirFirstEquals)
{
    create({"Mode = A = B,bare item,,last = x,; /p/f.sof"});
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE,
                                      {"Mode ", "A = B"},
                                      {"bare item", " "},
                                      {"", " "},
                                      {"last ", "x"}}));
}

TEST_F(ReportTables, LineStartingWithTheSemicolonHasOnlyTheTitleRow)
{
    create({"; /p/empty.sof"});
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}, {"/p/empty.sof"}}));
    EXPECT_EQ(table_names()[1], settings_table_name("empty.sof"));
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE}));
}

TEST_F(ReportTables, TextMissingAfterASeparatorIsEmptyAndTheRunGoesOn)
{
    // ';' as the last character and as the last but one; '=' likewise.
    create({"a =,b =x;", "c = 1 ;x", "d = 2 ; /p/after.sof"});
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}, {""}, {""}, {"/p/after.sof"}}));
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name(""),
                                    settings_table_name(""), settings_table_name("after.sof")}));
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE, {"a ", ""}, {"b ", ""}}));
    EXPECT_EQ(rows_of_table(2), (ROWS{OPTION_SETTING_TITLE, {"c ", "1 "}}));
    EXPECT_EQ(rows_of_table(3), (ROWS{OPTION_SETTING_TITLE, {"d ", "2 "}}));
}

TEST_F(ReportTables, ReportTextShowsTheTablesInFolderOrder)
{
    set_families(62, 17);
    chip.set_crc_clock_divisor(2);
    create({"JTAG usercode = 0x0000000A ; /out/top.sof", "CRC = On"});
    std::ostringstream text;
    cmp.get_report()->write_text(text);
    const std::string expected = std::string("+-- Assembler\n") +
                                 "\n; " + RDB_ASSEMBLER_FILES_TABLE_NAME + "\n" +
                                 "; " + RDB_ASSEMBLER_FILENAME + " ;\n" +
                                 "; /out/top.sof ;\n" +
                                 "\n; " + RDB_ASSEMBLER_CRC_TABLE_NAME + "\n" +
                                 "; " + RDB_OPTION + " ; " + RDB_SETTING + " ;\n" +
                                 "; CRC  ; On ;\n" +
                                 "; " + RDB_CRC_CLOCK_RATE + " ; 40.00 MHz ;\n" +
                                 "\n; " + RDB_ASSEMBLER_FILE_SETTINGS + "top.sof\n" +
                                 "; " + RDB_OPTION + " ; " + RDB_SETTING + " ;\n" +
                                 "; JTAG usercode  ; 0x0000000A  ;\n" +
                                 "\n";
    EXPECT_EQ(text.str(), expected);
}

// ---------------------------------------------------------------------------
// CRC lines

TEST_F(ReportTables, CrcTableComesRightAfterTheFileList)
{
    set_families(62, 62);
    create({"a = 1 ; /p/one.sof", "Error detection CRC = On", "b = 2 ; /p/two.sof"});
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, RDB_ASSEMBLER_CRC_TABLE_NAME,
                                    settings_table_name("one.sof"), settings_table_name("two.sof")}));
    // The CRC line is not a file.
    EXPECT_EQ(rows_of_table(0), (ROWS{{RDB_ASSEMBLER_FILENAME}, {"/p/one.sof"}, {"/p/two.sof"}}));
    EXPECT_EQ(rows_of_table(1), (ROWS{OPTION_SETTING_TITLE,
                                      {"Error detection CRC ", "On"},
                                      {RDB_CRC_CLOCK_RATE, "80.00 MHz"}}));
}

TEST_F(ReportTables, EachCrcFamilyBuildsTheTable)
{
    for (DEV_FAMILY family : {76, 17, 14, 62})
    {
        SCOPED_TRACE(family);
        CMP_FACADE facade;
        chip.set_base_family(family);
        chip.set_internal_family(15);
        ASM_RPT_DATA_CACHE cache(chip);
        create_asm_report_tables(&facade, {"CRC = On"}, &cache, &chip);
        const RDB_FOLDER_OBJECT& tables = *facade.get_report()->get_current_folder();
        ASSERT_EQ(tables.table_count(), 2u);
        EXPECT_EQ(tables.table(1).name(), RDB_ASSEMBLER_CRC_TABLE_NAME);
        EXPECT_EQ(rows_of(tables.table(1)),
                  (ROWS{OPTION_SETTING_TITLE, {"CRC ", "On"}, {RDB_CRC_CLOCK_RATE, "100.00 MHz"}}));
    }
}

TEST_F(ReportTables, InternalFamilySeventeenRunsTheClockAtEightyMegahertz)
{
    set_families(62, 17);
    chip.set_crc_clock_divisor(4);
    create({"CRC = On"});
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC ", "On"}, {RDB_CRC_CLOCK_RATE, "20.00 MHz"}}));
}

TEST_F(ReportTables, InternalFamilyFifteenRunsTheClockAtOneHundredMegahertz)
{
    set_families(17, 15);
    chip.set_crc_clock_divisor(4);
    create({"CRC = On"});
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC ", "On"}, {RDB_CRC_CLOCK_RATE, "25.00 MHz"}}));
}

TEST_F(ReportTables, ClockRateByInternalFamily)
{
    struct CASE
    {
        DEV_FAMILY internal;
        const char* rate;
    };
    // 80 MHz or 100 MHz divided by 3, to two decimals.
    const CASE cases[] = {{14, "26.67 MHz"}, {17, "26.67 MHz"}, {62, "26.67 MHz"}, {72, "26.67 MHz"},
                          {15, "33.33 MHz"}, {76, "33.33 MHz"}, {29, "33.33 MHz"}, {-1, "33.33 MHz"}};
    chip.set_crc_clock_divisor(3);
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.internal);
        CMP_FACADE facade;
        set_families(76, c.internal);
        ASM_RPT_DATA_CACHE cache(chip);
        create_asm_report_tables(&facade, {"CRC = On"}, &cache, &chip);
        const RDB_TABLE_OBJECT* table =
            facade.get_report()->get_current_folder()->find_table(RDB_ASSEMBLER_CRC_TABLE_NAME);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(rows_of(*table).back(), (TEXTS{RDB_CRC_CLOCK_RATE, c.rate}));
    }
}

TEST_F(ReportTables, DivisorIsTheOneCachedBeforeTheRun)
{
    set_families(14, 14);
    chip.set_crc_clock_divisor(1000);
    ASM_RPT_DATA_CACHE cache(chip);
    chip.set_crc_clock_divisor(2);
    create_asm_report_tables(&cmp, {"CRC = On"}, &cache, &chip);
    EXPECT_EQ(crc_rows().back(), (TEXTS{RDB_CRC_CLOCK_RATE, "80.00 kHz"}));
}

TEST_F(ReportTables, LargestDivisorIsTakenAsAnUnsignedNumber)
{
    set_families(76, 15);
    chip.set_crc_clock_divisor(0xFFFFFFFFu);
    create({"CRC = On"});
    // 100 MHz / 4294967295 = 0.0232830643... Hz
    EXPECT_EQ(crc_rows().back(), (TEXTS{RDB_CRC_CLOCK_RATE, "0.02 Hz"}));
}

TEST_F(ReportTables, DivisorZeroShowsTheUndividedClockAndSaysSo)
{
    set_families(62, 15);
    chip.set_crc_clock_divisor(0);
    create({"CRC = On", "a = 1 ; /p/f.sof"});
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC ", "On"}, {RDB_CRC_CLOCK_RATE, "100.00 MHz"}}));
    EXPECT_EQ(module_debug_texts(), (TEXTS{CREATING_LINE, DIVISOR_ZERO_LINE}));
    EXPECT_EQ(module_debug_lines()[1].level, 2);
}

TEST_F(ReportTables, DivisorOneWritesNoDivisorLine)
{
    set_families(62, 17);
    create({"CRC = On"});
    EXPECT_EQ(crc_rows().back(), (TEXTS{RDB_CRC_CLOCK_RATE, "80.00 MHz"}));
    EXPECT_EQ(module_debug_texts(), (TEXTS{CREATING_LINE}));
}

TEST_F(ReportTables, CrcLineWithoutEqualsIsShownWholeWithABlank)
{
    set_families(76, 76);
    create({"CRC checking on"});
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC checking on", " "}, {RDB_CRC_CLOCK_RATE, "100.00 MHz"}}));
}

TEST_F(ReportTables, CrcLineEndingAtItsEqualsHasAnEmptySetting)
{
    set_families(76, 76);
    create({"CRC="});
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC", ""}, {RDB_CRC_CLOCK_RATE, "100.00 MHz"}}));
}

TEST_F(ReportTables, LaterCrcLineReplacesTheEarlierTable)
{
    set_families(62, 62);
    create({"CRC = first", "a = 1 ; /p/f.sof", "CRC = second"});
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, RDB_ASSEMBLER_CRC_TABLE_NAME,
                                    settings_table_name("f.sof")}));
    EXPECT_EQ(crc_rows(), (ROWS{OPTION_SETTING_TITLE, {"CRC ", "second"}, {RDB_CRC_CLOCK_RATE, "80.00 MHz"}}));
}

TEST_F(ReportTables, CrcLineOnAnotherFamilyIsUnhandledAfterTheEarlierTables)
{
    set_families(29, 17);
    const TEXTS lines{"a = 1 ; /p/first.sof", "b = 2 ; /p/second.pmsf", "CRC = On", "c = 3 ; /p/third.pmsf"};
    EXPECT_EQ(create_error(lines), "Unhandled report data @comp/asm/asm_util");
    EXPECT_EQ(error_line, 963);

    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name("first.sof"),
                                    settings_table_name("second.pmsf")}));
    // The file list was complete before the second pass began.
    EXPECT_EQ(rows_of_table(0),
              (ROWS{{RDB_ASSEMBLER_FILENAME}, {"/p/first.sof"}, {"/p/second.pmsf"}, {"/p/third.pmsf"}}));
    EXPECT_EQ(rows_of_table(2), (ROWS{OPTION_SETTING_TITLE, {"b ", "2 "}}));
    // The oops line comes last, just before the internal error.
    EXPECT_EQ(module_debug_texts(), (TEXTS{CREATING_LINE, "Oops: CRC = On "}));
    EXPECT_EQ(module_debug_lines().back().level, 2);
}

TEST_F(ReportTables, FirstLineWithoutSemicolonOnFamilyFifteenIsUnhandled)
{
    set_families(15, 15);
    EXPECT_EQ(create_error({"not a file line"}), "Unhandled report data @comp/asm/asm_util");
    EXPECT_EQ(error_line, 963);
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME}));
    EXPECT_EQ(module_debug_texts().back(), "Oops: not a file line ");
}

// ---------------------------------------------------------------------------
// Arguments

TEST_F(ReportTables, NullFacadeIsAnInternalError)
{
    ASM_RPT_DATA_CACHE cache(chip);
    std::string error;
    try
    {
        create_asm_report_tables(nullptr, {"a = 1 ; /p/f.sof"}, &cache, &chip);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        error = e.condition() + " @" + e.file() + ":" + std::to_string(e.line());
    }
    EXPECT_EQ(error, "facade != NULL @comp/asm/asm_util:856");
    EXPECT_TRUE(module_debug_texts().empty());
}

TEST_F(ReportTables, NullChipIsAnInternalErrorAndAddsNoTable)
{
    ASM_RPT_DATA_CACHE cache(chip);
    std::string error;
    try
    {
        create_asm_report_tables(&cmp, {"a = 1 ; /p/f.sof"}, &cache, nullptr);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        error = e.condition() + " @" + e.file() + ":" + std::to_string(e.line());
    }
    EXPECT_EQ(error, "chip != NULL @comp/asm/asm_util:857");
    EXPECT_EQ(folder().table_count(), 0u);
}

TEST_F(ReportTables, FacadeWithoutReportIsAnInternalError)
{
    FACADE_WITHOUT_REPORT facade;
    ASM_RPT_DATA_CACHE cache(chip);
    std::string error;
    try
    {
        create_asm_report_tables(&facade, {}, &cache, &chip);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        error = e.condition() + " @" + e.file();
    }
    EXPECT_EQ(error, "report != NULL @comp/asm/asm_util");
}

TEST_F(ReportTables, CacheIsReadOnlyForACrcLine)
{
    set_families(62, 62);
    create_asm_report_tables(&cmp, {"a = 1 ; /p/f.sof"}, nullptr, &chip);
    EXPECT_EQ(table_names(), (TEXTS{RDB_ASSEMBLER_FILES_TABLE_NAME, settings_table_name("f.sof")}));

    std::string error;
    try
    {
        create_asm_report_tables(&cmp, {"CRC = On"}, nullptr, &chip);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        error = e.condition() + " @" + e.file();
    }
    EXPECT_EQ(error, "cache != NULL @comp/asm/asm_util");
    // Nothing of the failed call reached the folder.
    EXPECT_EQ(folder().table_count(), 2u);
}
