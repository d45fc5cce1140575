// Bit settings of the assignments file: the cells of every address form,
// tokens, packages and archgroups, the read and compare listings, the option
// register and JTAG user code, the faults of bad files, and asm_process_sof
// on a written SRAM object file.
#include "asm_bit_settings.h"
#include "asm_options.h"
#include "asm_root.h"
#include "file_size_limit.h"
#include "sof_device_builder.h"

#include <asm_bitfield.h>
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>
#include <msg.h>
#include <pgmio.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{

const int COLUMNS = 10;
const uint32_t CRAM_BITS = 1000;

std::string internal_error_of(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        EXPECT_EQ(error.component(), "ASM");
        return error.file() + ": " + error.condition();
    }
    return "(none)";
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

typedef std::vector<std::pair<uint32_t, int>> CELLS;

CELLS cells_of(const std::vector<DB_BIT_SETTING>& settings)
{
    CELLS cells;
    for (const DB_BIT_SETTING& setting : settings)
        cells.emplace_back(setting.address, setting.value);
    return cells;
}

SOF_CONTENTS sample_contents()
{
    SOF_CONTENTS contents;
    contents.part_name = "zx15f256c8";
    contents.jtag_user_code = 0x00C0FFEE;
    contents.cram = SOF_IMAGE::zeros(CRAM_BITS);
    contents.cram.set_bit(12, true);
    contents.cram.set_bit(21, true);
    contents.cff = SOF_IMAGE::zeros(64);
    contents.cff->set_bit(4, true);
    contents.unvm = SOF_IMAGE::zeros(64);
    contents.option_register = SOF_IMAGE::zeros(32);
    contents.option_register_word = 0x00000101u;
    return contents;
}

class BitSettings : public testing::Test
{
protected:
    void SetUp() override
    {
        reset_bit_settings_state();
        std::string pattern = (fs::temp_directory_path() / "asm_bits_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        fs::current_path(m_dir);

        auto basic_info = std::make_unique<DEV_BASIC_INFO>(static_cast<DEV_PART>(1501),
                                                           static_cast<DEV_DEVICE_ENUM>(150));
        basic_info->set_int_data(DEV_BASIC_INFO_INT_CRAM_COLS, COLUMNS);
        m_device.set_basic_info(std::move(basic_info));

        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(2), "LAB");
        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3), "IO");
        asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(7), "MUX");
        // Four elements of two bits from CRAM bit 500; a second group of the
        // same type and index in the CFF space, of no block type.
        m_die.add_arch_group(std::make_unique<ASMDB_TABLE_ARCH_GROUP>(
            3, static_cast<ASMDB_ARCH_GROUP_TYPE>(7), static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(2),
            static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3), 4, 2, 500));
        auto io_group = std::make_unique<ASMDB_TABLE_ARCH_GROUP>(
            0, static_cast<ASMDB_ARCH_GROUP_TYPE>(7), static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3),
            static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0), 2, 1, 0xA0000010u);
        io_group->set_named_argument("all", 1);
        m_die.add_arch_group(std::move(io_group));
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(m_start_directory, ec);
        fs::remove_all(m_dir, ec);
    }

    std::string write(const std::string& name, const std::string& text)
    {
        std::ofstream(fs::path(m_dir) / name, std::ios::binary) << text;
        return (fs::path(m_dir) / name).string();
    }

    std::string write_options(const std::string& body)
    {
        return write("options.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>" + body +
                                        "</asm_assignments></assembler_options>\n");
    }

    // Applies the body's bit settings to a fresh bitfield of the sample
    // contents; the forced cells in list order.
    CELLS apply(const std::string& body)
    {
        write_options(body);
        return apply_written();
    }

    // The same for the options file written already.
    CELLS apply_written()
    {
        m_bitfield.reset(new ASM_BITFIELD(new PGMIO_BITFIELD(sample_contents(), 0)));
        m_options.reset(new ASM_OPTIONS());
        m_options->initialize(FIO_PATH(m_dir + "/options.xml"), "", "", "");
        EXPECT_TRUE(m_options->m_initialized);
        std::vector<DB_BIT_SETTING> settings;
        m_options->apply_bit_settings(settings, m_bitfield.get(), &m_device, &m_die, nullptr, nullptr);
        return cells_of(settings);
    }

    std::string apply_error(const std::string& body)
    {
        return internal_error_of([&] { apply(body); });
    }

    std::string m_dir;
    fs::path m_start_directory = fs::current_path();
    DEV_DEVICE m_device;
    ASMDB_DIE m_die;
    std::unique_ptr<ASM_BITFIELD> m_bitfield;
    std::unique_ptr<ASM_OPTIONS> m_options;
};

const uint32_t CFF = 0xA0000000u;
const uint32_t UNVM = 0x90000000u;
const uint32_t OPT = 0x88000000u;

// ---------------------------------------------------------------------------
// Address forms, tokens and packages

