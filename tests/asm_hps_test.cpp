// The HPS data builder: configuration strings from the design, their parse
// into the handoff record and block, the per-family register writers, and
// the stored "HANDOFF" record.
#include "asm_hps.h"
#include "entry_fixture.h"

#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

namespace
{

void add_string(HDB_NAMESPACE* name_space, int type, const std::string& text)
{
    using STRING_OPTION = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>;
    name_space->add_generated_option(type, std::make_unique<STRING_OPTION>(false, 0, text));
}

// The words of a block image, most significant byte first.
void put_word(std::string& image, uint32_t offset, uint32_t word)
{
    image[offset] = static_cast<char>(word >> 24);
    image[offset + 1] = static_cast<char>(word >> 16);
    image[offset + 2] = static_cast<char>(word >> 8);
    image[offset + 3] = static_cast<char>(word);
}

}  // namespace

class HpsHandoff : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        chip.set_base_family(29);
    }

    // A builder of the family's class with its block, its earlier section
    // loaded, and the three strings parsed.
    template <typename DATA>
    std::unique_ptr<DATA> parse(HPS_HANDOFF_BOX* box, const std::string& data, const std::string& emif = "",
                                const std::string& hbm = "")
    {
        auto builder = std::make_unique<DATA>(&cmp, &chip, 0, &part_manager);
        builder->set_handoff_box(box);
        builder->load_handoff_vsection();
        builder->parse_hps_config_strings(data, emif, hbm);
        return builder;
    }

    std::unique_ptr<VR_ASM_HPS_HANDOFF_DATA> parse_vr(const std::string& data)
    {
        return parse<VR_ASM_HPS_HANDOFF_DATA>(new VR_HPS_HANDOFF_BOX(), data);
    }

    bool output_exists(const std::string& name) const
    {
        return std::filesystem::exists(m_project_dir + "/" + name);
    }

    std::string read_output(const std::string& name) const
    {
        std::ifstream in(m_project_dir + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void store_section(const PB::HANDOFF_HPS& record)
    {
        std::string bytes;
        ASSERT_TRUE(record.SerializeToString(&bytes));
        dbcm_chip->create_section_store()->add_section("HANDOFF", 1, 10, bytes, true);
    }

    DEV_PART_MANAGER part_manager;
};

// A data string written by hand from the grammar, and the block it must
// give, word by word, worked out from the VR layout.
TEST_F(HpsHandoff, AHandWrittenStringGivesExactlyTheExpectedBlockFile)
{
    add_string(top_settings, 182,
               "sel 5 3\nsel 40 1\nuse uart0 1\ndin 2 4\ndou 2 1\npll m.pllm.mdiv 200\npll m.pllc1.div 5\n"
               "pll a.emacactr.cnt 9\npll a.emacactr.src 2\npll hps_osc_hz 25000000\n");
    VR_ASM_HPS_HANDOFF_DATA builder(&cmp, &chip, 0, &part_manager);
    builder.set_handoff_box(new VR_HPS_HANDOFF_BOX());
    builder.add_hand_off_data_into_dbcm();

    std::string expected(1572, '\0');
    const std::map<uint32_t, uint32_t> words = {
        // section headers
        {0, 0x424F4F54}, {4, 0x00020001}, {16, 0x504D5558}, {20, 400}, {416, 0x494F4354}, {420, 400},
        {816, 0x46504741}, {820, 192}, {1008, 0x444C4159}, {1012, 400}, {1408, 0x434C4B53}, {1412, 144},
        {1552, 0x4D495343}, {1556, 144},
        // sel 5 3 and sel 40 1 (address 160 + 96)
        {72, 20}, {76, 3}, {352, 256}, {356, 1},
        // use uart0 1 (pair 13, address 52 + 4), then jtag 0 (pair 18, address 72 + 8)
        {936, 56}, {940, 1}, {976, 80},
        // IO delay of pin 2: output 1, input 4
        {1044, 0x104},
        // clocks: m_pllglob, m_pllc0..3, m_pllm, p_pllglob, p_pllc0..3, emacactr, hps_osc_hz
        {1436, 1}, {1444, 0x08000000}, {1448, 0x08000005}, {1452, 0x08000000}, {1456, 0x08000000}, {1460, 200},
        {1472, 1}, {1480, 0x08000000}, {1484, 0x08000000}, {1488, 0x08000000}, {1492, 0x08000000},
        {1500, 0x00020009}, {1532, 25000000}};
    for (const auto& [offset, word] : words)
        put_word(expected, offset, word);
    // Every IO-delay pair carries its address (4 per pin, no gap in VR).
    for (uint32_t pin = 1; pin < 48; ++pin)
        put_word(expected, 1024 + 8 * pin, 4 * pin);

    const std::string bin = read_output("hps_bootloader_handoff.bin");
    ASSERT_EQ(bin.size(), 1573u);
    for (uint32_t at = 0; at < 1572; at += 4)
        EXPECT_EQ(bin.substr(at, 4), expected.substr(at, 4)) << "word at " << at;
    EXPECT_EQ(bin.back(), '\n');

    // The stored record: the block inside, the selects and delays, the PLL
    // registers.
    const DBCM_SECTION* section = dbcm_chip->get_section_store()->find_section("HANDOFF");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->major, 1);
    EXPECT_EQ(section->minor, 10);
    PB::HANDOFF_HPS stored;
    ASSERT_TRUE(stored.ParseFromString(section->bytes));
    EXPECT_EQ(stored.device().handoff_binary(), expected);
    ASSERT_EQ(stored.pinmux_select_size(), 48);
    EXPECT_EQ(stored.pinmux_select(5).value(), 3u);
    EXPECT_EQ(stored.pinmux_select(40).value(), 1u);
    EXPECT_EQ(stored.pinmux_select(6).value(), 9u);
    EXPECT_FALSE(stored.pinmux_select(6).has_offset());
    ASSERT_EQ(stored.io_delay_size(), 48);
    EXPECT_EQ(stored.io_delay(2).output_val(), 1u);
    EXPECT_TRUE(stored.io_delay(3).has_input_val());
    ASSERT_EQ(stored.reg_size(), 5);
    EXPECT_EQ(stored.reg(0).reg_name() + " " + std::to_string(stored.reg(0).reg_value()), "m.pllm.mdiv 200");
    EXPECT_FALSE(output_exists("handoff_array.txt"));
    EXPECT_FALSE(output_exists("asm_hps_handoff_data_dump.txt"));
}

