// The handoff block layouts: sizes, tables and section offsets, the word
// writers, the family words and the block's files.
#include "asm_hps.h"

#include "asm_common.h"
#include "asm_trace.h"
#include "asm_util.h"

#include <fio.h>
#include <gen.h>

#define ASM_SOURCE_TAG "comp/asm/asm_hps"

namespace
{

const uint32_t BASE_BOX_SIZE = 1572;
const uint32_t VR_BOX_SIZE = 1572;
const uint32_t VW_BOX_SIZE = 1596;
const uint32_t VW_VARIANT_BOX_SIZE = 1608;
const uint32_t VK_BOX_SIZE = 1624;
const uint32_t DEDICATED_IO = 48;

const uint32_t BASE_BOOT_VERSION = 0x10001;
const uint32_t VR_BOOT_VERSION = 0x20001;
const uint32_t VW_BOOT_VERSION = 0x40001;
const uint32_t VK_BOOT_VERSION = 0x50001;

// The PMUX, IOCT and DLAY sections hold 48 pairs, FPGA 22; CLKS is 144
// bytes long (160 in the VK layout). MISC's length word says 144 although
// the section holds only its header and one word.
const uint32_t PAIR_SECTION_LENGTH = 400;
const uint32_t FPGA_SECTION_LENGTH = 192;
const uint32_t CLKS_SECTION_LENGTH = 144;
const uint32_t VK_CLKS_SECTION_LENGTH = 160;
const uint32_t MISC_SECTION_LENGTH = 144;
const uint32_t VW_SDRM_SECTION_LENGTH = 24;
const uint32_t VK_PERI_SECTION_LENGTH = 20;
const uint32_t VK_SDRM_SECTION_LENGTH = 20;
const uint32_t MISC_SECTION_SIZE = 20;

// The clock-register tables take consecutive words from this offset.
const uint32_t CLOCK_REGISTERS_OFFSET = 1424;

const char* const BASE_CLOCK_REGISTERS[] = {
    "m_mpu",     "m_noc",     "m_cntr2",    "m_cntr3",   "m_cntr4",   "m_cntr5",   "m_cntr6",   "m_cntr7",
    "m_cntr8",   "m_cntr9",   "m_nocdiv",   "m_pllglob", "m_fdbck",   "m_pllc0",   "m_pllc1",   "unused1",
    "p_cntr2",   "p_cntr3",   "p_cntr4",    "p_cntr5",   "p_cntr6",   "p_cntr7",   "p_cntr8",   "p_cntr9",
    "p_emacctl", "p_gpiodiv", "p_pllglob",  "p_fdbck",   "p_pllc0",   "p_pllc1",   "hps_osc_hz", "fpga_clk_hz"};

const char* const VR_CLOCK_REGISTERS[] = {
    "m_mpu",      "m_noc",       "m_nocdiv",  "m_pllglob", "m_fdbck",   "m_pllc0",     "m_pllc1",     "m_pllc2",
    "m_pllc3",    "m_pllm",      "p_emacctl", "p_gpiodiv", "p_pllglob", "p_fdbck",     "p_pllc0",     "p_pllc1",
    "p_pllc2",    "p_pllc3",     "p_pllm",    "emacactr",  "emacbctr",  "emacptpctr",  "gpiodbctr",   "sdmmcctr",
    "s2fuser0ctr", "s2fuser1ctr", "psirefctr", "hps_osc_hz", "fpga_clk_hz"};

const char* const VK_CLOCK_REGISTERS[] = {
    "main_pll_nocclk", "main_pll_nocdiv", "main_pll_pllglob", "main_pll_fdbck", "main_pll_pllc0",
    "main_pll_pllc1",  "main_pll_pllc2",  "main_pll_pllc3",   "main_pll_pllm",  "per_pll_emacctl",
    "per_pll_gpiodiv", "per_pll_pllglob", "per_pll_fdbck",    "per_pll_pllc0",  "per_pll_pllc1",
    "per_pll_pllc2",   "per_pll_pllc3",   "per_pll_pllm",     "emacactr",       "emacbctr",
    "emacptpctr",      "gpiodbctr",       "s2fuser0ctr",      "s2fuser1ctr",    "psirefctr",
    "usb31ctr",        "dsuctr",          "core01ctr",        "core23ctr",      "core2ctr",
    "core3ctr",        "hps_osc_clk_hz",  "fpga_clk_hz"};

// Use-FPGA switches by pair index; the base layout adds hps_osc_clk (20).
const char* const USE_FPGA_SWITCHES[] = {"rgmii0",   "rgmii1",   "rgmii2", "i2c0",  "i2c1",  "i2cemac0", "i2cemac1",
                                         "i2cemac2", "nand",     "spim0",  "spim1", "spis0", "spis1",    "uart0",
                                         "uart1",    "mdio0",    "mdio1",  "mdio2", "jtag",  "sdmmc"};

// The VK layout names its switches by register field; i3c0 takes index 21
// (it is entered at 20 and again at 21, and the later entry stands).
const char* const VK_USE_FPGA_SWITCHES[] = {
    "csr.pinmux_emac0_usefpga.sel", "csr.pinmux_emac1_usefpga.sel",     "csr.pinmux_emac2_usefpga.sel",
    "csr.pinmux_i2c0_usefpga.sel",  "csr.pinmux_i2c1_usefpga.sel",      "csr.pinmux_i2c_emac0_usefpga.sel",
    "csr.pinmux_i2c_emac1_usefpga.sel", "csr.pinmux_i2c_emac2_usefpga.sel", "csr.pinmux_nand_usefpga.sel",
    "csr.pinmux_spim0_usefpga.sel", "csr.pinmux_spim1_usefpga.sel",     "csr.pinmux_spis0_usefpga.sel",
    "csr.pinmux_spis1_usefpga.sel", "csr.pinmux_uart0_usefpga.sel",     "csr.pinmux_uart1_usefpga.sel",
    "csr.pinmux_mdio0_usefpga.sel", "csr.pinmux_mdio1_usefpga.sel",     "csr.pinmux_mdio2_usefpga.sel",
    "csr.pinmux_jtag_usefpga.sel",  "csr.pinmux_sdmmc_usefpga.sel",     "csr.pinmux_i3c0_usefpga.sel"};

template <size_t N>
void add_clock_registers(std::map<std::string, uint32_t>& table, const char* const (&names)[N])
{
    for (size_t i = 0; i < N; ++i)
        table[names[i]] = CLOCK_REGISTERS_OFFSET + 4 * static_cast<uint32_t>(i);
}

template <size_t N>
void fill_use_fpga(std::map<std::string, uint32_t>& table, const char* const (&names)[N])
{
    for (size_t i = 0; i < N; ++i)
        table[names[i]] = static_cast<uint32_t>(i);
}

void trace_box(const char* layout, uint32_t size)
{
    if (asm_tracing())
        asm_trace(safe_sprintf("construct %s %u", layout, size));
}

}  // namespace

