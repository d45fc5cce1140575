// The per-device assembly run and the project adapter through which the
// assembler core library sees the design.
#pragma once

#include "asm_isld.h"

#include <asm2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class ASM_OPTION2;
class DEV_DEVICE;
class DEV_PART_MANAGER;
class DBCM_CHIP;
class DBCM_DEVICE;

// Assembles the current device of the chip: checks the part and, on family
// 44, the Configuration Block IP, loads the die's device data, lets the
// assembler core library write the SRAM object file through the project
// adapter, then reports the run's files: the legacy programming-file
// settings, the report lines, the raw binary companions of the
// partial-reconfiguration .pmsf files and the asm.rpt tables, and ends with
// the external programming-file tools when the project asks for them. The
// option block builder is null for the families without one. Returns the SOF
// index, or -1 when the run stopped at the Configuration Block IP check.
int assemble_dev_device(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_OPTION2* option2, int family,
                        DEV_PART_MANAGER* part_manager);

// The legacy programming-file settings of the compile instance: sets the
// flags word (bit 0: setting 1424; bit 1: raw binary files of the
// partial-reconfiguration files allowed) and appends the user names of the
// legacy settings that are on, which the run then ignores. Checks the chip's
// programming mode.
void apply_programming_mode(CDB_CHIP_DB_ENTRY* chip, CMP_FACADE* cmp, uint32_t& flags,
                            std::vector<std::string>& ignored_settings);

// Whether an LVDS tile of the chip drives an LVDS output from its I/O
// register while the matching GPIO register selects GPIO.
bool scan_lvds_jtag_usage(DBCM_CHIP* chip);

// The report line of the SRAM object file: "JTAG usercode = 0x%08X,Checksum
// = 0x%08X,Design hash = %s ; %s", whole whatever its length.
std::string jtag_user_code_report_line(uint32_t jtag_user_code, uint32_t checksum, const std::string& design_hash,
                                       const std::string& sof_path);

// The file text of a partition report line: what follows two characters
// after its last ";"; "" for a line without ";" or one that ends before the
// file text starts.
std::string partition_line_file(const std::string& line);

// Appends the report lines of the partial-reconfiguration partitions and
// then of the error-detection partitions (null: the library's empty
// partitions) and, for the partial-reconfiguration lines, gathers the .pmsf
// files when bit 1 of the flags is set, unless the option block's
// bitstream verification asks for the base revision's mask files (then an
// info is posted and nothing is gathered).
void gather_partition_lines(ASM2_IPARTITIONS* pr_partitions, ASM2_IPARTITIONS* error_detection_partitions,
                            ASM_OPTION2* option2, uint32_t flags, std::vector<std::string>& report_lines,
                            std::vector<std::string>& pmsf_files);

// Writes the raw binary file (.rbf) beside each gathered .pmsf file.
void write_pmsf_raw_binary_files(const std::vector<std::string>& pmsf_files, uint32_t flags);

// The whole content of the file, bytes unchanged (zero bytes kept); "" when
// it cannot be opened or read.
std::string read_file_into_string(const std::string& path);

// The project adapter: answers the assembler core library's queries about
// the design being assembled and forwards the hashes the library computes
// to the option block builder. Lives on the device run's stack.
class ASM_MY_PROJECT : public ASM2_IPROJECT
{
public:
    typedef ASM2_SLD_INFO SLD_INFO;

    // The sink of the SLD processing.
    class MY_SLD : public ASM_ISLD
    {
    public:
        explicit MY_SLD(ASM_MY_PROJECT* project) : m_project(project) {}
        ~MY_SLD() override {}

        void set_sld_blob(uint32_t length, const uint8_t* data) override;
        uint32_t get_jtag_user_code() override;
        void set_pfl_present(bool present) override;
        void set_zpfl_present(bool present) override;
        void set_sfl_present(bool present) override;
        void set_sfl_version(int32_t version) override;
        void set_crc_info(uint32_t length, const uint8_t* data) override;

    private:
        ASM_MY_PROJECT* m_project;
    };

