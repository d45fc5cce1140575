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

class CDB_ATOM_NETLIST;
class CDB_CHIP_DB_ENTRY;
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

struct DESIGN_OPTION_BLOCK
{
    std::optional<int> user_family;
    int initialization_clock = 0;
    int active_serial_clock = 0;
    uint32_t sdm_io_count = 0;
    std::set<int> part_traits;
    std::set<int> device_traits;
    // Absent: the design's revision alone.
    std::optional<std::vector<std::string>> revisions;
    std::vector<DESIGN_ENUM_NAME> enum_names;
    std::vector<DESIGN_RELATED_DEFAULT> related_defaults;
    std::vector<DESIGN_ATOM_PARAMETERS> atom_parameters;
};

// Reads the "option_block" object at `path` of the file; the design read so
// far gives the atoms that parameters may name. Throws DESIGN_ERROR.
DESIGN_OPTION_BLOCK read_option_block(const nlohmann::json& value, const std::string& path, const std::string& file,
                                      const DESIGN& design);

// Hands the design's option block data to the stand-ins: the chip's user
// family, fitter clocks and SDM I/O count, the traits of its part and that
// part's device, the project's revisions (directory set later by
// set_option_block_project_directory), enumeration names, related defaults
// and the atoms' parameters.
void apply_option_block(const DESIGN& design, CDB_CHIP_DB_ENTRY& chip, CDB_ATOM_NETLIST* netlist);
// The project's directory, where the revisions' settings files are read.
void set_option_block_project_directory(const std::string& directory);
