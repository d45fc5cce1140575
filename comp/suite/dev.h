// Device database library of the suite (stand-in): the part table behind
// the family and part managers, and a device with its basic and die
// information.
#pragma once

#include "dev_pad.h"
#include "dygr.h"
#include "gid_table.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// A device family number (15, 29, 44, ...).
typedef int DEV_FAMILY;

// A part of the device database. Real parts are positive.
enum DEV_PART : int
{
    DEV_PART_INVALID = -1,
    DEV_PART_GENERIC = 0,
};

// A device (die) of the device database. Real devices are positive.
enum DEV_DEVICE_ENUM : int
{
    DEV_DEVICE_INVALID = -1,
};

// Resource kinds counted per part.
enum DEV_RESOURCE : int
{
    DEV_RESOURCE_CPU_CORE = 32,
};

// Population of the process-wide part table, for the host and the tests.
void dev_add_part(DEV_PART part, const std::string& name, DEV_DEVICE_ENUM device);
// A device with its base device (itself for a base device) and user name.
void dev_add_device(DEV_DEVICE_ENUM device, DEV_DEVICE_ENUM base_device, const std::string& user_name);
void dev_set_resource_count(DEV_PART part, DEV_RESOURCE kind, uint32_t count);
// Forgets every part, device and the current device.
void dev_reset();

// The suite's family manager; the assembler only hands it to its registry.
class DEV_FAMILY_MANAGER
{
public:
    DEV_FAMILY_MANAGER() = default;
    DEV_FAMILY_MANAGER(const DEV_FAMILY_MANAGER&) = delete;
    DEV_FAMILY_MANAGER& operator=(const DEV_FAMILY_MANAGER&) = delete;
};

// The suite's part manager: reads the part table.
class DEV_PART_MANAGER
{
public:
    DEV_PART_MANAGER() = default;
    DEV_PART_MANAGER(const DEV_PART_MANAGER&) = delete;
    DEV_PART_MANAGER& operator=(const DEV_PART_MANAGER&) = delete;

    // The part's name; "" for an unknown part.
    std::string get_part_name(DEV_PART part) const;
    // The part's device; DEV_DEVICE_INVALID for an unknown part.
    DEV_DEVICE_ENUM get_device_of(DEV_PART part) const;
    // The device's base device; DEV_DEVICE_INVALID for an unknown device.
    DEV_DEVICE_ENUM get_base_device_of(DEV_DEVICE_ENUM device) const;
    // How many resources of the kind the part has; all ones (0xFFFFFFFF)
    // when the part or the count is unknown.
    uint32_t get_device_resource_count_of(DEV_PART part, DEV_RESOURCE kind) const;
    // The part's POF id; 0 for an unknown part or one without an id.
    uint32_t get_pof_id_of(DEV_PART part) const;
    // The device's family; -1 for an unknown device.
    DEV_FAMILY get_family_of(DEV_DEVICE_ENUM device) const;
    // The JTAG ids of the part's device, as text, in the table's order;
    // empty for an unknown part or one without ids.
    std::vector<std::string> get_device_jtag_id(DEV_PART part) const;

    // Whether the part or device has the trait (a number of the device
    // database); false for an unknown part or device.
    bool test_part_trait_of(DEV_PART part, int trait) const;
    bool test_device_trait_of(DEV_DEVICE_ENUM device, int trait) const;

    // The transceiver tile type that the part carries at the tile slot (a
    // UID such as "hssi_1_0", in either case); "" when the slot carries
    // none or the part is unknown.
    std::string get_brask_type(DEV_PART part, const std::string& uid) const;
};

// Integer facts of a device's basic information.
enum DEV_BASIC_INFO_INT_ENUM : int
{
    // The number of columns of the device's CRAM array.
    DEV_BASIC_INFO_INT_CRAM_COLS = 1,
};

class DEV_BASIC_INFO
{
public:
    explicit DEV_BASIC_INFO(DEV_PART part, DEV_DEVICE_ENUM device = DEV_DEVICE_INVALID)
        : m_part(part), m_device(device)
    {
    }
    DEV_PART get_part_enum() const { return m_part; }
    DEV_DEVICE_ENUM get_device_enum() const { return m_device; }

    // Whether the device has the integer fact, and its value (0 when it has
    // not); population with set_int_data.
    bool is_valid_int_enum(DEV_BASIC_INFO_INT_ENUM which) const { return m_int_data.count(which) != 0; }
    int get_int_data(DEV_BASIC_INFO_INT_ENUM which) const
    {
        auto found = m_int_data.find(which);
        return found == m_int_data.end() ? 0 : found->second;
    }
    void set_int_data(DEV_BASIC_INFO_INT_ENUM which, int value) { m_int_data[which] = value; }
    // The device's family; -1 until set.
    DEV_FAMILY get_family_enum() const { return m_family; }
    void set_family_enum(DEV_FAMILY family) { m_family = family; }
    // The device's string data by number (4: the MCF file, 6: the RBA file,
    // 8: the MCFS-to-MCFD file).
    bool is_valid_string_enum(int which) const { return m_strings.count(which) != 0; }
    // "" when the string is not valid.
    std::string get_string(int which) const
    {
        auto found = m_strings.find(which);
        return found == m_strings.end() ? std::string() : found->second;
    }
    void set_string(int which, const std::string& value) { m_strings[which] = value; }

private:
    DEV_PART m_part;
    DEV_DEVICE_ENUM m_device;
    std::map<int, int> m_int_data;
    DEV_FAMILY m_family = -1;
    std::map<int, std::string> m_strings;
};

// The die information: loads the device data of a kind on request.
class DEV_DIE_INFO
{
public:
    // Makes the data of a kind loadable.
    void add_device_data(int kind) { m_available.insert(kind); }

