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

#include <string>
#include <type_traits>

class CMP_FACADE;
class FIO_PATH;
class HDB_NAMESPACE;
class CDB_CHIP_DB_ENTRY;
class DEV_FAMILY_MANAGER;
class DEV_PART_MANAGER;
class ASM_OPTIONS;

// The assembler model registry: the objects of the running assembly, for
// the suite's libraries that work on it. It records every registration and
// unregistration by its name, in order. It owns the options object and the
// netlist selection it is given: a later registration of either deletes the
// earlier one, unregistering the selection deletes it, and reset() deletes
// both. Everything else stays the caller's; the caller unregisters an object
// before it ends.
class ASM_MODEL
{
public:
    static void register_cmp(CMP_FACADE* cmp);
    static void register_project_path(const FIO_PATH* path);
    static void register_cap(HDB_NAMESPACE* cap_inst);
    static void register_chip(CDB_CHIP_DB_ENTRY* chip);
    static void register_base_family(int family);
    static void register_user_family(int family);
    static void register_dev_family_manager(DEV_FAMILY_MANAGER* manager);
    static void register_dev_part_manager(DEV_PART_MANAGER* manager);
    // Takes the options object. The options type belongs to the assembler
    // module, so its deleter is made where the type is complete.
    template <typename OPTIONS>
    static void register_asm_options(OPTIONS* options)
    {
        static_assert(std::is_same<OPTIONS, ASM_OPTIONS>::value, "the registry holds ASM_OPTIONS");
        adopt_asm_options(options, [](void* object) { delete static_cast<OPTIONS*>(object); });
    }
    static void register_netlist_faq(ASMCC_NETLIST_FAQ* faq);

    static void unregister_netlist_faq();
    static void unregister_project_path();
    static void unregister_dev_family_manager();
    static void unregister_dev_part_manager();

    static CMP_FACADE* get_cmp();
    static const FIO_PATH* get_project_path();
    static HDB_NAMESPACE* get_cap();
    static CDB_CHIP_DB_ENTRY* get_chip();
    static int get_base_family();
    static int get_user_family();
    static DEV_FAMILY_MANAGER* get_dev_family_manager();
    static DEV_PART_MANAGER* get_dev_part_manager();
    static ASM_OPTIONS* get_asm_options();
    static ASMCC_NETLIST_FAQ* get_netlist_faq();

    // Every registration and unregistration so far, by operation name.
    static const std::vector<std::string>& calls();
    // Deletes what the registry owns and forgets everything.
    static void reset();

private:
    static void adopt_asm_options(void* options, void (*destroy)(void*));
};

#include "hdb.h"

// Project settings as the assembler reads them: the boolean or string
// setting of the id of the compile instance namespace (the stand-in keeps
// settings per namespace, so the chip does not narrow the lookup); null
// when the namespace is null or holds no setting of that id and kind.
const HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>* asmcc_get_bool_option(const HDB_NAMESPACE* cap_inst,
                                                                          const HDB_CHIP* chip, int id);
const HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>* asmcc_get_string_option(const HDB_NAMESPACE* cap_inst,
                                                                           const HDB_CHIP* chip, int id);
// The boolean setting's value, or the default when it is absent.
bool asmcc_get_bool_option(const HDB_NAMESPACE* cap_inst, int id, bool default_value);
