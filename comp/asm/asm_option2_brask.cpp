// The option block's transceiver (HSSI) tiles and the CvP decision: one
// sectors entry per tile slot with its type, presence, power state,
// compatibility and CvP flag, and the device's cvp_capable.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <cdb.h>
#include <cfg.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <gen.h>
#include <zsym.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <initializer_list>

#define ASM_SOURCE_TAG "comp/asm/asm_option2_brask"

namespace
{

const uint32_t NO_SECTOR = 0xFFFFFFFF;

// Settings of the CvP decision.
const int OPTION_CVP_MODE = 787;
const uint16_t CVP_MODE_DEFAULT = 3;
const uint16_t CVP_MODE_ENABLED = 187;
const int OPTION_CONFIGURATION_SCHEME = 788;
const uint16_t SCHEME_DEFAULT = 192;
const uint16_t SCHEME_AS_X1 = 192;
const uint16_t SCHEME_AS_X4 = 193;
const uint16_t SCHEME_SRST_X8 = 196;

const char* const TWO_CVP_TILES = "There are more than one CVP enabled tiles.";

// The symbol of a name in the current namespace.
ZSYM symbol(const char* name) { return ZSYM(name); }

const char* text_of(ZSYM symbol) { return symbol.cname() != nullptr ? symbol.cname() : ""; }

bool attribute_is(const DBCM_INSTANCE& instance, const char* attribute, const char* value)
{
    return instance.get_symbol(symbol(attribute)) == symbol(value);
}

bool has_attribute(const DBCM_INSTANCE& instance, const char* attribute)
{
    const DBCM_INTENT* intent = instance.get_intent();
    return intent != nullptr && intent->is_valid_attribute(symbol(attribute));
}

void log_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

[[noreturn]] void fail(const std::string& text, int line)
{
    log_line(text);
    internal_error(text.c_str(), ASM_SOURCE_TAG, line);
}

// Reads a decimal number as the C library's %d does: blanks, an optional
// sign, at least one digit. False when there is no number (or it does not
// fit an int); pos then is unchanged.
bool scan_int(const std::string& text, size_t& pos, int& value)
{
    size_t at = pos;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])))
        return false;
    long long number = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
    {
        number = number * 10 + (text[at] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    number = negative ? -number : number;
    if (number > INT_MAX || number < INT_MIN)
        return false;
    value = static_cast<int>(number);
    pos = at;
    return true;
}

// A sector name with its "_" read as blanks: a word and two numbers. The
// result counts the conversions, as "%s %d %d" would.
int split_sector_name(std::string name, std::string& word, int& x0, int& x1)
{
    for (char& c : name)
        if (c == '_')
            c = ' ';
    size_t pos = 0;
    while (pos < name.size() && std::isspace(static_cast<unsigned char>(name[pos])))
        ++pos;
    const size_t start = pos;
    while (pos < name.size() && !std::isspace(static_cast<unsigned char>(name[pos])))
        ++pos;
    if (pos == start)
        return 0;
    word = name.substr(start, pos - start);
    if (!scan_int(name, pos, x0))
        return 1;
    return scan_int(name, pos, x1) ? 3 : 2;
}

std::string slot_uid(const char* prefix, int x0, int x1)
{
    char first[34];
    char second[34];
    return std::string(prefix) + gen_itoa(x0, first, 10) + "_" + gen_itoa(x1, second, 10);
}

// The chip's part, which must be a real one; the current device must have
// its basic facts. Logs the part of both, the lines indented as given.
DEV_PART checked_part(CDB_CHIP_DB_ENTRY* chip, const char* indent)
{
    const DEV_PART dev_part_enum = chip->get_part_enum();
    ASM_REQUIRE((dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC));
    log_line(safe_sprintf("SDM_OPTION:%sdev_part_enum = %d from chip", indent, static_cast<int>(dev_part_enum)));
    const DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASM_REQUIRE(device != NULL);
    const DEV_BASIC_INFO* basic_info = device->get_basic_info();
    ASM_REQUIRE(basic_info != NULL);
    log_line(safe_sprintf("SDM_OPTION:%sdev_part_enum = %d from device basic_info", indent,
                          static_cast<int>(basic_info->get_part_enum())));
    return dev_part_enum;
}

// The child of the name, when the instance has one.
bool take_child(const DBCM_INSTANCE& instance, const char* name, DBCM_INSTANCE& child)
{
    if (!instance.has_child_instance(symbol(name)))
        return false;
    child = instance.get_child_instance(symbol(name));
    return true;
}

}  // namespace