    // Loads the data of the kind: true when there is such data; otherwise
    // false with the reason in the text.
    bool load_device_data(int kind, std::string& text);

    // Every kind asked for, in order, and the kinds loaded.
    const std::vector<int>& requested_kinds() const { return m_requested; }
    const std::vector<int>& loaded_kinds() const { return m_loaded; }

    // The routing-graph view of the die.
    DYGR_DIE_INFO* get_dygr_die_info() { return &m_dygr_die_info; }

    // Unloads the data of a kind loaded earlier (one load undone).
    void unload_device_data(int kind);
    // Whether the data of the kind is loaded.
    bool is_device_data_loaded(int kind) const;

    // Names of the die's routing elements by global id: the software name,
    // and the IC names of kind 1 (IC design) and 2 (IC design schematic),
    // known only while the IC-name data (kind 3) is loaded. "" when unknown.
    const std::string& get_element_name(uint32_t global_id) const;
    std::string get_icname(uint32_t global_id, int kind) const;
    void set_element_name(uint32_t global_id, const std::string& name) { m_element_names[global_id] = name; }
    void set_icname(uint32_t global_id, int kind, const std::string& name)
    {
        m_icnames[(static_cast<uint64_t>(kind) << 32) | global_id] = name;
    }

private:
    GID_TABLE<std::string> m_element_names;
    std::unordered_map<uint64_t, std::string> m_icnames;
    DYGR_DIE_INFO m_dygr_die_info;
    std::set<int> m_available;
    std::vector<int> m_requested;
    std::vector<int> m_loaded;
};

class DEV_ASM_INFO;

// A device of the device database, as the device manager opened it.
class DEV_DEVICE
{
public:
    DEV_DEVICE() = default;
    DEV_DEVICE(const DEV_DEVICE&) = delete;
    DEV_DEVICE& operator=(const DEV_DEVICE&) = delete;

    // Null until set.
    DEV_BASIC_INFO* get_basic_info() const { return m_basic_info.get(); }
    DEV_DIE_INFO* get_die_info() const { return m_die_info.get(); }

    void set_basic_info(std::unique_ptr<DEV_BASIC_INFO> info) { m_basic_info = std::move(info); }
    void set_die_info(std::unique_ptr<DEV_DIE_INFO> info) { m_die_info = std::move(info); }
    DEV_ASM_INFO* get_asm_info() const { return m_asm_info.get(); }
    void set_asm_info(std::unique_ptr<DEV_ASM_INFO> info) { m_asm_info = std::move(info); }

    // The pads and the package pins (dev_pad.h); null until set.
    DEV_PAD_INFO* get_pad_info() const { return m_pad_info.get(); }
    DEV_PKG_INFO* get_pkg_info() const { return m_pkg_info.get(); }
    void set_pad_info(std::unique_ptr<DEV_PAD_INFO> info) { m_pad_info = std::move(info); }
    void set_pkg_info(std::unique_ptr<DEV_PKG_INFO> info) { m_pkg_info = std::move(info); }

private:
    std::unique_ptr<DEV_PAD_INFO> m_pad_info;
    std::unique_ptr<DEV_PKG_INFO> m_pkg_info;
    std::unique_ptr<DEV_BASIC_INFO> m_basic_info;
    std::unique_ptr<DEV_DIE_INFO> m_die_info;
    std::unique_ptr<DEV_ASM_INFO> m_asm_info;
};

class ASMDB_DIE;
class ASMDB_DIRT;

// The device's assembler information: the parts for which the device
// database holds assembler data, and the die's assembler database, reachable
// once the data of a part is loaded.
class DEV_ASM_INFO
{
public:
    DEV_ASM_INFO();
    ~DEV_ASM_INFO();
    DEV_ASM_INFO(const DEV_ASM_INFO&) = delete;
    DEV_ASM_INFO& operator=(const DEV_ASM_INFO&) = delete;

    // Loads the assembler data of the basic information's part: true when
    // the database holds data for that part; false for a null basic
    // information or a part without data, which leaves nothing loaded.
    bool load_data_from_pdb(const DEV_BASIC_INFO* basic_info);
    // The die's assembler database once data is loaded; null before, and
    // when the data holds no die.
    ASMDB_DIE* get_asmdb_die() const;
    // The die's dirt object once data is loaded; null before.
    ASMDB_DIRT* get_asmdb_dirt() const;

    // Population: a part with assembler data, and the die (owned).
    void add_pdb_part(DEV_PART part) { m_pdb_parts.insert(part); }
    void set_asmdb_die(std::unique_ptr<ASMDB_DIE> die);

private:
    std::set<int> m_pdb_parts;
    std::unique_ptr<ASMDB_DIE> m_asmdb_die;
    std::unique_ptr<ASMDB_DIRT> m_asmdb_dirt;
    bool m_loaded = false;
};

// Population of the part table for the device run: the POF id of a part and
// the family of a device (both kept with the part or device, so they must be
// added first).
void dev_set_pof_id(DEV_PART part, uint32_t pof_id);
void dev_set_device_family(DEV_DEVICE_ENUM device, DEV_FAMILY family);

// The JTAG ids of a part (kept with the part, so it must be added first).
void dev_set_device_jtag_ids(DEV_PART part, const std::vector<std::string>& ids);
// Population of the part and device traits; a list given again replaces the
// earlier one. dev_reset forgets them too.
void dev_set_part_traits(DEV_PART part, const std::set<int>& traits);
void dev_set_device_traits(DEV_DEVICE_ENUM device, const std::set<int>& traits);
void dev_reset_traits();
// The transceiver tile type at a slot of a part (kept with the part, so it
// must be added first); the UID is matched in either case.
void dev_set_brask_type(DEV_PART part, const std::string& uid, const std::string& type);