TEST_F(BitSettings, AddressFormsMakeTheirCellsInSectionOrder)
{
    const CELLS cells = apply(
        "<bit_settings action='override'>"
        "<expanded_option_register><address_1d addr='2' value='1'/></expanded_option_register>"
        "<cff><address_1d addr='4' value='0'/><address_2d row='0' column='0' value='1'/></cff>"
        "<cram><address_2d row='2' column='2:1' value='2'/><address_1d addr='7:4' value='A'/>"
        "<address_1d addr='-1' value='1'/>"
        "<base_address_1d addr='100'><address_1d addr='3' value='1'/></base_address_1d>"
        "<base_address_2d row='1' column='1'><address_2d row='0' column='4' value='1'/></base_address_2d>"
        "<address_1d addr='0:4' value='0F'/></cram>"
        "</bit_settings>");
    // Per section: 1-d, tokens, 1-d bases, then 2-d forms; sections cram,
    // cff, expanded option register.
    const CELLS expected = {{4, 0}, {5, 1}, {6, 0}, {7, 1}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 0}, {103, 1},
                            {21, 0}, {22, 1}, {15, 1}, {CFF | 4, 0}, {OPT | 2, 1}};
    EXPECT_EQ(cells, expected);
}

TEST_F(BitSettings, RangesNeedTheirBitsAndStayInTheirSpace)
{
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='0:4' value='F'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Missing bit settings \"F\" for address range 0:4 in the Assembler "
              "assignments file");
    // A range of the whole 32-bit line is refused, not made cell by cell.
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='-2147483648:2147483647' "
                          "value='FFFFFFFF'/></cram></bit_settings>"),
              "comp/asm/asm_options: Missing bit settings \"FFFFFFFF\" for address range -2147483648:2147483647 "
              "in the Assembler assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_2d row='0:65536' column='0:65536' "
                          "value='F'/></cram></bit_settings>"),
              "comp/asm/asm_options: Missing bit settings \"F\" for address range R0:65536 C0:65536 in the "
              "Assembler assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='2147483648' value='1'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Address -2147483648 is outside the CRAM address space in the Assembler "
              "assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><cff><base_address_1d addr='134217727'>"
                          "<address_1d addr='1' value='1'/></base_address_1d></cff></bit_settings>"),
              "comp/asm/asm_options: Address 134217728 is outside the CFF address space in the Assembler "
              "assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='1' value='123456789'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Address value \"123456789\" is not a valid HEXADECIMAL number (size limited "
              "to 32 bits) in the Assembler assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='1' value='G'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Address value \"G\" is not a valid HEXADECIMAL number in the Assembler "
              "assignments file");
    // A forced bit past the end of the device's image.
    EXPECT_EQ(apply_error("<bit_settings action='override'><cram><address_1d addr='1000' value='1'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Forced bit index 1000 is outside the CRAM image of 1000 bits in the Assembler "
              "assignments file");
}

TEST_F(BitSettings, TokensAndArraysSpreadTheirValue)
{
    write("shared.tok", "# comment\n\nTOK 0:7\r\nWIDE 600:647\nA 30\nB 31\nC 32\n$ARR A B C\nTOK2 2:3 4:5");
    write("element.tok", "CELL 9 9\n");
    const CELLS cells = apply(
        "<token_file filename='shared.tok'/>"
        "<bit_settings action='override'><token_file filename='element.tok'/><cram>"
        "<token_1d name='TOK' value='81'/><token_1d name='ARR' value='5'/>"
        "<token_1d name='WIDE' value='800000000001'/>"
        "<token_2d name='TOK2' value='9'/><token_2d name='CELL' value='1'/>"
        "</cram></bit_settings>");
    CELLS expected = {{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 1}, {30, 1}, {31, 0}, {32, 1}};
    for (uint32_t k = 0; k < 48; ++k)
        expected.emplace_back(600 + k, k == 0 || k == 47 ? 1 : 0);
    const CELLS two_d = {{24, 1}, {25, 0}, {34, 0}, {35, 1}, {99, 1}};
    expected.insert(expected.end(), two_d.begin(), two_d.end());
    EXPECT_EQ(cells, expected);
}

TEST_F(BitSettings, ALargeTokenArrayIsReadAndMergedInLinearTime)
{
    // 100,000 tokens and one array of them all, read in a bit_settings
    // element (so merged into the element's tables): checking each member
    // against the ones before it, or each merged member against every token,
    // would take billions of steps.
    const int count = 100000;
    std::string text;
    std::string array = "$ALL";
    for (int i = 0; i < count; ++i)
    {
        text += "T" + std::to_string(i) + " " + std::to_string(i) + "\n";
        array += " T" + std::to_string(i);
    }
    write("big.tok", text + array + "\n");
    const CELLS cells = apply("<bit_settings action='override'><token_file filename='big.tok'/><cram>"
                              "<token_1d name='T7' value='1'/></cram></bit_settings>");
    EXPECT_EQ(cells, (CELLS{{7, 1}}));
}

