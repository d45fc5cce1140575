// The routing-information dumper: for every atom of the fitted design, the
// routing tree that each of its output ports drives through the chip's
// routing networks, hop by hop, as text, in software, IC-design or
// IC-design schematic coordinates, with the CRAM bits of each hop on request.
// One process-wide dumper, reached through get_dumper_instance.
#pragma once

#include "asm_common.h"
#include "asm_fstream.h"

#include <fio.h>
#include <gid_table.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

class CDB_ATOM_NETLIST;
class CDB_ATOM_NODE;
class CDB_ATOM_OTERM;
class CDB_ATOM_ITERM;
class CDB_CHIP_DB_ENTRY;
class DEV_BASIC_INFO;
class DEV_DEVICE;
class DEV_DIE_INFO;
class DEV_PKG_INFO;
class DEV_PAD_INFO;
class DEV_PAD;
class DYGR_PLACE_INFO;
class DYGR_ROUTE_INFO;
class DYGR_ROUTE_ASM_INFO;
class DYGR_ZDL_TRANSLATOR;
class U2B2_PORT_MAP_DB;
class U2B2_PHYSICAL_PORT;
class U2B2_TIMING_UTIL;
class DBCM_DB_MANAGER;
class DBCM_CHIP;
class DBCM_DEVICE;
namespace ZGL
{
template <typename NODE, typename EDGE>
class FOREST;
}
namespace ZDL
{
class ITRANSLATE;
class MUX_LOOKUP;
}  // namespace ZDL
namespace DYGR_ZDL
{
class EMULATOR;
class EDGE_API;
class NODE_API;
}  // namespace DYGR_ZDL

// The dump's text, gathered in memory: the dumper writes it to its file in
// large pieces rather than through a stream insertion per item. Integers
// come out as a stream writes them by default (decimal, no padding). An
// append is a copy into the buffer; the buffer grows only when it is full.
class ASM_ASMRE_TEXT
{
public:
    ASM_ASMRE_TEXT& operator<<(const std::string& text)
    {
        append(text.data(), text.size());
        return *this;
    }
    ASM_ASMRE_TEXT& operator<<(std::string_view text)
    {
        append(text.data(), text.size());
        return *this;
    }
    ASM_ASMRE_TEXT& operator<<(const char* text)
    {
        append(text, std::strlen(text));
        return *this;
    }
    ASM_ASMRE_TEXT& operator<<(char c)
    {
        if (m_end == m_limit)
            grow(1);
        *m_end++ = c;
        return *this;
    }
    template <typename INT, std::enable_if_t<std::is_integral<INT>::value && !std::is_same<INT, char>::value &&
                                                 !std::is_same<INT, bool>::value,
                                             int> = 0>
    ASM_ASMRE_TEXT& operator<<(INT value)
    {
        const size_t DIGITS = 24;
        if (static_cast<size_t>(m_limit - m_end) < DIGITS)
            grow(DIGITS);
        m_end = std::to_chars(m_end, m_end + DIGITS, value).ptr;
        return *this;
    }
    void append(const char* text, size_t size)
    {
        if (static_cast<size_t>(m_limit - m_end) < size)
            grow(size);
        if (size != 0)
            std::memcpy(m_end, text, size);
        m_end += size;
    }
    void append(size_t count, char c)
    {
        if (static_cast<size_t>(m_limit - m_end) < count)
            grow(count);
        if (count != 0)
            std::memset(m_end, c, count);
        m_end += count;
    }
    // Room for at least the size's bytes at the end of the text: the caller
    // writes there and passes the end of what it wrote to commit.
    char* room(size_t size)
    {
        if (static_cast<size_t>(m_limit - m_end) < size)
            grow(size);
        return m_end;
    }
    void commit(char* end) { m_end = end; }
    size_t size() const { return static_cast<size_t>(m_end - m_buffer.get()); }
    const char* data() const { return m_buffer.get(); }
    void clear() { m_end = m_buffer.get(); }

private:
    // Makes room for at least the given number of further bytes.
    void grow(size_t more)
    {
        const size_t used = size();
        const size_t capacity = static_cast<size_t>(m_limit - m_buffer.get());
        const size_t wanted = std::max(std::max(used + more, 2 * capacity), size_t(4096));
        std::unique_ptr<char[]> buffer(new char[wanted]);
        if (used != 0)
            std::memcpy(buffer.get(), m_buffer.get(), used);
        m_buffer = std::move(buffer);
        m_end = m_buffer.get() + used;
        m_limit = m_buffer.get() + wanted;
    }

