// The design.json keys of the transceiver tiles and of partial
// reconfiguration: the parts' tile types by slot, the chip bundle device's
// sectors with their block instances, and the partition tree with each
// partition's PR flag and PR POF id. design.cpp reads them into DESIGN;
// these hand them to the stand-ins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DBCM_CHIP;
class ZHD_PARTITION;
struct DESIGN;

// Hexadecimal text, two digits a byte, as bytes; false for an odd length or
// a character that is not a hexadecimal digit.
bool parse_hex_bytes(const std::string& text, std::string& bytes);


// The parts' tile types by slot (dev_set_brask_type); the parts must be in
// the part table.
void apply_brask_types(const DESIGN& design);
// The chip's device sectors, each block instance of a sector a named block
// instance of the chip with its settings and children.
void apply_design_sectors(const DESIGN& design, DBCM_CHIP* chip);
