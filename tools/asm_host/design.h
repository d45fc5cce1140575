// The design directory's description, design.json, and the stand-in suite
// that the host populates from it.
//
// Reading and populating are two steps: load_design() checks the whole file
// and gives plain data (or a DESIGN_ERROR that names the file, the key and
// the problem); HOST_SUITE then hands that data to the stand-ins through
// their constructors and setters. A new key is a field here, one read line
// in design.cpp's reader and one setter call in HOST_SUITE.
#pragma once

#include "design_sld.h"
#include "design_option_block.h"
#include "design_bit_settings.h"
#include "design_transceiver_pr.h"

#include <cdb.h>
#include <cdb_atom.h>
#include <cmp.h>
#include <dev.h>
#include <hdb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A problem of the design directory: the file, the key path inside it ("" for
// the file as a whole) and what is wrong. what() is "file: key: problem".
class DESIGN_ERROR : public std::runtime_error
{
public:
    DESIGN_ERROR(const std::string& file, const std::string& key, const std::string& problem);

    const std::string& file() const { return m_file; }
    const std::string& key() const { return m_key; }
    const std::string& problem() const { return m_problem; }

private:
    std::string m_file;
    std::string m_key;
    std::string m_problem;
};

// One project setting by numeric option id.
struct DESIGN_SETTING
{
    int id = 0;
    HDB_OPTION_KIND kind = HDB_OPTION_KIND_STRING;
    bool bool_value = false;
    int int_value = 0;  // integer and enumeration settings
    std::string string_value;
    // A multi-valued setting ("multi"): its entries, in order.
    bool multi = false;
    std::vector<std::string> multi_values;
};

struct DESIGN_PART
{
    int part = 0;
    std::string name;
    int device = 0;
    std::optional<uint32_t> cpu_cores;
    uint32_t pof_id = 0;
    // Transceiver tile types by slot UID ("hssi_0_0").
    std::vector<std::pair<std::string, std::string>> brask_types;
};

struct DESIGN_DEVICE
{
    int device = 0;
    int base_device = 0;
    std::string user_name;
    std::optional<std::string> debug_name;
    int family = 0;
};

struct DESIGN_FAMILY
{
    int family = 0;
    std::string debug_name;
};

// What the assignment library knows of a project setting.
struct DESIGN_VARIABLE
{
    int id = 0;
    std::optional<std::string> user_name;
    std::optional<std::set<int>> families;
    // The variable name and the default-settings file's value.
    std::optional<std::string> name;
    std::optional<std::string> default_value;
};

struct DESIGN_BLOCK_INFO
{
    int key = 0;
    std::string version;
    std::string icd_block_name;
};

// The device's assembler data (DEV_ASM_INFO and its ASMDB_DIE).
struct DESIGN_ASM_DATA
{
    std::vector<int> parts;
    std::vector<DESIGN_BLOCK_INFO> blocks;
    std::string first_id_string;
    std::string second_id_string;
};

// A block instance of the chip bundle chip's block tree: a top-level block
// has a type, a child a name.
struct DESIGN_BLOCK
{
    std::string type_or_name;
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<DESIGN_BLOCK> children;
};

// A sector of the chip bundle device, with its named block instances.
struct DESIGN_SECTOR
{
    std::string name;
    std::string type;
    std::vector<DESIGN_BLOCK> blocks;
};

struct DESIGN_NETLIST;

struct DESIGN_ATOM
{
    std::string name;
    std::string type;
    bool port = false;
    bool skip = false;
    // Set for a blackbox atom: the netlist inside it.
    std::shared_ptr<const DESIGN_NETLIST> children;
};

struct DESIGN_NETLIST
{
    bool modifiable = true;
    std::vector<DESIGN_ATOM> atoms;
};

// A partition's instance and its instance-level settings.
struct DESIGN_INSTANCE
{
    std::string path;
    std::vector<DESIGN_SETTING> settings;
};

// A partition's netlist and the settings generated for it.
struct DESIGN_PARTITION_NETLIST
{
    bool modifiable = true;
    std::vector<DESIGN_SETTING> generated_options;
};

struct DESIGN_PARTITION
{
    std::string name;
    std::vector<DESIGN_SETTING> settings;
    std::optional<std::string> design_hash;
    // Generated options by ACF variable type (the id), such as the HPS IP's
    // configuration strings (design_hps.cpp).
    std::vector<DESIGN_SETTING> generated_options;
    // The partition tree and its partial-reconfiguration data
    // (design_partitions.cpp).
    std::optional<std::string> block_name;
    // The parent partition's name; absent: the top partition (the first
    // partition has none).
    std::optional<std::string> parent;
    bool pr = false;
    bool cots = false;
    bool checker = false;
    std::optional<DESIGN_INSTANCE> instance;
    std::optional<DESIGN_PARTITION_NETLIST> netlist;
    std::optional<uint32_t> pr_pof_index;
    std::optional<uint32_t> pr_pof_value;
    // Bytes, given as hexadecimal text.
    std::optional<std::string> pr_pof_value_data;
};

struct DESIGN_REGIONS
{
    int kind = 0;
    std::vector<std::string> names;
    // The regions preserved from the base revision (not implemented).
    std::vector<std::string> preserved;
};

struct DESIGN_ATOM_ATTRIBUTE
{
    std::string atom_type;
    std::string attribute;
    bool covered = false;
};

struct DESIGN_BLOCK_TYPE
{
    int type = 0;
    std::string name;
};