void ASM_OPTION2::process_hssi_options()
{
    const uint32_t idx = find_pctrl_sector();
    const bool tiles = idx == NO_SECTOR;
    if (tiles)
    {
        populate_hssi_bcm_data();
        populate_hssi_option_data();
        amend_hssi_option_data();
    }

    PB::OPTIONS_DEVICE* device = m_options.mutable_device();
    if (device == nullptr)
        internal_error("DBCM options: device is null", ASM_SOURCE_TAG, __LINE__);
    if (device->mutable_sdm() == nullptr)
        internal_error("DBCM options: sdm is null", ASM_SOURCE_TAG, __LINE__);

    bool cvp = get_cvp_enable();
    if (!cvp && cfg_is_on("force_cvp_on", false))
    {
        log_line("SDM_OPTION: Warning - cvp is forced on by INI variable force_cvp_on");
        cvp = true;
    }
    device->set_cvp_capable(cvp);

    if (!tiles)
        return;
    // A record stored by an earlier run on this chip already lists the tile
    // slots: this run lists them anew.
    google::protobuf::RepeatedPtrField<PB::OPTIONS_SECTOR>* sectors = m_options.mutable_sectors();
    for (int i = sectors->size() - 1; i >= 0; --i)
        if (sectors->Get(i).type() == PB::OPTIONS_SECTOR_TYPE_HSSI)
            sectors->DeleteSubrange(i, 1);
    for (const auto& [uid, slot] : m_hssi_option_data)
        add_hssi_sector(slot.brask_type, slot.m_is_active, static_cast<uint32_t>(slot.x0),
                        static_cast<uint32_t>(slot.x1), slot.m_hip_enabled);
}

uint32_t ASM_OPTION2::find_pctrl_sector()
{
    const DBCM_DEVICE* dbcm_device = m_dbcm_chip->get_device();
    ASM_REQUIRE(dbcm_device != nullptr);
    for (uint32_t i = 0; i < dbcm_device->get_sector_count(); ++i)
    {
        if (std::strstr(text_of(dbcm_device->get_sector(i)->get_name()), "PCTRL_0_0") != nullptr)
        {
            log_line(safe_sprintf("PCTRL_0_0 sector id = %d", i));
            return i;
        }
    }
    return NO_SECTOR;
}

