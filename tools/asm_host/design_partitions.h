// The current design's partition tree and partial-reconfiguration data as
// design.json gives them (partitions[].block_name, parent, pr, cots,
// checker, instance, netlist, pr_pof_*; design_settings).
#pragma once

#include "design.h"

#include <functional>
#include <vector>

class HDB_OPTION_INTERFACE;
class ZHD_DESIGN;
class ZHD_PARTITION;

// How settings reach a holder of the stand-in suite.
typedef std::function<void(HDB_OPTION_INTERFACE*, const std::vector<DESIGN_SETTING>&)> SETTINGS_APPLIER;

// Gives the added partitions (one per design.partitions entry, in order)
// their block names, parents, flags, instances, netlists and PR POF
// records, and the design its global settings.
void populate_partition_tree(ZHD_DESIGN* current_design, const std::vector<ZHD_PARTITION*>& added,
                             const DESIGN& design, const SETTINGS_APPLIER& apply_settings);