TEST_F(HpsHandoff, TheLastLongValueOverThePartitionsWinsElseTheSettingsHolder)
{
    HDB_NAMESPACE* second = ZHD_ROOT::get()->get_design("")->add_partition("second")->get_hdb();
    cfg_set_value("hps_dump_handoff_data", "on");
    VR_ASM_HPS_HANDOFF_DATA builder(&cmp, &chip, 0, &part_manager);
    std::string text = "stale";
    builder.get_hps_config_string(text, HPS_ISW_DATA_TYPE);
    EXPECT_EQ(text, "");

    top_settings->set_string_option(182, "z");
    builder.get_hps_config_string(text, HPS_ISW_DATA_TYPE);
    EXPECT_EQ(text, "z");  // the holder's value, however short

    add_string(top_settings, 182, "clk a 1");
    add_string(second, 182, "clk b 2");
    add_string(second, 182, "x");
    add_string(second, 183, "HPS_IO_NUM 1");
    builder.get_hps_config_string(text, HPS_ISW_DATA_TYPE);
    EXPECT_EQ(text, "clk b 2");
    EXPECT_TRUE(has_debug_line("ACID_HPS: HPS_ISW_DATA x"));
    builder.get_hps_config_string(text, HPS_ISW_EMIF_TYPE);
    EXPECT_EQ(text, "HPS_IO_NUM 1");
    EXPECT_FALSE(has_debug_line("ACID_HPS: HPS_ISW_DATA HPS_IO_NUM 1"));
}