TEST_F(BitSettings, BadTokensAndTokenFilesStopTheRun)
{
    write("a.tok", "TOK 0:7\nTWO 1 1\n");
    write("b.tok", "TOK 3\n");
    EXPECT_EQ(apply_error("<token_file filename='a.tok'/><bit_settings action='override'><cram>"
                          "<token_1d name='NONE' value='1'/></cram></bit_settings>"),
              "comp/asm/asm_options: Token \"NONE\" was not found in the token file(s)");
    EXPECT_EQ(apply_error("<token_file filename='a.tok'/><bit_settings action='override'>"
                          "<token_file filename='b.tok'/></bit_settings>"),
              "comp/asm/asm_options: Token name \"TOK\" found in file " + m_dir + "/b.tok is not unique");
    EXPECT_EQ(apply_error("<token_file filename='a.tok'/><bit_settings action='override'><cram>"
                          "<token_1d name='TOK' value='F'/></cram></bit_settings>"),
              "comp/asm/asm_options: Missing bit settings \"F\" for address range 0:7 in the Assembler "
              "assignments file");
    EXPECT_EQ(apply_error("<token_file filename='a.tok'/><bit_settings action='override'><cram>"
                          "<token_1d name='TWO' value='1'/></cram></bit_settings>"),
              "comp/asm/asm_options: Token \"TWO\" is not a 1-d address");
    EXPECT_EQ(apply_error("<token_file filename='a.tok'/><bit_settings action='override'><cram>"
                          "<token_1d name='TOK' value='11111111111111111'/></cram></bit_settings>"),
              "comp/asm/asm_options: Token value is too large.  Token values may not exceed 64 bits.");
    write("c.tok", "$ARR LATER\nLATER 4\n");
    EXPECT_EQ(apply_error("<token_file filename='c.tok'/>"),
              "comp/asm/asm_options: Token name \"LATER\" not found in file " + m_dir +
                  "/c.tok and cannot be used in token array declaration");
    write("d.tok", "R 1:2\n$ARR R\n");
    EXPECT_EQ(apply_error("<token_file filename='d.tok'/>"),
              "comp/asm/asm_options: Array token name \"ARR\" cannot include token name \"R\" because the token "
              "refers to multiple addresses in file " + m_dir + "/d.tok");
    write("f.tok", "A 1\nB 2\n$ARR A B A\n");
    EXPECT_EQ(apply_error("<token_file filename='f.tok'/>"),
              "comp/asm/asm_options: Token name \"A\" cannot be added more than once to an array token in file " +
                  m_dir + "/f.tok");
    write("e.tok", "NEG -1\n");
    EXPECT_EQ(apply_error("<token_file filename='e.tok'/>"),
              "comp/asm/asm_options: (row_begin >= 0) && (row_end >= 0)");
    EXPECT_EQ(apply_error("<token_file filename='missing.tok'/>"),
              "comp/asm/asm_options: Cannot find token file " + m_dir +
                  "/missing.tok as specified in the ASM Options file");
    // A token file that is no regular file is one that cannot be opened:
    // nothing blocks on a FIFO or reads a device without end.
    fs::create_directories(m_dir + "/dir.tok");
    ASSERT_EQ(mkfifo((m_dir + "/pipe.tok").c_str(), 0600), 0);
    for (const std::string& name : {m_dir + "/dir.tok", m_dir + "/pipe.tok", std::string("/dev/null")})
        EXPECT_EQ(apply_error("<bit_settings action='override'><token_file filename='" + name + "'/></bit_settings>"),
                  "comp/asm/asm_options: Cannot open TOKEN file " + name + " specified in ASM assignment file");
}

TEST_F(BitSettings, PackagesAreCopiedAtTheirBaseAndKeepTheirSpace)
{
    const CELLS cells = apply(
        "<address_package name='shared_unvm' bit_type='unvm'><address_1d addr='0:1' value='2'/></address_package>"
        "<bit_settings action='override'>"
        "<address_package name='corner' bit_type='cram'><address_2d row='1' column='1' value='1'/>"
        "<address_1d addr='3' value='1'/></address_package>"
        "<cram><base_address_1d addr='100'><address_reference name='corner'/></base_address_1d>"
        "<base_address_2d row='2' column='0'><address_reference name='corner'/></base_address_2d></cram>"
        "<cff><base_address_1d addr='8'><address_reference name='shared_unvm'/></base_address_1d></cff>"
        "</bit_settings>");
    // The 1-d cell of a package comes before its 2-d cell.
    const CELLS expected = {{103, 1}, {111, 1}, {23, 1}, {31, 1}, {UNVM | 8, 0}, {UNVM | 9, 1}};
    EXPECT_EQ(cells, expected);

    EXPECT_EQ(apply_error("<address_package name='p' bit_type='cram'><address_1d addr='1' value='1'/>"
                          "</address_package><bit_settings action='override'><cff><base_address_1d addr='0'>"
                          "<address_reference name='p'/></base_address_1d></cff></bit_settings>"),
              "comp/asm/asm_options: Address reference name \"p\" refers to illegal address space in CFF bit "
              "settings section in the Assembler assignments file");
    // A base that would carry a tagged cell out of its space.
    EXPECT_EQ(apply_error("<address_package name='p' bit_type='cff'><address_1d addr='1' value='1'/>"
                          "</address_package><bit_settings action='override'><cff><base_address_1d "
                          "addr='134217727'><address_reference name='p'/></base_address_1d></cff></bit_settings>"),
              "comp/asm/asm_options: Address reference name \"p\" refers to illegal address space in CFF bit "
              "settings section in the Assembler assignments file");
    EXPECT_EQ(apply_error("<address_package name='p' bit_type='CRAM'/>"),
              "comp/asm/asm_options: Address package name \"p\" contains unsupported bit_type \"CRAM\".");
    EXPECT_EQ(apply_error("<address_package name='p' bit_type='cram'/><bit_settings action='override'>"
                          "<cram><address_package name='p' bit_type='cram'/></cram></bit_settings>"),
              "comp/asm/asm_options: Address package name \"p\" is not unique in the Assembler assignments file");
}

