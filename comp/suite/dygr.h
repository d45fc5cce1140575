// Routing graph library of the suite (stand-in): the routing-graph view of a
// die: the size of the die's configuration RAM and whether it has HPS I/O.
#pragma once

#include "dygr_route.h"

#include <cstdint>

class DYGR_DIE_INFO
{
public:
    // The number of configuration RAM (CRAM) bits of the die; 0 until set.
    uint32_t get_cram_bit_count() const { return m_cram_bit_count; }
    void set_cram_bit_count(uint32_t bits) { m_cram_bit_count = bits; }

    // Whether the die has I/O banks of a hard processor system; false until
    // set.
    bool has_hps_io() const { return m_hps_io; }
    void set_hps_io(bool hps_io) { m_hps_io = hps_io; }

    // The die's routing and placement information and its assembler view of
    // the routing (dygr_route.h).
    DYGR_ROUTE_INFO* get_route_info() { return &m_route_info; }
    DYGR_PLACE_INFO* get_place_info() { return &m_place_info; }
    DYGR_ROUTE_ASM_INFO* get_route_asm_info() { return &m_route_asm_info; }

private:
    DYGR_ROUTE_INFO m_route_info;
    DYGR_PLACE_INFO m_place_info;
    DYGR_ROUTE_ASM_INFO m_route_asm_info;
    uint32_t m_cram_bit_count = 0;
    bool m_hps_io = false;
};