// What the host's accessor proxy answers.
struct DESIGN_ACCESSOR
{
    uint32_t cram_address_width = 0;
    // Flat bit addresses whose value is 1; every other bit is 0.
    std::vector<uint32_t> set_bits;
};

// The routed network (design_routing.h).
struct DESIGN_ROUTING;
class HOST_ROUTING;

struct DESIGN
{
    std::string revision;
    std::string compilation;
    std::string chip_name;
    int family = 0;
    int internal_family = 0;
    int part = 0;
    std::string device_name;
    int programming_mode = 0;
    uint32_t crc_clock_divisor = 0;
    int jtag_user_code_option_id = 1433;
    // The flow's design hash (first, second); absent: none recorded.
    std::optional<std::pair<uint64_t, uint64_t>> flow_design_hash;

    std::vector<DESIGN_SETTING> namespace_settings;
    // Absent: the compile instance has no global settings section.
    std::optional<std::vector<DESIGN_SETTING>> global_settings;

    std::vector<DESIGN_PART> parts;
    std::vector<DESIGN_DEVICE> devices;
    std::vector<DESIGN_FAMILY> families;
    std::vector<DESIGN_VARIABLE> variables;
    std::vector<int> device_data_kinds;
    uint32_t cram_bits = 0;
    bool hps_io = false;
    std::optional<DESIGN_ASM_DATA> asm_data;

    std::optional<DESIGN_NETLIST> netlist;
    std::vector<DESIGN_PARTITION> partitions;
    // The current design's global settings holder; absent: no settings.
    std::optional<std::vector<DESIGN_SETTING>> design_settings;
    std::vector<DESIGN_REGIONS> regions;
    std::vector<DESIGN_ATOM_ATTRIBUTE> atom_attributes;
    std::vector<uint32_t> config_bits;
    std::vector<uint32_t> borrowed_bits;
    std::vector<DESIGN_BLOCK> blocks;
    std::vector<DESIGN_SECTOR> sectors;
    std::vector<DESIGN_BLOCK_TYPE> block_types;
    std::vector<uint32_t> suppressed_messages;
    DESIGN_ACCESSOR accessor;
    // The debug (SLD) data (design_sld.h).
    DESIGN_SLD sld;
    // The device option block's data (design_option_block.h).
    std::optional<DESIGN_OPTION_BLOCK> option_block;

    // The current revision's assignments (boolean or string settings).
    std::vector<DESIGN_SETTING> assignments;
    // The suite's internal Tcl directory; relative: to the project directory.
    std::string tcl_directory = "tcl";
    // The device's sectors, placed blocks, blacklisted clock regions and
    // global ids (design_option_block.h).
    DESIGN_SECTOR_DATA sector_data;
    // What asm_host process-sof reads of the die.
    DESIGN_BIT_SETTINGS bit_settings;
    // Absent: the design carries no routed network.
    std::shared_ptr<const DESIGN_ROUTING> routing;
};

// The assignments and the internal Tcl directory (design_tools.cpp).
// Refuses an assignment that is neither boolean nor string: the assignment
// library keeps flags and texts.
void check_design_assignments(const std::vector<DESIGN_SETTING>& assignments, const std::string& file);
// Gives the assignments to the assignment library's current revision.
void apply_design_assignments(const std::vector<DESIGN_SETTING>& assignments);
// The internal Tcl directory of a run in the project directory.
std::string design_tcl_directory(const std::string& project_directory, const std::string& tcl_directory);

// Parses the text of a design.json; file_label names the file in errors.
DESIGN parse_design(const std::string& text, const std::string& file_label);
// Reads and parses the file.
DESIGN load_design(const std::string& path);

// Adds the generated options to the namespace (design_hps.cpp).
void add_generated_options(HDB_NAMESPACE* name_space, const std::vector<DESIGN_SETTING>& options);

// The type of the global settings section of a compile instance (its name
// is empty).
constexpr int HDB_GLOBAL_SECTION_TYPE = 21;

// The stand-in suite populated with one design: the compiler facade, the
// compile instance with its settings, hierarchy chip, flow design hash and
// database entries, the chip, its atom netlist, the current device with its
// die and assembler data, and the process-wide tables (parts and devices,
// family names, setting definitions, partitions and their design hashes,
// chip bundle chip 0 with its device, bits and block tree, block type names,
// suppressed message ids, the current revision's assignments and, once the
// project directory is known, the internal Tcl directory). One lives at a
// time; its destructor takes back everything it put into the process-wide
// tables.
class HOST_SUITE
{
public:
    explicit HOST_SUITE(const DESIGN& design);
    ~HOST_SUITE();
    HOST_SUITE(const HOST_SUITE&) = delete;
    HOST_SUITE& operator=(const HOST_SUITE&) = delete;

    // The compilation runs in this directory: the project path and the
    // project output directory.
    void set_project_directory(const std::string& directory);

    CMP_FACADE* facade() { return &m_cmp; }

private:
    HDB_NAMESPACE m_cap_inst;
    HDB_CHIP m_hdb_chip;
    std::unique_ptr<CDB_ATOM_NETLIST> m_netlist;
    CDB_CHIP_DB_ENTRY m_chip;
    CDB_DB_ENTRIES m_db_entries;
    CMP_FACADE m_cmp;
    DEV_DEVICE m_device;
    std::string m_tcl_directory;
    std::unique_ptr<HOST_ROUTING> m_routing;
    // The fitter clocks the design states; the rest follow from the
    // settings once the project directory is known.
    DESIGN_FITTER_CLOCKS m_fitter_clocks;
};
