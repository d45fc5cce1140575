// The HPS boot handoff: the per-family data builders, which turn the HPS
// IP's configuration strings into the handoff record PB::HANDOFF_HPS, and
// the handoff blocks they fill (a fixed-size buffer of big-endian words that
// the HPS boot loader reads).
//
// Sources: asm_hps.cpp (the builder and its record), asm_hps_parse.cpp (the
// configuration strings), asm_hps_regs.cpp (the per-family register
// writers), asm_hps_box.cpp (the block layouts and their files).
#pragma once

#include "asm_records.h"

#include <acf.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class DEV_PART_MANAGER;
class HDB_NAMESPACE;
class DBCM_CHIP;

// The handoff block in the base layout (the YB family's). Every write goes
// through set_register, which refuses anything outside the block; a layout
// subclass changes sizes, tables and section offsets in its constructor.
class HPS_HANDOFF_BOX
{
public:
    HPS_HANDOFF_BOX();
    virtual ~HPS_HANDOFF_BOX();
    HPS_HANDOFF_BOX(const HPS_HANDOFF_BOX&) = delete;
    HPS_HANDOFF_BOX& operator=(const HPS_HANDOFF_BOX&) = delete;

    // Writes every section header of the layout.
    virtual void init_sections();
    // The family words; true when a word was written. A layout without the
    // word logs its warning and writes nothing.
    virtual bool set_ddr_register(const std::string& name, uint32_t value);
    virtual bool set_periph_power_gate(const std::string& name, uint32_t value);
    virtual bool set_memory_type(uint32_t value);
    virtual bool set_hbm_register(const std::string& name, uint32_t value);
    // The section-by-section text dump, base_name.txt in the project output
    // directory.
    virtual void write_structure_dump(const std::string& base_name);

    // One big-endian word; refused (false, with a debug line) past the
    // block's last word or at an offset that is not a multiple of 4.
    bool set_register(uint32_t offset, uint32_t value);
    // The word of a clock register of the layout's table.
    bool set_register_by_name(const std::string& name, uint32_t value);
    // The pair of a use-FPGA switch; an unknown switch is logged and ignored.
    bool set_fpga_register(const std::string& name, uint32_t value);
    // The IO-delay pair of the index.
    bool set_io_delay_pair(uint32_t index, uint32_t value);

    // The block's files in the project output directory: base_name.bin, the
    // block and one newline (a file that cannot be written is reported with
    // EASM_FILE_OPEN_FAILURE), and base_name.txt, a word-per-line hex dump.
    void write_binary_file(const std::string& base_name);
    void write_hex_dump(const std::string& base_name);

    uint32_t size() const { return m_size; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    // The word at the offset (0 outside the block).
    uint32_t word_at(uint32_t offset) const;

    uint32_t pmux_register_base() const { return m_pmux_register_base; }
    uint32_t pmux_data_offset() const { return m_pmux_data_offset; }
    uint32_t ioct_register_base() const { return m_ioct_register_base; }
    uint32_t ioct_data_offset() const { return m_ioct_data_offset; }
    uint32_t dlay_register_base() const { return m_dlay_register_base; }
    uint32_t dlay_data_offset() const { return m_dlay_data_offset; }
    uint32_t dlay_address_gap() const { return m_dlay_address_gap; }
    const std::map<std::string, uint32_t>& clock_registers() const { return m_clock_registers; }
    const std::map<std::string, uint32_t>& use_fpga_switches() const { return m_use_fpga; }

protected:
    // Gives the block a layout's size; new bytes are zero.
    void resize(uint32_t size);
    // A section's tag (four characters) and length word.
    void write_section_header(uint32_t offset, const char* tag, uint32_t length);
    // The headers every layout begins with: BOOT (with the layout's boot
    // version), PMUX, IOCT, FPGA and DLAY.
    void write_leading_section_headers(uint32_t boot_version);
    // Header lines and pair lines of one section, from start up to end.
    void dump_section(std::string& out, uint32_t start, uint32_t end) const;
    // One "offset = word" line of the structure dump per word from start up
    // to end (and never past the block).
    void dump_words(std::string& out, uint32_t start, uint32_t end) const;
    // The header part and the four pair sections, common to every layout.
    void dump_pair_sections(std::string& out) const;
    // Replaces a text dump file whole; one that cannot be written posts
    // EASM_FILE_OPEN_FAILURE and is logged.
    static void write_text_file(const std::string& base_name, const std::string& text);

    std::vector<uint8_t> m_bytes;
    uint32_t m_size;
    // Dedicated HPS IO pins: the length of the PMUX, IOCT and DLAY tables.
    uint32_t m_dedicated_io;
    uint32_t m_pmux_register_base;
    uint32_t m_pmux_data_offset;
    uint32_t m_ioct_register_base;
    uint32_t m_ioct_data_offset;
    uint32_t m_fpga_register_base;
    uint32_t m_fpga_data_offset;
    uint32_t m_dlay_register_base;
    uint32_t m_dlay_data_offset;
    uint32_t m_dlay_address_gap;
    uint32_t m_power_gate_offset;
    uint32_t m_sdrm_word_offset;
    std::map<std::string, uint32_t> m_clock_registers;
    std::map<std::string, uint32_t> m_use_fpga;
    uint32_t m_boot_offset;
    uint32_t m_pmux_offset;
    uint32_t m_ioct_offset;
    uint32_t m_fpga_offset;
    uint32_t m_dlay_offset;
    uint32_t m_clks_offset;
    uint32_t m_misc_offset;
    uint32_t m_sdrm_offset;
    uint32_t m_peri_offset;
};

class VR_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    VR_HPS_HANDOFF_BOX();
    void init_sections() override;
};

