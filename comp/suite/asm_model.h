// Assembler model library of the suite (stand-in): the netlist selection of a
// run and the registry of the run's objects.
#pragma once

#include "asmdb.h"

#include <vector>

// The netlist an assembly works on.
enum ASMCC_SOURCE_NETLIST_TYPE
{
    ASMCC_SOURCE_NETLIST_TYPE_POST_MAP = 0,
    ASMCC_SOURCE_NETLIST_TYPE_EARLY_TIMING_ESTIMATE = 1,
    ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE = 2,
};

// The netlist selection: which netlist the assembler works on and which
// blocks its steps cover. A set whose list type is exclusive names the
// blocks that are left out; an inclusive one names the blocks taken.
class ASMCC_NETLIST_FAQ
{
public:
    ASMCC_NETLIST_FAQ(ASMCC_SOURCE_NETLIST_TYPE source_netlist, bool prewired_periphery,
                      bool block_processing_exclusive, bool bcm_transform_exclusive,
                      bool bcm_parameters_mapped_to_bits_exclusive)
        : m_source_netlist(source_netlist),
          m_prewired_periphery(prewired_periphery),
          m_block_processing_exclusive(block_processing_exclusive),
          m_bcm_transform_exclusive(bcm_transform_exclusive),
          m_bcm_parameters_mapped_to_bits_exclusive(bcm_parameters_mapped_to_bits_exclusive)
    {
    }

    void add_block_to_block_processing_set(ASMDB_ARCH_GROUP_BLOCK_TYPE type) { m_block_processing.push_back(type); }
    void add_block_to_bcm_transform_set(ASMDB_ARCH_GROUP_BLOCK_TYPE type) { m_bcm_transform.push_back(type); }
    void add_block_to_bcm_parameters_mapped_to_bits_set(ASMDB_ARCH_GROUP_BLOCK_TYPE type)
    {
        m_bcm_parameters_mapped_to_bits.push_back(type);
    }

    ASMCC_SOURCE_NETLIST_TYPE source_netlist() const { return m_source_netlist; }
    bool prewired_periphery() const { return m_prewired_periphery; }
    bool is_block_processing_exclusive() const { return m_block_processing_exclusive; }
    bool is_bcm_transform_exclusive() const { return m_bcm_transform_exclusive; }
    bool is_bcm_parameters_mapped_to_bits_exclusive() const { return m_bcm_parameters_mapped_to_bits_exclusive; }
    const std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE>& block_processing_set() const { return m_block_processing; }
    const std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE>& bcm_transform_set() const { return m_bcm_transform; }
    const std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE>& bcm_parameters_mapped_to_bits_set() const
    {
        return m_bcm_parameters_mapped_to_bits;
    }

    // Whether a step covers a block: an exclusive set covers every block it
    // does not name, an inclusive set only the blocks it names.
    static bool covers(const std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE>& set, bool exclusive,
                       ASMDB_ARCH_GROUP_BLOCK_TYPE type)
    {
        bool named = false;
        for (ASMDB_ARCH_GROUP_BLOCK_TYPE t : set)
            named = named || t == type;
        return exclusive ? !named : named;
    }

private:
    ASMCC_SOURCE_NETLIST_TYPE m_source_netlist;
    bool m_prewired_periphery;
    bool m_block_processing_exclusive;
    bool m_bcm_transform_exclusive;
    bool m_bcm_parameters_mapped_to_bits_exclusive;
    std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE> m_block_processing;
    std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE> m_bcm_transform;
    std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE> m_bcm_parameters_mapped_to_bits;
};