// --- construction ---

HPS_HANDOFF_BOX::HPS_HANDOFF_BOX()
    : m_bytes(BASE_BOX_SIZE, 0),
      m_size(BASE_BOX_SIZE),
      m_dedicated_io(DEDICATED_IO),
      m_pmux_register_base(0),
      m_pmux_data_offset(32),
      m_ioct_register_base(0),
      m_ioct_data_offset(432),
      m_fpga_register_base(0),
      m_fpga_data_offset(832),
      m_dlay_register_base(0),
      m_dlay_data_offset(1024),
      m_dlay_address_gap(96),
      m_power_gate_offset(0),
      m_sdrm_word_offset(0),
      m_boot_offset(0),
      m_pmux_offset(16),
      m_ioct_offset(416),
      m_fpga_offset(816),
      m_dlay_offset(1008),
      m_clks_offset(1408),
      m_misc_offset(1552),
      m_sdrm_offset(0),
      m_peri_offset(0)
{
    add_clock_registers(m_clock_registers, BASE_CLOCK_REGISTERS);
    fill_use_fpga(m_use_fpga, USE_FPGA_SWITCHES);
    m_use_fpga["hps_osc_clk"] = 20;
    trace_box("HPS_HANDOFF_BOX", m_size);
}

HPS_HANDOFF_BOX::~HPS_HANDOFF_BOX() { asm_trace("destroy HPS_HANDOFF_BOX"); }

