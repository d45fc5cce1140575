// The handoff block layouts: sizes, section headers and family words at
// their offsets (numbers from the block format, not from the code), the
// word writer's edges, and the block's files.
#include "asm_hps.h"
#include "entry_fixture.h"

#include <functional>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace
{

// The block's words that are not 0.
std::map<uint32_t, uint32_t> nonzero_words(const HPS_HANDOFF_BOX& box)
{
    std::map<uint32_t, uint32_t> words;
    const std::vector<uint8_t>& b = box.bytes();
    for (uint32_t at = 0; at + 4 <= b.size(); at += 4)
    {
        const uint32_t word = uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
        if (word != 0)
            words[at] = word;
    }
    return words;
}

struct LAYOUT_CASE
{
    const char* name;
    std::function<HPS_HANDOFF_BOX*()> make;
    uint32_t size;
    std::map<uint32_t, uint32_t> headers;  // every non-zero word after init_sections
};

// Tags as the words that spell them.
const uint32_t BOOT = 0x424F4F54, PMUX = 0x504D5558, IOCT = 0x494F4354, FPGA = 0x46504741, DLAY = 0x444C4159,
               CLKS = 0x434C4B53, MISC = 0x4D495343, SDRM = 0x5344524D, PERI = 0x50455249;

std::map<uint32_t, uint32_t> pair_sections(uint32_t boot_version)
{
    return {{0, BOOT},    {4, boot_version}, {16, PMUX},   {20, 400},    {416, IOCT},
            {420, 400},   {816, FPGA},       {820, 192},   {1008, DLAY}, {1012, 400}, {1408, CLKS}};
}

std::map<uint32_t, uint32_t> with(std::map<uint32_t, uint32_t> words, std::map<uint32_t, uint32_t> more)
{
    words.insert(more.begin(), more.end());
    return words;
}

const std::vector<LAYOUT_CASE>& layouts()
{
    static const std::vector<LAYOUT_CASE> cases = {
        {"base", [] { return new HPS_HANDOFF_BOX(); }, 1572,
         with(pair_sections(0x10001), {{1412, 144}, {1552, MISC}, {1556, 144}})},
        {"vr", [] { return new VR_HPS_HANDOFF_BOX(); }, 1572,
         with(pair_sections(0x20001), {{1412, 144}, {1552, MISC}, {1556, 144}})},
        {"vw", [] { return new VW_HPS_HANDOFF_BOX(false); }, 1596,
         with(pair_sections(0x40001), {{1412, 144}, {1552, SDRM}, {1556, 24}, {1576, MISC}, {1580, 144}})},
        {"vw_variant", [] { return new VW_HPS_HANDOFF_BOX(true); }, 1608,
         with(pair_sections(0x40001), {{1412, 144}, {1552, SDRM}, {1556, 24}, {1588, MISC}, {1592, 144}})},
        {"vk", [] { return new VK_HPS_HANDOFF_BOX(); }, 1624,
         with(pair_sections(0x50001), {{1412, 160}, {1568, PERI}, {1572, 20}, {1588, SDRM}, {1592, 20}})},
    };
    return cases;
}

}  // namespace

class HandoffBox : public ENTRY_SUITE
{
protected:
    std::string read_file(const std::string& name) const
    {
        std::ifstream in(m_project_dir + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(HandoffBox, EveryLayoutHasItsSizeAndOnlyItsSectionHeaders)
{
    for (const LAYOUT_CASE& layout : layouts())
    {
        std::unique_ptr<HPS_HANDOFF_BOX> box(layout.make());
        EXPECT_EQ(box->size(), layout.size) << layout.name;
        EXPECT_EQ(box->bytes().size(), layout.size) << layout.name;
        EXPECT_TRUE(nonzero_words(*box).empty()) << layout.name;
        box->init_sections();
        EXPECT_EQ(nonzero_words(*box), layout.headers) << layout.name;
        // Most significant byte first: the tag reads as its letters.
        EXPECT_EQ(std::string(box->bytes().begin() + 16, box->bytes().begin() + 20), "PMUX") << layout.name;
    }
}

TEST_F(HandoffBox, TheWordWriterTakesTheLastWordAndRefusesEverythingPastIt)
{
    for (const LAYOUT_CASE& layout : layouts())
    {
        std::unique_ptr<HPS_HANDOFF_BOX> box(layout.make());
        const uint32_t last = layout.size - 4;
        EXPECT_TRUE(box->set_register(0, 0x01020304)) << layout.name;
        EXPECT_TRUE(box->set_register(last, 0xA1B2C3D4)) << layout.name;
        EXPECT_FALSE(box->set_register(last + 2, 1)) << layout.name;
        EXPECT_FALSE(box->set_register(last + 4, 1)) << layout.name;
        EXPECT_FALSE(box->set_register(last - 2, 1)) << layout.name;
        EXPECT_EQ(nonzero_words(*box), (std::map<uint32_t, uint32_t>{{0, 0x01020304}, {last, 0xA1B2C3D4}}))
            << layout.name;
        EXPECT_EQ(box->bytes().back(), 0xD4) << layout.name;
    }
    // The range test comes first, then the alignment.
    msg_reset();
    HPS_HANDOFF_BOX base;
    base.set_register(1566, 1);
    base.set_register(1570, 1);
    base.set_register(1572, 1);
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"ACID_HPS: set_register 1566",
                                                       "ACID_HPS: set_register: buffer_size 1572, offset 1570",
                                                       "ACID_HPS: set_register: buffer_size 1572, offset 1572"}));
}

