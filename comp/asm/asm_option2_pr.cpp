#include "asm_option2_pr.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <dbcm.h>
#include <fio.h>
#include <hdb.h>
#include <zhd.h>
#include <zpr.h>

#include <algorithm>

#define ASM_SOURCE_TAG "comp/asm/asm_option2_pr"

namespace
{

const int OPTION_PR_SECURITY = 1254;
const int OPTION_ENABLE_PR_POF_ID = 1520;
const int OPTION_PR_ZKY_FILE = 1519;
const int OPTION_PR_ENCRYPTION = 1559;
const int OPTION_MULTI_AUTHORITY = 1562;
const int OPTION_ROW_CLKMUX_SPLIT = 1971;
const int OPTION_PR_ENCRYPTION_KEY_SELECT = 1525;
const int OPTION_PR_ENCRYPTION_UPDATE_RATIO = 1526;
const int OPTION_PR_CNOC_SCRAMBLING = 1527;

// Key select setting values; any other (580 among them) is BBRAM.
const uint16_t KEY_SELECT_EFUSE = 581;
const uint16_t KEY_SELECT_IIDPUFWRAP = 582;

const char* const PR_OPTIONS_SECTION = "PR_OPTIONS";
const int PR_OPTIONS_SECTION_MAJOR = 1;
const int PR_OPTIONS_SECTION_MINOR = 11;

// A key file shorter than this is not a key file.
const int64_t ZKY_MINIMUM_SIZE = 48;

// The top partition's own settings, without fallback: null when absent.
template <int KIND>
const HDB_DERIVED_OPTION<KIND, 0>* pr_setting(int id)
{
    return HDB_DERIVED_OPTION<KIND, 0>::get_single_option(top_partition_settings(), id, true);
}

bool bool_setting(int id, bool default_value)
{
    const auto* option = pr_setting<HDB_OPTION_KIND_BOOLEAN>(id);
    return option != nullptr ? option->get_bool_value() : default_value;
}

ZHD_DESIGN* current_design()
{
    ZHD_ROOT* root = ZHD_ROOT::get();
    return root != nullptr ? root->get_design("") : nullptr;
}

// Ascending by index, then by the value's bytes.
void sort_pr_pof_ids(std::vector<std::pair<uint32_t, std::string>>& list)
{
    std::sort(list.begin(), list.end());
}

}  // namespace

ASM_OPTION2_PR_INFO::ASM_OPTION2_PR_INFO()
    : m_pr_security(bool_setting(OPTION_PR_SECURITY, false)),
      m_enable_pr_pof_id(bool_setting(OPTION_ENABLE_PR_POF_ID, true)),
      m_has_zky_file(false),
      m_encryption(false),
      m_multi_authority(false)
{
    collect_pr_pof_ids();
    m_has_zky_file = pr_setting<HDB_OPTION_KIND_STRING>(OPTION_PR_ZKY_FILE) != nullptr;
    m_encryption = bool_setting(OPTION_PR_ENCRYPTION, false);
    m_multi_authority = bool_setting(OPTION_MULTI_AUTHORITY, false);
    if (m_encryption && m_multi_authority)
        post_message(msg_EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT());
}

void ASM_OPTION2_PR_INFO::collect_pr_pof_ids()
{
    const auto* enable = pr_setting<HDB_OPTION_KIND_BOOLEAN>(OPTION_ENABLE_PR_POF_ID);
    if (enable != nullptr && !enable->get_bool_value())
        post_message(msg_WASM_ASM_PR_POF_ID_DISABLED());

    for (ZHD_PARTITION* partition : ZHD_DESIGN_UTILS::get_pr_partitions(current_design()))
    {
        const uint32_t index = ZPR::UTILS::get_pr_pof_index(partition->get_hdb());
        std::string value = ZPR::UTILS::get_pr_pof_value_data(partition->get_hdb(), true);
        if (value.empty())
        {
            post_message(msg_WASM_ASM_MISSING_PRPOF_ID(partition->get_name()));
            continue;
        }
        m_pr_pof_ids.emplace(partition->get_name(), PR_POF_ID{index, std::move(value)});
    }
}

