// The per-family register writers: the IO-control and IO-delay pairs of the
// handoff block from the record, and the clock-manager words from the PLL
// values of the configuration string.
#include "asm_hps.h"

#include "asm_common.h"

#define ASM_SOURCE_TAG "comp/asm/asm_hps"

namespace
{

// The IO-control registers skip 96 bytes of addresses after pin 27.
const uint32_t IOCT_ADDRESS_GAP_INDEX = 28;
const uint32_t IOCT_ADDRESS_GAP = 96;
const uint32_t PLL_ENABLE_BIT_27 = 1u << 27;
const uint32_t PLL_ENABLE_BIT_24 = 1u << 24;

// The PLL values by register field name; a name the strings did not give
// counts 0.
class PLL_VALUES
{
public:
    explicit PLL_VALUES(const std::map<std::string, uint32_t>& values) : m_values(values) {}
    uint32_t operator()(const std::string& name, int bit = 0) const
    {
        auto found = m_values.find(name);
        // Shifted without masking: a value wider than its room spills over.
        return found == m_values.end() ? 0 : found->second << bit;
    }

private:
    const std::map<std::string, uint32_t>& m_values;
};

}  // namespace

uint32_t hps_io_control_encoding_a(const PB::HANDOFF_HPS_PINMUX_CONTROL& control)
{
    return control.idrvctrl() | (control.islewctrl() ? 1u << 2 : 0) | (control.ropdrain() ? 1u << 3 : 0) |
           control.ihysen() << 4 | control.iwkpullctrl() << 5 | (control.iodt_en() ? 1u << 8 : 0) |
           control.iodt_config() << 9;
}

uint32_t hps_io_control_encoding_b(const PB::HANDOFF_HPS_PINMUX_CONTROL& control)
{
    return control.rpcdn() | control.rpcdp() << 8 | (control.rslewn() ? 1u << 16 : 0) |
           (control.rslewp() ? 1u << 17 : 0) | (control.ropdrain() ? 1u << 18 : 0) | control.input_sel() << 19 |
           control.wkpullup_dn() << 21;
}

void ASM_HPS_HANDOFF_DATA::write_io_pairs(uint32_t (*encode)(const PB::HANDOFF_HPS_PINMUX_CONTROL&))
{
    HPS_HANDOFF_BOX* box = m_handoff_box;
    ASM_REQUIRE(box != NULL);
    // Pairs beyond the 48 pins would land in the next section.
    if (static_cast<uint32_t>(m_handoff.pinmux_control_size()) > M_HPS_DEDICATED_IO)
        internal_error("Unexpected or corrupted data in the HPS hand off", ASM_SOURCE_TAG, __LINE__);
    for (int i = 0; i < m_handoff.pinmux_control_size(); ++i)
    {
        const uint32_t index = static_cast<uint32_t>(i);
        const uint32_t address =
            box->ioct_register_base() + 4 * index + (index >= IOCT_ADDRESS_GAP_INDEX ? IOCT_ADDRESS_GAP : 0);
        box->set_register(box->ioct_data_offset() + 8 * index, address);
        box->set_register(box->ioct_data_offset() + 8 * index + 4, encode(m_handoff.pinmux_control(i)));
    }
    for (int i = 0; i < m_handoff.io_delay_size(); ++i)
    {
        const PB::HANDOFF_HPS_IO_DELAY& delay = m_handoff.io_delay(i);
        box->set_io_delay_pair(static_cast<uint32_t>(i), delay.output_val() << 8 | delay.input_val());
    }
}

void VR_ASM_HPS_HANDOFF_DATA::write_io_registers() { write_io_pairs(&hps_io_control_encoding_a); }

void YB_ASM_HPS_HANDOFF_DATA::write_io_registers() { write_io_pairs(&hps_io_control_encoding_b); }

void VK_ASM_HPS_HANDOFF_DATA::write_io_registers() { write_io_pairs(&hps_io_control_encoding_a); }