class VW_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    // The variant is the longer form with the memory-type and HBM words.
    explicit VW_HPS_HANDOFF_BOX(bool variant);
    bool variant() const { return m_variant; }

    void init_sections() override;
    bool set_ddr_register(const std::string& name, uint32_t value) override;
    bool set_memory_type(uint32_t value) override;
    bool set_hbm_register(const std::string& name, uint32_t value) override;

private:
    uint32_t m_memory_type_offset;
    uint32_t m_hbm_offset;
    bool m_variant;
};

class VK_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    VK_HPS_HANDOFF_BOX();

    void init_sections() override;
    bool set_ddr_register(const std::string& name, uint32_t value) override;
    bool set_periph_power_gate(const std::string& name, uint32_t value) override;
    void write_structure_dump(const std::string& base_name) override;
};

// The ACF variable types of the HPS IP's three configuration strings.
constexpr ACF_VARIABLE_TYPE_ENUM HPS_ISW_DATA_TYPE = static_cast<ACF_VARIABLE_TYPE_ENUM>(182);
constexpr ACF_VARIABLE_TYPE_ENUM HPS_ISW_EMIF_TYPE = static_cast<ACF_VARIABLE_TYPE_ENUM>(183);
constexpr ACF_VARIABLE_TYPE_ENUM HPS_ISW_HBM_TYPE = static_cast<ACF_VARIABLE_TYPE_ENUM>(184);

// The HPS data builder of one run: gathers the HPS configuration strings of
// the design into the handoff record and the block it holds, and stores the
// record as the chip-database section "HANDOFF". One subclass per family.
class ASM_HPS_HANDOFF_DATA
{
public:
    virtual ~ASM_HPS_HANDOFF_DATA();
    ASM_HPS_HANDOFF_DATA(const ASM_HPS_HANDOFF_DATA&) = delete;
    ASM_HPS_HANDOFF_DATA& operator=(const ASM_HPS_HANDOFF_DATA&) = delete;

    // The family's IO-control and IO-delay pairs from the record.
    virtual void write_io_registers() = 0;
    // The family's clock-manager words from the PLL values (register field
    // name to value; a name not given counts 0).
    virtual void write_clock_registers(std::map<std::string, uint32_t> pll_values) = 0;

    // Takes the block (null allowed); a block held before is deleted.
    void set_handoff_box(HPS_HANDOFF_BOX* box);
    HPS_HANDOFF_BOX* get_handoff_box() const { return m_handoff_box; }

    // The whole HPS step; does nothing when the part has no HPS.
    void add_hand_off_data_into_dbcm();
    // Loads an earlier "HANDOFF" section into the record and pads its
    // pin-mux select and IO-delay lists to 48 entries; whether one was loaded.
    bool load_handoff_vsection();
    // The configuration string of the type: the last value longer than one
    // character among the partitions' generated options, else the settings
    // holder's setting of that id, else empty.
    void get_hps_config_string(std::string& out, ACF_VARIABLE_TYPE_ENUM type);
    // Turns the three strings into the record and the block (and writes the
    // block's files).
    void parse_hps_config_strings(std::string data, std::string emif, std::string hbm);
    void add_peripheral(const std::string& name, uint32_t value);
    void add_register(const std::string& name, uint32_t value);
    // The block's bytes into the record's device.handoff_binary.
    void store_box_in_handoff();
    // Stores the record as section "HANDOFF" (and its text dump on request).
    void write_handoff_vsection();

    bool has_hps() const { return m_has_hps; }
    const PB::HANDOFF_HPS& handoff() const { return m_handoff; }
    PB::HANDOFF_HPS& handoff() { return m_handoff; }

    CMP_FACADE* m_cmp;
    CDB_CHIP_DB_ENTRY* m_chip;
    uint32_t m_run_value;
    DEV_PART_MANAGER* m_part_manager;
    HDB_NAMESPACE* m_flat_cap;
    DBCM_CHIP* m_dbcm_chip;
    PB::HANDOFF_HPS m_handoff;
    bool m_dump_handoff_data;
    bool m_has_hps;
    const uint32_t M_HPS_DEDICATED_IO;

protected:
    // Keeps the arguments (the run value is only kept), takes the project's
    // settings holder, chip 0 of the chip bundle database and the current
    // device, and counts the part's HPS CPU cores.
    ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                         DEV_PART_MANAGER* part_manager);

    // The IOCT pair of every pin-control entry (encoded by the family) and
    // the DLAY pair of every IO-delay entry. More pin-control entries than
    // the block has pairs is corrupted data.
    void write_io_pairs(uint32_t (*encode)(const PB::HANDOFF_HPS_PINMUX_CONTROL&));

private:
    HPS_HANDOFF_BOX* m_handoff_box;
};

class VR_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    VR_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
    void write_io_registers() override;
    void write_clock_registers(std::map<std::string, uint32_t> pll_values) override;
};

class YB_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    YB_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
    void write_io_registers() override;
    void write_clock_registers(std::map<std::string, uint32_t> pll_values) override;
};

class VK_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    VK_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
    void write_io_registers() override;
    void write_clock_registers(std::map<std::string, uint32_t> pll_values) override;
};

// The two IO-control encodings of a pin-control entry: A (VR, VW and VK
// families) and B (YB).
uint32_t hps_io_control_encoding_a(const PB::HANDOFF_HPS_PINMUX_CONTROL& control);
uint32_t hps_io_control_encoding_b(const PB::HANDOFF_HPS_PINMUX_CONTROL& control);

// Debug lines with a value.
void hps_log_cpu_core_count(int count);
void hps_log_set_register_misaligned(int offset);
void hps_log_set_register_out_of_range(int buffer_size, int offset);
void hps_log_emif_line(const std::string& name, const std::string& value);
