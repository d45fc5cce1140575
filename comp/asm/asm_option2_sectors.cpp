// The option block's core sector entries: sectors blacklisted for clocking,
// sectors under the partitions' SEU-priority regions, and the HPS I/O
// sectors that the project adapter asks for during the device assembly.
#include "asm_option2.h"

#include "asm_common.h"

#include <cdb.h>
#include <cut.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <dygr.h>
#include <gen.h>
#include <hdb.h>
#include <stl.h>
#include <zhd.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

namespace
{

const int OPTION_SEU_PRIORITY = 1523;
const int OPTION_PLACEMENT_REGION = 1771;
const int SECTOR_WALK_LIMIT = 4096;
const size_t SECTOR_NAME_UNDERSCORE_LIMIT = 100;

const int GENERATED_HPS_CONFIGURATION = 182;
const int GENERATED_HPS_HBM = 184;
const int32_t HPIO_SECTOR_BASE = 0x10000;

// The base device name prefixes that have HPS I/O sectors, by base family.
const char* const HPIO_PREFIXES_29[] = {"vr6", "vr8", "vr5", "vr7", "vr9", "vw8", "vr4", "vk7", "vrm", "vk4"};
const char* const HPIO_PREFIXES_52[] = {"yb0", "yb1", "yb2", "yb4", "yb5", "yb7"};

bool begins_with(const std::string& name, const char* prefix)
{
    return name.compare(0, std::strlen(prefix), prefix) == 0;
}

template <size_t N>
bool begins_with_one_of(const std::string& name, const char* const (&prefixes)[N])
{
    for (const char* prefix : prefixes)
        if (begins_with(name, prefix))
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

void log_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

[[noreturn]] void report_invalid_sector_name(const std::string& name)
{
    const std::string text = safe_sprintf("Invalid sector name %s", name.c_str());
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

}  // namespace

PB::OPTIONS_SECTOR* ASM_OPTION2::find_sector(PB::OPTIONS_SECTOR_TYPE type, uint32_t x0, uint32_t x1)
{
    for (PB::OPTIONS_SECTOR& sector : *m_options.mutable_sectors())
        if (sector.type() == type && sector.x0() == x0 && sector.x1() == x1)
            return &sector;
    PB::OPTIONS_SECTOR* sector = m_options.add_sectors();
    sector->set_x0(x0);
    sector->set_x1(x1);
    sector->set_type(type);
    return sector;
}

bool ASM_OPTION2::parse_sector_name(const std::string& name, std::string& type, int& first, int& second)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;)
    {
        const size_t underscore = name.find('_', start);
        pieces.push_back(name.substr(start, underscore - start));
        if (underscore == std::string::npos)
            break;
        start = underscore + 1;
    }
    if (pieces.size() != 3)
        return false;
    try
    {
        first = std::stoi(pieces[1]);
        second = std::stoi(pieces[2]);
    }
    catch (const std::logic_error&)
    {
        return false;
    }
    type = pieces[0];
    return true;
}

size_t ASM_OPTION2::split_token(const std::string& text, char letter, size_t start, int& number)
{
    const std::string padded = text + " ";
    if (start >= padded.size())
        return std::string::npos;
    const size_t at = padded.find(letter, start);
    if (at == std::string::npos)
        return std::string::npos;
    const size_t blank = padded.find(' ', at);
    number = gen_atoi(padded.substr(at + 1, blank - at - 1).c_str());
    return blank;
}