bool ASM_OPTION2_PR_INFO::process_pr_options(DBCM_CHIP* chip, std::string* text)
{
    ZHD_DESIGN* design = current_design();
    ZHD_PARTITION* top = design != nullptr ? design->get_top_partition() : nullptr;
    ASM_REQUIRE(top != nullptr);
    const std::string data = build_pr_option_data(*top, text);
    if (data.empty())
    {
        asm_debug_log(2, "%s", "Missing PR options data");
        return !m_enable_pr_pof_id;
    }
    DBCM_SECTION_STORE* vsections = chip != nullptr ? chip->get_section_store() : nullptr;
    ASM_REQUIRE(vsections);
    vsections->add_section(PR_OPTIONS_SECTION, PR_OPTIONS_SECTION_MAJOR, PR_OPTIONS_SECTION_MINOR, data, true);
    return true;
}

std::string ASM_OPTION2_PR_INFO::build_pr_option_data(ZHD_PARTITION& partition, std::string* text)
{
    PB::OPTIONS record;
    const bool ok = populate_pr_options(record, partition);
    if (text != nullptr)
        *text = format_prpof_ids(record);
    std::string data;
    if (ok && !serialize_record(record, data))
        internal_error("PR option record cannot be serialised", ASM_SOURCE_TAG, __LINE__);
    return data;
}

bool ASM_OPTION2_PR_INFO::populate_pr_options(PB::OPTIONS& record, ZHD_PARTITION& partition)
{
    PB::OPTIONS_DEVICE* device = record.mutable_device();
    if (!partition.is_top())
    {
        device->set_pr_security(m_pr_security);
        record.set_row_clkmux_split(bool_setting(OPTION_ROW_CLKMUX_SPLIT, false) ? PB::OPTIONS_ROW_CLKMUX_SPLIT_ENABLED
                                                                                 : PB::OPTIONS_ROW_CLKMUX_SPLIT_DISABLED);
        if (m_has_zky_file)
        {
            const auto* path = pr_setting<HDB_OPTION_KIND_STRING>(OPTION_PR_ZKY_FILE);
            read_pr_zky_file(FIO_PATH(path != nullptr ? path->get_value() : std::string()), device);
        }
        PB::OPTIONS_SDM* sdm = device->mutable_sdm();
        sdm->set_encryption(m_encryption);
        const auto* key_select = pr_setting<HDB_OPTION_KIND_ENUM>(OPTION_PR_ENCRYPTION_KEY_SELECT);
        PB::OPTIONS_SDM_KEY_SELECT key = PB::OPTIONS_SDM_KEY_SELECT_BBRAM;
        if (key_select != nullptr && key_select->get_value() == KEY_SELECT_EFUSE)
            key = PB::OPTIONS_SDM_KEY_SELECT_EFUSE;
        else if (key_select != nullptr && key_select->get_value() == KEY_SELECT_IIDPUFWRAP)
            key = PB::OPTIONS_SDM_KEY_SELECT_IIDPUFWRAP;
        sdm->set_encryption_key_select(key);
        const auto* ratio = pr_setting<HDB_OPTION_KIND_INTEGER>(OPTION_PR_ENCRYPTION_UPDATE_RATIO);
        sdm->set_encryption_update_ratio(ratio != nullptr ? static_cast<uint32_t>(ratio->get_value()) : 0);
        sdm->set_cnoc_scrambling(bool_setting(OPTION_PR_CNOC_SCRAMBLING, false));
    }
    device->set_enable_multi_authority(m_multi_authority);
    device->set_enable_pr_pof_id(m_enable_pr_pof_id);
    const bool ok = populate_pr_partitions(record, partition);
    return m_enable_pr_pof_id ? ok : true;
}

bool ASM_OPTION2_PR_INFO::append_pr_pof_id(const ZHD_PARTITION& partition,
                                           std::vector<std::pair<uint32_t, std::string>>& list, uint32_t& index) const
{
    auto entry = m_pr_pof_ids.find(partition.get_name());
    if (entry == m_pr_pof_ids.end())
    {
        asm_debug_log(2, "Missing PR POF id for partition %s", partition.get_name().c_str());
        index = 0;
        return false;
    }
    index = entry->second.index;
    list.emplace_back(entry->second.index, entry->second.value);
    return true;
}

