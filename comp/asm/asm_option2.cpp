#include "asm_option2.h"

#include "asm_common.h"
#include "asm_trace.h"

#include "asm_fstream.h"

#include <cdb.h>
#include <cfg.h>
#include <dbcm.h>
#include <dev.h>
#include <dstr.h>
#include <fio.h>
#include <gen.h>
#include <hdb.h>
#include <stl.h>

#include <cstring>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

int32_t option_error_count = 0;

namespace
{

// Partial-reconfiguration regions are region kind 0 of a chip.
const int REGION_KIND_PARTIAL_RECONFIGURATION = 0;

const char* const OPTIONS_SECTION = "OPTIONS";
const int OPTIONS_SECTION_MAJOR = 1;
const int OPTIONS_SECTION_MINOR = 10;

const uint32_t FEATURE_MAILBOX_ABORT = 3;

// The base device name prefixes that have HPS I/O sectors, by base family.
const char* const HPIO_PREFIXES_29[] = {"vr6", "vr8", "vr5", "vr7", "vr9", "vw8", "vr4", "vk7", "vrm", "vk4"};
const char* const HPIO_PREFIXES_52[] = {"yb0", "yb1", "yb2", "yb4", "yb5", "yb7"};

template <size_t N>
bool begins_with_one_of(const std::string& name, const char* const (&prefixes)[N])
{
    for (const char* prefix : prefixes)
        if (name.compare(0, std::strlen(prefix), prefix) == 0)
            return true;
    return false;
}

template <size_t N>
std::string prefix_list(const char* const (&prefixes)[N])
{
    std::string list;
    for (const char* prefix : prefixes)
        list += (list.empty() ? "" : ", ") + std::string(prefix);
    return list;
}

}  // namespace

ASM_OPTION2::ASM_OPTION2(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                         DEV_PART_MANAGER* part_manager)
    : m_cb_ip_found(false),
      m_io_configsel_found(false),
      m_cmp(cmp),
      m_chip(chip),
      m_run_value(run_value),
      m_part_manager(part_manager),
      m_pr_info(nullptr),
      m_flat_cap(nullptr),
      m_dbcm_chip(nullptr),
      m_dump_option_data(false),
      m_force_all_brask_na(false),
      M_SMD_PINMUX(0)
{
    ASM_REQUIRE(m_cmp != NULL);
    ASM_REQUIRE(m_chip != NULL);
    ASM_REQUIRE(m_part_manager != NULL);

    m_flat_cap = top_partition_settings();
    ASM_REQUIRE(m_flat_cap != NULL);

    DBCM_DB_MANAGER* dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    ASM_REQUIRE(dbcm_db_manager != NULL);
    m_dbcm_chip = dbcm_db_manager->get_chip(0);
    ASM_REQUIRE(m_dbcm_chip != NULL);

    if (m_dbcm_chip->get_regions(REGION_KIND_PARTIAL_RECONFIGURATION) != nullptr)
    {
        delete m_pr_info;
        m_pr_info = new ASM_OPTION2_PR_INFO();
    }

    m_dump_option_data = cfg_is_on("sdm_dump_option_data", false);
    m_force_all_brask_na = cfg_is_on("internal_force_all_brask_na", false);
    M_SMD_PINMUX = 17;
    asm_trace("construct ASM_OPTION2");
}

ASM_OPTION2::~ASM_OPTION2()
{
    delete m_pr_info;
    asm_trace("destroy ASM_OPTION2");
}

bool ASM_OPTION2::process_option_data()
{
    asm_trace("run process_option_data");
    // The record's build, its checks and its storage as "OPTIONS" come with
    // the option block's steps; what stands is the final verdict over the
    // option errors that the process has counted.
    bool result = true;
    if (option_error_count > 0)
    {
        asm_debug_log(2, "%s", "SDM option processing failed");
        result = false;
    }
    return result;
}

bool ASM_OPTION2::load_options_from_dbcm()
{
    const std::vector<std::string> stored = load_record_sections(m_dbcm_chip, OPTIONS_SECTION, "ACID_SDM");
    // A section that does not parse leaves the record as far as the parse
    // went; saving it again is refused by the store. The last one wins.
    for (const std::string& bytes : stored)
        m_options.ParseFromString(bytes);
    return !stored.empty();
}

void ASM_OPTION2::save_options_into_dbcm()
{
    store_record_section(m_dbcm_chip, OPTIONS_SECTION, OPTIONS_SECTION_MAJOR, OPTIONS_SECTION_MINOR, m_options,
                         "ACID_SDM", ASM_SOURCE_TAG);

    if (m_dump_option_data)
    {
        const std::string text = m_options.DebugString();
        const FIO_PATH dump(gen_get_project_output_directory(), "asm_option_data_dump", "txt");
        asm_io::kestil_ofstream out(dump.fullpath().c_str(), std::ios_base::out | std::ios_base::trunc);
        if (out.is_open())
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        else
            asm_debug_log(2, "Cannot open %s", dump.fullpath().c_str());
    }
}