void ASM_OPTION2::populate_hssi_bcm_data()
{
    ZSYM_MODIFY_NAMESPACE_SCOPE scope(ZSYM_NAMESPACE_NAME);
    log_line("SDM_OPTION: populate_hssi_bcm_data starts");
    const DEV_PART dev_part_enum = checked_part(m_chip, " ");
    const DBCM_DEVICE* dbcm_device = m_dbcm_chip->get_device();
    ASM_REQUIRE(dbcm_device != NULL);
    const bool design_cvp = get_enum_option(OPTION_CVP_MODE, CVP_MODE_DEFAULT) == CVP_MODE_ENABLED;
    int cvp_count = 0;

    for (uint32_t i = 0; i < dbcm_device->get_sector_count(); ++i)
    {
        const DBCM_SECTOR* sector = dbcm_device->get_sector(i);
        const std::string sector_name = text_of(sector->get_name());
        const std::string type = text_of(sector->get_type());
        if (m_dump_option_data)
            log_line(safe_sprintf("SDM_OPTION: Sector_id=%d has type = %s and name = %s", i, type.c_str(),
                                  sector_name.c_str()));
        std::string word;
        int x0 = -1;
        int x1 = -1;
        if (split_sector_name(sector_name, word, x0, x1) != 3)
            fail("Error: SDM_OPTION: incorrect format or data for sector:" + sector_name +
                     ".  expect HSSI_n_n or HSSI_n_n_znnnnx.",
                 __LINE__);
        if (word != "HSSI")
            continue;

        log_line(safe_sprintf("SDM_OPTION:   got HSSI sector: name = %s with type = %s", sector_name.c_str(),
                              type.c_str()));
        if (type.empty() || (type[0] != 'z' && type[0] != 'c'))
        {
            log_line(safe_sprintf("Error: SDM_OPTION: HSSI sector:%s has incorrect type %s", sector_name.c_str(),
                                  type.c_str()));
            continue;
        }
        if (sector->begin() == sector->end())
        {
            log_line(safe_sprintf("Error: SDM_OPTION: HSSI sector:%s has no instance", sector_name.c_str()));
            continue;
        }
        if (m_part_manager->get_brask_type(dev_part_enum, slot_uid("HSSI_", x0, x1)) != type)
        {
            log_line(safe_sprintf("SDM_OPTION:     HSSI sector: %s is not available in this device",
                                  sector_name.c_str()));
            continue;
        }

        const std::string instance_name = text_of(*sector->begin());
        log_line(safe_sprintf("SDM_OPTION:     got instance = %s in the sector: %s", instance_name.c_str(),
                              sector_name.c_str()));
        HSSI_OPTION_DATA record;
        record.x0 = x0;
        record.x1 = x1;
        record.brask_type = type;
        const DBCM_INSTANCE hssi_inst = m_dbcm_chip->get_instance(*sector->begin());
        log_line(safe_sprintf("SDM_OPTION:       get HSSI BCM INSTANCE %s", instance_name.c_str()));

        if (!has_attribute(hssi_inst, "is_active"))
            fail("Error: SDM_OPTION: HSSI BCM INSTANCE " + instance_name + " does not have is_active attribute.",
                 __LINE__);
        record.m_is_active = attribute_is(hssi_inst, "is_active", "TRUE");
        log_line(record.m_is_active ? "SDM_OPTION:         is_active TRUE" : "SDM_OPTION:         is_active FALSE");

        if (x1 == 0 && has_attribute(hssi_inst, "is_cvp_capable"))
        {
            const bool capable = attribute_is(hssi_inst, "is_cvp_capable", "TRUE");
            log_line(capable ? "SDM_OPTION:         is_cvp_capable TRUE" : "SDM_OPTION:         is_cvp_capable FALSE");
            if (!has_attribute(hssi_inst, "is_cvp_enable"))
                internal_error("hssi_inst.get_intent()->is_valid_attribute(BCM_SYMBOL(\"is_cvp_enable\"))",
                               ASM_SOURCE_TAG, __LINE__);
            const bool enabled = attribute_is(hssi_inst, "is_cvp_enable", "TRUE");
            log_line(enabled ? "SDM_OPTION:         is_cvp_enable TRUE" : "SDM_OPTION:         is_cvp_enable FALSE");
            if (enabled)
            {
                if (cvp_count < 1)
                {
                    ++cvp_count;
                }
                else
                {
                    log_line("SDM_OPTION: Illegal error: More than one CVP enabled tiles.");
                    post_message(msg_EASM_ASM_CVP_INVALID_ERROR(TWO_CVP_TILES));
                }
            }
            if (enabled && !capable)
            {
                ++option_error_count;
                log_line("SDM_OPTION: Illegal error: Illegal combination of cvp attributes");
                post_message(msg_EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE());
            }
            record.m_hip_enabled = enabled;
        }
        else if (x1 == 0)
        {
            // A legacy tile: CvP follows its hard IP core's function mode.
            DBCM_INSTANCE core;
            DBCM_INSTANCE hip;
            if (take_child(hssi_inst, "xhip_block_1", hip))
            {
                log_line(safe_sprintf("SDM_OPTION:         got HIP BCM INSTANCE %s", hip.get_name().c_str()));
                if (!take_child(hip, "hdpe16_hip_core_inst", core))
                    core = hip.get_child_instance(symbol("phip2_core_inst"));
            }
            else
            {
                for (const char* hip_name : {"u_wrpcie_top"})
                {
                    if (!core.is_null() || !take_child(hssi_inst, hip_name, hip))
                        continue;
                    log_line(safe_sprintf("SDM_OPTION:         got HIP BCM INSTANCE %s", hip.get_name().c_str()));
                    for (const char* core_name : {"u_core16"})
                    {
                        if (take_child(hip, core_name, core))
                        {
                            log_line(safe_sprintf("SDM_OPTION:         got CHILD BCM INSTANCE %s",
                                                  core.get_name().c_str()));
                            break;
                        }
                    }
                }
            }
            bool hip_enabled = false;
            if (!core.is_null())
            {
                const std::string core_name = core.get_name();
                log_line(safe_sprintf("SDM_OPTION:           got HIP CORE BCM INSTANCE %s", core_name.c_str()));
                if (!has_attribute(core, "func_mode"))
                    fail("Error: SDM_OPTION: HIP CORE BCM INSTANCE: " + core_name +
                             " does not have func_mode attribute.",
                         __LINE__);
                if (!attribute_is(core, "func_mode", "ENABLE"))
                {
                    log_line("SDM_OPTION:             HIP CORE BCM INSTANCE has func_mode DISABLE");
                }
                else
                {
                    log_line("SDM_OPTION:             HIP CORE BCM INSTANCE has func_mode ENABLE");
                    if (x0 == 0)
                    {
                        if (cvp_count > 0)
                            post_message(msg_EASM_ASM_CVP_INVALID_ERROR(TWO_CVP_TILES));
                        ++cvp_count;
                        hip_enabled = true;
                    }
                    else
                    {
                        log_line("SDM_OPTION:             Legacy tiles: Cvp_enable will be set to false");
                    }
                }
            }
            record.m_hip_enabled = hip_enabled;
        }

        DBCM_INSTANCE topology_inst;
        if (type.find("z2301") != std::string::npos)
        {
            DBCM_INSTANCE phy;
            for (const char* phy_name : {"u_wrphy_top"})
            {
                if (!take_child(hssi_inst, phy_name, phy))
                    continue;
                log_line(safe_sprintf("SDM_OPTION:         got HIP BCM INSTANCE %s", phy.get_name().c_str()));
                for (const char* pma_name : {"pma_top_3"})
                    if (take_child(phy, pma_name, topology_inst))
                        log_line(safe_sprintf("SDM_OPTION:         got CHILD BCM INSTANCE %s",
                                              topology_inst.get_name().c_str()));
            }
        }

        log_line(safe_sprintf("is_cvp_capable - %d , is_design_cvp_enabled - %d", record.m_hip_enabled ? 1 : 0,
                              design_cvp ? 1 : 0));
        if (record.m_hip_enabled && design_cvp)
        {
            if (type.find("z2301") != std::string::npos && !topology_inst.is_null())
            {
                const std::string topology = text_of(topology_inst.get_symbol(symbol("topology")));
                log_line(safe_sprintf("HSSI Sector - %s , HSSI Topology - %s", sector_name.c_str(), topology.c_str()));
                if (topology == "PCIE_X4X4X4X4")
                    post_message(msg_EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY(topology, "J-Tile"));
            }
            if (type.find("z2403") != std::string::npos || type.find("z2504") != std::string::npos)
            {
                const std::string topology = text_of(hssi_inst.get_symbol(symbol("topology")));
                log_line(safe_sprintf("HSSI Sector - %s , HSSI Topology - %s", sector_name.c_str(), topology.c_str()));
                if (topology == "PCIE_X4X4X4X4")
                    post_message(msg_EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY(topology, "K-Tile"));
            }
            if (type.find("z2402") != std::string::npos)
            {
                DBCM_INSTANCE pcie;
                if (take_child(hssi_inst, "u_pcie_ss", pcie))
                {
                    const std::string topology = text_of(pcie.get_symbol(symbol("topology")));
                    if (topology == "PCIE_X4X4")
                        post_message(msg_EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY(topology, "W-Tile"));
                }
                else
                {
                    log_line(safe_sprintf("SDM_OPTION:         HSSI sector: %s has no u_pcie_ss instance",
                                          sector_name.c_str()));
                }
            }
        }

        if (!m_hssi_bcm_data.emplace(instance_name, record).second)
            fail("Error: SDM_OPTION: duplicate hssi_bcm_instance: " + instance_name, __LINE__);
    }

    log_line(safe_sprintf("SDM_OPTION: number of cvp_enabled tiles=%d", cvp_count));
    log_line("SDM_OPTION: populate_hssi_bcm_data ends");
}

