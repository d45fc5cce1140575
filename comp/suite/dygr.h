// Routing graph library of the suite (stand-in): the routing-graph view of a
// die: the size of the die's configuration RAM and whether it has HPS I/O.
#pragma once

#include "dygr_route.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// No global id of the routing graph.
constexpr uint32_t DEV_ILLEGAL_GLOBAL_ID = 0xFFFFFFFFu;

// A clock region of the die: its lower-left and upper-right corners.
struct DYGR_CLOCK_REGION
{
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

// The die's placement information: the routing graph's global ids of the
// blocks at each location.
class DYGR_GLOBAL_ID_MAP
{
public:
    // The global ids at the location, in the order added; empty for none.
    const std::vector<uint32_t>& get_global_ids(int x, int y) const;
    void add_global_id(int x, int y, uint32_t global_id) { m_ids[{x, y}].push_back(global_id); }

private:
    std::map<std::pair<int, int>, std::vector<uint32_t>> m_ids;
};

// The clock blacklisting of a die, once prepared.
class DYGR_BLACKLISTING
{
public:
    // The clock regions that are blacklisted as a whole, in order.
    const std::vector<DYGR_CLOCK_REGION>& get_fully_blacklisted_clock_sectors() const { return m_regions; }
    void set_fully_blacklisted_clock_sectors(std::vector<DYGR_CLOCK_REGION> regions) { m_regions = std::move(regions); }

private:
    std::vector<DYGR_CLOCK_REGION> m_regions;
};

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

    // The die's placement information (global ids by location).
    const DYGR_GLOBAL_ID_MAP* get_place_info() const { return &m_place_ids; }
    DYGR_GLOBAL_ID_MAP* get_place_info() { return &m_place_ids; }
    // The die's clock blacklisting; prepared by DYGR_BLACKLISTING_LOADER.
    DYGR_BLACKLISTING* get_blacklisting() { return &m_blacklisting; }
    bool is_blacklisting_set_up() const { return m_blacklisting_set_up; }
    void note_blacklisting_set_up() { m_blacklisting_set_up = true; }

    // The die's routing and placement information and its assembler view of
    // the routing (dygr_route.h).
    DYGR_ROUTE_INFO* get_route_info() { return &m_route_info; }
    DYGR_PLACE_INFO* get_dygr_place_info() { return &m_place_info; }
    DYGR_ROUTE_ASM_INFO* get_route_asm_info() { return &m_route_asm_info; }

private:
    DYGR_GLOBAL_ID_MAP m_place_ids;
    DYGR_BLACKLISTING m_blacklisting;
    bool m_blacklisting_set_up = false;
    DYGR_ROUTE_INFO m_route_info;
    DYGR_PLACE_INFO m_place_info;
    DYGR_ROUTE_ASM_INFO m_route_asm_info;
    uint32_t m_cram_bit_count = 0;
    bool m_hps_io = false;
};

class DYGR_BLACKLISTING_LOADER
{
public:
    // Prepares the die's blacklisting and returns it; null for a null die.
    static DYGR_BLACKLISTING* setup_blacklisting(DYGR_DIE_INFO* die_info);
};
