// The cell elements of a bit-settings file (address_1d, address_2d, token_1d,
// token_2d), which the loader keeps as records beside their parent element,
// against the same files loaded for the debug copy, which builds every
// element: the same forced cells, the same listings and the same file errors
// either way. The forced cells join the caller's settings after what they
// held; a fault leaves them as they were.
#include "asm_options.h"

#include <asm_bitfield.h>
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <msg.h>
#include <pgmio.h>

#include <xercesc/dom/DOM.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

const uint32_t CFF = 0xA0000000u;
const uint32_t UNVM = 0x90000000u;

typedef std::vector<std::pair<uint32_t, int>> CELLS;

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What one load and application of the files gave.
struct RUN
{
    bool initialized = false;
    CELLS cells;
    std::string listing;
    std::string listing_2d;
    std::vector<std::string> errors;
    // Whether the collecting element holds cell elements as DOM elements.
    bool built_cells = false;
};

class BitSettingsCells : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "asm_cells_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        fs::current_path(m_dir);
        auto basic_info = std::make_unique<DEV_BASIC_INFO>(static_cast<DEV_PART>(1501),
                                                           static_cast<DEV_DEVICE_ENUM>(150));
        basic_info->set_int_data(DEV_BASIC_INFO_INT_CRAM_COLS, 10);
        m_device.set_basic_info(std::move(basic_info));
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(m_start_directory, ec);
        fs::remove_all(m_dir, ec);
        cfg_clear();
    }

    std::string write(const std::string& name, const std::string& text)
    {
        std::ofstream(fs::path(m_dir) / name, std::ios::binary) << text;
        return (fs::path(m_dir) / name).string();
    }

    // Loads the file (with the debug copy, which builds every element, or
    // without) and applies its bit settings to a fresh bitfield.
    RUN run(const std::string& file, bool debug_copy)
    {
        msg_reset();
        cfg_clear();
        if (debug_copy)
            cfg_set_value("asm_dump_options", "on");
        fs::remove("override.txt");
        fs::remove("override2d.txt");
        SOF_CONTENTS contents;
        contents.part_name = "zx15f256c8";
        contents.cram = SOF_IMAGE::zeros(1000);
        contents.cff = SOF_IMAGE::zeros(64);
        contents.unvm = SOF_IMAGE::zeros(64);
        ASM_BITFIELD bitfield(new PGMIO_BITFIELD(contents, 0));
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(file), "", "", "");
        RUN result;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            result.errors.push_back(record.text);
        result.initialized = options.m_initialized;
        if (!options.m_initialized)
            return result;
        std::vector<xercesc::DOMElement*> built;
        for (const char* name : {"address_1d", "address_2d", "token_1d", "token_2d"})
            get_descendant_elements(built, options.m_dom_element, name);
        result.built_cells = !built.empty();
        std::vector<DB_BIT_SETTING> settings;
        options.apply_bit_settings(settings, &bitfield, &m_device, &m_die, nullptr, nullptr);
        for (const DB_BIT_SETTING& setting : settings)
            result.cells.emplace_back(setting.address, setting.value);
        result.listing = read_text("override.txt");
        result.listing_2d = read_text("override2d.txt");
        return result;
    }

    std::string m_dir;
    fs::path m_start_directory = fs::current_path();
    DEV_DEVICE m_device;
    ASMDB_DIE m_die;
};

