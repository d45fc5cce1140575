// The HPS configuration string parser: the HPS IP's data, EMIF and HBM
// strings into the handoff record and the handoff block.
#include "asm_hps.h"

#include "asm_common.h"

#include <cdb.h>
#include <gen.h>

#include <cctype>
#include <sstream>

#define ASM_SOURCE_TAG "comp/asm/asm_hps"

namespace
{

const char* const CORRUPTED_DATA = "Unexpected or corrupted data in the HPS hand off";
const DEV_FAMILY FAMILY_VK = 67;
// The pin-mux select registers skip 96 bytes of addresses after pin 39.
const uint32_t PMUX_ADDRESS_GAP_INDEX = 40;
const uint32_t PMUX_ADDRESS_GAP = 96;

// A number of the strings as the same 32 bits that gen_atoi gives, refused
// when its text does not fit 32 bits (signed or unsigned): a value that would
// wrap is corrupted data, not a setting.
uint32_t hps_number(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    uint64_t magnitude = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
    {
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[at] - '0');
        if (magnitude > UINT32_MAX)
            internal_error(CORRUPTED_DATA, ASM_SOURCE_TAG, __LINE__);
    }
    if (negative && magnitude > static_cast<uint64_t>(INT32_MAX) + 1)
        internal_error(CORRUPTED_DATA, ASM_SOURCE_TAG, __LINE__);
    return static_cast<uint32_t>(gen_atoi(text.c_str()));
}

// A pin index of the strings: one of the 48 dedicated IO pins, and an entry
// of the record's list.
int hps_index(const std::string& text, int list_size, uint32_t dedicated_io)
{
    const int index = static_cast<int>(hps_number(text));
    if (index < 0 || static_cast<uint32_t>(index) >= dedicated_io || index >= list_size)
        internal_error(CORRUPTED_DATA, ASM_SOURCE_TAG, __LINE__);
    return index;
}

// Hands each "name value" pair of the text to the visitor, logging it with
// the dump switch. Pairs are read until the words run out; the pair in which
// they run out is still handed over, its missing words empty.
template <typename VISITOR>
void for_each_pair(const std::string& text, bool dump, VISITOR visit)
{
    std::istringstream pairs(text);
    for (;;)
    {
        std::string name;
        std::string value;
        pairs >> name >> value;
        if (dump)
            hps_log_emif_line(name, value);
        visit(name, value);
        if (pairs.fail())
            break;
    }
}

}  // namespace