TEST_F(HandoffBox, UseFpgaSwitchesAndIoDelayPairsCarryTheirAddressGaps)
{
    VR_HPS_HANDOFF_BOX vr;
    EXPECT_TRUE(vr.set_fpga_register("sdmmc", 1));
    EXPECT_TRUE(vr.set_fpga_register("spim0", 1));
    EXPECT_FALSE(vr.set_fpga_register("hps_osc_clk", 1));  // base layout only
    EXPECT_TRUE(vr.set_io_delay_pair(40, 0x207));
    EXPECT_FALSE(vr.set_io_delay_pair(48, 1));
    EXPECT_EQ(nonzero_words(vr),
              (std::map<uint32_t, uint32_t>{{984, 84}, {988, 1}, {904, 40}, {908, 1}, {1344, 160}, {1348, 0x207}}));
    EXPECT_TRUE(has_debug_line("ACID_HPS: set_fpga_register not found: usefpga->hps_osc_clk "));

    HPS_HANDOFF_BOX base;
    EXPECT_TRUE(base.set_io_delay_pair(40, 5));
    EXPECT_TRUE(base.set_fpga_register("hps_osc_clk", 7));
    EXPECT_EQ(nonzero_words(base), (std::map<uint32_t, uint32_t>{{1344, 256}, {1348, 5}, {992, 88}, {996, 7}}));

    VK_HPS_HANDOFF_BOX vk;
    // The VK layout's switches are its register fields; none has index 20.
    EXPECT_EQ(vk.use_fpga_switches(),
              (std::map<std::string, uint32_t>{
                  {"csr.pinmux_emac0_usefpga.sel", 0},      {"csr.pinmux_emac1_usefpga.sel", 1},
                  {"csr.pinmux_emac2_usefpga.sel", 2},      {"csr.pinmux_i2c0_usefpga.sel", 3},
                  {"csr.pinmux_i2c1_usefpga.sel", 4},       {"csr.pinmux_i2c_emac0_usefpga.sel", 5},
                  {"csr.pinmux_i2c_emac1_usefpga.sel", 6},  {"csr.pinmux_i2c_emac2_usefpga.sel", 7},
                  {"csr.pinmux_nand_usefpga.sel", 8},       {"csr.pinmux_spim0_usefpga.sel", 9},
                  {"csr.pinmux_spim1_usefpga.sel", 10},     {"csr.pinmux_spis0_usefpga.sel", 11},
                  {"csr.pinmux_spis1_usefpga.sel", 12},     {"csr.pinmux_uart0_usefpga.sel", 13},
                  {"csr.pinmux_uart1_usefpga.sel", 14},     {"csr.pinmux_mdio0_usefpga.sel", 15},
                  {"csr.pinmux_mdio1_usefpga.sel", 16},     {"csr.pinmux_mdio2_usefpga.sel", 17},
                  {"csr.pinmux_jtag_usefpga.sel", 18},      {"csr.pinmux_sdmmc_usefpga.sel", 19},
                  {"csr.pinmux_i3c0_usefpga.sel", 21}}));
    EXPECT_FALSE(vk.set_fpga_register("jtag", 0));
    EXPECT_TRUE(vk.set_fpga_register("csr.pinmux_i3c0_usefpga.sel", 1));
    EXPECT_EQ(nonzero_words(vk), (std::map<uint32_t, uint32_t>{{1000, 92}, {1004, 1}}));
}

TEST_F(HandoffBox, FamilyWordsLandWhereTheirLayoutKeepsThemAndNowhereElse)
{
    VK_HPS_HANDOFF_BOX vk;
    EXPECT_TRUE(vk.set_periph_power_gate("anything", 0x1FFFF));
    EXPECT_TRUE(vk.set_ddr_register("IO96B_CSR", 2));
    EXPECT_FALSE(vk.set_ddr_register("interleaving", 1));
    EXPECT_EQ(nonzero_words(vk), (std::map<uint32_t, uint32_t>{{1584, 0x100FF}, {1620, 2}}));

    VW_HPS_HANDOFF_BOX variant(true);
    EXPECT_TRUE(variant.set_ddr_register("interleaving", 3));
    EXPECT_TRUE(variant.set_ddr_register("IO96B_CSR", 7));
    EXPECT_TRUE(variant.set_memory_type(3));
    EXPECT_TRUE(variant.set_hbm_register("HPS_IO_HBM_CH_EN", 0x1FF));
    EXPECT_EQ(nonzero_words(variant), (std::map<uint32_t, uint32_t>{{1568, 1}, {1572, 3}, {1576, 1}, {1580, 0xFF}}));
    EXPECT_EQ(internal_error_of([&] { variant.set_ddr_register("IO96B_CSR", 2); }),
              "IO96B_0_CSR disable and IO96B_1_CSR enable is not supported @comp/asm/asm_hps");

    msg_reset();
    VW_HPS_HANDOFF_BOX plain(false);
    HPS_HANDOFF_BOX base;
    EXPECT_FALSE(plain.set_memory_type(1));
    EXPECT_FALSE(plain.set_hbm_register("HPS_IO_HBM_CH_EN", 1));
    EXPECT_FALSE(base.set_ddr_register("IO96B_CSR", 1));
    EXPECT_FALSE(base.set_periph_power_gate("periphs", 1));
    EXPECT_TRUE(nonzero_words(plain).empty() && nonzero_words(base).empty());
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{
                                 "Warning: memory type is not supoported in this device",
                                 "Warning: hbm register is not supoported in this device",
                                 "Warning: ddr register is not supoported in this device",
                                 "Warning: periph power gate register is not supported in this device"}));
}

