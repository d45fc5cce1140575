// The partitions of the partial-reconfiguration (PR) and error-detection
// regions as the project adapter describes them to the assembler core
// library: the revision description, the PR data and base revisions of the
// PR region records, and the diagnostics of both.
#pragma once

#include <asm2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DBCM_REGIONS;

typedef ASM2_IPROJECT_REVISION_INFO::REGION_REVISION REGION_REVISION;

// The revision description of one region set: the output directory, the
// file name of the set's revision file and one record per region. The
// library copies what it keeps while it builds the partitions object.
class ASM2_PROJECT_REVISION_INFO : public ASM2_IPROJECT_REVISION_INFO
{
public:
    ASM2_PROJECT_REVISION_INFO(std::string output_directory, std::string file_name,
                               const std::vector<REGION_REVISION>& region_revisions);
    ~ASM2_PROJECT_REVISION_INFO() override;

    const char* get_output_directory() override { return m_output_directory.c_str(); }
    const char* get_file_name() override { return m_file_name.c_str(); }
    // The record of the index; out of range: std::out_of_range("invalid
    // vector subscript").
    const REGION_REVISION& get_region_revision(int index) override;
    // The object keeps ownership; a new description's list is empty.
    std::vector<std::string>* get_string_list() override { return m_string_list.get(); }

    std::string m_output_directory;
    std::string m_file_name;
    std::vector<REGION_REVISION> m_region_revisions;
    std::unique_ptr<std::vector<std::string>> m_string_list;
};

// The record of the index; out of range: std::out_of_range("invalid vector
// subscript").
REGION_REVISION& region_record(std::vector<REGION_REVISION>& records, int index);

// The project's user PR POF id: setting 1246 on the top partition's
// instance, eight hexadecimal digits after an optional "0x" (any case);
// 0xFFFFFFFF when absent. Another form is an internal error.
uint32_t get_user_pr_pof_id();
// Whether a generated setting 640 of the top partition's netlist is on
// (hierarchical partial reconfiguration).
bool design_uses_hpr();
// The block name of a region's partition: the text after the region name's
// last "."; a name without one is an internal error.
std::string region_partition_name(const std::string& region_name);
// "pmsf" when the design's setting 1517 is on, else "msf".
std::string pr_mask_file_extension();

// Fills the flags of the PR region records and, when the static region is
// preserved, the base-revision files of the records from the design's
// assignments, posting the messages of missing ones.
void setup_base_revisions(const DBCM_REGIONS& regions, std::vector<REGION_REVISION>& records);
void setup_region_base_files(const std::string& region_name, REGION_REVISION& record, bool preserved);
// The base-revision MSF (1515) or SOF (1514) of a block; "" when there is
// none (posted as missing; for the MSF only when asked).
std::string get_base_msf_assignment(const std::string& block_name, bool report_missing);
std::string get_base_sof_assignment(const std::string& block_name);
// Whether setting 1516 asks to skip the block's base check (posts the
// warning when it does).
bool skip_base_check_requested(const std::string& block_name);
// The base MSF derived from the enclosing PR (or top) partition's; "" when
// that partition's netlist is modifiable or it has none.
std::string get_enclosing_base_msf(const std::string& block_name);
// Whether setting 1518 (instance, else global; on when absent) turns the
// block's output files off.
bool output_files_disabled(const std::string& block_name);
bool partition_is_cots(const std::string& block_name);
bool partition_is_checker(const std::string& block_name);

// Debug lines of the partition data.
void log_pr_pof_id(uint32_t pr_pof_id);
void log_hpr_pof_id(const std::string& partition_name, uint32_t pr_pof_index, uint32_t pr_pof_value);
void log_no_output_files(const char* source, const std::string& partition_name, const std::string& instance_path);
// Internal errors with the name as text (never as a format).
[[noreturn]] void report_invalid_pr_mask_name(const std::string& region_name);
[[noreturn]] void report_invalid_pr_base_msf_name(const std::string& base_name);
[[noreturn]] void report_partition_not_found(const std::string& block_name);
