// Chip database library of the suite (stand-in): the compiled chip of a
// compilation and the database entries that a compile instance holds.
#pragma once

#include "dev.h"

#include <cstdint>
#include <string>

class CDB_ATOM_NETLIST;
class HDB_CHIP;
class HDB_NAMESPACE;
class CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW;
namespace ZGL
{
template <typename NODE, typename EDGE>
class FOREST;
}

// The compiled chip: family, part, device name, programming mode, atom
// netlist and the hierarchy chip. The netlist and the hierarchy chip are
// the caller's; the entry only points at them.
class CDB_CHIP_DB_ENTRY
{
public:
    CDB_CHIP_DB_ENTRY() = default;
    CDB_CHIP_DB_ENTRY(const CDB_CHIP_DB_ENTRY&) = delete;
    CDB_CHIP_DB_ENTRY& operator=(const CDB_CHIP_DB_ENTRY&) = delete;

    DEV_FAMILY get_base_family_enum() const { return m_base_family; }
    DEV_PART get_part_enum() const { return m_part; }
    const std::string& get_device_name() const { return m_device_name; }
    int get_programming_mode() const { return m_programming_mode; }
    uint32_t get_crc_clock_divisor() const { return m_crc_clock_divisor; }
    // Null when none was set.
    CDB_ATOM_NETLIST* get_atom_netlist() const { return m_atom_netlist; }
    HDB_CHIP* get_chip() const { return m_hdb_chip; }
    // The view of the chip's internal family (the family the chip is built
    // as, which may differ from its base family).
    CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW get_internal_family_view() const;

    void set_base_family(DEV_FAMILY family) { m_base_family = family; }
    void set_internal_family(DEV_FAMILY family) { m_internal_family = family; }
    void set_part(DEV_PART part) { m_part = part; }
    void set_device_name(const std::string& name) { m_device_name = name; }
    void set_programming_mode(int mode) { m_programming_mode = mode; }
    void set_crc_clock_divisor(uint32_t divisor) { m_crc_clock_divisor = divisor; }
    void set_atom_netlist(CDB_ATOM_NETLIST* netlist) { m_atom_netlist = netlist; }
    void set_chip(HDB_CHIP* chip) { m_hdb_chip = chip; }

    // The chip's routed network (not owned); null when none was set.
    ZGL::FOREST<int, int>* get_crf_re_network() const { return m_crf_re_network; }
    void set_crf_re_network(ZGL::FOREST<int, int>* network) { m_crf_re_network = network; }
    // The chip's BLC and FCD routing networks (not owned); null when none
    // was set.
    ZGL::FOREST<int, int>* get_blc_re_network() const { return m_blc_re_network; }
    ZGL::FOREST<int, int>* get_fcd_re_network() const { return m_fcd_re_network; }
    void set_blc_re_network(ZGL::FOREST<int, int>* network) { m_blc_re_network = network; }
    void set_fcd_re_network(ZGL::FOREST<int, int>* network) { m_fcd_re_network = network; }

    // The family the user chose (the base family unless one was set).
    DEV_FAMILY get_user_family_enum() const { return m_user_family >= 0 ? m_user_family : m_base_family; }
    void set_user_family(DEV_FAMILY family) { m_user_family = family; }
    // The fitter's choices of the configuration clocks, as the fitter's own
    // codes (0 when the fitter recorded none), and the chip's SDM I/O count.
    int get_initialization_clock() const { return m_initialization_clock; }
    int get_active_serial_clock() const { return m_active_serial_clock; }
    uint32_t get_num_of_sdm_io() const { return m_num_of_sdm_io; }
    void set_initialization_clock(int code) { m_initialization_clock = code; }
    void set_active_serial_clock(int code) { m_active_serial_clock = code; }
    void set_num_of_sdm_io(uint32_t count) { m_num_of_sdm_io = count; }

private:
    friend class CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW;

    DEV_FAMILY m_base_family = -1;
    DEV_FAMILY m_internal_family = -1;
    DEV_PART m_part = DEV_PART_INVALID;
    std::string m_device_name;
    int m_programming_mode = 0;
    uint32_t m_crc_clock_divisor = 1;
    CDB_ATOM_NETLIST* m_atom_netlist = nullptr;
    HDB_CHIP* m_hdb_chip = nullptr;
    ZGL::FOREST<int, int>* m_crf_re_network = nullptr;
    DEV_FAMILY m_user_family = -1;
    int m_initialization_clock = 0;
    int m_active_serial_clock = 0;
    uint32_t m_num_of_sdm_io = 0;
    ZGL::FOREST<int, int>* m_blc_re_network = nullptr;
    ZGL::FOREST<int, int>* m_fcd_re_network = nullptr;
};

class CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW
{
public:
    explicit CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW(const CDB_CHIP_DB_ENTRY& chip) : m_chip(chip) {}
    DEV_FAMILY get_internal_family_enum() const { return m_chip.m_internal_family; }

private:
    const CDB_CHIP_DB_ENTRY& m_chip;
};

inline CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW CDB_CHIP_DB_ENTRY::get_internal_family_view() const
{
    return CDB_CHIP_DB_ENTRY_INTERNAL_FAMILY_VIEW(*this);
}

// The database entries of one compile instance (not owned by it).
class CDB_DB_ENTRIES
{
public:
    // Null when no chip was set.
    CDB_CHIP_DB_ENTRY* get_chip_db_entry() const { return m_chip; }
    void set_chip_db_entry(CDB_CHIP_DB_ENTRY* chip) { m_chip = chip; }

private:
    CDB_CHIP_DB_ENTRY* m_chip = nullptr;
};

// The process-wide table of compile instances and their entries.
class CDB_CMP_ENTRY
{
public:
    // The entries of the compile instance, as they stand (no update); null
    // when the instance has none.
    static CDB_DB_ENTRIES* get_db_entries_no_update(const HDB_NAMESPACE* cap_inst);

    // Population: null entries remove the instance.
    static void set_db_entries(const HDB_NAMESPACE* cap_inst, CDB_DB_ENTRIES* entries);
    static void reset();
};
