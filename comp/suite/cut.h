// Netlist utility library of the suite (stand-in): the atom netlist dumper
// and the atom parameter reads.
#pragma once

#include "cdb.h"
#include "fio.h"

#include <string>
#include <vector>

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

class CDB_ATOM_NODE;
class MEM_SEGMENT;

// One parameter of an atom: its name and its value as text.
struct CUT_PARAMETER
{
    std::string name;
    std::string value;
};

// Reads the parameters of atoms.
class CUT_PARAMETER_UTIL
{
public:
    // The atom's parameters in its order (replacing the list's content); an
    // empty list for a null atom.
    void get_parameter_list(const CDB_ATOM_NODE* atom, std::vector<CUT_PARAMETER>& list) const;
};

// The netlist utilities of one device family.
class CUT_UTIL
{
public:
    // The utilities of the family on the memory segment (null: the default
    // segment); null for a family that is not a device family (below 0).
    // The caller deletes the object.
    static CUT_UTIL* create(DEV_FAMILY family, MEM_SEGMENT* segment = nullptr);

    DEV_FAMILY get_family() const { return m_family; }
    CUT_PARAMETER_UTIL* get_parameter_util() { return &m_parameter_util; }

private:
    explicit CUT_UTIL(DEV_FAMILY family) : m_family(family) {}

    DEV_FAMILY m_family;
    CUT_PARAMETER_UTIL m_parameter_util;
};

class DBCM_DEVICE;

// Maps the routing graph's global ids to the chip bundle database's block
// instances of a device.
class CUT_DEV_DYGR_DBCM_UTIL
{
public:
    explicit CUT_DEV_DYGR_DBCM_UTIL(const DBCM_DEVICE* device) : m_device(device) {}
    // The top-level block instance of the global id; -1 when none has it
    // (or there is no device).
    int get_top_level_dbcm_instance_id(uint32_t global_id) const;

private:
    const DBCM_DEVICE* m_device;
};