void HPS_HANDOFF_BOX::resize(uint32_t size)
{
    m_size = size;
    m_bytes.resize(size, 0);
}

VR_HPS_HANDOFF_BOX::VR_HPS_HANDOFF_BOX()
{
    resize(VR_BOX_SIZE);
    m_dlay_address_gap = 0;
    m_use_fpga.clear();
    fill_use_fpga(m_use_fpga, USE_FPGA_SWITCHES);
    add_clock_registers(m_clock_registers, VR_CLOCK_REGISTERS);
    trace_box("VR_HPS_HANDOFF_BOX", m_size);
}

VW_HPS_HANDOFF_BOX::VW_HPS_HANDOFF_BOX(bool variant)
    : m_memory_type_offset(variant ? 1576 : 0), m_hbm_offset(variant ? 1580 : 0), m_variant(variant)
{
    resize(variant ? VW_VARIANT_BOX_SIZE : VW_BOX_SIZE);
    m_dlay_address_gap = 0;
    m_sdrm_offset = 1552;
    m_sdrm_word_offset = 1568;
    m_misc_offset = m_size - MISC_SECTION_SIZE;
    m_use_fpga.clear();
    fill_use_fpga(m_use_fpga, USE_FPGA_SWITCHES);
    add_clock_registers(m_clock_registers, VR_CLOCK_REGISTERS);
    trace_box("VW_HPS_HANDOFF_BOX", m_size);
}

VK_HPS_HANDOFF_BOX::VK_HPS_HANDOFF_BOX()
{
    resize(VK_BOX_SIZE);
    m_dlay_address_gap = 0;
    m_power_gate_offset = 1584;
    m_sdrm_word_offset = 1620;
    m_peri_offset = 1568;
    m_sdrm_offset = 1588;
    m_use_fpga.clear();
    fill_use_fpga(m_use_fpga, VK_USE_FPGA_SWITCHES);
    m_use_fpga["csr.pinmux_i3c0_usefpga.sel"] = 21;
    add_clock_registers(m_clock_registers, VK_CLOCK_REGISTERS);
    trace_box("VK_HPS_HANDOFF_BOX", m_size);
}

// --- section headers ---

void HPS_HANDOFF_BOX::write_section_header(uint32_t offset, const char* tag, uint32_t length)
{
    const auto byte = [tag](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(tag[i])); };
    set_register(offset, byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3));
    set_register(offset + 4, length);
}

void HPS_HANDOFF_BOX::write_leading_section_headers(uint32_t boot_version)
{
    write_section_header(m_boot_offset, "BOOT", boot_version);
    write_section_header(m_pmux_offset, "PMUX", PAIR_SECTION_LENGTH);
    write_section_header(m_ioct_offset, "IOCT", PAIR_SECTION_LENGTH);
    write_section_header(m_fpga_offset, "FPGA", FPGA_SECTION_LENGTH);
    write_section_header(m_dlay_offset, "DLAY", PAIR_SECTION_LENGTH);
}

void HPS_HANDOFF_BOX::init_sections()
{
    write_leading_section_headers(BASE_BOOT_VERSION);
    write_section_header(m_clks_offset, "CLKS", CLKS_SECTION_LENGTH);
    write_section_header(m_misc_offset, "MISC", MISC_SECTION_LENGTH);
}

void VR_HPS_HANDOFF_BOX::init_sections()
{
    HPS_HANDOFF_BOX::init_sections();
    write_section_header(m_boot_offset, "BOOT", VR_BOOT_VERSION);
}

void VW_HPS_HANDOFF_BOX::init_sections()
{
    write_leading_section_headers(VW_BOOT_VERSION);
    write_section_header(m_clks_offset, "CLKS", CLKS_SECTION_LENGTH);
    write_section_header(m_sdrm_offset, "SDRM", VW_SDRM_SECTION_LENGTH);
    write_section_header(m_misc_offset, "MISC", MISC_SECTION_LENGTH);
}