void ASM_OPTION2::populate_sectors()
{
    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASM_REQUIRE(device != NULL);
    DEV_DIE_INFO* die_info = device->get_die_info();
    ASM_REQUIRE(die_info != NULL);
    DYGR_DIE_INFO* dygr_die_info = die_info->get_dygr_die_info();
    const DYGR_BLACKLISTING* blacklisting = DYGR_BLACKLISTING_LOADER::setup_blacklisting(dygr_die_info);
    ASM_REQUIRE(blacklisting != NULL);
    const DBCM_DEVICE* dbcm_device = m_dbcm_chip->get_device();
    const CUT_DEV_DYGR_DBCM_UTIL util(dbcm_device);

    for (const DYGR_CLOCK_REGION& region : blacklisting->get_fully_blacklisted_clock_sectors())
    {
        // The region's id: the first global id of the first placed location.
        uint32_t gid = DEV_ILLEGAL_GLOBAL_ID;
        for (int x = region.x0; x < region.x1 && gid == DEV_ILLEGAL_GLOBAL_ID; ++x)
        {
            for (int y = region.y0; y < region.y1; ++y)
            {
                const std::vector<uint32_t>& ids = dygr_die_info->get_place_info()->get_global_ids(x, y);
                if (!ids.empty())
                {
                    gid = ids.front();
                    break;
                }
            }
        }
        ASM_REQUIRE(gid != DEV_ILLEGAL_GLOBAL_ID);

        const int instance = util.get_top_level_dbcm_instance_id(gid);
        const DBCM_SECTOR* ptr_ = dbcm_device != nullptr ? dbcm_device->get_sector_of_instance(instance) : nullptr;
        ASM_REQUIRE(ptr_);
        std::string type;
        int first = 0;
        int second = 0;
        if (!parse_sector_name(ptr_->name, type, first, second))
            report_invalid_sector_name(ptr_->name);
        if (type == "CORE")
            find_sector(PB::OPTIONS_SECTOR::CORE, static_cast<uint32_t>(first), static_cast<uint32_t>(second))
                ->set_blacklisted(true);
    }
}

void ASM_OPTION2::populate_sector_seu_priority()
{
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    if (design == nullptr)
        return;
    for (const auto& partition : design->get_partitions())
    {
        const HDB_INSTANCE_NAME* instance = partition->get_instance();
        if (instance == nullptr)
            continue;
        const std::string& hpath = instance->get_hpath_to_root();
        const std::string& pname = partition->get_name();
        const auto* priority = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(
            instance, OPTION_SEU_PRIORITY, true);
        if (priority == nullptr)
            continue;
        const auto* region = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(
            instance, OPTION_PLACEMENT_REGION, true);
        const char* value = priority->get_value() ? "ON" : "OFF";
        if (region == nullptr)
        {
            log_line(safe_sprintf("SECTOR_SEU: Partion hname=%s, pname=%s, acf_value=%s without region asgn",
                                  hpath.c_str(), pname.c_str(), value));
        }
        else if (priority->get_value())
        {
            log_line(safe_sprintf("SECTOR_SEU: Partion hname=%s, pname=%s, acf_value=%s with region asgn=%s",
                                  hpath.c_str(), pname.c_str(), value, region->get_value().c_str()));
            apply_region_seu_priority(region->get_value());
        }
    }
}

void ASM_OPTION2::apply_region_seu_priority(const std::string& region)
{
    log_line(safe_sprintf("SECTOR_SEU: region=%s", region.c_str()));
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    size_t position = split_token(region, 'X', 0, x1);
    if (position != std::string::npos)
        position = split_token(region, 'Y', position, y1);
    if (position != std::string::npos)
        position = split_token(region, 'X', position, x2);
    if (position != std::string::npos)
        position = split_token(region, 'Y', position, y2);
    if (position == std::string::npos)
    {
        log_line("  Error: SECTOR_SEU: invalid placement region for priority seu - assigment ignored");
        return;
    }
    log_line(safe_sprintf("  SECTOR_SEU: region decoded: X1=%d Y1=%d X2=%d Y2=%d", x1, y1, x2, y2));

    const DBCM_DEVICE* dbcm_device = m_dbcm_chip->get_device();
    if (dbcm_device == nullptr)
        return;
    // Nothing lies below 0: the walk starts there at the lowest.
    for (int x = std::max(x1, 0); x <= x2 && x < SECTOR_WALK_LIMIT; ++x)
    {
        for (int y = std::max(y1, 0); y <= y2 && y < SECTOR_WALK_LIMIT; ++y)
        {
            if (!dbcm_device->instance_exists(x, y, 0))
                continue;
            const DBCM_SECTOR* sector = dbcm_device->get_sector_of_instance(dbcm_device->find_instance(x, y, 0));
            if (sector == nullptr)
                continue;
            const std::string& name = sector->name;
            const size_t first = name.find('_');
            const size_t second = first == std::string::npos ? std::string::npos : name.find('_', first + 1);
            if (first == std::string::npos || second == std::string::npos || first >= SECTOR_NAME_UNDERSCORE_LIMIT ||
                second >= SECTOR_NAME_UNDERSCORE_LIMIT)
            {
                log_line(safe_sprintf("  Error: SECTOR_SEU: incorrect format or data for sector instance:%s. expect "
                                      "core_n_n",
                                      name.c_str()));
                continue;
            }
            if (gen_strnicmp(name.substr(0, first).c_str(), "CORE", 4) != 0)
                continue;
            const int x0 = gen_atoi(name.substr(first + 1, second - first - 1).c_str());
            const int x1_number = gen_atoi(name.substr(second + 1).c_str());
            PB::OPTIONS_SECTOR* entry =
                find_sector(PB::OPTIONS_SECTOR::CORE, static_cast<uint32_t>(x0), static_cast<uint32_t>(x1_number));
            if (entry->has_blacklisted() && entry->blacklisted())
            {
                log_line(safe_sprintf("  SECTOR_SEU: Sector %s is blacklisted, SEU priority will not be set",
                                      name.c_str()));
            }
            else if (!entry->has_seu_priority())
            {
                entry->set_seu_priority(true);
                log_line(safe_sprintf("  SECTOR_SEU: sector: %s is set with SEU priority by region (x%d, y%d)",
                                      name.c_str(), x, y));
            }
        }
    }
}