void VR_ASM_HPS_HANDOFF_DATA::write_clock_registers(std::map<std::string, uint32_t> pll_values)
{
    HPS_HANDOFF_BOX* box = get_handoff_box();
    ASM_REQUIRE(box != NULL);
    const PLL_VALUES pll(pll_values);
    const auto set = [box](const char* name, uint32_t value) { box->set_register_by_name(name, value); };

    set("m_mpu", pll("m.mpuclk.src", 16));
    set("m_noc", pll("m.nocclk.src", 16));
    set("m_nocdiv", pll("m.nocdiv.l4mainclk") | pll("m.nocdiv.l4mpclk", 8) | pll("m.nocdiv.l4spclk", 16) |
                        pll("m.nocdiv.csclk", 24) | pll("m.nocdiv.cstraceclk", 26) | pll("m.nocdiv.cspdbgclk", 28));
    set("m_pllglob", 1u | pll("m.pllglob.arefclkdiv", 8) | pll("m.pllglob.drefclkdiv", 12) |
                         pll("m.pllglob.psrc", 16) | pll("m.pllglob.modclkdiv", 24));
    set("m_fdbck", pll("m.fdbck.fdiv"));
    set("m_pllm", pll("m.pllm.mdiv"));
    set("m_pllc0", pll("m.pllc0.div") | PLL_ENABLE_BIT_27);
    set("m_pllc1", pll("m.pllc1.div") | PLL_ENABLE_BIT_27);
    set("m_pllc2", pll("m.pllc2.div") | PLL_ENABLE_BIT_27);
    set("m_pllc3", pll("m.pllc3.div") | PLL_ENABLE_BIT_27);
    set("m_pllm", pll("m.pllm.mdiv"));
    for (const char* counter : {"emacactr", "emacbctr", "emacptpctr", "gpiodbctr", "sdmmcctr", "s2fuser0ctr",
                                "s2fuser1ctr", "psirefctr"})
    {
        const std::string prefix = std::string("a.") + counter;
        set(counter, pll(prefix + ".cnt") | pll(prefix + ".src", 16));
    }
    set("p_emacctl", pll("p.emacctl.emac0sel", 26) | pll("p.emacctl.emac1sel", 27) | pll("p.emacctl.emac2sel", 28));
    set("p_gpiodiv", pll("p.gpiodiv.gpiodbclk"));
    set("p_pllglob", 1u | pll("p.pllglob.arefclkdiv", 8) | pll("p.pllglob.drefclkdiv", 12) |
                         pll("p.pllglob.psrc", 16) | pll("p.pllglob.modclkdiv", 24));
    set("p_fdbck", pll("p.fdbck.fdiv"));
    set("p_pllc0", pll("p.pllc0.div") | PLL_ENABLE_BIT_27);
    set("p_pllc1", pll("p.pllc1.div") | PLL_ENABLE_BIT_27);
    set("p_pllc2", pll("p.pllc2.div") | PLL_ENABLE_BIT_27);
    set("p_pllc3", pll("p.pllc3.div") | PLL_ENABLE_BIT_27);
    set("p_pllm", pll("p.pllm.mdiv"));
    set("hps_osc_hz", pll("hps_osc_hz"));
    set("fpga_clk_hz", pll("fpga_clk_hz"));
}

void YB_ASM_HPS_HANDOFF_DATA::write_clock_registers(std::map<std::string, uint32_t> pll_values)
{
    HPS_HANDOFF_BOX* box = get_handoff_box();
    ASM_REQUIRE(box != NULL);
    const PLL_VALUES pll(pll_values);
    const auto set = [box](const std::string& name, uint32_t value) { box->set_register_by_name(name, value); };

    set("m_mpu", pll("m.mpuclk.cnt") | pll("m.mpuclk.src", 16));
    set("m_noc", pll("m.nocclk.src", 16));
    for (int n : {2, 3, 4, 5, 6, 8, 9})
        set("m_cntr" + std::to_string(n), pll("m.c" + std::to_string(n) + "clk.cnt"));
    set("m_cntr7", pll("m.c7clk.cnt") | pll("clk7.src", 16));
    set("m_nocdiv", pll("m.l4mainclk") | pll("m.l4mpclk", 8) | pll("m.l4spclk", 16) | pll("m.csatclk", 24) |
                        pll("m.cstraceclk", 26) | pll("m.cspdbgclk", 28));
    set("m_pllglob", pll("m.vco1.denom", 8) | pll("m.vco0.psrc", 16) | 1u << 28);
    set("m_fdbck", pll("m.vco1.numer", 24));
    set("m_pllc0", pll("mpuclk.maincnt") | PLL_ENABLE_BIT_27);
    set("m_pllc1", pll("nocclk.maincnt") | PLL_ENABLE_BIT_24);
    for (int n : {2, 3, 4, 5, 6, 8, 9})
    {
        const std::string number = std::to_string(n);
        set("p_cntr" + number, pll("p.c" + number + "clk.cnt") | pll("clk" + number + ".src", 16));
    }
    set("p_cntr7", pll("p.c7clk.cnt"));
    set("p_emacctl", pll("emac0sel", 26) | pll("emac1sel", 27) | pll("emac2sel", 28));
    set("p_gpiodiv", pll("p.gpiodbclk"));
    set("p_pllglob", pll("p.vco1.denom", 8) | pll("p.vco0.psrc", 16) | 1u << 28);
    set("p_fdbck", pll("p.vco1.numer", 24));
    set("p_pllc0", pll("mpuclk.pericnt") | PLL_ENABLE_BIT_27);
    set("p_pllc1", pll("nocclk.pericnt") | PLL_ENABLE_BIT_24);
    set("hps_osc_hz", pll("hps_osc_hz"));
    set("fpga_clk_hz", pll("fpga_clk_hz"));
}

