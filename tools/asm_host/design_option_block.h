// The design.json keys of the device option block ("option_block"): the
// chip's user family and fitter choices, part and device traits, the
// project's revisions, enumeration names, related defaults and atom
// parameters. Read apart from design.cpp's reader and handed to the
// stand-ins by HOST_SUITE.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CDB_CHIP_DB_ENTRY;
class HOST_ATOM_INDEX;
struct DESIGN;

struct DESIGN_ENUM_NAME
{
    uint16_t value = 0;
    std::string name;
    std::string user_name;
};

struct DESIGN_RELATED_DEFAULT
{
    int id = 0;
    int other_id = 0;
    uint16_t other_value = 0;
    std::string name;
};

struct DESIGN_ATOM_PARAMETERS
{
    std::string atom;
    std::vector<std::pair<std::string, std::string>> parameters;
};

// The fitter's clock codes that the design states; absent: the fitter ran
// on the design's own settings (apply_fitter_clocks).
struct DESIGN_FITTER_CLOCKS
{
    std::optional<int> initialization_clock;
    std::optional<int> active_serial_clock;
};

struct DESIGN_OPTION_BLOCK
{
    std::optional<int> user_family;
    DESIGN_FITTER_CLOCKS fitter_clocks;
    uint32_t sdm_io_count = 0;
    std::set<int> part_traits;
    std::set<int> device_traits;
    // Absent: the design's revision alone.
    std::optional<std::vector<std::string>> revisions;
    std::vector<DESIGN_ENUM_NAME> enum_names;
    std::vector<DESIGN_RELATED_DEFAULT> related_defaults;
    std::vector<DESIGN_ATOM_PARAMETERS> atom_parameters;
};

// A top-level block of the chip bundle placed as a block instance of the
// device: its name, location and routing-graph global id.
struct DESIGN_PLACED_BLOCK
{
    std::string name;
    int x = 0;
    int y = 0;
    int z = 0;
    // Absent: the block has no global id.
    std::optional<uint32_t> global_id;
    std::string path;
};

struct DESIGN_CLOCK_REGION
{
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

struct DESIGN_PLACE_IDS
{
    int x = 0;
    int y = 0;
    std::vector<uint32_t> ids;
};

// The device's sectors and what maps the die's clock regions to them.
struct DESIGN_SECTOR_DATA
{
    std::vector<DESIGN_PLACED_BLOCK> placed_blocks;
    std::vector<DESIGN_CLOCK_REGION> blacklisted_clock_regions;
    std::vector<DESIGN_PLACE_IDS> place_ids;
};

// Reads the "option_block" object at `path` of the file; the design read so
// far gives the atoms that parameters may name. Throws DESIGN_ERROR.
DESIGN_OPTION_BLOCK read_option_block(const nlohmann::json& value, const std::string& path, const std::string& file,
                                      const DESIGN& design);

// Hands the design's option block data to the stand-ins: the chip's user
// family and SDM I/O count, the traits of its part and that part's device,
// the project's revisions (directory set later by
// set_option_block_project_directory), enumeration names, related defaults
// and the atoms' parameters. Returns the fitter clocks the design states,
// which set_option_block_project_directory completes.
DESIGN_FITTER_CLOCKS apply_option_block(const DESIGN& design, CDB_CHIP_DB_ENTRY& chip,
                                        const HOST_ATOM_INDEX& atom_index);
// The project's directory, where the revisions' settings files are read;
// then the fitter's clocks (apply_fitter_clocks), which follow from them.
void set_option_block_project_directory(const std::string& directory, const DESIGN_FITTER_CLOCKS& stated,
                                        CDB_CHIP_DB_ENTRY& chip);

// The chip's fitter clock codes: each one the design states, else the code
// of the value the fitter chose from the same settings as the module reads
// them (the top partition's, populated): the initialisation clock of
// setting 831 (default 25 MHz), and on the Active Serial schemes (setting
// 788, default x4) the active serial clock of setting 1171 when a settings
// file writes ACTIVE_SERIAL_CLOCK, else the related default of 831 (default
// the internal oscillator), else 100 MHz. A value that no fitter code
// stands for gives 0. Needs the project directory and the related defaults.
void apply_fitter_clocks(const DESIGN_FITTER_CLOCKS& stated, CDB_CHIP_DB_ENTRY& chip);

// The sector keys (each reader takes the key's value, its key path and the
// file's name, and throws DESIGN_ERROR): die.blacklisted_clock_regions,
// die.place_ids, chip_bundle.sectors, and the name, location and global id
// of a chip_bundle block (any of the three may be null; none given: no
// placed block).
std::vector<DESIGN_CLOCK_REGION> read_clock_regions(const nlohmann::json& value, const std::string& path,
                                                    const std::string& file);
std::vector<DESIGN_PLACE_IDS> read_place_ids(const nlohmann::json& value, const std::string& path,
                                             const std::string& file);
std::optional<DESIGN_PLACED_BLOCK> read_placed_block(const nlohmann::json* name, const nlohmann::json* location,
                                                     const nlohmann::json* global_id, const std::string& path,
                                                     const std::string& file);
// Each sector's blocks must be placed blocks, each block in one sector at
// most, each placed block's name once.
void check_sector_data(const DESIGN_SECTOR_DATA& data, const std::string& file);

class DBCM_CHIP;
class DYGR_DIE_INFO;
// Hands the sector data to chip 0's device and the die's routing graph.
void apply_sector_data(const DESIGN_SECTOR_DATA& data, DBCM_CHIP* chip, DYGR_DIE_INFO* die_info);