std::vector<std::pair<int32_t, int32_t>> ASM_OPTION2::get_hpio_sectors(bool* hps_boot_from_hbm)
{
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

    std::string hps_text;
    std::string hbm_text;
    get_hps_partition_setting(hps_text, GENERATED_HPS_CONFIGURATION);
    get_hps_partition_setting(hbm_text, GENERATED_HPS_HBM);
    if (!hbm_text.empty())
    {
        log_line("HPS Booting from HBM");
        if (hps_boot_from_hbm != nullptr)
            *hps_boot_from_hbm = true;
        return sectors;
    }
    if (hps_text.empty())
        return sectors;

    // Only an HPS on the SDM's DDR interface has HPS I/O sectors.
    bool sdm_ddr = false;
    std::istringstream words(hps_text);
    std::string group;
    std::string key;
    std::string value;
    while (words >> group >> key >> value)
        if (group == "SDM" && key == "DDR" && gen_atoi(value.c_str()) == 1)
            sdm_ddr = true;
    if (!sdm_ddr)
        return sectors;

    HPS_EMIF_SETTINGS emif;
    get_hps_emif_settings(emif);
    const int ddr_mode = emif.ddr_mode;
    const bool wide_ddr = ddr_mode == PB::OPTIONS_HPS::DDR_64 || ddr_mode == PB::OPTIONS_HPS::DDR_72;

    if (base_family == 52)
    {
        int32_t w = 0;
        if (ddr_mode == PB::OPTIONS_HPS::DDR_16 || ddr_mode == PB::OPTIONS_HPS::DDR_24 ||
            ddr_mode == PB::OPTIONS_HPS::DDR_32 || ddr_mode == PB::OPTIONS_HPS::DDR_40)
            w = 2;
        else if (wide_ddr)
            w = 3;
        sectors.emplace_back(0, w);
        return sectors;
    }

    if (begins_with(name, "vw8") || begins_with(name, "vk") || begins_with(name, "vrm"))
    {
        const int32_t a = begins_with(name, "vw8") ? 3 : 0;
        const int32_t b = begins_with(name, "vw8") ? 2 : 1;
        if (emif.hps_io_num == PB::OPTIONS_HPS::HPS_IO_2)
        {
            sectors.emplace_back(HPIO_SECTOR_BASE + b, -1);
            sectors.emplace_back(HPIO_SECTOR_BASE + a, -1);
        }
        else if (emif.hps_io_num == PB::OPTIONS_HPS::HPS_IO_1)
        {
            sectors.emplace_back(HPIO_SECTOR_BASE + a, -1);
        }
        else
        {
            log_line("No HPS_IO_NUM found and hence total HPIO sectors is 0.");
        }
        return sectors;
    }

    const int32_t s = begins_with(name, "vr8") ? 5 : begins_with(name, "vr5") ? 2 : begins_with(name, "vr7") ? 1 : 3;
    sectors.emplace_back(HPIO_SECTOR_BASE + s, -1);
    if (wide_ddr)
    {
        const int32_t t = begins_with(name, "vr8") ? 4 : begins_with(name, "vr5") ? 1 : begins_with(name, "vr7") ? 0 : 2;
        sectors.emplace_back(HPIO_SECTOR_BASE + t, -1);
    }
    return sectors;
}
