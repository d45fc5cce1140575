// Routing graph library of the suite (stand-in): the routing-graph view of a
// die: the size of the die's configuration RAM and whether it has HPS I/O.
#pragma once

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

private:
    uint32_t m_cram_bit_count = 0;
    bool m_hps_io = false;
};