TEST_F(HpsHandoff, DataStringKeywordsFillTheRecordAndTheBlock)
{
    auto builder = parse_vr("clk hps_clk 25000000 per emac0 1 aix f2h 0 SDM x 0 intfcsel y 1\n"
                            "raw other_clk 5 pll m.pllm.mdiv 1 pll m.pllm.mdiv 2 use jtag 1 use sdmmc 1\n"
                            "din 3 7 dou 3 2 pll x -1 clk max 4294967295 clk a");
    const PB::HANDOFF_HPS& record = builder->handoff();
    ASSERT_EQ(record.clocks_size(), 3);
    EXPECT_EQ(record.clocks(0).clcok_name(), "hps_clk");
    EXPECT_EQ(record.clocks(0).clock_hz(), 25000000u);
    EXPECT_EQ(record.clocks(1).clock_hz(), 0xFFFFFFFFu);
    // The string ends inside a triple: its value is empty.
    EXPECT_EQ(record.clocks(2).clcok_name(), "a");
    EXPECT_EQ(record.clocks(2).clock_hz(), 0u);
    ASSERT_EQ(record.peripherals_size(), 2);
    EXPECT_TRUE(record.peripherals(0).used());
    EXPECT_FALSE(record.peripherals(1).used());
    EXPECT_FALSE(record.peripherals(1).has_setting());
    ASSERT_EQ(record.reg_size(), 3);
    EXPECT_EQ(record.reg(1).reg_value(), 2u);
    EXPECT_EQ(record.reg(2).reg_value(), 0xFFFFFFFFu);

    const HPS_HANDOFF_BOX& box = *builder->get_handoff_box();
    EXPECT_EQ(box.word_at(1460), 2u);                          // m_pllm: the later "pll" value
    EXPECT_EQ(box.word_at(976), 80u);                          // jtag's pair ...
    EXPECT_EQ(box.word_at(980), 0u);                           // ... reset by every "use"
    EXPECT_EQ(box.word_at(988), 1u);                           // sdmmc
    EXPECT_EQ(box.word_at(1024 + 8 * 3 + 4), 0x207u);         // din 3 7, dou 3 2
    EXPECT_EQ(output_exists("hps_bootloader_handoff.bin"), true);

    // hps_osc_clk is a switch of the base layout only.
    auto base = parse<YB_ASM_HPS_HANDOFF_DATA>(new HPS_HANDOFF_BOX(), "raw hps_osc_clk 25000000");
    EXPECT_EQ(base->get_handoff_box()->word_at(996), 25000000u);
    EXPECT_EQ(base->handoff().reg_size(), 1);
}

TEST_F(HpsHandoff, CorruptedDataStringsStopTheStep)
{
    const std::string corrupted = "Unexpected or corrupted data in the HPS hand off @comp/asm/asm_hps";
    for (const char* data : {"foo a 1", "sel 48 1", "sel -1 1", "din 99 1", "dou 4294967296 1",
                             "clk a 4294967296", "clk a -2147483649", "per a 99999999999999999999"})
        EXPECT_EQ(internal_error_of([&] { parse_vr(data); }), corrupted) << data;
    EXPECT_EQ(internal_error_of([&] { parse_vr("clk a -2147483648 sel 47 1 dou 0 1"); }), "");
}