void VK_HPS_HANDOFF_BOX::init_sections()
{
    write_leading_section_headers(VK_BOOT_VERSION);
    write_section_header(m_clks_offset, "CLKS", VK_CLKS_SECTION_LENGTH);
    write_section_header(m_peri_offset, "PERI", VK_PERI_SECTION_LENGTH);
    write_section_header(m_sdrm_offset, "SDRM", VK_SDRM_SECTION_LENGTH);
}

// --- words and pairs ---

bool HPS_HANDOFF_BOX::set_register(uint32_t offset, uint32_t value)
{
    // The range test comes first: an unaligned offset past the end is
    // reported as out of range.
    if (offset > m_size - 4)
    {
        hps_log_set_register_out_of_range(static_cast<int>(m_size), static_cast<int>(offset));
        return false;
    }
    if (offset % 4 != 0)
    {
        hps_log_set_register_misaligned(static_cast<int>(offset));
        return false;
    }
    m_bytes[offset] = static_cast<uint8_t>(value >> 24);
    m_bytes[offset + 1] = static_cast<uint8_t>(value >> 16);
    m_bytes[offset + 2] = static_cast<uint8_t>(value >> 8);
    m_bytes[offset + 3] = static_cast<uint8_t>(value);
    return true;
}

uint32_t HPS_HANDOFF_BOX::word_at(uint32_t offset) const
{
    if (m_size < 4 || offset > m_size - 4)
        return 0;
    return static_cast<uint32_t>(m_bytes[offset]) << 24 | static_cast<uint32_t>(m_bytes[offset + 1]) << 16 |
           static_cast<uint32_t>(m_bytes[offset + 2]) << 8 | static_cast<uint32_t>(m_bytes[offset + 3]);
}

bool HPS_HANDOFF_BOX::set_register_by_name(const std::string& name, uint32_t value)
{
    auto found = m_clock_registers.find(name);
    if (found == m_clock_registers.end())
    {
        const std::string line = safe_sprintf("ACID_HPS: set_register_by_name not found: %s", name.c_str());
        asm_debug_log(2, "%s", line.c_str());
        return false;
    }
    return set_register(found->second, value);
}

bool HPS_HANDOFF_BOX::set_fpga_register(const std::string& name, uint32_t value)
{
    auto found = m_use_fpga.find(name);
    if (found == m_use_fpga.end())
    {
        const std::string line = safe_sprintf("ACID_HPS: set_fpga_register not found: usefpga->%s ", name.c_str());
        asm_debug_log(2, "%s", line.c_str());
        return false;
    }
    const uint32_t index = found->second;
    // The switch registers skip one word after index 8 and another after 17.
    const uint32_t address = m_fpga_register_base + 4 * index + (index >= 9 ? 4 : 0) + (index >= 18 ? 4 : 0);
    const bool address_written = set_register(m_fpga_data_offset + 8 * index, address);
    const bool value_written = set_register(m_fpga_data_offset + 8 * index + 4, value);
    return address_written && value_written;
}

bool HPS_HANDOFF_BOX::set_io_delay_pair(uint32_t index, uint32_t value)
{
    // Past the 48 pairs lies the next section.
    if (index >= m_dedicated_io)
        return false;
    const uint32_t address = m_dlay_register_base + 4 * index + (index >= 40 ? m_dlay_address_gap : 0);
    const bool address_written = set_register(m_dlay_data_offset + 8 * index, address);
    const bool value_written = set_register(m_dlay_data_offset + 8 * index + 4, value);
    return address_written && value_written;
}

// --- family words ---

bool HPS_HANDOFF_BOX::set_ddr_register(const std::string&, uint32_t)
{
    asm_debug_log(2, "%s", "Warning: ddr register is not supoported in this device");
    return false;
}

bool HPS_HANDOFF_BOX::set_periph_power_gate(const std::string&, uint32_t)
{
    asm_debug_log(2, "%s", "Warning: periph power gate register is not supported in this device");
    return false;
}