TEST_F(HandoffBox, TheFilesHoldTheBlockItsWordsAndItsSections)
{
    HPS_HANDOFF_BOX box;
    box.init_sections();
    box.write_binary_file("hps_bootloader_handoff");
    const std::string bin = read_file("hps_bootloader_handoff.bin");
    ASSERT_EQ(bin.size(), 1573u);  // the block and one newline
    EXPECT_EQ(bin.substr(0, 8), std::string("BOOT\0\x01\0\x01", 8));
    EXPECT_EQ(bin.substr(1552), std::string("MISC\0\0\0\x90", 8) + std::string(12, '\0') + "\n");

    box.write_hex_dump("handoff_array");
    box.write_structure_dump("hps_handoff_array_formated");

    const std::string hex = read_file("handoff_array.txt");
    EXPECT_EQ(hex.rfind("file debug\n", 0), 0u);
    const size_t first = hex.find("0\t= 0x424f_4f54 (BOOT)\n 0x4\t= 0x0001_0001 ");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(hex.find("\n 0x620\t= 0x0000_0000 (", first), std::string::npos);  // the last word, 1568
    EXPECT_EQ(hex.find("0x624"), std::string::npos);

    const std::string text = read_file("hps_handoff_array_formated.txt");
    const size_t pmux = text.find("--- Pinmux configuration - select  ----\n"
                                  "Header\t= 0x504d_5558 (PMUX)\nLength\t= 0x0000_0190 \n"
                                  "Unused\t= 0x0000_0000 \nUnused\t= 0x0000_0000 \n0\t= 0x0000_0000 \t0x0000_0000 \n");
    const size_t ioct = text.find("--- Pinmux configuration  io control ----\n");
    const size_t fpga = text.find("--- Pinmux configuration  use fpga switch  ----\n");
    const size_t dlay = text.find("--- Pinmux configuration  IO delay switch  ----\n");
    ASSERT_NE(pmux, std::string::npos);
    ASSERT_NE(fpga, std::string::npos);
    ASSERT_NE(dlay, std::string::npos);
    const std::string pmux_part = text.substr(pmux, ioct - pmux);
    EXPECT_NE(pmux_part.find("\n47\t= "), std::string::npos);
    EXPECT_EQ(pmux_part.find("\n48\t= "), std::string::npos);
    const std::string fpga_part = text.substr(fpga, dlay - fpga);
    EXPECT_NE(fpga_part.find("\n21\t= "), std::string::npos);
    EXPECT_EQ(fpga_part.find("\n22\t= "), std::string::npos);
    EXPECT_NE(text.find("--- Misc configuration ----\n0x610\t= 0x4d49_5343 \n0x614\t= 0x0000_0090 \n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 22), "0x620\t= 0x0000_0000 \n\n");

    VK_HPS_HANDOFF_BOX vk;
    vk.init_sections();
    vk.write_structure_dump("vk_formated");
    EXPECT_NE(read_file("vk_formated.txt").find("--- Peripheral configuration ----\n0x620\t= 0x5045_5249 \n"),
              std::string::npos);
}

TEST_F(HandoffBox, AFileThatCannotBeWrittenIsReportedAndSkipped)
{
    gen_set_project_output_directory(m_project_dir + "/missing");
    HPS_HANDOFF_BOX box;
    box.write_binary_file("hps_bootloader_handoff");
    box.write_hex_dump("handoff_array");
    // The block file and the text dump alike.
    std::vector<std::string> texts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        texts.push_back(record.text);
    auto cannot_write = [&](const std::string& file) {
        return "Error: Failed to open " + m_project_dir + "/missing/" + file +
               " file for writing. Confirm that you have write permission for this file. Update the file "
               "permissions, if needed.";
    };
    EXPECT_EQ(texts, (std::vector<std::string>{cannot_write("hps_bootloader_handoff.bin"),
                                               cannot_write("handoff_array.txt")}));
    EXPECT_TRUE(has_debug_line("ACID_HPS: cannot open " + m_project_dir + "/missing/handoff_array.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_project_dir + "/missing"));
}