// ---------------------------------------------------------------------------
// Archgroups

TEST_F(BitSettings, ArchgroupsSetTheBitsOfTheGroupsOperations)
{
    const CELLS cells = apply(
        "<bit_settings action='override'><archgroups>"
        "<all_elements block_type='IO'><select arch_index='0' arch_type='MUX' arg='0' arg_string='all' "
        "value='none'/></all_elements>"
        "<element_index index='2' block_type='LAB'>"
        "<select arch_index='3' arch_type='MUX' arg='2' arg_string='' value='none'/>"
        "<select arch_index='3' arch_type='MUX' arg='3' arg_string='' value='0' desc='ram'/>"
        "</element_index>"
        "<element_index index='0' block_type='LAB'>"
        "<select arch_index='3' arch_type='MUX' arg='0' arg_string='' value='none' array_index='1' "
        "array_index_value='1' bcm_block='io'/>"
        "</element_index></archgroups>"
        "<debug_mode value='true' filename='override.txt'/></bit_settings>");
    // element_index before all_elements: element 2 of the LAB group (bits
    // 504, 505), its RAM select, element 0 with array index 1 (stride 0 of
    // 2 settings over 4 elements: one setting), then every IO element.
    const CELLS expected = {{504, 0}, {505, 1}, {504, 0}, {505, 0}, {501, 1}, {CFF | 0x10, 1}, {CFF | 0x11, 1}};
    EXPECT_EQ(cells, expected);
    EXPECT_EQ(read_text("override.txt"),
              "$CRAM\n"
              "504 : 0 : arch_type = MUX, arch_index = 3, block_type = LAB, group_index = 2\n"
              "505 : 1 : arch_type = MUX, arch_index = 3, block_type = LAB, group_index = 2\n"
              "504 : 0 : ram\n505 : 0 : ram\n"
              "501 : 1 : arch_type = MUX, arch_index = 3, block_type = LAB, group_index = 0\n"
              "\n$CFF\n"
              "16 : 1 : arch_type = MUX, arch_index = 0, block_type = IO, all group elements selected\n"
              "17 : 1 : arch_type = MUX, arch_index = 0, block_type = IO, all group elements selected\n\n");

    EXPECT_EQ(apply_error("<bit_settings action='override'><archgroups><all_elements block_type='IO'>"
                          "<select arch_index='0' arch_type='MUX' arg='0' arg_string='' value='1'/>"
                          "</all_elements></archgroups></bit_settings>"),
              "comp/asm/asm_options: No support available for RAM-based select function upon all muxes for this "
              "archgroup (type = MUX, index = 0, block_type = IO)");
    EXPECT_EQ(apply_error("<bit_settings action='override'><archgroups><element_index index='9' block_type='LAB'>"
                          "<select arch_index='3' arch_type='MUX' arg='0' arg_string='' value='none'/>"
                          "</element_index></archgroups></bit_settings>"),
              "comp/asm/asm_options: Archgroup not found in Assembler database (type = MUX, index = 3, "
              "block_type = LAB)");
    // An argument the group refuses is taken when the INI switch relaxes
    // the acceptance check.
    const std::string too_wide = "<bit_settings action='override'><archgroups><element_index index='2' "
                                 "block_type='LAB'><select arch_index='3' arch_type='MUX' arg='4' arg_string='' "
                                 "value='none'/></element_index></archgroups></bit_settings>";
    EXPECT_EQ(apply_error(too_wide), "comp/asm/asm_options: Archgroup not found in Assembler database (type = MUX, "
                                     "index = 3, block_type = LAB)");
    cfg_set_value("asm_xml_relax_bcm_index", "on");
    EXPECT_EQ(apply(too_wide), (CELLS{{504, 0}, {505, 0}}));
    cfg_clear();
    EXPECT_EQ(apply_error("<bit_settings action='override'><archgroups><element_index index='0' block_type='DSP'/>"
                          "</archgroups></bit_settings>"),
              "comp/asm/asm_options: No match found for block type \"DSP\" in block index element in the Assembler "
              "assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><archgroups><element_index index='0' block_type='LAB'>"
                          "<select arch_index='3' arch_type='MUX' arg='0' arg_string='' value='2'/>"
                          "</element_index></archgroups></bit_settings>"),
              "comp/asm/asm_options: ram_select_value || (::gen_strcmp(str.c_str(), \"0\") == 0)");
}

