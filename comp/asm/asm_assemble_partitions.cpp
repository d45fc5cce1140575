// The project adapter's partitions: the revision description of a region
// set, the PR data of the PR region records and their base revisions.
#include "asm_assemble_partitions.h"

#include "asm_assemble_asmm.h"
#include "asm_common.h"
#include "asm_messages.h"
#include "asm_option2.h"
#include "asm_option2_pr.h"
#include "asm_sld_utilities.h"
#include "asm_util.h"

#include <cdb_atom.h>
#include <cfg.h>
#include <cmp.h>
#include <dbcm.h>
#include <fio.h>
#include <gen.h>
#include <hdb.h>
#include <zhd.h>
#include <zpr.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#define ASM_SOURCE_TAG "comp/asm/asm_assemble_asmm"

namespace
{

const uint32_t UNSET_32 = 0xFFFFFFFFu;

// Settings of the partition data.
const int OPTION_USER_PR_POF_ID = 1246;
const int OPTION_PMSF_EXTENSION = 1517;
const int GENERATED_OPTION_HPR = 640;
const int OPTION_BASE_SOF = 1514;
const int OPTION_BASE_MSF = 1515;
const int OPTION_SKIP_BASE_CHECK = 1516;
const int OPTION_OUTPUT_FILES = 1518;
// The processing flags of the multi-valued assignment lookups.
const int MULTI_OPTION_PROCESSING = 1;

const int LINE_SLD_PROCESSOR = 693;

typedef HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0> STRING_OPTION;
typedef HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0> BOOL_OPTION;

ZHD_DESIGN* current_design()
{
    ZHD_ROOT* root = ZHD_ROOT::get();
    return root != nullptr ? root->get_design("") : nullptr;
}

ZHD_PARTITION* top_partition()
{
    ZHD_DESIGN* design = current_design();
    return design != nullptr ? design->get_top_partition() : nullptr;
}

// The design's global settings holder; null without a current design.
HDB_OPTION_INTERFACE* design_settings()
{
    ZHD_DESIGN* design = current_design();
    return design != nullptr ? design->get_option_interface() : nullptr;
}

ZHD_PARTITION* find_partition_or_fail(const std::string& block_name)
{
    ZHD_DESIGN* design = current_design();
    ZHD_PARTITION* partition = design != nullptr ? design->find_partition(block_name) : nullptr;
    if (partition == nullptr)
        report_partition_not_found(block_name);
    return partition;
}

// An entry of a multi-valued assignment, "key=value": split at "=", a run of
// "=" counting as one separator; pieces after the value are ignored.
struct ASSIGNMENT_ENTRY
{
    std::string key;
    bool has_value = false;
    std::string value;
};

ASSIGNMENT_ENTRY split_entry(const std::string& text)
{
    ASSIGNMENT_ENTRY entry;
    const size_t separator = text.find('=');
    entry.key = text.substr(0, separator);
    if (separator == std::string::npos)
        return entry;
    entry.has_value = true;
    const size_t start = text.find_first_not_of('=', separator);
    if (start != std::string::npos)
        entry.value = text.substr(start, text.find('=', start) - start);
    return entry;
}

// The first entry of the design's multi-valued assignment whose key is the
// block name (byte for byte). With value_required, an entry without "=" is
// passed over: it names no file.
std::optional<ASSIGNMENT_ENTRY> find_entry(int id, const std::string& block_name, bool value_required)
{
    for (const HDB_OPTION* option :
         HDB_OPTION::get_multi_options(design_settings(), id, MULTI_OPTION_PROCESSING, true))
    {
        ASSIGNMENT_ENTRY entry = split_entry(option->get_value_str());
        if (entry.key == block_name && (entry.has_value || !value_required))
            return entry;
    }
    return std::nullopt;
}

}  // namespace

// ---------------------------------------------------------------------------
// Diagnostics

void log_pr_pof_id(uint32_t pr_pof_id)
{
    asm_debug_log(2, "%s", safe_sprintf("Set PR POF ID to 0x%X", pr_pof_id).c_str());
}

void log_hpr_pof_id(const std::string& partition_name, uint32_t pr_pof_index, uint32_t pr_pof_value)
{
    asm_debug_log(2, "%s",
                  safe_sprintf("Set HPR POF ID for region '%s' to 0x%X : 0x%X", partition_name.c_str(), pr_pof_index,
                               pr_pof_value)
                      .c_str());
}