void ASM_OPTION2::populate_hssi_option_data()
{
    log_line("SDM_OPTION: populate_hssi_option_data starts");
    const DEV_PART dev_part_enum = checked_part(m_chip, "   ");
    ASM_REQUIRE(m_dbcm_chip->get_device() != NULL);

    for (int x1 = 0; x1 <= 1; ++x1)
    {
        for (int x0 = 0; x0 <= 2; ++x0)
        {
            const std::string uid = slot_uid("hssi_", x0, x1);
            HSSI_OPTION_DATA slot;
            slot.x0 = x0;
            slot.x1 = x1;
            slot.brask_type = m_part_manager->get_brask_type(dev_part_enum, uid);
            log_line(safe_sprintf("SDM_OPTION:   part_manager returned for UID %s with brask_type:%s", uid.c_str(),
                                  slot.brask_type.c_str()));
            m_hssi_option_data[uid] = slot;
        }
    }
    log_line("SDM_OPTION: populate_hssi_option_data ends");
}

void ASM_OPTION2::amend_hssi_option_data()
{
    log_line("SDM_OPTION: amend_hssi_option_data starts");
    for (auto& [uid, slot] : m_hssi_option_data)
    {
        if (slot.m_is_active)
            internal_error("SDM_OPTION: option_data.m_is_active should not have been set", ASM_SOURCE_TAG, __LINE__);
        if (slot.m_hip_enabled)
            internal_error("SDM_OPTION: option_data.m_hip_enabled should not have been set", ASM_SOURCE_TAG,
                           __LINE__);
        for (const auto& [instance_name, tile] : m_hssi_bcm_data)
        {
            if (instance_name.find(uid) == std::string::npos)
                continue;
            if (gen_stricmp(tile.brask_type.c_str(), slot.brask_type.c_str()) == 0 &&
                (tile.x0 != slot.x0 || tile.x1 != slot.x1))
                internal_error("SDM_OPTION: corrupt DBCM database on HSSI", ASM_SOURCE_TAG, __LINE__);
            // The slot takes the flag from one block instance only.
            const auto set_once = [&uid = uid, &instance_name = instance_name](bool& flag, const char* name) {
                if (flag)
                    fail("Error: SDM_OPTION: duplicate set " + std::string(name) + " true on: " + uid +
                             " with second bcm_instance: " + instance_name,
                         __LINE__);
                flag = true;
                log_line(safe_sprintf("SDM_OPTION:   set %s true on %s with BCM instance %s", name, uid.c_str(),
                                      instance_name.c_str()));
            };
            if (tile.m_is_active)
                set_once(slot.m_is_active, "is_active");
            if (tile.m_hip_enabled)
                set_once(slot.m_hip_enabled, "hip_enabled");
        }
    }

    const std::string list = cfg_get_value("unpowered_hssi_list");
    if (!list.empty())
    {
        log_line(safe_sprintf("SDM_OPTION:   INI file unpowered_hssi_list:%s", list.c_str()));
        std::vector<std::string> tokens;
        size_t start = list.find_first_not_of(" ,\"");
        while (start != std::string::npos)
        {
            const size_t end = list.find_first_of(" ,\"", start);
            tokens.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
            log_line(safe_sprintf("SDM_OPTION:     INI token:%s", tokens.back().c_str()));
            start = end == std::string::npos ? end : list.find_first_not_of(" ,\"", end);
        }
        for (std::string token : tokens)
        {
            for (char& c : token)
                if (c == '_')
                    c = ' ';
            size_t pos = 0;
            int a = 0;
            int b = 0;
            if (!scan_int(token, pos, a) || !scan_int(token, pos, b) || a < 0 || a > 2 || b < 0 || b > 1)
                continue;
            log_line(safe_sprintf("SDM_OPTION:     INI wants to unpower HSSI %d,%d", a, b));
            const std::string key = slot_uid("hssi_", a, b);
            auto entry = m_hssi_option_data.find(key);
            if (entry == m_hssi_option_data.end())
                fail("SDM_OPTION: Error: HSSI option data map corrupt - missing entry for " + key, __LINE__);
            if (entry->second.m_is_active)
            {
                entry->second.m_is_active = false;
                log_line(safe_sprintf("SDM_OPTION:        warning - INI unpowered an active %s", key.c_str()));
            }
        }
    }
    log_line("SDM_OPTION: amend_hssi_option_data ends");
}