// A group of no block type is found by a second lookup of type and index
// alone when no group passes the first: whatever block type the element
// names, whatever BCM block the select names, also when the group refuses
// the argument. A group that passes the first lookup is taken before a
// group of no block type listed ahead of it.
TEST_F(BitSettings, ArchgroupsOfNoBlockTypeAreFoundByTheSecondLookup)
{
    asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(1), "GENERIC");
    const auto mux = static_cast<ASMDB_ARCH_GROUP_TYPE>(7);
    const auto no_type = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0);
    const auto lab = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(2);
    const auto io = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3);
    // Index 5: no block type only. Index 6: no block type, then LAB.
    m_die.add_arch_group(std::make_unique<ASMDB_TABLE_ARCH_GROUP>(5, mux, no_type, io, 4, 2, 600));
    m_die.add_arch_group(std::make_unique<ASMDB_TABLE_ARCH_GROUP>(6, mux, no_type, no_type, 2, 2, 800));
    m_die.add_arch_group(std::make_unique<ASMDB_TABLE_ARCH_GROUP>(6, mux, lab, no_type, 2, 2, 700));
    const CELLS cells = apply(
        "<bit_settings action='override'><archgroups>"
        "<element_index index='1' block_type='LAB'>"
        "<select arch_index='5' arch_type='MUX' arg='2' arg_string='' value='none'/>"
        "<select arch_index='6' arch_type='MUX' arg='1' arg_string='' value='none'/>"
        "</element_index>"
        "<element_index index='3' block_type='GENERIC'>"
        "<select arch_index='5' arch_type='MUX' arg='7' arg_string='' value='none' bcm_block='LAB'/>"
        "</element_index></archgroups>"
        "<debug_mode value='1' filename='override.txt'/></bit_settings>");
    // Element 1 of index 5 (602, 603 = 2), element 1 of the LAB group of
    // index 6 (702, 703 = 1), element 3 of index 5 (606, 607: the low bits
    // of 7, which the group refuses as too wide).
    EXPECT_EQ(cells, (CELLS{{602, 0}, {603, 1}, {702, 1}, {703, 0}, {606, 1}, {607, 1}}));
    EXPECT_EQ(read_text("override.txt"),
              "$CRAM\n"
              "602 : 0 : arch_type = MUX, arch_index = 5, block_type = LAB, group_index = 1\n"
              "603 : 1 : arch_type = MUX, arch_index = 5, block_type = LAB, group_index = 1\n"
              "702 : 1 : arch_type = MUX, arch_index = 6, block_type = LAB, group_index = 1\n"
              "703 : 0 : arch_type = MUX, arch_index = 6, block_type = LAB, group_index = 1\n"
              "606 : 1 : arch_type = MUX, arch_index = 5, group_index = 3\n"
              "607 : 1 : arch_type = MUX, arch_index = 5, group_index = 3\n\n");
    // A group of a block type is never found by the second lookup.
    EXPECT_EQ(apply_error("<bit_settings action='override'><archgroups><element_index index='1' block_type='IO'>"
                          "<select arch_index='3' arch_type='MUX' arg='0' arg_string='' value='none'/>"
                          "</element_index></archgroups></bit_settings>"),
              "comp/asm/asm_options: Archgroup not found in Assembler database (type = MUX, index = 3, "
              "block_type = IO)");
}

// Many select elements under one block-index element are walked in linear
// time: 40,000 of them (quadratic, this took far beyond the test's time
// limit) take well under a second.
TEST_F(BitSettings, ManySelectsUnderOneBlockIndexElementAreWalkedInLinearTime)
{
    const size_t count = 40000;
    std::string selects;
    selects.reserve(count * 100);
    for (size_t i = 0; i < count; ++i)
        selects += "\n<select arch_index='3' arch_type='MUX' arg='" + std::to_string(i % 4) +
                   "' arg_string='' value='none' desc='s'/>";
    const CELLS cells = apply("<bit_settings action='override'><archgroups><element_index index='1' "
                              "block_type='LAB'>" +
                              selects + "</element_index></archgroups></bit_settings>");
    ASSERT_EQ(cells.size(), 2 * count);
    // Element 1 of the group: bits 502 and 503, the argument's two bits.
    for (size_t i = 0; i < count; ++i)
    {
        const CELLS::value_type low{502, static_cast<int>(i % 4) & 1};
        const CELLS::value_type high{503, (static_cast<int>(i % 4) >> 1) & 1};
        ASSERT_EQ(cells[2 * i], low) << i;
        ASSERT_EQ(cells[2 * i + 1], high) << i;
    }
}

// ---------------------------------------------------------------------------
// Read, compare, option register and JTAG user code

