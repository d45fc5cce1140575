// The device option block builder: builds, checks and stores the option
// record that the device's secure device manager reads at configuration.
#pragma once

#include "asm_option2_pr.h"
#include "asm_records.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class DEV_PART_MANAGER;
class HDB_OPTION_INTERFACE;
class DBCM_CHIP;

// Option errors counted by the option block's checks over the life of the
// process; never reset.
extern int32_t option_error_count;

class ASM_OPTION2
{
public:
    // Keeps the four arguments (the run value is only kept), takes the
    // project's settings holder and chip 0 of the chip bundle database, and
    // creates the partial-reconfiguration data when that chip has
    // partial-reconfiguration regions.
    ASM_OPTION2(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value, DEV_PART_MANAGER* part_manager);
    ~ASM_OPTION2();
    ASM_OPTION2(const ASM_OPTION2&) = delete;
    ASM_OPTION2& operator=(const ASM_OPTION2&) = delete;

    // Builds, checks and stores the option record; true means go on.
    bool process_option_data();

    // Loads the chip's "OPTIONS" section into m_options: true when one was
    // found (the last one wins); false, keeping m_options, when there is none
    // or the chip has no section store.
    bool load_options_from_dbcm();
    // Stores m_options whole as the chip's "OPTIONS" section (replacing an
    // earlier one; the store is created when absent) and, with the dump
    // switch, rewrites asm_option_data_dump.txt in the project output
    // directory.
    void save_options_into_dbcm();

    // The hash adders: each reloads the stored record, sets one field of its
    // device settings and stores it again. The CRAM hash is stored only when
    // a record was found; its result says whether one was.
    bool add_cram_hash_into_dbcm(const char* hash);
    bool add_cvp_hash_into_dbcm(const char* hash);
    bool add_io_hash_into_dbcm(const char* hash);
    bool add_hpio_hash_into_dbcm(const char* hash);
    void add_static_region_hash_into_dbcm(const char* hash);
    // Appends a new {region, hash} entry, even for a region seen before.
    void add_pr_region_hash_into_dbcm(const char* region, const char* hash);

    // Whether the record asks the firmware for the mailbox-abort feature.
    bool has_mailbox_abort_feature() const;
    // The device's HPS I/O sectors, each (sector number plus 0x10000, -1);
    // sets the flag (never clears it) when the HPS boots from HBM.
    std::vector<std::pair<int32_t, int32_t>> get_hpio_sectors(bool* hps_boot_from_hbm);

    // True once the Configuration Block IP was seen in the atom netlist.
    bool m_cb_ip_found;
    bool m_io_configsel_found;
    std::string m_io_configsel;
    CMP_FACADE* m_cmp;
    CDB_CHIP_DB_ENTRY* m_chip;
    uint32_t m_run_value;
    DEV_PART_MANAGER* m_part_manager;
    // Owned; null when the chip has no partial-reconfiguration regions.
    ASM_OPTION2_PR_INFO* m_pr_info;
    HDB_OPTION_INTERFACE* m_flat_cap;
    DBCM_CHIP* m_dbcm_chip;
    PB::OPTIONS m_options;
    bool m_dump_option_data;
    bool m_force_all_brask_na;
    // The number of SDM I/O pin-mux entries.
    int32_t M_SMD_PINMUX;
};

// Two upper-case hexadecimal digits per byte, in order, no separator.
std::string format_hash_text(const std::string& bytes);