void ASM_HPS_HANDOFF_DATA::parse_hps_config_strings(std::string data, std::string emif, std::string hbm)
{
    HPS_HANDOFF_BOX* box = m_handoff_box;
    ASM_REQUIRE(box != NULL);
    box->init_sections();
    write_io_registers();

    if (data.empty())
    {
        asm_debug_log(2, "%s", "ACID_HPS: Warning Handoff String is Empty!!!!");
    }
    else
    {
        std::map<std::string, uint32_t> pll_values;
        int32_t last_ddr = 0;

        // Triples until the words run out; the triple in which they run out
        // is still handled, its missing words empty.
        std::istringstream words(data);
        for (;;)
        {
            std::string keyword;
            std::string name;
            std::string value;
            words >> keyword >> name >> value;
            if (m_dump_handoff_data)
            {
                const std::string line = safe_sprintf("ACID_HPS: HPS_ISW_DATA : %s %s %s", keyword.c_str(),
                                                      name.c_str(), value.c_str());
                asm_debug_log(2, "%s", line.c_str());
            }

            if (keyword == "clk")
            {
                PB::HANDOFF_HPS_CLOCKS* clock = m_handoff.add_clocks();
                clock->set_clcok_name(name);
                clock->set_clock_hz(hps_number(value));
            }
            else if (keyword == "aix" || keyword == "per")
            {
                add_peripheral(name, hps_number(value));
            }
            else if (keyword == "use")
            {
                if (name != "pll_clock_out")
                    box->set_fpga_register(name, hps_number(value));
                box->set_fpga_register("jtag", 0);
            }
            else if (keyword == "pll")
            {
                const uint32_t v = hps_number(value);
                add_register(name, v);
                pll_values[name] = v;
            }
            else if (keyword == "raw")
            {
                if (name == "hps_osc_clk")
                {
                    const uint32_t v = hps_number(value);
                    add_register(name, v);
                    box->set_fpga_register(name, v);
                }
            }
            else if (keyword == "sel")
            {
                const int index = hps_index(name, m_handoff.pinmux_select_size(), M_HPS_DEDICATED_IO);
                const uint32_t v = hps_number(value);
                m_handoff.mutable_pinmux_select(index)->set_value(v);
                const uint32_t i = static_cast<uint32_t>(index);
                const uint32_t address =
                    box->pmux_register_base() + 4 * i + (i >= PMUX_ADDRESS_GAP_INDEX ? PMUX_ADDRESS_GAP : 0);
                box->set_register(box->pmux_data_offset() + 8 * i, address);
                box->set_register(box->pmux_data_offset() + 8 * i + 4, v);
            }
            else if (keyword == "din")
            {
                const int index = hps_index(name, m_handoff.io_delay_size(), M_HPS_DEDICATED_IO);
                m_handoff.mutable_io_delay(index)->set_input_val(hps_number(value));
            }
            else if (keyword == "dou")
            {
                const int index = hps_index(name, m_handoff.io_delay_size(), M_HPS_DEDICATED_IO);
                m_handoff.mutable_io_delay(index)->set_output_val(hps_number(value));
            }
            else if (keyword == "pwr")
            {
                if (name == "periphs")
                    box->set_periph_power_gate(name, hps_number(value));
            }
            else if (keyword == "ddr")
            {
                const uint32_t v = hps_number(value);
                box->set_ddr_register(name, v);
                last_ddr = static_cast<int32_t>(v);
            }
            else if (keyword != "SDM" && keyword != "intfcsel" && (!keyword.empty() || !name.empty()))
            {
                internal_error(CORRUPTED_DATA, ASM_SOURCE_TAG, __LINE__);
            }

            if (words.fail())
                break;
        }

        const DEV_FAMILY family = m_chip->get_user_family_enum();

        if (!emif.empty())
        {
            for_each_pair(emif, m_dump_handoff_data, [&](const std::string& name, const std::string& value) {
                if (name != "HPS_IO_NUM")
                    return;
                if (family != FAMILY_VK)
                {
                    box->set_ddr_register("IO96B_CSR", value == "2" ? 3 : hps_number(value));
                }
                else
                {
                    // The memory interface's IO96B setting (bit 1 of the
                    // "ddr" value) must agree with the HPS IO count.
                    const bool dual = (last_ddr & 2) != 0;
                    if (value == "1" && dual)
                        internal_error("HPS IO96B reg does not match HPS-EMIF single IO96 config", ASM_SOURCE_TAG,
                                       __LINE__);
                    if (value == "2" && !dual)
                        internal_error("HPS IO96B reg does not match HPS-EMIF dual IO96 config", ASM_SOURCE_TAG,
                                       __LINE__);
                }
            });
        }

        if (!hbm.empty())
        {
            box->set_memory_type(1);
            for_each_pair(hbm, m_dump_handoff_data, [&](const std::string& name, const std::string& value) {
                if (name == "HPS_IO_HBM_CH_EN" || name == "HPS_IO_HBM_ECC_EN")
                    box->set_hbm_register(name, hps_number(value));
            });
        }

        // The IO-delay pairs again, now with the "din" and "dou" values.
        for (uint32_t i = 0; i < M_HPS_DEDICATED_IO && static_cast<int>(i) < m_handoff.io_delay_size(); ++i)
        {
            const PB::HANDOFF_HPS_IO_DELAY& delay = m_handoff.io_delay(static_cast<int>(i));
            box->set_io_delay_pair(i, delay.output_val() << 8 | delay.input_val());
        }

        write_clock_registers(pll_values);
        box->write_binary_file("hps_bootloader_handoff");
    }

    if (m_dump_handoff_data)
    {
        box->write_hex_dump("handoff_array");
        box->write_structure_dump("hps_handoff_array_formated");
    }
    store_box_in_handoff();
}
