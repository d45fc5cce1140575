// Netlist utility library of the suite (stand-in): the atom netlist dumper.
#pragma once

#include "cdb.h"
#include "fio.h"

class CUT_ATOM_DUMPER
{
public:
    explicit CUT_ATOM_DUMPER(CDB_CHIP_DB_ENTRY* chip) : m_chip(chip) {}

    // Writes the chip's atom netlist as text, one atom a line ("name" or,
    // with the types, "name : type"); the atoms of a blackbox's child netlist
    // follow the blackbox, two blanks further in, when the walk is
    // hierarchical. False, with no file, when the chip has no netlist, and
    // false when the file cannot be written.
    bool dump_current_atom_netlist(const FIO_PATH& path, bool hierarchical, bool with_types);

private:
    CDB_CHIP_DB_ENTRY* m_chip;
};
