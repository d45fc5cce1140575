// The per-device assembly run.
#pragma once

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class ASM_OPTION2;
class DEV_PART_MANAGER;

// Assembles the current device of the chip: checks the part and, on family
// 44, the Configuration Block IP, loads the die's device data, and lets the
// assembler core library write the SRAM object file. The option block
// builder is null for the families without one. Returns the SOF index, or
// -1 when the run stopped early.
int assemble_dev_device(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_OPTION2* option2, int family,
                        DEV_PART_MANAGER* part_manager);