bool ASM_OPTION2::add_cram_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "  CRAM_HASH:add_cram_hash_into_dbcm begin ....");
    const bool found = load_options_from_dbcm();
    if (found)
    {
        m_options.mutable_device()->set_cram_hash(hash != nullptr ? hash : "");
        save_options_into_dbcm();
    }
    asm_debug_log(2, "%s", "  CRAM_HASH:add_cram_hash_into_dbcm end");
    return found;
}

bool ASM_OPTION2::add_cvp_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "    CVP_HASH:add_cvp_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_cvp_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "    CVP_HASH:add_cvp_hash_into_dbcm end");
    return true;
}

bool ASM_OPTION2::add_io_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "  IO_HASH:add_io_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_io_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "  IO_HASH:add_io_hash_into_dbcm end");
    return true;
}

bool ASM_OPTION2::add_hpio_hash_into_dbcm(const char* hash)
{
    load_options_from_dbcm();
    m_options.mutable_device()->set_hpio_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    return true;
}

void ASM_OPTION2::add_static_region_hash_into_dbcm(const char* hash)
{
    asm_debug_log(2, "%s", "    STATIC_REGION_HASH:add_static_region_hash_into_dbcm begin ....");
    load_options_from_dbcm();
    m_options.mutable_device()->set_static_region_mask_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    asm_debug_log(2, "%s", "    STATIC_REGION_HASH:add_static_region_hash_into_dbcm end");
}

void ASM_OPTION2::add_pr_region_hash_into_dbcm(const char* region, const char* hash)
{
    const char* name = region != nullptr ? region : "";
    std::string line = safe_sprintf("    PR_REGION_HASH:%s:add_pr_region_hash_into_dbcm begin ....", name);
    asm_debug_log(2, "%s", line.c_str());
    load_options_from_dbcm();
    PB::OPTIONS_PR_REGION_MASK* mask = m_options.mutable_device()->add_pr_region_masks();
    mask->set_name(name);
    mask->set_hash(hash != nullptr ? hash : "");
    save_options_into_dbcm();
    line = safe_sprintf("    PR_REGION_HASH:%s:add_pr_region_hash_into_dbcm end", name);
    asm_debug_log(2, "%s", line.c_str());
}

bool ASM_OPTION2::has_mailbox_abort_feature() const
{
    for (const PB::OPTIONS_REQUIRED_FEATURE& feature : m_options.features())
        if (feature.id() == FEATURE_MAILBOX_ABORT)
            return true;
    return false;
}

std::vector<std::pair<int32_t, int32_t>> ASM_OPTION2::get_hpio_sectors(bool* hps_boot_from_hbm)
{
    (void)hps_boot_from_hbm;
    std::vector<std::pair<int32_t, int32_t>> sectors;
    const DEV_FAMILY base_family = m_chip->get_base_family_enum();
    const DEV_DEVICE_ENUM device = m_part_manager->get_device_of(m_chip->get_part_enum());
    DEV_DEVICE_ENUM base_device = m_part_manager->get_base_device_of(device);
    if (base_device == 0 || base_device == DEV_DEVICE_INVALID)
        base_device = device;
    const char* user_name = dstr_get_user_string(base_device);
    std::string name = user_name != nullptr ? user_name : "";
    stl_tolower(name);

    if (base_family == 29)
    {
        if (!begins_with_one_of(name, HPIO_PREFIXES_29))
        {
            const std::string text = "Base device " + name + " of family 29 does not begin with one of " +
                                     prefix_list(HPIO_PREFIXES_29);
            internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
        }
    }
    else if (base_family == 52)
    {
        if (!begins_with_one_of(name, HPIO_PREFIXES_52))
        {
            const std::string text = "Base device " + name + " of family 52 does not begin with one of " +
                                     prefix_list(HPIO_PREFIXES_52);
            internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
        }
    }
    else
    {
        return sectors;
    }
    // The sectors follow from the HPS configuration, boot memory and EMIF
    // settings that the HPS options step reads; until that step reads them,
    // no HPS I/O count is known.
    asm_debug_log(2, "%s", "No HPS_IO_NUM found and hence total HPIO sectors is 0.");
    return sectors;
}

std::string format_hash_text(const std::string& bytes)
{
    static const char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        text.push_back(DIGITS[byte >> 4]);
        text.push_back(DIGITS[byte & 0x0F]);
    }
    return text;
}
