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

// Option errors counted by the option block's checks; process_option_data
// starts each run at 0 and fails when any was counted.
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
    // or the chip has no section store. A section that does not parse is
    // logged and leaves m_options as it was (it still counts as found).
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

    // Project settings by numeric option id: the settings holder's own
    // setting of the kind, else the one of its global settings section
    // (type 21, empty name), else the default.
    bool get_bool_option(int id, bool default_value) const;
    // Enumeration values are 16 bits; the default is cut to 16 bits too.
    uint16_t get_enum_option(int id, uint32_t default_value) const;
    int32_t get_int_option(int id, int32_t default_value) const;
    std::string get_string_option_or_default(int id, std::string default_value) const;
    // The setting's text, or empty.
    void get_string_option(int id, std::string& value) const;
    // Whether any revision's settings file of the project holds the
    // assignment (file categories 4, 5, 9, 24 and 25), as opposed to a
    // setting that only has its default. Reads every revision's file under
    // the revision write lock; a revision whose lock is refused is skipped.
    bool is_assignment_set(std::string name) const;

    // The configuration scheme of the record; writes the scheme setting's
    // value (which chooses the configuration pins) to scheme_value.
    PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME get_configuration_scheme(uint16_t& scheme_value);
    // The initialisation clock and the active serial clock in Hz, from the
    // settings, compared with the fitter's choice.
    uint32_t get_init_clock();
    uint32_t get_active_serial_clock();
    // The thermal shutdown threshold in degrees Celsius (setting 1581); a
    // value outside 95 to 120 is reported and still returned.
    int32_t get_threshold_temp();
    // Looks for the Configuration Block IP in the atom netlist and its
    // "i_io_configsel" parameter.
    void find_cb_io_configsel();

    // The SDM pin functions: the user-assigned functions, then the pins of
    // the configuration scheme (by the scheme setting's value).
    void populate_sdm_pins(PB::OPTIONS_SDM* sdm, uint16_t scheme_value);
    // Every pin's usage becomes "NA"; an empty list gets M_SMD_PINMUX entries.
    void init_pinmux(PB::OPTIONS_SDM* sdm);
    // Whether the part has voltage identification (part trait 32).
    bool is_vid_part() const;
    // Places the function on the pin that the string setting names ("SDM_IO<n>");
    // true when it was placed.
    bool assign_sdm_io_pin(int setting_id, const std::string& function, PB::OPTIONS_SDM* sdm);
    // Reports (and counts) a second function on a pin; changes nothing.
    void check_sdm_io_conflict(PB::OPTIONS_SDM* sdm, const std::string& function, int pin);
    // Reports a second function on a pin, then places the function.
    void assign_sdm_io_usage(int pin, const std::string& function, PB::OPTIONS_SDM* sdm);
    // The additional QSPI flash chip select from the pin's function.
    void set_qspi_chip_selects(int pin);

    // Whether the record asks the firmware for the mailbox-abort feature.
    bool has_mailbox_abort_feature() const;
    // The device's HPS I/O sectors, each (sector number plus 0x10000, -1);
    // sets the flag (never clears it) when the HPS boots from HBM. Posts
    // nothing and changes no record.
    std::vector<std::pair<int32_t, int32_t>> get_hpio_sectors(bool* hps_boot_from_hbm);

    // HPS options: the record's hps message from the settings and the HPS
    // IP's generated texts.
    void populate_hps_options();
    // The text of one generated option of the design's partitions (the last
    // one longer than one character), else the top settings' string.
    void get_hps_partition_setting(std::string& value, int option_id) const;
    struct HPS_EMIF_SETTINGS
    {
        PB::OPTIONS_HPS_HPS_IO_NUM_OPTIONS hps_io_num;
        PB::OPTIONS_HPS_HPS_DDR_OPERATING_MODE data_rate;
        PB::OPTIONS_HPS_HPS_DDR_MODE_OPTIONS ddr_mode;
    };
    // The HPS EMIF text's I/O number, data rate and DDR mode.
    void get_hps_emif_settings(HPS_EMIF_SETTINGS& emif) const;

    // Appends the firmware features that the record uses and writes the
    // SDM's mailbox feature text.
    void add_required_features(PB::OPTIONS_SDM* sdm);
    // The clock and tamper cross-checks after the record is stored; false
    // when one fails.
    bool check_option_consistency();

    // Power management: the PMBus record with its VID decision and output
    // voltage limits.
    bool populate_power_management(PB::OPTIONS_SDM* sdm);
    PB::OPTIONS_POWER_MANAGEMENT_SLAVE_DEVICE_TYPE get_slave_device_type() const;
    // Posts the auto-discovery error (once per call) where it applies.
    PB::OPTIONS_POWER_MANAGEMENT_VOUT_FORMAT get_vout_format();
    void populate_slave_addresses(int option_id, PB::OPTIONS_POWER_MANAGEMENT* power, bool spare_slot);
    // SEU detection, correction, fault injection and external scrubbing.
    void populate_seu_options(PB::OPTIONS_SDM* sdm);

    // Core sectors: blacklisted ones, and those under the SEU-priority
    // regions of the partitions.
    void populate_sectors();
    void populate_sector_seu_priority();
    // The first sectors entry of the type and numbers; appended when none.
    PB::OPTIONS_SECTOR* find_sector(PB::OPTIONS_SECTOR_TYPE type, uint32_t x0, uint32_t x1);
    // "<type>_<n>_<n>"; false when it is not of that form.
    static bool parse_sector_name(const std::string& name, std::string& type, int& first, int& second);
    // The number after the next `letter` from `start` up to the next blank;
    // the blank's position, or std::string::npos when the letter is absent.
    static size_t split_token(const std::string& text, char letter, size_t start, int& number);
    void apply_region_seu_priority(const std::string& region);

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
    // The address text of power-management device 0, kept for the checks
    // of the other slots.
    std::string m_device0_slave_address;
};

// Two upper-case hexadecimal digits per byte, in order, no separator.
std::string format_hash_text(const std::string& bytes);