TEST_F(HpsHandoff, EmifAndHbmStringsSetTheMemoryWordsOfTheirFamily)
{
    auto vw = parse<VR_ASM_HPS_HANDOFF_DATA>(new VW_HPS_HANDOFF_BOX(true), "clk a 1", "HPS_IO_NUM 2", "OTHER 1");
    EXPECT_EQ(vw->get_handoff_box()->word_at(1572), 3u);
    EXPECT_EQ(vw->get_handoff_box()->word_at(1576), 1u);  // memory type, for any HBM string
    vw = parse<VR_ASM_HPS_HANDOFF_DATA>(new VW_HPS_HANDOFF_BOX(true), "clk a 1", "HPS_IO_NUM 1",
                                        "HPS_IO_HBM_CH_EN 15 HPS_IO_HBM_ECC_EN 1");
    EXPECT_EQ(vw->get_handoff_box()->word_at(1572), 1u);
    EXPECT_EQ(vw->get_handoff_box()->word_at(1580), 15u);
    EXPECT_EQ(vw->get_handoff_box()->word_at(1584), 1u);

    // Family 67 only checks the IO count against the "ddr" setting.
    chip.set_base_family(67);
    const auto parse_vk = [&](const char* data, const char* emif) {
        return parse<VK_ASM_HPS_HANDOFF_DATA>(new VK_HPS_HANDOFF_BOX(), data, emif);
    };
    auto vk = parse_vk("ddr IO96B_CSR 3 pwr periphs 65793", "HPS_IO_NUM 2");
    EXPECT_EQ(vk->get_handoff_box()->word_at(1620), 3u);
    EXPECT_EQ(vk->get_handoff_box()->word_at(1584), 0x10001u);  // 0x10101 & 0x100FF
    EXPECT_EQ(internal_error_of([&] { parse_vk("ddr IO96B_CSR 3", "HPS_IO_NUM 1"); }),
              "HPS IO96B reg does not match HPS-EMIF single IO96 config @comp/asm/asm_hps");
    EXPECT_EQ(internal_error_of([&] { parse_vk("ddr IO96B_CSR 1", "HPS_IO_NUM 2"); }),
              "HPS IO96B reg does not match HPS-EMIF dual IO96 config @comp/asm/asm_hps");
}

TEST_F(HpsHandoff, AnEmptyDataStringWritesNoBlockFileButTheDumps)
{
    cfg_set_value("hps_dump_handoff_data", "on");
    VR_ASM_HPS_HANDOFF_DATA builder(&cmp, &chip, 0, &part_manager);
    builder.set_handoff_box(new VR_HPS_HANDOFF_BOX());
    builder.add_hand_off_data_into_dbcm();
    EXPECT_TRUE(has_debug_line("ACID_HPS: Warning Handoff String is Empty!!!!"));
    EXPECT_FALSE(output_exists("hps_bootloader_handoff.bin"));
    EXPECT_TRUE(output_exists("handoff_array.txt"));
    EXPECT_TRUE(output_exists("hps_handoff_array_formated.txt"));
    // The record dump is the text of the record as stored, block included.
    PB::HANDOFF_HPS stored;
    ASSERT_TRUE(stored.ParseFromString(dbcm_chip->get_section_store()->find_section("HANDOFF")->bytes));
    EXPECT_EQ(read_output("asm_hps_handoff_data_dump.txt"), stored.DebugString());
    EXPECT_EQ(stored.device().handoff_binary().size(), 1572u);
    EXPECT_EQ(stored.device().handoff_binary().substr(0, 4), "BOOT");
}