void log_no_output_files(const char* source, const std::string& partition_name, const std::string& instance_path)
{
    asm_debug_log(2, "%s",
                  safe_sprintf("Due to SUPR ACF %s assignment, no output files will be generated for Partition=%s "
                               "with instance_name=%s",
                               source, partition_name.c_str(), instance_path.c_str())
                      .c_str());
}

void report_invalid_pr_mask_name(const std::string& region_name)
{
    const std::string text = safe_sprintf("Invalid partial reconfiguration mask name %s", region_name.c_str());
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

void report_invalid_pr_base_msf_name(const std::string& base_name)
{
    const std::string text = safe_sprintf("Invalid partial reconfiguration base MSF name %s", base_name.c_str());
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

void report_partition_not_found(const std::string& block_name)
{
    const std::string text = safe_sprintf("Couldn't find partition with block name \"%s\".", block_name.c_str());
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

// ---------------------------------------------------------------------------
// Revision description

ASM2_PROJECT_REVISION_INFO::ASM2_PROJECT_REVISION_INFO(std::string output_directory, std::string file_name,
                                                       const std::vector<REGION_REVISION>& region_revisions)
    : m_output_directory(std::move(output_directory)),
      m_file_name(std::move(file_name)),
      m_region_revisions(region_revisions),
      m_string_list(std::make_unique<std::vector<std::string>>())
{
}

ASM2_PROJECT_REVISION_INFO::~ASM2_PROJECT_REVISION_INFO() = default;

const REGION_REVISION& ASM2_PROJECT_REVISION_INFO::get_region_revision(int index)
{
    return region_record(m_region_revisions, index);
}

REGION_REVISION& region_record(std::vector<REGION_REVISION>& records, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= records.size())
        throw std::out_of_range("invalid vector subscript");
    return records[static_cast<size_t>(index)];
}

// ---------------------------------------------------------------------------
// Partition data

uint32_t get_user_pr_pof_id()
{
    ZHD_PARTITION* top = top_partition();
    const STRING_OPTION* option =
        STRING_OPTION::get_single_option(top != nullptr ? top->get_instance() : nullptr, OPTION_USER_PR_POF_ID, true);
    if (option == nullptr)
        return UNSET_32;
    std::string hex_string = option->get_value();
    if (hex_string.size() >= 2 && hex_string[0] == '0' && (hex_string[1] == 'x' || hex_string[1] == 'X'))
        hex_string.erase(0, 2);
    if (!(hex_string.length() == 8))
        internal_error("hex_string.length() == 8", ASM_SOURCE_TAG, __LINE__);
    if (!std::all_of(hex_string.begin(), hex_string.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
        internal_error("std::all_of(hex_string.begin(), hex_string.end(), ::isxdigit)", ASM_SOURCE_TAG, __LINE__);
    return static_cast<uint32_t>(std::strtoul(hex_string.c_str(), nullptr, 16));
}

bool design_uses_hpr()
{
    ZHD_PARTITION* top = top_partition();
    CDB_ATOM_NETLIST* netlist = top != nullptr ? top->get_netlist() : nullptr;
    HDB_NAMESPACE* name_space = netlist != nullptr ? netlist->get_namespace() : nullptr;
    if (name_space == nullptr)
        return false;
    std::vector<const HDB_OPTION*> generated;
    name_space->get_all_generated_options(GENERATED_OPTION_HPR, generated, true);
    return std::any_of(generated.begin(), generated.end(),
                       [](const HDB_OPTION* option) { return option->get_bool_value(); });
}

std::string region_partition_name(const std::string& region_name)
{
    const size_t dot = region_name.rfind('.');
    if (dot == std::string::npos)
        report_invalid_pr_mask_name(region_name);
    return region_name.substr(dot + 1);
}

std::string pr_mask_file_extension()
{
    const BOOL_OPTION* option = BOOL_OPTION::get_single_option(design_settings(), OPTION_PMSF_EXTENSION, true);
    return option != nullptr && option->get_value() ? "pmsf" : "msf";
}

void ASM_MY_PROJECT::collect_partitions_data(const DBCM_REGIONS* regions, std::vector<REGION_REVISION>& records,
                                             ASM_SLD_PROCESSOR& sld_processor)
{
    ASM_OPTION2_PR_INFO* pr_info = m_option2 != nullptr ? m_option2->m_pr_info : nullptr;
    const bool hpr = design_uses_hpr();
    uint32_t pof_value = UNSET_32;
    uint32_t pof_index = UNSET_32;
    if (pr_info == nullptr && !hpr)
    {
        pof_value = ::get_user_pr_pof_id();
        log_pr_pof_id(pof_value);
        m_user_pr_pof_id = pof_value;
    }

    ZHD_DESIGN* design = current_design();
    const int count = regions->get_count();
    if (count < 2)
        return;
    for (int i = 1; i < count; ++i)
    {
        REGION_REVISION& record = region_record(records, i);
        MY_REVISION sink(&record.sld_data);
        const std::string partition_name = region_partition_name(regions->get_name(i));
        ZHD_PARTITION* partition = design != nullptr ? design->find_partition(partition_name) : nullptr;
        if (partition == nullptr)
            report_partition_not_found(partition_name);
        sld_processor.process_partition(partition, &sink);
        HDB_NAMESPACE* name_space = partition->get_hdb();
        if (pr_info != nullptr)
        {
            // An empty record (its PR POF ids incomplete) is stored as it
            // comes; the id text is filled either way.
            record.pr_options_data = pr_info->build_pr_option_data(*partition, &record.pr_pof_id_text);
            record.design_hash = ZPR::UTILS::get_design_hash(name_space);
            record.pr_pof_value_data = ZPR::UTILS::get_pr_pof_value_data(name_space, true);
            record.pr_pof_index = ZPR::UTILS::get_pr_pof_index(name_space);
        }
        else
        {
            if (hpr)
            {
                pof_index = ZPR::UTILS::get_pr_pof_index(name_space);
                pof_value = ZPR::UTILS::get_pr_pof_value(name_space);
                log_hpr_pof_id(partition_name, pof_index, pof_value);
            }
            record.pr_pof_ids.emplace_back(pof_value, pof_index);
        }
    }
}

ASM2_IPARTITIONS* ASM_MY_PROJECT::compute_partitions(CMP_FACADE* cmp, DBCM_REGIONS* regions, int kind,
                                                      ASM_SLD_PROCESSOR* sld_processor)
{
    ASM_REQUIRE(regions != nullptr);
    const std::string revision_name = cmp->get_revision_name();
    // The whole revision name is the base, as for the SOF: a revision
    // "top.v2" names its files top.v2.<extension>.
    FIO_PATH path("", revision_name, "");
    asm_debug_log(2, "%s",
                  safe_sprintf("compute_partitions: current revision name : %s", revision_name.c_str()).c_str());

    std::vector<REGION_REVISION> records;
    if (kind == ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION)
    {
        records.resize(static_cast<size_t>(std::max(regions->get_count(), 0)));
        if (sld_processor == nullptr)
            internal_error("sld_processor", ASM_SOURCE_TAG, LINE_SLD_PROCESSOR);
        collect_partitions_data(regions, records, *sld_processor);
        setup_base_revisions(*regions, records);
        path.extension(pr_mask_file_extension(), "");
    }
    else
    {
        path.extension("smh", "");
    }
    ASM2_PROJECT_REVISION_INFO revision_info(gen_get_project_output_directory(), path.filename(), records);
    return stage_asm2_create_ipartitions(*regions, static_cast<ASM2_IPARTITIONS::TYPE>(kind), revision_info);
}

// ---------------------------------------------------------------------------
// Base revisions

std::string get_base_msf_assignment(const std::string& block_name, bool report_missing)
{
    if (std::optional<ASSIGNMENT_ENTRY> entry = find_entry(OPTION_BASE_MSF, block_name, true))
        return entry->value;
    if (report_missing)
        post_message(msg_EASM_ASM_PR_MISSING_BASE_MSF_ASSIGNMENT(block_name));
    return std::string();
}

std::string get_base_sof_assignment(const std::string& block_name)
{
    if (cfg_is_on("asm_use_global_pr_base_sof"))
    {
        const STRING_OPTION* option = STRING_OPTION::get_single_option(design_settings(), OPTION_BASE_SOF, true);
        if (option != nullptr)
            return option->get_value();
        post_message(msg_EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT(""));
        return std::string();
    }
    if (std::optional<ASSIGNMENT_ENTRY> entry = find_entry(OPTION_BASE_SOF, block_name, true))
        return entry->value;
    post_message(msg_EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT(block_name));
    return std::string();
}

bool skip_base_check_requested(const std::string& block_name)
{
    if (!find_entry(OPTION_SKIP_BASE_CHECK, block_name, false))
        return false;
    post_message(msg_WASM_ASM_PR_SKIP_BASE_CHECK(block_name));
    return true;
}

std::string get_enclosing_base_msf(const std::string& block_name)
{
    ZHD_PARTITION* partition = find_partition_or_fail(block_name);
    ZHD_PARTITION* ancestor = partition->get_parent();
    while (ancestor != nullptr && !ancestor->is_pr_partition() && !ancestor->is_top())
        ancestor = ancestor->get_parent();
    // Outside any PR or top partition there is no enclosing MSF.
    if (ancestor == nullptr)
        return std::string();
    CDB_ATOM_NETLIST* netlist = ancestor->get_netlist();
    if (netlist != nullptr && netlist->is_modifiable())
        return std::string();
    return get_base_msf_assignment(ancestor->get_block_name(), false);
}

bool output_files_disabled(const std::string& block_name)
{
    ZHD_PARTITION* partition = find_partition_or_fail(block_name);
    HDB_INSTANCE_NAME* instance = partition->get_instance();
    const std::string instance_path = instance != nullptr ? instance->get_hpath_to_root() : std::string();
    const char* source = "global";
    bool value = true;
    if (const BOOL_OPTION* own = BOOL_OPTION::get_single_option(instance, OPTION_OUTPUT_FILES, true))
    {
        source = "instance";
        value = own->get_value();
    }
    else if (const BOOL_OPTION* global = BOOL_OPTION::get_single_option(design_settings(), OPTION_OUTPUT_FILES, true))
    {
        value = global->get_value();
    }
    if (!value)
        log_no_output_files(source, partition->get_name(), instance_path);
    return !value;
}

bool partition_is_cots(const std::string& block_name) { return find_partition_or_fail(block_name)->is_cots(); }

bool partition_is_checker(const std::string& block_name) { return find_partition_or_fail(block_name)->is_checker(); }

void setup_region_base_files(const std::string& region_name, REGION_REVISION& record, bool preserved)
{
    const std::string block_name = region_partition_name(region_name);
    if (record.no_output_files)
        return;
    if (skip_base_check_requested(block_name))
        return;
    record.base_msf = get_base_msf_assignment(block_name, preserved);
    if (!record.base_msf.empty() || preserved)
    {
        if (preserved)
            record.base_sof = get_base_sof_assignment(block_name);
        return;
    }

    // An implemented region without an MSF of its own takes the enclosing
    // partition's, renamed after the region: base/rev_a.parent.msf gives
    // base/rev_a.parent.child.msf for the region root.parent.child.
    const std::string enclosing = get_enclosing_base_msf(block_name);
    if (enclosing.empty())
        return;
    FIO_PATH msf(enclosing);
    const std::string stem = msf.base();
    const size_t stem_dot = stem.find('.');
    if (stem_dot == std::string::npos)
        report_invalid_pr_base_msf_name(stem);
    const std::string prefix = stem.substr(0, stem_dot);
    const size_t region_dot = region_name.find('.');
    if (region_dot == std::string::npos)
        report_invalid_pr_mask_name(region_name);
    const std::string head = region_name.substr(0, region_dot);
    std::string new_stem = region_name;
    new_stem.replace(new_stem.find(head), head.size(), prefix);
    msf.base(new_stem);
    record.base_msf = msf.fullpath();
}

void setup_base_revisions(const DBCM_REGIONS& regions, std::vector<REGION_REVISION>& records)
{
    const int count = regions.get_count();
    if (count <= 0)
        return;
    for (int i = 1; i < count; ++i)
    {
        REGION_REVISION& record = region_record(records, i);
        const std::string& region_name = regions.get_name(i);
        const size_t dot = region_name.rfind('.');
        if (dot == std::string::npos)
            report_invalid_pr_mask_name(region_name);
        const std::string block_name = region_name.substr(dot + 1);
        record.no_output_files = output_files_disabled(block_name) || partition_is_cots(block_name);
        record.is_cots = partition_is_cots(block_name);
        record.is_checker = partition_is_checker(block_name);
        if (record.is_cots && record.is_checker)
            record.no_output_files = false;
        asm_debug_log(2, "%s",
                      safe_sprintf("setup_base_revisions : dbcm_region : %d , %s, cots - %d, checker - %d", i,
                                   region_name.c_str(), partition_is_cots(block_name) ? 1 : 0,
                                   partition_is_checker(block_name) ? 1 : 0)
                          .c_str());
    }

    if (regions.is_implemented(0))
        return;
    ZHD_PARTITION* top = top_partition();
    ASM_REQUIRE(top != nullptr);
    const std::string top_block_name = top->get_block_name();
    REGION_REVISION& static_record = region_record(records, 0);
    static_record.base_msf = get_base_msf_assignment(top_block_name, true);
    static_record.base_sof = get_base_sof_assignment(top_block_name);
    static_record.no_output_files = true;
    for (int i = 1; i < count; ++i)
        setup_region_base_files(regions.get_name(i), region_record(records, i), !regions.is_implemented(i));
}
