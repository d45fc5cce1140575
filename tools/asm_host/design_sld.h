// The design's debug (SLD) data in design.json: the compile instance's
// name, the debug instances and debug files of the debug-instance library,
// the part's JTAG ids and the partitions' sld_sysconfiles directories.
// design_sld_read.h reads it; apply_design_sld hands it to the stand-ins.
#pragma once

#include <dev.h>
#include <hdb.h>

#include <cstdint>
#include <string>
#include <vector>

struct DESIGN_SLD_INSTANCE
{
    std::string name;
    std::string type;
    uint32_t node_id = 0;
    uint32_t version = 0;
};

// A partition's sld_sysconfiles directory, relative to the project
// directory (the run's working directory).
struct DESIGN_SLD_SYSCONFILES
{
    std::string partition;
    std::string directory;
};

struct DESIGN_SLD
{
    // The compile instance namespace's name: the SLD file's base name.
    std::string compile_instance;
    std::vector<DESIGN_SLD_INSTANCE> instances;
    std::vector<std::string> debug_files;
    std::vector<std::string> jtag_ids;
    std::vector<DESIGN_SLD_SYSCONFILES> sysconfiles;
};

// Names the compile instance, fills the debug-instance library, gives the
// part its JTAG ids and puts each partition's sld_sysconfiles directory
// into the project database. The part must be in the part table.
void apply_design_sld(const DESIGN_SLD& sld, HDB_NAMESPACE* cap_inst, DEV_PART part);
// Takes back what apply_design_sld put into the process-wide tables.
void reset_design_sld();