void VK_ASM_HPS_HANDOFF_DATA::write_clock_registers(std::map<std::string, uint32_t> pll_values)
{
    HPS_HANDOFF_BOX* box = get_handoff_box();
    ASM_REQUIRE(box != NULL);
    const PLL_VALUES pll(pll_values);
    const auto set = [box](const std::string& name, uint32_t value) { box->set_register_by_name(name, value); };
    const auto pllglob = [&pll](const std::string& group) {
        const std::string p = group + ".pllglob.";
        return 0x10000001u | pll(p + "arefclkdiv", 8) | pll(p + "drefclkdiv", 12) | pll(p + "psrc", 16) |
               pll(p + "fastrefclk", 21) | pll(p + "modclkdiv", 24);
    };

    set("main_pll_nocclk", pll("mainpllgrp.nocclk.src", 16));
    set("main_pll_nocdiv", pll("mainpllgrp.nocdiv.l4sysfreeclk", 2) | pll("mainpllgrp.nocdiv.l4mpclk", 4) |
                               pll("mainpllgrp.nocdiv.l4spclk", 6) | pll("mainpllgrp.nocdiv.softphydiv", 16) |
                               pll("mainpllgrp.nocdiv.ccudiv", 18) | pll("mainpllgrp.nocdiv.mpuperiphdiv", 20) |
                               pll("mainpllgrp.nocdiv.csclk", 24) | pll("mainpllgrp.nocdiv.cstraceclk", 26) |
                               pll("mainpllgrp.nocdiv.cspdbgclk", 28));
    set("main_pll_pllglob", pllglob("mainpllgrp"));
    set("main_pll_fdbck", pll("mainpllgrp.fdbck.fdiv"));
    for (int n = 0; n < 4; ++n)
        set("main_pll_pllc" + std::to_string(n),
            pll("mainpllgrp.pllc" + std::to_string(n) + ".div") | PLL_ENABLE_BIT_27);
    set("main_pll_pllm", pll("mainpllgrp.pllm.mdiv"));
    set("per_pll_emacctl", pll("perpllgrp.emacctl.emac0sel", 26) | pll("perpllgrp.emacctl.emac1sel", 27) |
                               pll("perpllgrp.emacctl.emac2sel", 28));
    set("per_pll_gpiodiv", pll("perpllgrp.gpiodiv.gpiodbclk"));
    set("per_pll_pllglob", pllglob("perpllgrp"));
    set("per_pll_fdbck", pll("perpllgrp.fdbck.fdiv"));
    for (int n = 0; n < 4; ++n)
        set("per_pll_pllc" + std::to_string(n), pll("perpllgrp.pllc" + std::to_string(n) + ".div") | PLL_ENABLE_BIT_27);
    set("per_pll_pllm", pll("perpllgrp.pllm.mdiv"));
    for (const char* counter : {"emacactr", "emacbctr", "emacptpctr", "gpiodbctr", "s2fuser0ctr", "s2fuser1ctr",
                                "psirefctr", "usb31ctr", "dsuctr", "core01ctr"})
    {
        const std::string prefix = std::string("ctl.") + counter;
        set(counter, pll(prefix + ".cnt") | pll(prefix + ".src", 16));
    }
    set("core23ctr", pll("ctl.core23ctr.src", 16));
    set("core2ctr", pll("ctl.core2ctr.cnt"));
    set("core3ctr", pll("ctl.core3ctr.cnt"));
    set("hps_osc_clk_hz", pll("hps_osc_clk_hz"));
    set("fpga_clk_hz", pll("fpga_clk_hz"));
}