    std::unique_ptr<char[]> m_buffer;
    char* m_end = nullptr;
    char* m_limit = nullptr;
};

// The dumper as its users see it.
class ASM_IASMRE_DUMPER
{
public:
    virtual ~ASM_IASMRE_DUMPER() = default;
    // The dump file (its extension follows the mode) and the directory that
    // takes it ("" keeps the file's own directory).
    virtual void set_output_path(const FIO_PATH& file, const FIO_PATH& directory) = 0;
    // Dump kind 0 routing only, 1 with CRAM bits as flat addresses, 2 with
    // CRAM bits as (row, column) pairs; format 0 software, 1 IC design, 2 IC
    // design schematic coordinates.
    virtual void set_dump_mode(uint32_t dump_kind, uint32_t format) = 0;
    // Writes the dump of the netlist to the file set last, replacing it whole
    // (a file that cannot be written is the internal error "Unable to dump
    // out asm routing info", and the earlier file stays).
    virtual void dump(CDB_ATOM_NETLIST* netlist) = 0;
    // The value of a CRAM bit, as the host's accessor proxy gives it.
    virtual bool get_bit_value(uint32_t flat_address, int& device_handle) = 0;
};

// The routing networks, in the order the root set lists them.
enum ASM_RE_NETWORK : int
{
    ASM_RE_NETWORK_CRF = 0,
    ASM_RE_NETWORK_BLC = 1,
    ASM_RE_NETWORK_FCD = 2,
};

class ASM_ASMRE_DUMPER : public ASM_IASMRE_DUMPER
{
public:
    ASM_ASMRE_DUMPER(CDB_CHIP_DB_ENTRY* chip, int device_handle);
    ~ASM_ASMRE_DUMPER() override;
    ASM_ASMRE_DUMPER(const ASM_ASMRE_DUMPER&) = delete;
    ASM_ASMRE_DUMPER& operator=(const ASM_ASMRE_DUMPER&) = delete;

    // Runs the construction (again) with the chip, the current device and
    // the handle. A chip or device made where a freed one stood has the same
    // address, so an address says nothing about whether what the dumper
    // holds (port map, place and route data) still lives: every later use of
    // the process-wide dumper binds afresh.
    void bind(CDB_CHIP_DB_ENTRY* chip, int device_handle);

    void set_output_path(const FIO_PATH& file, const FIO_PATH& directory) override;
    void set_dump_mode(uint32_t dump_kind, uint32_t format) override;
    void dump(CDB_ATOM_NETLIST* netlist) override;
    bool get_bit_value(uint32_t flat_address, int& device_handle) override;

    const FIO_PATH& output_path() const { return m_output_path; }
    uint32_t mode() const { return m_mode; }

private:
    // One tree of the root set of a global id: the root's node index and
    // its network.
    struct ROOT_ENTRY
    {
        int node;
        ASM_RE_NETWORK network;
    };
    // The root set of one global id (at most one tree per network), ordered
    // by node index, then network.
    struct ROOT_SET
    {
        ROOT_ENTRY entries[3];
        int count = 0;
    };

    // Each node of each network, found in one pass in node order when a
    // dump starts: its global id and, for a node below a root, the graph of
    // the edge into it from its parent; for a root, the number of nodes up
    // to the network's next root (where its tree most often lies).
    struct NODE_HOP
    {
        uint32_t gid;
        int graph_or_extent;
    };
    void release();

    // The body of the dump.
    void build_re_gid_tables();
    void build_pad_table();
    void setup_zdl();
    void write_header();
    void resolve_destination_atoms();
    void write_atom_netlist_routing();
    bool write_pin_line(CDB_ATOM_NODE* atom);
    void write_pin_fanout(const CDB_ATOM_ITERM* iterm);
    void write_node_routing(CDB_ATOM_NODE* atom);
    void write_node_to_node(const CDB_ATOM_OTERM* oterm);
    // The short name of a destination atom (valid for the current dump).
    std::string_view destination_name(const CDB_ATOM_NODE* atom);
    void write_route_tree(const ROOT_ENTRY& root, const CDB_ATOM_OTERM* oterm, size_t indent, int counter);
    // A hop into the node of the id from its parent's, over an edge of the
    // graph.
    void write_hop(uint32_t parent_gid, const NODE_HOP& hop, int counter);
    // Starts the loads of the nodes where the tree of the root most often
    // lies, ahead of the walk.
    void prefetch_tree(ASM_RE_NETWORK network, int root) const;
    void write_mux_text(uint32_t parent_gid, uint32_t global_id);
    void write_destination_fanout(const CDB_ATOM_OTERM* oterm, uint32_t leaf_gid);
    void write_pad_pin_names(const CDB_ATOM_NODE* atom);
    std::string find_pad_pin_names(const CDB_ATOM_NODE* atom) const;
    void write_cram_bits(uint32_t parent_gid, uint32_t global_id);

