// Output paths of the assembler's files.
#pragma once

#include <fio.h>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;

// The chip's output path: the project path (from_facade) or the project
// output directory, with the hierarchy chip's name as base name.
void chip_output_path(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, FIO_PATH& path, bool from_facade);