TEST_F(HpsHandoff, ALoadedSectionGivesTheIoControlPairsAndIsCheckedFirst)
{
    PB::HANDOFF_HPS earlier;
    for (int i = 0; i < 48; ++i)
    {
        earlier.add_pinmux_select()->set_value(1);
        earlier.add_io_delay()->set_input_val(static_cast<uint32_t>(i));
    }
    PB::HANDOFF_HPS_PINMUX_CONTROL* first = earlier.add_pinmux_control();
    first->set_idrvctrl(3);
    first->set_ihysen(1);
    first->set_iodt_en(true);
    first->set_rpcdn(5);
    first->set_rpcdp(6);
    first->set_rslewp(true);
    for (int i = 1; i < 29; ++i)
        earlier.add_pinmux_control();
    store_section(earlier);

    auto vr = parse_vr("");
    const HPS_HANDOFF_BOX& box = *vr->get_handoff_box();
    EXPECT_EQ(box.word_at(436), 0x113u);           // encoding A
    EXPECT_EQ(box.word_at(432 + 8 * 27), 108u);    // pin 27: no gap yet
    EXPECT_EQ(box.word_at(432 + 8 * 28), 208u);    // pin 28: 112 + 96
    EXPECT_EQ(box.word_at(1024 + 8 * 5 + 4), 5u);  // the loaded IO delays
    EXPECT_EQ(vr->handoff().pinmux_select(0).value(), 1u);

    auto yb = parse<YB_ASM_HPS_HANDOFF_DATA>(new HPS_HANDOFF_BOX(), "");
    EXPECT_EQ(yb->get_handoff_box()->word_at(436), 0x20605u);  // encoding B

    // More pin controls than the block has pairs is corrupted data; a list
    // of selects other than 48 long is refused.
    for (int i = 29; i < 49; ++i)
        earlier.add_pinmux_control();
    store_section(earlier);
    EXPECT_EQ(internal_error_of([&] { parse_vr(""); }),
              "Unexpected or corrupted data in the HPS hand off @comp/asm/asm_hps");
    earlier.mutable_pinmux_select()->RemoveLast();
    store_section(earlier);
    VR_ASM_HPS_HANDOFF_DATA short_list(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(internal_error_of([&] { short_list.load_handoff_vsection(); }),
              "pinmux_select_size == M_HPS_DEDICATED_IO @comp/asm/asm_hps");

    // A section that does not parse counts as none.
    dbcm_chip->get_section_store()->add_section("HANDOFF", 1, 10, std::string("\x0a\x05\x0a", 3), true);
    VR_ASM_HPS_HANDOFF_DATA broken(&cmp, &chip, 0, &part_manager);
    EXPECT_FALSE(broken.load_handoff_vsection());
    EXPECT_EQ(broken.handoff().pinmux_control_size(), 0);
    EXPECT_EQ(broken.handoff().pinmux_select(0).value(), 9u);
    EXPECT_EQ(broken.handoff().io_delay_size(), 48);
}

TEST_F(HpsHandoff, WithoutPllValuesTheClockWordsHoldOnlyTheirConstantBits)
{
    auto vr = parse_vr("clk a 1");
    std::map<uint32_t, uint32_t> clocks;
    for (uint32_t at = 1424; at <= 1536; at += 4)
        if (vr->get_handoff_box()->word_at(at) != 0)
            clocks[at] = vr->get_handoff_box()->word_at(at);
    const uint32_t enable = 0x08000000;  // bit 27 of each PLL counter
    EXPECT_EQ(clocks, (std::map<uint32_t, uint32_t>{{1436, 1}, {1444, enable}, {1448, enable}, {1452, enable},
                                                    {1456, enable}, {1472, 1}, {1480, enable}, {1484, enable},
                                                    {1488, enable}, {1492, enable}}));
    chip.set_base_family(67);
    auto vk = parse<VK_ASM_HPS_HANDOFF_DATA>(new VK_HPS_HANDOFF_BOX(), "clk a 1");
    EXPECT_EQ(vk->get_handoff_box()->word_at(1432), 0x10000001u);  // main_pll_pllglob
    EXPECT_EQ(vk->get_handoff_box()->word_at(1468), 0x10000001u);  // per_pll_pllglob
    chip.set_base_family(52);
    auto yb = parse<YB_ASM_HPS_HANDOFF_DATA>(new HPS_HANDOFF_BOX(), "pll nocclk.pericnt 3");
    EXPECT_EQ(yb->get_handoff_box()->word_at(1468), 0x10000000u);  // m_pllglob
    EXPECT_EQ(yb->get_handoff_box()->word_at(1476), 0x08000000u);  // m_pllc0
    EXPECT_EQ(yb->get_handoff_box()->word_at(1540), 0x01000003u);  // p_pllc1
}

namespace
{

// The clock-manager words of each family in their block order from byte 1424,
// registers parted by ';': each PLL field with the bit it sits at (name@bit,
// bit 0 when none given) and each constant bit (!bit).
const char* const YB_CLOCKS =
    "m.mpuclk.cnt m.mpuclk.src@16; m.nocclk.src@16; m.c2clk.cnt; m.c3clk.cnt; m.c4clk.cnt; m.c5clk.cnt; m.c6clk.cnt;"
    "m.c7clk.cnt clk7.src@16; m.c8clk.cnt; m.c9clk.cnt;"
    "m.l4mainclk m.l4mpclk@8 m.l4spclk@16 m.csatclk@24 m.cstraceclk@26 m.cspdbgclk@28;"
    "m.vco1.denom@8 m.vco0.psrc@16 !28; m.vco1.numer@24; mpuclk.maincnt !27; nocclk.maincnt !24; ;"
    "p.c2clk.cnt clk2.src@16; p.c3clk.cnt clk3.src@16; p.c4clk.cnt clk4.src@16; p.c5clk.cnt clk5.src@16;"
    "p.c6clk.cnt clk6.src@16; p.c7clk.cnt; p.c8clk.cnt clk8.src@16; p.c9clk.cnt clk9.src@16;"
    "emac0sel@26 emac1sel@27 emac2sel@28; p.gpiodbclk; p.vco1.denom@8 p.vco0.psrc@16 !28; p.vco1.numer@24;"
    "mpuclk.pericnt !27; nocclk.pericnt !24; hps_osc_hz; fpga_clk_hz";

const char* const VR_CLOCKS =
    "m.mpuclk.src@16; m.nocclk.src@16;"
    "m.nocdiv.l4mainclk m.nocdiv.l4mpclk@8 m.nocdiv.l4spclk@16 m.nocdiv.csclk@24 m.nocdiv.cstraceclk@26"
    " m.nocdiv.cspdbgclk@28;"
    "!0 m.pllglob.arefclkdiv@8 m.pllglob.drefclkdiv@12 m.pllglob.psrc@16 m.pllglob.modclkdiv@24; m.fdbck.fdiv;"
    "m.pllc0.div !27; m.pllc1.div !27; m.pllc2.div !27; m.pllc3.div !27; m.pllm.mdiv;"
    "p.emacctl.emac0sel@26 p.emacctl.emac1sel@27 p.emacctl.emac2sel@28; p.gpiodiv.gpiodbclk;"
    "!0 p.pllglob.arefclkdiv@8 p.pllglob.drefclkdiv@12 p.pllglob.psrc@16 p.pllglob.modclkdiv@24; p.fdbck.fdiv;"
    "p.pllc0.div !27; p.pllc1.div !27; p.pllc2.div !27; p.pllc3.div !27; p.pllm.mdiv;"
    "a.emacactr.cnt a.emacactr.src@16; a.emacbctr.cnt a.emacbctr.src@16; a.emacptpctr.cnt a.emacptpctr.src@16;"
    "a.gpiodbctr.cnt a.gpiodbctr.src@16; a.sdmmcctr.cnt a.sdmmcctr.src@16; a.s2fuser0ctr.cnt a.s2fuser0ctr.src@16;"
    "a.s2fuser1ctr.cnt a.s2fuser1ctr.src@16; a.psirefctr.cnt a.psirefctr.src@16; hps_osc_hz; fpga_clk_hz";

const char* const VK_CLOCKS =
    "mainpllgrp.nocclk.src@16;"
    "mainpllgrp.nocdiv.l4sysfreeclk@2 mainpllgrp.nocdiv.l4mpclk@4 mainpllgrp.nocdiv.l4spclk@6"
    " mainpllgrp.nocdiv.softphydiv@16 mainpllgrp.nocdiv.ccudiv@18 mainpllgrp.nocdiv.mpuperiphdiv@20"
    " mainpllgrp.nocdiv.csclk@24 mainpllgrp.nocdiv.cstraceclk@26 mainpllgrp.nocdiv.cspdbgclk@28;"
    "!0 !28 mainpllgrp.pllglob.arefclkdiv@8 mainpllgrp.pllglob.drefclkdiv@12 mainpllgrp.pllglob.psrc@16"
    " mainpllgrp.pllglob.fastrefclk@21 mainpllgrp.pllglob.modclkdiv@24; mainpllgrp.fdbck.fdiv;"
    "mainpllgrp.pllc0.div !27; mainpllgrp.pllc1.div !27; mainpllgrp.pllc2.div !27; mainpllgrp.pllc3.div !27;"
    "mainpllgrp.pllm.mdiv;"
    "perpllgrp.emacctl.emac0sel@26 perpllgrp.emacctl.emac1sel@27 perpllgrp.emacctl.emac2sel@28;"
    "perpllgrp.gpiodiv.gpiodbclk;"
    "!0 !28 perpllgrp.pllglob.arefclkdiv@8 perpllgrp.pllglob.drefclkdiv@12 perpllgrp.pllglob.psrc@16"
    " perpllgrp.pllglob.fastrefclk@21 perpllgrp.pllglob.modclkdiv@24; perpllgrp.fdbck.fdiv;"
    "perpllgrp.pllc0.div !27; perpllgrp.pllc1.div !27; perpllgrp.pllc2.div !27; perpllgrp.pllc3.div !27;"
    "perpllgrp.pllm.mdiv;"
    "ctl.emacactr.cnt ctl.emacactr.src@16; ctl.emacbctr.cnt ctl.emacbctr.src@16;"
    "ctl.emacptpctr.cnt ctl.emacptpctr.src@16; ctl.gpiodbctr.cnt ctl.gpiodbctr.src@16;"
    "ctl.s2fuser0ctr.cnt ctl.s2fuser0ctr.src@16; ctl.s2fuser1ctr.cnt ctl.s2fuser1ctr.src@16;"
    "ctl.psirefctr.cnt ctl.psirefctr.src@16; ctl.usb31ctr.cnt ctl.usb31ctr.src@16; ctl.dsuctr.cnt ctl.dsuctr.src@16;"
    "ctl.core01ctr.cnt ctl.core01ctr.src@16; ctl.core23ctr.src@16; ctl.core2ctr.cnt; ctl.core3ctr.cnt;"
    "hps_osc_clk_hz; fpga_clk_hz";

// A data string with one "pll" triple per field of a clock table, and the
// CLKS section (of the given length) that it must give. Field n of the table
// (from 1) gets 1 + (n - 1) mod (2^room - 1), its room being the bits up to
// the next field or constant bit of its word: never 0, never into another
// field, and unlike its neighbours wherever the room allows.
struct CLOCK_DESIGN
{
    std::string data, clks;
};

CLOCK_DESIGN clock_design(const char* table, uint32_t length)
{
    CLOCK_DESIGN design{"", std::string(length, '\0')};
    put_word(design.clks, 0, 0x434C4B53);  // CLKS
    put_word(design.clks, 4, length);
    std::istringstream registers(table);
    uint64_t field = 0;
    uint32_t at = 16;
    for (std::string reg; std::getline(registers, reg, ';'); at += 4)
    {
        std::map<int, std::string> by_bit;  // a constant bit has no name
        std::istringstream words(reg);
        for (std::string word; words >> word;)
        {
            const size_t mark = word[0] == '!' ? 0 : word.find('@');
            by_bit[mark == std::string::npos ? 0 : std::stoi(word.substr(mark + 1))] = word.substr(0, mark);
        }
        uint32_t value = 0;
        for (auto it = by_bit.begin(); it != by_bit.end(); ++it)
        {
            const int room = (std::next(it) == by_bit.end() ? 32 : std::next(it)->first) - it->first;
            const uint64_t v = it->second.empty() ? 1 : 1 + field++ % ((uint64_t(1) << room) - 1);
            if (!it->second.empty())
                design.data += "pll " + it->second + " " + std::to_string(v) + "\n";
            value |= static_cast<uint32_t>(v << it->first);
        }
        put_word(design.clks, at, value);
    }
    return design;
}

// Block bytes from the given offset on, one line per word, so that a
// mismatch names the word's offset.
std::string word_lines(const std::string& bytes, uint32_t offset)
{
    std::ostringstream text;
    text << std::setfill('0');
    for (size_t at = 0; at + 4 <= bytes.size(); at += 4, offset += 4)
    {
        text << std::dec << offset << ":" << std::hex;
        for (size_t i = at; i < at + 4; ++i)
            text << " " << std::setw(2) << (static_cast<unsigned>(bytes[i]) & 0xFF);
        text << "\n";
    }
    return text.str();
}

}  // namespace

// One design per layout naming every PLL field of its family: the CLKS
// section is compared whole, so a field at a wrong bit or word, two fields
// swapped or one left out change its bytes.
TEST_F(HpsHandoff, EveryClockFieldSitsAtItsBitInEachLayout)
{
    const CLOCK_DESIGN yb = clock_design(YB_CLOCKS, 144), vr = clock_design(VR_CLOCKS, 144),
                       vk = clock_design(VK_CLOCKS, 160);
    struct ROW
    {
        const char* layout;
        std::unique_ptr<ASM_HPS_HANDOFF_DATA> builder;
        const CLOCK_DESIGN& design;
    };
    const ROW rows[] = {{"base", parse<YB_ASM_HPS_HANDOFF_DATA>(new HPS_HANDOFF_BOX(), yb.data), yb},
                        {"vr", parse<VR_ASM_HPS_HANDOFF_DATA>(new VR_HPS_HANDOFF_BOX(), vr.data), vr},
                        {"vw", parse<VR_ASM_HPS_HANDOFF_DATA>(new VW_HPS_HANDOFF_BOX(false), vr.data), vr},
                        {"vw variant", parse<VR_ASM_HPS_HANDOFF_DATA>(new VW_HPS_HANDOFF_BOX(true), vr.data), vr},
                        {"vk", parse<VK_ASM_HPS_HANDOFF_DATA>(new VK_HPS_HANDOFF_BOX(), vk.data), vk}};
    for (const ROW& row : rows)
    {
        const std::vector<uint8_t>& bytes = row.builder->get_handoff_box()->bytes();
        ASSERT_GE(bytes.size(), 1408 + row.design.clks.size()) << row.layout;
        const std::string clks(bytes.begin() + 1408, bytes.begin() + 1408 + row.design.clks.size());
        EXPECT_EQ(word_lines(clks, 1408), word_lines(row.design.clks, 1408)) << row.layout;
    }
}

// The last pair of the pin-mux and IO-delay tables and the last clock word
// of each layout, written through the parser and the family's writers.
TEST_F(HpsHandoff, TheLastWordsOfEachSectionLandAtTheLayoutsOffsets)
{
    const std::string data = "sel 47 5 din 47 1 pll fpga_clk_hz 7";
    struct ROW
    {
        std::unique_ptr<ASM_HPS_HANDOFF_DATA> builder;
        uint32_t dlay_address, fpga_clk_hz;
    };
    ROW rows[] = {{parse<YB_ASM_HPS_HANDOFF_DATA>(new HPS_HANDOFF_BOX(), data), 188 + 96, 1548},
                  {parse<VR_ASM_HPS_HANDOFF_DATA>(new VR_HPS_HANDOFF_BOX(), data), 188, 1536},
                  {parse<VR_ASM_HPS_HANDOFF_DATA>(new VW_HPS_HANDOFF_BOX(true), data), 188, 1536},
                  {parse<VK_ASM_HPS_HANDOFF_DATA>(new VK_HPS_HANDOFF_BOX(), data), 188, 1552}};
    for (const ROW& row : rows)
    {
        const HPS_HANDOFF_BOX& box = *row.builder->get_handoff_box();
        EXPECT_EQ(box.word_at(408), 188u + 96) << box.size();  // PMUX pair 47
        EXPECT_EQ(box.word_at(412), 5u) << box.size();
        EXPECT_EQ(box.word_at(1400), row.dlay_address) << box.size();  // DLAY pair 47
        EXPECT_EQ(box.word_at(1404), 1u) << box.size();
        EXPECT_EQ(box.word_at(row.fpga_clk_hz), 7u) << box.size();
    }
}
