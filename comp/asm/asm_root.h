// The module's entry points.
#pragma once

#include "asm_common.h"

#include <fio.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class CMP_FACADE;
class HDB_NAMESPACE;
class CDB_CHIP_DB_ENTRY;
class ASM_OPTIONS;
class ZASM_ACCESSOR_PROXY;

extern "C" {

// Assembles the current design revision of the compilation: registers the
// compilation with the assembler model registry, reads the assignments
// file, builds the HPS handoff and the device option block where the family
// has them, and runs the device assembly. The run value is handed on to the
// builders; the out flag is set to false; the path is not read. Returns the
// SOF index; -1 when the device assembly stopped early; 0 when skip_asm is
// on or the option block builder gave up.
ASM_EXPORT int asm_assemble(CMP_FACADE* cmp, uint32_t run_value, bool& out_flag, const FIO_PATH& path);

// Appends to the block list one entry "<version> <ICD block name>" per block
// of the current device's assembler-database die that has an ICD block name,
// in ascending block-key order ("NONE" for an empty version), and assigns the
// die's first and second identification strings. The second argument is not
// read.
ASM_EXPORT void asm_retrieve_rba_tag_data(std::vector<std::string>& block_list, std::string& unused,
                                          std::string& first_id_string, std::string& second_id_string);

// Applies the bit settings of the XML assignments file to the SRAM object
// file: reads the file, makes the device of its part current, loads the
// assignments (blocks whose cmp and keyword are "any" or empty), forces,
// compares or reads the bits they name and, when write is true, writes the
// programming files again (the .sof in place). An unreadable file or an
// assignments file that does not load ends the call quietly; every fault of
// the assignments' content is an internal error, raised before anything is
// written.
ASM_EXPORT void asm_process_sof(const FIO_PATH& sof_path, const FIO_PATH& xml_path, bool write);

// Does nothing.
ASM_EXPORT void asm_elaborate(const FIO_PATH& first, const FIO_PATH& second);

// The process-wide accessor proxy of the host. With set false, returns the
// held proxy; with set true, deletes the held proxy when it is another one,
// holds the given one (null allowed) and returns it. The module owns the
// proxy it holds.
ASM_EXPORT ZASM_ACCESSOR_PROXY* set_and_get_asm_zasm_accessor(ZASM_ACCESSOR_PROXY* proxy, bool set);

// Dumps the routed network of the current chip through the process-wide
// routing dumper, as the suite's Tcl layer asks: the words are the dump
// kind (asm_dump_words.h: "pre_asm", "pre_asm_with_bits", "pre_asm_with_2d_bits"; any other
// text the first), the coordinate format ("mcfs", "mcfd", "sch"; any other
// text the first) and an optional device handle (-1 when absent). Fewer
// than two words is an internal error.
ASM_EXPORT void asm_dump_re_network(std::list<const char*>* str_list);

}  // extern "C"

// Loads the assignments file that project option 1492 names (found in the
// project directory when it has no directory of its own) into the options
// object. 1 when the file was found and read, 0 otherwise.
int load_assembler_assignments_file(ASM_OPTIONS* options, CMP_FACADE* cmp, HDB_NAMESPACE* cap_inst,
                                    CDB_CHIP_DB_ENTRY* chip);