TEST_F(BitSettings, ReadAndCompareListTheImageAndForceNothing)
{
    const CELLS cells = apply(
        "<bit_settings action='read'><cram><address_1d addr='12:13' value='0' desc='first'/>"
        "<address_2d row='2' column='1' value='0'/></cram><cff><address_1d addr='4' value='0'/></cff>"
        "<option_register index='8' value='0'/><option_register index='1' value='1'/><jtag_user_code/>"
        "<debug_mode value='1' filename='read.txt'/><debug_mode value='1' filename='read2d.txt' cram_style='2-d'/>"
        "<debug_mode value='no' filename='skipped.txt'/></bit_settings>"
        "<bit_settings action='compare'><cram><address_1d addr='12:13' value='3'/></cram>"
        "<option_register index='8' value='0'/><option_register index='1' value='1'/>"
        "<debug_mode value='true' filename='compare.txt'/></bit_settings>");
    EXPECT_TRUE(cells.empty());
    EXPECT_EQ(read_text("read.txt"),
              "$CRAM\n12 : 1 : first\n13 : 0 : first\n21 : 1\n\n$CFF\n4 : 1\n\n"
              "\n$OPTION_REGISTER\n1 : 0\n8 : 1\n"
              "\n$JTAG_USER_CODE : 110000001111111111101110\n");
    EXPECT_EQ(read_text("read2d.txt"), "$CRAM\n1 2 : 1 : first\n1 3 : 0 : first\n2 1 : 1\n\n$CFF\n4 : 1\n\n"
                                       "\n$OPTION_REGISTER\n1 : 0\n8 : 1\n"
                                       "\n$JTAG_USER_CODE : 110000001111111111101110\n");
    EXPECT_FALSE(fs::exists("skipped.txt"));
    // 1 where the image differs from the requested value.
    EXPECT_EQ(read_text("compare.txt"), "$CRAM\n12 : 0\n13 : 1\n\n\n$OPTION_REGISTER\n1 : 1\n8 : 1\n");
    // Neither read nor compare forces the register or the code.
    EXPECT_EQ(m_bitfield->get_option_reg(), 0x101u);
    EXPECT_EQ(m_bitfield->get_jtag_user_code(), 0x00C0FFEEu);

    EXPECT_EQ(apply_error("<bit_settings action='read'><cram><address_1d addr='1000' value='0'/></cram>"
                          "<debug_mode value='1' filename='x.txt'/></bit_settings>"),
              "comp/asm/asm_options: Bit index 1000 is outside the CRAM image of 1000 bits in the Assembler "
              "assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='compare'><cram><address_1d addr='1' value='0'/></cram>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Assembler \"bit_settings\" action modes \"read\" or \"compare\" require that "
              "a \"debug_mode\" element is specified");
    EXPECT_EQ(apply_error("<bit_settings action='Override'/>"),
              "comp/asm/asm_options: write_mode || compare_mode || read_mode");
    EXPECT_EQ(apply_error("<bit_settings action='read'><debug_mode value='1' filename='[project].txt'/>"
                          "</bit_settings>"),
              "comp/asm/asm_options: hdb_chip != NULL");
}

// A debug_mode that is off needs no file name: its element is processed
// and nothing is written.
TEST_F(BitSettings, ADebugModeThatIsOffNeedsNoFileName)
{
    const CELLS cells = apply("<bit_settings action='read'><cram><address_1d addr='12' value='0'/></cram>"
                              "<debug_mode/><debug_mode value='0'/></bit_settings>"
                              "<bit_settings action='override'><cram><address_1d addr='3' value='1'/></cram>"
                              "<debug_mode value='false'/></bit_settings>");
    EXPECT_EQ(cells, (CELLS{{3, 1}}));
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"options.xml"});
}

TEST_F(BitSettings, OverrideForcesTheRegisterAndCodeOnceEach)
{
    const CELLS cells = apply(
        "<bit_settings action='override'><option_register index='37' value='1'/>"
        "<option_register index='0' value='0'/><jtag_user_code value='80000005'/>"
        "<debug_mode value='true' filename='override.txt'/></bit_settings>"
        "<bit_settings action='read'><option_register index='4' value='1'/><jtag_user_code/>"
        "<debug_mode value='true' filename='read.txt'/></bit_settings>");
    EXPECT_TRUE(cells.empty());
    // Index 37 is bit 5; bit 0 cleared; every other bit as in the image.
    EXPECT_EQ(m_bitfield->get_option_reg(), 0x120u);
    EXPECT_EQ(m_bitfield->get_jtag_user_code(), 0x80000005u);
    EXPECT_EQ(read_text("override.txt"),
              "\n$OPTION_REGISTER\n0 : 0\n5 : 1\n\n$JTAG_USER_CODE : 10000000000000000000000000000101\n");
    // The read lists the image as the file held it.
    EXPECT_EQ(read_text("read.txt"), "\n$OPTION_REGISTER\n4 : 0\n\n$JTAG_USER_CODE : 110000001111111111101110\n");

    EXPECT_EQ(apply_error("<bit_settings action='override'><option_register index='3' value='1'/></bit_settings>"
                          "<bit_settings action='override'><option_register index='3' value='0'/></bit_settings>"),
              "comp/asm/asm_options: Found repeated forced bit settings for option register index 3 in the "
              "Assembler assignments file");
    EXPECT_EQ(apply_error("<bit_settings action='override'><jtag_user_code value='1'/></bit_settings>"
                          "<bit_settings action='override'><jtag_user_code value='2'/></bit_settings>"),
              "comp/asm/asm_options: Found repeated JTAG user code settings");
    EXPECT_EQ(apply_error("<bit_settings action='override'><option_register index='1' value='2'/></bit_settings>"),
              "comp/asm/asm_options: (temp == 0) || (temp == 1)");
}