    // The sink that receives one partition revision's SLD data.
    class MY_REVISION : public ASM_ISLD_DEBUG
    {
    public:
        explicit MY_REVISION(std::string* target) : m_target(target) {}
        ~MY_REVISION() override {}
        // Replaces the target with the bytes.
        void set_sld_blob(uint32_t length, const uint8_t* data) override;

    private:
        std::string* m_target;
    };

    // Gathers what the library will ask for: chip, device, names, route
    // information, JTAG user code, SOF path, SLD blob, partitions and the
    // design hash. The builder may be null.
    ASM_MY_PROJECT(CMP_FACADE* cmp, DEV_DEVICE* dev_device, DEV_PART_MANAGER* part_manager, CDB_CHIP_DB_ENTRY* chip,
                   int construction_int, ASM_OPTION2* option2);
    ~ASM_MY_PROJECT() override;
    ASM_MY_PROJECT(const ASM_MY_PROJECT&) = delete;
    ASM_MY_PROJECT& operator=(const ASM_MY_PROJECT&) = delete;

    // ASM2_ICHIP
    const std::string& get_part_name() const override { return m_part_name; }
    DBCM_CHIP* get_dbcm_chip() override { return m_dbcm_chip; }
    DBCM_DEVICE* get_dbcm_device() override { return m_dbcm_device; }
    ASM2_IPARTITIONS* get_pr_partitions() override;
    ASM2_IPARTITIONS* get_error_detection_partitions() override;
    void device_specific_tcl() override;
    ZGL::FOREST<int, int>* get_crf_re_network() override { return m_crf_re_network; }
    ASM2_IROUTE_INFO* get_route_info() override { return m_route_info.get(); }
    uint32_t route_info_op9() override;
    const char* route_info_op10() override;

    // ASM2_IPROJECT
    const char* get_sof_path() override { return m_sof_path.c_str(); }
    uint32_t get_jtag_user_code() override { return m_jtag_user_code; }
    bool get_device_option_flag() override { return m_device_option_flag; }
    void set_cvp_hash(const char* hash) override;
    void set_io_hash(const char* hash) override;
    void set_pr_region_hash(const char* region, const char* hash) override;
    void set_static_region_hash(const char* hash) override;
    ASM2_HPIO_SECTORS get_hpio_sectors(bool* hps_boot_from_hbm) override;
    void set_hpio_hash(const char* hash) override;
    void set_cram_hash(const char* hash) override;
    SLD_INFO& get_sld_info() override { return m_sld_info; }
    void* get_project_object() override { return nullptr; }
    uint32_t get_pof_id() override { return m_pof_id; }
    void set_pof_id(unsigned int id) override { m_pof_id = id; }
    const std::string& get_design_hash() override { return m_design_hash; }
    int get_construction_int() override { return m_construction_int; }
    uint32_t get_user_pr_pof_id() override { return m_user_pr_pof_id; }
    bool has_mailbox_abort_feature() override;
    bool get_option_flag_1556() override { return m_option_flag_1556; }

    std::string m_part_name;
    std::string m_base_device_name;
    std::string m_sof_path;
    CMP_FACADE* m_cmp;
    DBCM_CHIP* m_dbcm_chip;
    DBCM_DEVICE* m_dbcm_device;
    ZGL::FOREST<int, int>* m_crf_re_network;
    std::unique_ptr<ASM2_IROUTE_INFO> m_route_info;
    std::unique_ptr<ASM2_IPARTITIONS> m_pr_partitions;
    std::unique_ptr<ASM2_IPARTITIONS> m_error_detection_partitions;
    uint32_t m_jtag_user_code;
    bool m_device_option_flag;
    ASM_OPTION2* m_option2;
    std::string m_crc_info;
    std::string m_sld_blob;
    SLD_INFO m_sld_info;
    uint32_t m_pof_id;
    std::string m_design_hash;
    int32_t m_construction_int;
    uint32_t m_user_pr_pof_id;
    bool m_option_flag_1556;

private:
    // Logs the hash's begin line and, with an option block builder, its
    // forwarding line, the info message (when the hash has a kind text) and
    // the store; then the end line.
    template <typename STORE>
    void forward_hash(const std::string& tag, const std::string* kind_text, const char* hash, STORE store);
};