bool HPS_HANDOFF_BOX::set_memory_type(uint32_t)
{
    asm_debug_log(2, "%s", "Warning: memory type is not supoported in this device");
    return false;
}

bool HPS_HANDOFF_BOX::set_hbm_register(const std::string&, uint32_t)
{
    asm_debug_log(2, "%s", "Warning: hbm register is not supoported in this device");
    return false;
}

bool VW_HPS_HANDOFF_BOX::set_ddr_register(const std::string& name, uint32_t value)
{
    if (name == "interleaving")
        return set_register(m_sdrm_word_offset, value & 1);
    if (name == "IO96B_CSR")
    {
        if (value == 2)
            internal_error("IO96B_0_CSR disable and IO96B_1_CSR enable is not supported", ASM_SOURCE_TAG, __LINE__);
        return set_register(m_sdrm_word_offset + 4, value & 3);
    }
    return false;
}

bool VW_HPS_HANDOFF_BOX::set_memory_type(uint32_t value)
{
    if (!m_variant)
        return HPS_HANDOFF_BOX::set_memory_type(value);
    return set_register(m_memory_type_offset, value & 1);
}

bool VW_HPS_HANDOFF_BOX::set_hbm_register(const std::string& name, uint32_t value)
{
    if (!m_variant)
        return HPS_HANDOFF_BOX::set_hbm_register(name, value);
    if (name == "HPS_IO_HBM_CH_EN")
        return set_register(m_hbm_offset, value & 0xFF);
    if (name == "HPS_IO_HBM_ECC_EN")
        return set_register(m_hbm_offset + 4, value & 1);
    return false;
}

bool VK_HPS_HANDOFF_BOX::set_ddr_register(const std::string& name, uint32_t value)
{
    if (name == "IO96B_CSR")
        return set_register(m_sdrm_word_offset, value & 3);
    return false;
}

bool VK_HPS_HANDOFF_BOX::set_periph_power_gate(const std::string&, uint32_t value)
{
    return set_register(m_power_gate_offset, value & 0x100FF);
}

// --- files ---

namespace
{

struct WORD_BYTES
{
    unsigned b0, b1, b2, b3;
};

WORD_BYTES bytes_of(const std::vector<uint8_t>& bytes, uint32_t offset)
{
    return WORD_BYTES{bytes[offset], bytes[offset + 1], bytes[offset + 2], bytes[offset + 3]};
}

}  // namespace

void HPS_HANDOFF_BOX::write_text_file(const std::string& base_name, const std::string& text)
{
    const FIO_PATH path(gen_get_project_output_directory(), base_name, "txt");
    if (!write_dump_file(path, text))
    {
        const std::string line = safe_sprintf("ACID_HPS: cannot open %s", path.fullpath().c_str());
        asm_debug_log(2, "%s", line.c_str());
    }
}

void HPS_HANDOFF_BOX::write_binary_file(const std::string& base_name)
{
    const FIO_PATH path(gen_get_project_output_directory(), base_name, "bin");
    std::string content(m_bytes.begin(), m_bytes.end());
    content += '\n';
    // Written whole or not at all: the boot image tools must never read a
    // half-written block.
    write_dump_file(path, content);
}

void HPS_HANDOFF_BOX::write_hex_dump(const std::string& base_name)
{
    std::string out = "file debug\n"
                      "# The HPS handoff block, one big-endian word per line: byte offset = value, then the\n"
                      "# word's bytes as characters (section tags read as their names).\n"
                      "# The words are the values of the HPS pin-mux, IO-control, IO-delay and clock-manager\n"
                      "# registers: see the HPS register maps, and the boot loader design's chapter on the\n"
                      "# handoff data for the layout of the sections.\n";
    for (uint32_t offset = 0; m_size >= 4 && offset <= m_size - 4; offset += 4)
    {
        const WORD_BYTES w = bytes_of(m_bytes, offset);
        out += safe_sprintf("%#x\t= 0x%.2x%.2x_%.2x%.2x ", offset, w.b0, w.b1, w.b2, w.b3);
        out += safe_sprintf("(%c%c%c%c)\n ", static_cast<char>(w.b0), static_cast<char>(w.b1),
                            static_cast<char>(w.b2), static_cast<char>(w.b3));
    }
    out += "\n";
    write_text_file(base_name, out);
}