bool ASM_OPTION2_PR_INFO::populate_pr_partitions(PB::OPTIONS& record, ZHD_PARTITION& partition)
{
    if (m_pr_pof_ids.empty())
        return true;
    if (!(partition.is_pr_partition() || partition.is_top()))
        internal_error("partition.is_pr_partition() || partition.is_top()", ASM_SOURCE_TAG, __LINE__);

    std::vector<std::pair<uint32_t, std::string>> list;
    bool ok = false;
    if (!partition.is_top())
    {
        uint32_t index = 0;
        append_pr_pof_id(partition, list, index);
        ok = index != 0 && collect_pr_subtree(partition, list);
    }
    else
    {
        ok = collect_pr_subtree(partition, list);
    }
    sort_pr_pof_ids(list);
    for (const auto& [index, value] : list)
    {
        PB::OPTIONS_PRPOF_ID* id = record.add_prpof_id();
        id->set_rid(index);
        id->set_hash(value);
    }
    return ok;
}

bool ASM_OPTION2_PR_INFO::collect_pr_subtree(ZHD_PARTITION& partition,
                                             std::vector<std::pair<uint32_t, std::string>>& list)
{
    bool ok = true;
    for (ZHD_PARTITION* m_current_sibling : partition.get_children())
    {
        ASM_REQUIRE(m_current_sibling != nullptr);
        if (!m_current_sibling->is_pr_partition())
            continue;
        uint32_t index = 0;
        append_pr_pof_id(*m_current_sibling, list, index);
        // Every PR child is visited; an incomplete one is not descended.
        const bool complete = index != 0 && collect_pr_subtree(*m_current_sibling, list);
        ok = ok && complete;
    }
    return ok;
}

void ASM_OPTION2_PR_INFO::read_pr_zky_file(const FIO_PATH& path, PB::OPTIONS_DEVICE* device)
{
    const std::string name = path.fullpath();
    FIO_STAT status;
    if (!FIO_FILE_SYSTEM::exists(FIO_PATH(name)) || !FIO_FILE_SYSTEM::status(name.c_str(), &status))
        internal_error("Failed in reading ZKY status", ASM_SOURCE_TAG, __LINE__);
    const int64_t size = static_cast<int64_t>(status.st_size);
    const std::string line = safe_sprintf("OPTION_PR_ZKY: read %s with bytesize : %d\n", name.c_str(), size);
    asm_debug_log(2, "%s", line.c_str());
    if (size < ZKY_MINIMUM_SIZE)
        internal_error("Incorrect formated ZKY file - must have at least 48 Bytes", ASM_SOURCE_TAG, __LINE__);

    asm_io::kestil_ifstream in;
    in.open(name.c_str(), std::ios_base::in | std::ios_base::binary);
    const std::string not_good = safe_sprintf("ZKY file %s is not good", name.c_str());
    if (!in.good())
        internal_error(not_good.c_str(), ASM_SOURCE_TAG, __LINE__);
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(size));
    // A file that yields fewer bytes than its size (it shrank meanwhile)
    // must not leave a key of stale bytes.
    if (in.gcount() != static_cast<std::streamsize>(size))
        internal_error(not_good.c_str(), ASM_SOURCE_TAG, __LINE__);
    in.close();
    device->set_design_zky(bytes);
}

std::string ASM_OPTION2_PR_INFO::format_prpof_ids(const PB::OPTIONS& record)
{
    std::string text;
    for (const PB::OPTIONS_PRPOF_ID& id : record.prpof_id())
    {
        if (!text.empty())
            text += " ";
        text += format_hex_id(id.rid(), id.hash());
    }
    return text;
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

std::string format_hex_id(uint32_t rid, const std::string& hash)
{
    return safe_sprintf("0x%08x:", rid) + format_hash_text(hash);
}