    void get_atom_re_gids(const CDB_ATOM_OTERM* oterm, std::vector<uint32_t>& gids);
    void get_iterm_re_gids(const CDB_ATOM_ITERM* iterm, std::vector<uint32_t>& gids);
    // The ids of the input terms of each destination atom met in the
    // current dump, found for all of the atom's terms at once, in a run by
    // the terms' positions (ids of a term that maps to one physical port or
    // none: the single id get_iterm_re_gids would give).
    struct ITERM_ID
    {
        uint32_t gid;
        bool single;
    };
    // The term's single id; false when it has none of its own here (the
    // term goes through get_iterm_re_gids).
    bool find_single_iterm_re_gid(const CDB_ATOM_ITERM* iterm, uint32_t& gid);
    // Each destination atom met in the current dump, by its netlist index:
    // its short name, and the ids of its input terms, found for all of them
    // at once, in a run by the terms' positions. Each part holds for the
    // atom it was found for alone (null: none found yet), so that atoms of
    // different netlists that share an index are each named right; the
    // ids of a second such atom go the general way.
    struct DESTINATION_ATOM
    {
        const CDB_ATOM_NODE* named = nullptr;
        std::string_view name;
        const CDB_ATOM_NODE* resolved = nullptr;
        uint32_t first = 0;
        uint32_t count = 0;
    };
    // The atom's entry; null for an index beyond those kept.
    DESTINATION_ATOM* destination_atom(const CDB_ATOM_NODE* atom);
    void resolve_iterm_re_gids(const CDB_ATOM_NODE* atom, DESTINATION_ATOM& destination);
    const std::vector<int>& blocks_of_instance(int bcm_instance_id, bool& found);
    void write_node_name(uint32_t global_id);
    // The common case of get_node_name, a software name without element
    // text, as the die holds it; null for any other name.
    const std::string* plain_node_name(uint32_t global_id) const;
    // Writes the text gathered so far to the file.
    void write_text();
    // Forgets what the last dump found of the netlist.
    void forget_dump_tables();
    uint32_t get_icd_port_gid(const U2B2_PHYSICAL_PORT& port, bool output);
    bool is_carry_connection(const CDB_ATOM_OTERM* oterm, const CDB_ATOM_ITERM* iterm) const;
    std::string get_node_name(uint32_t global_id);
    std::string get_blc_port_instance_name(uint32_t global_id);
    const DEV_PAD* pad_of(uint32_t pad_index) const;
    ROOT_SET root_set(uint32_t global_id) const;
    // Null when the id roots no tree.
    const ROOT_SET* find_root_set(uint32_t global_id) const;
    uint32_t node_gid(ZGL::FOREST<int, int>* network, int node) const;
    ZGL::FOREST<int, int>* network(ASM_RE_NETWORK which) const;
    bool mux_names_off_for_family() const;

    DEV_BASIC_INFO* m_basic_info = nullptr;
    DEV_DIE_INFO* m_die_info = nullptr;
    DEV_PKG_INFO* m_package_info = nullptr;
    DYGR_PLACE_INFO* m_place_info = nullptr;
    DYGR_ROUTE_INFO* m_dygr_route_info = nullptr;
    DYGR_ROUTE_ASM_INFO* m_route_asm_info = nullptr;
    CDB_ATOM_NETLIST* m_atom_netlist = nullptr;
    ZGL::FOREST<int, int>* m_crf_network = nullptr;
    ZGL::FOREST<int, int>* m_fcd_network = nullptr;
    ZGL::FOREST<int, int>* m_blc_network = nullptr;
    std::map<uint32_t, uint32_t> m_gid_to_pad;
    std::vector<NODE_HOP> m_node_hops[3];
    // The root set of each global id that roots a tree of a network: by id,
    // the set's slot in m_root_sets.
    GID_TABLE<uint32_t> m_root_slots;
    std::vector<ROOT_SET> m_root_sets;
    DEV_PAD_INFO* m_pad_info = nullptr;
    std::string m_device_name;
    const U2B2_PORT_MAP_DB* m_port_map_db = nullptr;
    DBCM_DB_MANAGER* m_dbcm_db_manager = nullptr;
    DBCM_CHIP* m_dbcm_chip = nullptr;
    DBCM_DEVICE* m_dbcm_device = nullptr;
    // The file of the dump being written (the temporary that replaces it
    // whole at its end); null between dumps.
    asm_io::kestil_atomic_ofstream* m_stream = nullptr;
    FIO_PATH m_output_path;
    uint32_t m_mode = 0;
    uint32_t m_dump_kind = 0;
    bool m_icname_loaded = false;
    bool m_with_bits = false;
    int m_device_handle = -1;
    ZDL::ITRANSLATE* m_zdl_itranslate = nullptr;
    const ZDL::MUX_LOOKUP* m_zdl_mux_lookups[3] = {nullptr, nullptr, nullptr};
    bool m_zdl_enabled = false;
    std::shared_ptr<DYGR_ZDL_TRANSLATOR> m_zdl_translator;
    std::shared_ptr<DYGR_ZDL::EMULATOR> m_zdl_emulator;
    std::unique_ptr<DYGR_ZDL::EDGE_API> m_zdl_edge_api;
    std::unique_ptr<DYGR_ZDL::NODE_API> m_zdl_node_api;
    std::unique_ptr<U2B2_TIMING_UTIL> m_timing_util;