TEST_F(BitSettingsCells, RecordsAndBuiltElementsForceTheSameCells)
{
    write("cells.tok", "TOK 20:27\nSQ 0:1 0:1\n");
    // A second matching block, in an included file, merged after the first.
    write("more.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>\n"
                      "<bit_settings action='override'><cram>\n  <address_1d addr='60:63' value='5'/>\n</cram>"
                      "<debug_mode value='1' filename='override2d.txt' cram_style='2-d'/></bit_settings>\n"
                      "</asm_assignments></assembler_options>\n");
    const std::string main_file = write(
        "main.xml",
        "<?xml version=\"1.0\"?>\n<assembler_options>\n"
        "<asm_assignments cmp='other'><bit_settings action='override'><cram><address_1d addr='0' value='1'/>"
        "</cram></bit_settings></asm_assignments>\n"
        "<asm_assignments>\n"
        "  <address_package name='shared' bit_type='unvm'><address_1d addr='0:1' value='2' desc='geteilt'/>"
        "</address_package>\n"
        "  <token_file filename='cells.tok'/>\n"
        "  <bit_settings action='override'>\n"
        "    <address_package name='corner' bit_type='cram'><address_2d row='1' column='1' value='1'/>"
        "<address_1d addr='3' value='1' desc='Ecke'/></address_package>\n"
        "    <cram>\n"
        "      <address_1d addr='7:4' value='a' desc='Gr\xC3\xBCn'/>\n"
        "      <!-- between the cells -->\n"
        "      <address_2d row='2' column='2:1' value='2'/>\n"
        "      <token_1d name='TOK' value='81'/>\n"
        "      <address_1d addr='40:47' value='c3'></address_1d>\n"
        "      <base_address_1d addr='100'><address_1d addr='3' value='1'/><address_reference name='corner'/>"
        "</base_address_1d>\n"
        "      <base_address_2d row='5' column='0'><address_2d row='0' column='4' value='1'/>"
        "<token_2d name='SQ' value='9'/></base_address_2d>\n"
        "    </cram>\n"
        "    <cff><base_address_1d addr='8'><address_reference name='shared'/></base_address_1d>"
        "<address_1d addr='4' value='1'/></cff>\n"
        "    <debug_mode value='1' filename='override.txt'/>\n"
        "  </bit_settings>\n"
        "</asm_assignments>\n"
        "<include path='more.xml'/>\n"
        "</assembler_options>\n");

    const RUN records = run(main_file, false);
    ASSERT_TRUE(records.initialized);
    EXPECT_FALSE(records.built_cells);
    EXPECT_FALSE(fs::exists(m_dir + "/main_debug.xml"));
    // Per section: 1-d, tokens, 1-d bases, then 2-d forms; the included
    // file's bit_settings after the first file's.
    CELLS expected = {{4, 0}, {5, 1}, {6, 0}, {7, 1}, {40, 1}, {41, 1}, {42, 0}, {43, 0}, {44, 0}, {45, 0},
                      {46, 1}, {47, 1}, {20, 1}, {21, 0}, {22, 0}, {23, 0}, {24, 0}, {25, 0}, {26, 0}, {27, 1},
                      {103, 1}, {103, 1}, {111, 1}, {21, 0}, {22, 1}, {54, 1}, {50, 1}, {51, 0}, {60, 0},
                      {61, 1}, {CFF | 4, 1}, {UNVM | 8, 0}, {UNVM | 9, 1}, {60, 1}, {61, 0}, {62, 1}, {63, 0}};
    EXPECT_EQ(records.cells, expected);
    EXPECT_NE(records.listing.find("\n4 : 0 : Gr\xC3\xBCn\n5 : 1 : Gr\xC3\xBCn\n"), std::string::npos)
        << records.listing;
    EXPECT_NE(records.listing.find("\n103 : 1 : Ecke\n"), std::string::npos) << records.listing;
    EXPECT_NE(records.listing_2d.find("\n6 3 : 0\n"), std::string::npos) << records.listing_2d;

    const RUN built = run(main_file, true);
    ASSERT_TRUE(built.initialized);
    EXPECT_TRUE(built.built_cells);
    EXPECT_EQ(built.cells, records.cells);
    EXPECT_EQ(built.listing, records.listing);
    EXPECT_EQ(built.listing_2d, records.listing_2d);
    // The debug copy holds the cells as the file gave them.
    EXPECT_NE(read_text(m_dir + "/main_debug.xml").find("<address_1d addr=\"40:47\" value=\"c3\"/>"),
              std::string::npos);
}

TEST_F(BitSettingsCells, ForcedCellsFollowTheCallersSettingsAndAFaultLeavesThemAsTheyWere)
{
    // The second bit_settings forces a bit past the image after the first
    // forced its cells.
    const std::string file = write(
        "fault.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>"
                     "<bit_settings action='override'><cram><address_1d addr='1:2' value='3'/></cram></bit_settings>"
                     "<bit_settings action='override'><cram><address_1d addr='1000' value='1'/></cram></bit_settings>"
                     "</asm_assignments></assembler_options>\n");
    const std::string good = write(
        "good.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments>"
                    "<bit_settings action='override'><cram><address_1d addr='1:2' value='2'/></cram></bit_settings>"
                    "</asm_assignments></assembler_options>\n");
    SOF_CONTENTS contents;
    contents.part_name = "zx15f256c8";
    contents.cram = SOF_IMAGE::zeros(1000);
    ASM_BITFIELD bitfield(new PGMIO_BITFIELD(contents, 0));
    const std::vector<DB_BIT_SETTING> before = {DB_BIT_SETTING{7, 1}};

    ASM_OPTIONS faulty;
    faulty.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(faulty.m_initialized);
    std::vector<DB_BIT_SETTING> settings = before;
    bool faulted = false;
    try
    {
        faulty.apply_bit_settings(settings, &bitfield, &m_device, &m_die, nullptr, nullptr);
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        faulted = true;
        EXPECT_NE(error.condition().find("Forced bit index 1000"), std::string::npos) << error.condition();
    }
    EXPECT_TRUE(faulted);
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].address, 7u);

    ASM_OPTIONS options;
    options.initialize(FIO_PATH(good), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    options.apply_bit_settings(settings, &bitfield, &m_device, &m_die, nullptr, nullptr);
    CELLS cells;
    for (const DB_BIT_SETTING& setting : settings)
        cells.emplace_back(setting.address, setting.value);
    EXPECT_EQ(cells, (CELLS{{7, 1}, {1, 0}, {2, 1}}));
}

TEST_F(BitSettingsCells, ACellThatBreaksTheSchemaFailsTheLoadEitherWay)
{
    const std::string file = write(
        "bad.xml", "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments><bit_settings action='override'>"
                   "<cram>\n<address_1d addr='1' value='1'/>\n<address_1d addr='2' bits='1'/>\n</cram>"
                   "</bit_settings></asm_assignments></assembler_options>\n");
    const RUN records = run(file, false);
    const RUN built = run(file, true);
    EXPECT_FALSE(records.initialized);
    EXPECT_FALSE(built.initialized);
    ASSERT_FALSE(records.errors.empty());
    EXPECT_NE(records.errors[0].find("bits"), std::string::npos) << records.errors[0];
    EXPECT_EQ(records.errors, built.errors);
}

}  // namespace