// A debug file that cannot be opened or whose write fails (a full disk) is
// one internal error naming it; an earlier file of the name stays as it was
// and nothing else is left beside it.
TEST_F(BitSettings, DebugFileThatCannotBeWrittenNamesItsPath)
{
    EXPECT_EQ(apply_error("<bit_settings action='override'><debug_mode value='1' filename='" + m_dir +
                          "/no/such/dir/x.txt'/></bit_settings>"),
              "comp/asm/asm_options: Cannot open file " + m_dir +
                  "/no/such/dir/x.txt for bit settings debug output");
    fs::create_directories(m_dir + "/dir.txt");
    EXPECT_EQ(apply_error("<bit_settings action='override'><debug_mode value='1' filename='dir.txt'/>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Cannot open file " + m_dir + "/dir.txt for bit settings debug output");
    EXPECT_EQ(apply_error("<bit_settings action='read'><debug_mode value='1'/></bit_settings>"),
              "comp/asm/asm_options: Cannot open file " + m_dir + "/ for bit settings debug output");
    // A FIFO is refused as it stands, without waiting for a reader; a
    // character device (/dev/null, reached here through a link) takes the
    // listing as it stands.
    ASSERT_EQ(mkfifo((m_dir + "/pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(apply_error("<bit_settings action='override'><debug_mode value='1' filename='pipe.txt'/>"
                          "</bit_settings>"),
              "comp/asm/asm_options: Cannot open file " + m_dir + "/pipe.txt for bit settings debug output");
    EXPECT_TRUE(fs::is_fifo(m_dir + "/pipe.txt"));
    fs::create_symlink("/dev/null", m_dir + "/null.txt");
    EXPECT_EQ(apply_error("<bit_settings action='override'><debug_mode value='1' filename='null.txt'/>"
                          "</bit_settings>"),
              "(none)");
    EXPECT_TRUE(fs::is_symlink(m_dir + "/null.txt"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    write("read.txt", "an earlier listing\n");
    write_options("<bit_settings action='read'><cram><address_1d addr='0:31' value='00000000'/></cram>"
                  "<debug_mode value='1' filename='read.txt'/></bit_settings>");
    std::string error;
    {
        FILE_SIZE_LIMIT limit(64);
        error = internal_error_of([&] { apply_written(); });
    }
    EXPECT_EQ(error, "comp/asm/asm_options: Cannot open file " + m_dir + "/read.txt for bit settings debug output");
    EXPECT_EQ(read_text("read.txt"), "an earlier listing\n");
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"dir.txt", "null.txt", "options.xml", "pipe.txt", "read.txt"}));
    // Without the limit the listing is written whole.
    apply_written();
    std::string listing = "$CRAM\n";
    for (int i = 0; i < 32; ++i)
        listing += std::to_string(i) + (i == 12 || i == 21 ? " : 1\n" : " : 0\n");
    EXPECT_EQ(read_text("read.txt"), listing + "\n");
}

TEST_F(BitSettings, SequenceNumbersCountOnAcrossRuns)
{
    const int32_t before = asm_peek_bit_sequence();
    apply("<bit_settings action='override'><cram><address_1d addr='0:1' value='3'/></cram></bit_settings>");
    apply("<bit_settings action='override'><cram><address_1d addr='0' value='1'/></cram></bit_settings>");
    EXPECT_EQ(asm_peek_bit_sequence(), before + 3);
}

// ---------------------------------------------------------------------------
// asm_process_sof

class ProcessSof : public BitSettings
{
protected:
    void SetUp() override
    {
        BitSettings::SetUp();
        dev_add_part(static_cast<DEV_PART>(1501), "ZX15F256C8", static_cast<DEV_DEVICE_ENUM>(150));
        dev_add_device(static_cast<DEV_DEVICE_ENUM>(150), static_cast<DEV_DEVICE_ENUM>(150), "zx15f256");
        dstr_set_debug_string(static_cast<DEV_DEVICE_ENUM>(150), "ZX15F256");
        set_sof_device_builder(static_cast<DEV_DEVICE_ENUM>(150), COLUMNS);
        std::string error;
        ASSERT_TRUE(sof_write_file(m_dir + "/design.sof", sample_contents(), nullptr, &error)) << error;
        m_original = read_text(m_dir + "/design.sof");
    }

    void TearDown() override
    {
        dmgr_reset();
        BitSettings::TearDown();
    }

    std::string m_original;
};

TEST_F(ProcessSof, ForcedBitsReachTheRewrittenFileAndTheDeviceStaysCurrent)
{
    write_options("<bit_settings action='override'><cram><address_1d addr='12:14' value='6'/></cram>"
                  "<cff><address_1d addr='5' value='1'/></cff><option_register index='2' value='1'/>"
                  "<jtag_user_code value='1234'/></bit_settings>"
                  "<bit_settings action='compare'><cram><address_1d addr='21' value='1'/></cram>"
                  "<debug_mode value='1' filename='compare.txt'/></bit_settings>");
    asm_process_sof(FIO_PATH(m_dir + "/design.sof"), FIO_PATH(m_dir + "/options.xml"), true);

    SOF_CONTENTS contents;
    ASSERT_TRUE(sof_read_file(m_dir + "/design.sof", contents, nullptr));
    SOF_CONTENTS expected = sample_contents();
    expected.cram.set_bit(12, false);
    expected.cram.set_bit(13, true);
    expected.cram.set_bit(14, true);
    expected.cff->set_bit(5, true);
    expected.option_register_word = 0x105u;
    expected.jtag_user_code = 0x1234u;
    EXPECT_EQ(contents.cram, expected.cram);
    EXPECT_EQ(*contents.cff, *expected.cff);
    EXPECT_EQ(contents.option_register_word, expected.option_register_word);
    EXPECT_EQ(contents.jtag_user_code, expected.jtag_user_code);
    EXPECT_EQ(read_text("compare.txt"), "$CRAM\n21 : 0\n\n");
    ASSERT_NE(DMGR_UTILITY::get_current_device(), nullptr);
    EXPECT_EQ(DMGR_UTILITY::get_current_device()->get_basic_info()->get_part_enum(), 1501);
}

TEST_F(ProcessSof, NothingIsWrittenWithoutWriteOrAfterAFault)
{
    write_options("<bit_settings action='override'><cram><address_1d addr='1' value='1'/></cram></bit_settings>");
    asm_process_sof(FIO_PATH(m_dir + "/design.sof"), FIO_PATH(m_dir + "/options.xml"), false);
    EXPECT_EQ(read_text(m_dir + "/design.sof"), m_original);

    write_options("<bit_settings action='override'><cram><address_1d addr='1' value='1'/>"
                  "<token_1d name='NONE' value='1'/></cram></bit_settings>");
    EXPECT_EQ(internal_error_of([&] {
                  asm_process_sof(FIO_PATH(m_dir + "/design.sof"), FIO_PATH(m_dir + "/options.xml"), true);
              }),
              "comp/asm/asm_options: Token \"NONE\" was not found in the token file(s)");
    EXPECT_EQ(read_text(m_dir + "/design.sof"), m_original);

    // An assignments file whose device check names another device leaves
    // the file alone too.
    write_options("</asm_assignments><asm_assignments device_check='OTHER'>");
    EXPECT_EQ(internal_error_of([&] {
                  asm_process_sof(FIO_PATH(m_dir + "/design.sof"), FIO_PATH(m_dir + "/options.xml"), true);
              }),
              "comp/asm/asm_options: device used in the design is not matching with device specify in ASM option "
              "file");
    EXPECT_EQ(read_text(m_dir + "/design.sof"), m_original);
}

TEST_F(ProcessSof, ADeviceWithoutCramColumnsStopsTheCallAndTheFileStaysAsItWas)
{
    set_sof_device_builder(static_cast<DEV_DEVICE_ENUM>(150), 0);
    write_options("<bit_settings action='override'><cram><address_1d addr='1' value='1'/></cram></bit_settings>");
    EXPECT_EQ(internal_error_of([&] {
                  asm_process_sof(FIO_PATH(m_dir + "/design.sof"), FIO_PATH(m_dir + "/options.xml"), true);
              }),
              "comp/asm/asm_options: this->m_num_cram_columns > 0");
    EXPECT_EQ(read_text(m_dir + "/design.sof"), m_original);
}

TEST_F(ProcessSof, AnUnreadableFileOrUnknownPartEndsTheCall)
{
    write_options("<bit_settings action='override'/>");
    write("broken.sof", "ZSOF");
    asm_process_sof(FIO_PATH(m_dir + "/broken.sof"), FIO_PATH(m_dir + "/options.xml"), true);
    EXPECT_EQ(read_text(m_dir + "/broken.sof"), "ZSOF");

    SOF_CONTENTS unknown = sample_contents();
    unknown.part_name = "nosuchpart";
    ASSERT_TRUE(sof_write_file(m_dir + "/unknown.sof", unknown, nullptr));
    EXPECT_EQ(internal_error_of([&] {
                  asm_process_sof(FIO_PATH(m_dir + "/unknown.sof"), FIO_PATH(m_dir + "/options.xml"), true);
              }),
              "comp/asm/asm_root: created_device");
}

}  // namespace
