// The device option block builder: builds, checks and stores the option
// record that the device's secure device manager reads at configuration.
#pragma once

#include "asm_option2_pr.h"

#include <cstdint>
#include <string>

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
    bool m_dump_option_data;
    bool m_force_all_brask_na;
    // The number of SDM I/O pin-mux entries.
    int32_t M_SMD_PINMUX;
};