void HPS_HANDOFF_BOX::dump_words(std::string& out, uint32_t start, uint32_t end) const
{
    for (uint32_t offset = start; offset < end && m_size >= 4 && offset <= m_size - 4; offset += 4)
    {
        const WORD_BYTES w = bytes_of(m_bytes, offset);
        out += safe_sprintf("%#x\t= 0x%.2x%.2x_%.2x%.2x \n", offset, w.b0, w.b1, w.b2, w.b3);
    }
}

void HPS_HANDOFF_BOX::dump_section(std::string& out, uint32_t start, uint32_t end) const
{
    if (m_size < 16 || start > m_size - 16)
        return;
    WORD_BYTES w = bytes_of(m_bytes, start);
    out += safe_sprintf("Header\t= 0x%.2x%.2x_%.2x%.2x ", w.b0, w.b1, w.b2, w.b3);
    out += safe_sprintf("(%c%c%c%c)\n", static_cast<char>(w.b0), static_cast<char>(w.b1), static_cast<char>(w.b2),
                        static_cast<char>(w.b3));
    w = bytes_of(m_bytes, start + 4);
    out += safe_sprintf("Length\t= 0x%.2x%.2x_%.2x%.2x \n", w.b0, w.b1, w.b2, w.b3);
    for (uint32_t offset : {start + 8, start + 12})
    {
        w = bytes_of(m_bytes, offset);
        out += safe_sprintf("Unused\t= 0x%.2x%.2x_%.2x%.2x \n", w.b0, w.b1, w.b2, w.b3);
    }
    int number = 0;
    for (uint32_t pair = start + 16; pair < end && pair + 8 <= m_size; pair += 8, ++number)
    {
        const WORD_BYTES address = bytes_of(m_bytes, pair);
        const WORD_BYTES value = bytes_of(m_bytes, pair + 4);
        out += safe_sprintf("%d\t= 0x%.2x%.2x_%.2x%.2x ", number, address.b0, address.b1, address.b2, address.b3);
        out += safe_sprintf("\t0x%.2x%.2x_%.2x%.2x \n", value.b0, value.b1, value.b2, value.b3);
    }
}

void HPS_HANDOFF_BOX::dump_pair_sections(std::string& out) const
{
    out += "HPS handoff binary structure\n";
    out += "--- Header ----\n";
    dump_words(out, m_boot_offset, m_pmux_offset);
    out += "--- Pinmux configuration - select  ----\n";
    dump_section(out, m_pmux_offset, m_ioct_offset);
    out += "--- Pinmux configuration  io control ----\n";
    dump_section(out, m_ioct_offset, m_fpga_offset);
    out += "--- Pinmux configuration  use fpga switch  ----\n";
    dump_section(out, m_fpga_offset, m_dlay_offset);
    out += "--- Pinmux configuration  IO delay switch  ----\n";
    dump_section(out, m_dlay_offset, m_clks_offset);
}

void HPS_HANDOFF_BOX::write_structure_dump(const std::string& base_name)
{
    std::string out;
    dump_pair_sections(out);
    // In the VW layout this run takes in the SDRM section and the variant's
    // words, which lie between CLKS and MISC.
    out += "--- Clocks configuration ----\n";
    dump_words(out, m_clks_offset, m_misc_offset);
    out += "--- Misc configuration ----\n";
    dump_words(out, m_misc_offset, m_size);
    out += "\n";
    write_text_file(base_name, out);
}

void VK_HPS_HANDOFF_BOX::write_structure_dump(const std::string& base_name)
{
    std::string out;
    dump_pair_sections(out);
    out += "--- Clocks configuration ----\n";
    dump_words(out, m_clks_offset, m_peri_offset);
    out += "--- Peripheral configuration ----\n";
    dump_words(out, m_peri_offset, m_sdrm_offset);
    out += "--- DDR configuration ----\n";
    dump_words(out, m_sdrm_offset, m_size);
    out += "\n";
    write_text_file(base_name, out);
}