    // What the dumper was built with.
    CDB_CHIP_DB_ENTRY* m_chip = nullptr;
    DEV_DEVICE* m_device = nullptr;

    // The global ids of the input terms of one output term's fanout: (id,
    // fanout position) pairs sorted by id, then position, each pair once.
    const CDB_ATOM_OTERM* m_fanout_oterm = nullptr;
    std::vector<std::pair<uint32_t, uint32_t>> m_fanout_by_gid;
    // For a large fanout, the first pair of each id by the id's hash
    // (NO_FANOUT_SLOT: free); empty for a small one.
    static constexpr uint32_t NO_FANOUT_SLOT = 0xFFFFFFFFu;
    std::vector<uint32_t> m_fanout_slots;
    void index_fanout_ids();
    // The first pair of the id (the end: none).
    std::vector<std::pair<uint32_t, uint32_t>>::const_iterator find_fanout_id(uint32_t gid) const;
    static size_t fanout_slot_of(uint32_t gid, size_t mask) { return (gid * 0x9E3779B1u >> 7) & mask; }
    // The ids of one output term, reused from term to term.
    std::vector<uint32_t> m_oterm_gids;
    // One step of the walk over the routing trees of an output term.
    enum WALK_STEP_KIND
    {
        WALK_ENTER_TREE,
        WALK_LEAVE_TREE,
        WALK_VISIT,
    };
    struct WALK_STEP
    {
        // Built in place on the walk's stack (a step copied in from a
        // temporary is written and read back in pieces of different sizes,
        // which the processor cannot forward).
        WALK_STEP(WALK_STEP_KIND step_kind, ASM_RE_NETWORK step_network, int step_node, size_t step_indent,
                  int step_counter, bool step_new_line, uint32_t step_parent_gid = 0xFFFFFFFFu)
            : kind(step_kind),
              network(step_network),
              node(step_node),
              counter(step_counter),
              indent(step_indent),
              parent_gid(step_parent_gid),
              new_line(step_new_line)
        {
        }
        WALK_STEP_KIND kind;
        ASM_RE_NETWORK network;
        int node;
        int counter;
        size_t indent;
        // The id of the node's parent (a visit below a tree's root).
        uint32_t parent_gid;
        bool new_line;
    };
    // The walk's stack and its open trees, reused from walk to walk.
    std::vector<WALK_STEP> m_walk_steps;
    std::vector<std::pair<int, ASM_RE_NETWORK>> m_open_trees;
    std::vector<DESTINATION_ATOM> m_destination_atoms;
    std::vector<ITERM_ID> m_iterm_ids;
    // The ids of one term, reused from term to term.
    std::vector<uint32_t> m_term_gids;
    // The blocks at the position of each bundle instance met in the current
    // dump, by instance id (null: not met yet).
    std::vector<const std::vector<int>*> m_blocks_of_instance;
    // The text of the current dump not yet written to the file.
    ASM_ASMRE_TEXT m_text;
    // The pin text of each destination atom met in the current dump.
    std::unordered_map<const CDB_ATOM_NODE*, std::string> m_pad_pin_names;
};

extern "C" {

// The process-wide routing dumper, built on the first call from the chip
// and the device handle (-1 for a null handle pointer). A later call with
// another chip, current device or handle rebuilds it in place.
ASM_EXPORT ASM_IASMRE_DUMPER& get_dumper_instance(CDB_CHIP_DB_ENTRY* chip, int* device_handle);

}  // extern "C"
