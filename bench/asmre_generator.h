// A synthetic routed design for the routing dump, built straight into the
// suite stand-ins: N placed atoms, each driving one net whose fanout runs
// from 1 to a few thousand input terms of other atoms (mostly near the
// driver in netlist order, as placement leaves them), routed as a CRF tree
// (a trunk, then a branch of a few hops per sink off the trunk or an earlier
// branch) with one or two CRAM bits per hop. About 40 hops per net. Every
// run of 1000 atoms has the same net sizes (one of them a clock-like net of
// thousands of sinks), so that ten times the atoms is ten times the design.
// The routing is drawn first and the netlist made after it, atom by atom
// with its terms and block ports, as a design read from its files lies in
// memory.
#pragma once

#include <cdb.h>
#include <cdb_atom.h>
#include <dev.h>
#include <hdb.h>
#include <zgl.h>

#include <cstdint>
#include <memory>

class ASMRE_SYNTHETIC_DESIGN
{
public:
    // Populates the process-wide stand-ins (current device, chip bundle chip
    // 0, port map, port types); one design lives at a time.
    ASMRE_SYNTHETIC_DESIGN(uint32_t atom_count, uint32_t seed);
    ~ASMRE_SYNTHETIC_DESIGN();
    ASMRE_SYNTHETIC_DESIGN(const ASMRE_SYNTHETIC_DESIGN&) = delete;
    ASMRE_SYNTHETIC_DESIGN& operator=(const ASMRE_SYNTHETIC_DESIGN&) = delete;

    CDB_CHIP_DB_ENTRY* chip() { return &m_chip; }
    CDB_ATOM_NETLIST* netlist() { return &m_netlist; }
    uint64_t hop_count() const { return m_hops; }
    uint64_t sink_count() const { return m_sinks; }
    uint32_t largest_fanout() const { return m_largest_fanout; }

private:
    HDB_CHIP m_hdb_chip{"synthetic"};
    CDB_ATOM_NETLIST m_netlist;
    ZGL::FOREST<int, int> m_crf;
    CDB_CHIP_DB_ENTRY m_chip;
    DEV_DEVICE m_device;
    uint64_t m_hops = 0;
    uint64_t m_sinks = 0;
    uint32_t m_largest_fanout = 0;
};