void ASM_OPTION2::add_hssi_sector(const std::string& brask_type, bool powered, uint32_t x0, uint32_t x1,
                                  bool cvp_enable)
{
    for (const PB::OPTIONS_SECTOR& sector : m_options.sectors())
    {
        if (sector.type() == PB::OPTIONS_SECTOR_TYPE_HSSI && sector.brask_type() == brask_type &&
            sector.x0() == x0 && sector.x1() == x1)
        {
            log_line(safe_sprintf("Error: SDM_OPTION: Duplicate brask instance with same type=%s and x0=%d and x1=%d",
                                  brask_type.c_str(), x0, x1));
            internal_error("Duplicate brask instance with same type and x0 and x1", ASM_SOURCE_TAG, __LINE__);
        }
    }
    PB::OPTIONS_SECTOR* sector = m_options.add_sectors();
    sector->set_x0(x0);
    sector->set_x1(x1);
    sector->set_type(PB::OPTIONS_SECTOR_TYPE_HSSI);
    sector->set_brask_type(brask_type);
    sector->set_brask_presence(!brask_type.empty());
    sector->set_brask_state(powered ? PB::OPTIONS_SECTOR_BRASK_STATE_POWERED : PB::OPTIONS_SECTOR_BRASK_STATE_UNPOWERED);
    sector->set_brask_compatibility(m_force_all_brask_na ? PB::OPTIONS_SECTOR_BRASK_COMPATIBILITY_ALLNA
                                                         : PB::OPTIONS_SECTOR_BRASK_COMPATIBILITY_REGULAR);
    log_line(safe_sprintf("SDM_OPTION:   set HSSI x0=, x1 =%d,%d with unpower:%d, brask_type:%s", x0, x1,
                          powered ? 0 : 1, brask_type.c_str()));
    sector->set_cvp_enable(cvp_enable);
}

bool ASM_OPTION2::get_cvp_enable()
{
    bool capable = false;
    int count = 0;
    const uint32_t idx = find_pctrl_sector();
    if (idx == NO_SECTOR)
    {
        for (const auto& [uid, slot] : m_hssi_option_data)
        {
            if (slot.m_hip_enabled)
            {
                capable = true;
                ++count;
            }
        }
    }
    else
    {
        const DBCM_DEVICE* dbcm_device = m_dbcm_chip->get_device();
        ASM_REQUIRE(dbcm_device != nullptr);
        const DBCM_SECTOR* sector = dbcm_device->get_sector(idx);
        for (ZSYM instance_name : *sector)
        {
            const DBCM_INSTANCE instance = m_dbcm_chip->get_instance(instance_name);
            DBCM_INSTANCE subsystem;
            if (!take_child(instance, "hssi_ss_u0", subsystem) || !has_attribute(subsystem, "cvp_enable"))
                continue;
            const ZSYM value = subsystem.get_symbol(symbol("cvp_enable"));
            log_line(safe_sprintf("%s cvp_enable = %s", text_of(instance_name), text_of(value)));
            if (value == symbol("CVP_ENABLE_ENABLED"))
            {
                capable = true;
                ++count;
            }
        }
    }
    if (count > 1)
        log_line("SDM_OPTION: Illegal error: There are more than 1 tile with cvp_enable attribute");
    log_line(capable ? "SDM_OPTION: design is cvp capable" : "SDM_OPTION: design is not cvp capable");

    const bool mode_on = get_enum_option(OPTION_CVP_MODE, CVP_MODE_DEFAULT) == CVP_MODE_ENABLED;
    const uint16_t scheme = get_enum_option(OPTION_CONFIGURATION_SCHEME, SCHEME_DEFAULT);
    bool enabled = false;
    if (cfg_is_on("enable_design_cvp", false))
    {
        if (scheme == SCHEME_AS_X1 || scheme == SCHEME_AS_X4 || scheme == SCHEME_SRST_X8)
        {
            post_message(msg_WASM_ASM_OPTION2_DESIGN_CVP_ENABLE());
            enabled = true;
        }
        else
        {
            post_message(msg_EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME());
            enabled = mode_on;
        }
    }
    else if (mode_on)
    {
        if (scheme == SCHEME_SRST_X8)
            post_message(msg_EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY());
        enabled = true;
    }

    if (enabled && capable)
    {
        log_line("SDM_OPTION: design is CVP capable and has CVP enabled in the ZSF");
        post_message(msg_IASM_ASM_OPTION2_DESIGN_IS_CVP_READY());
        return true;
    }
    if (enabled)
    {
        ++option_error_count;
        log_line("SDM_OPTION: design has enabled CVP in ZSF but it is not CVP capable");
        post_message(msg_EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE());
        return false;
    }
    if (capable)
    {
        log_line("SDM_OPTION: design is CVP capable but it is not CVP enabled");
        post_message(msg_IASM_ASM_OPTION2_CVP_ENABLE_INFO());
    }
    return false;
}
