#include "asm_asmre_dumper.h"

#include "asm_root.h"

#include <cdb.h>
#include <cdb_atom.h>
#include <dbcm.h>
#include <dbs.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <dygr.h>
#include <dygr_route.h>
#include <dygr_zdl.h>
#include <gen.h>
#include <u2b2_port_map.h>
#include <ver.h>
#include <zasm.h>
#include <zgl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#define ASM_SOURCE_TAG "comp/asm/asm_asmre_dumper"

namespace
{

const int DEVICE_DATA_ROUTING = 2;
const int DEVICE_DATA_ICNAME = 3;
const int BASIC_STRING_MCF_FILE = 4;
const int BASIC_STRING_RBA_FILE = 6;
const int BASIC_STRING_MCFS_TO_MCFD_FILE = 8;
const int PORT_MAP_TYPE = 1;
const int MUX_PORT_MAP_TYPE = 0;
const size_t INDENT_STEP = 4;
// The text is written to the file in pieces of about this size: a dump of
// a large design writes hundreds of megabytes, and pieces of a megabyte
// cost the file system measurably less per byte than pieces of 64 KiB.
const size_t TEXT_PIECE = size_t(1) << 20;
const std::string DIRECTION_INPUT = "INPUT";
const std::string DIRECTION_OUTPUT = "OUTPUT";
const std::string DIRECTION_BIDIR = "BIDIR";

std::string_view graph_name(DYGR_GRAPH_TYPE graph)
{
    switch (graph)
    {
    case DYGR_FULL_GRAPH:
        return "DYGR_FULL_GRAPH";
    case DYGR_SUBGRAPH_BLC:
        return "DYGR_SUBGRAPH_BLC";
    case DYGR_SUBGRAPH_CRF:
        return "DYGR_SUBGRAPH_CRF";
    case DYGR_SUBGRAPH_FCD:
        return "DYGR_SUBGRAPH_FCD";
    }
    return "INVALID";
}

// The debug name of a port type; "" for a type the translator does not
// know.
const char* port_type_name(DBS_PORT_TYPE type)
{
    const char* name = DBS_TRANSLATOR::get_debug_string_name(type);
    return name != nullptr ? name : "";
}

// The instance name of an output term: the term's own, else its atom's.
const HDB_INSTANCE_NAME* term_instance_name(const CDB_ATOM_OTERM* oterm)
{
    if (oterm->get_instance_name() != nullptr)
        return oterm->get_instance_name();
    return oterm->get_atom()->get_instance_name();
}

// The name a destination atom is known by: the first output term's name for
// an atom whose terms carry names, else the primary output's, else the
// atom's own.
const HDB_INSTANCE_NAME* atom_instance_name(const CDB_ATOM_NODE* atom)
{
    const CDB_ATOM_OTERM* oterm = nullptr;
    if (atom->has_named_terms())
        oterm = atom->get_oterms().empty() ? nullptr : atom->get_oterms().front().get();
    else
        oterm = atom->get_primary_oterm();
    return oterm != nullptr ? term_instance_name(oterm) : atom->get_instance_name();
}

// Appends the name's short path (as get_short_hpath gives it) without
// building it as a string first.
std::string_view short_hpath(const HDB_INSTANCE_NAME& name)
{
    const std::string& hpath = name.get_hpath_to_root();
    const size_t start = !hpath.empty() && hpath[0] == '|' ? 1 : 0;
    const size_t bar = hpath.find('|', start);
    const size_t from = bar == std::string::npos ? start : bar + 1;
    return std::string_view(hpath.data() + from, hpath.size() - from);
}

void append_short_hpath(ASM_ASMRE_TEXT& text, const HDB_INSTANCE_NAME& name)
{
    const std::string_view path = short_hpath(name);
    text.append(path.data(), path.size());
}

// Splits element text "BASE[INDEX]" at its first "[" and first "]"; text
// without both brackets is all base, with the index -1.
void split_element_text(const std::string& text, std::string& base, long& index)
{
    const size_t open = text.find('[');
    const size_t close = text.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open)
    {
        base = text;
        index = -1;
        return;
    }
    base = text.substr(0, open);
    index = std::strtol(text.substr(open + 1, close - open - 1).c_str(), nullptr, 10);
}

}  // namespace

ASM_ASMRE_DUMPER::ASM_ASMRE_DUMPER(CDB_CHIP_DB_ENTRY* chip, int device_handle) { bind(chip, device_handle); }

ASM_ASMRE_DUMPER::~ASM_ASMRE_DUMPER() { release(); }

void ASM_ASMRE_DUMPER::release()
{
    m_timing_util.reset();
    m_zdl_node_api.reset();
    m_zdl_edge_api.reset();
    m_zdl_emulator.reset();
    m_zdl_translator.reset();
    m_zdl_itranslate = nullptr;
    for (const ZDL::MUX_LOOKUP*& lookup : m_zdl_mux_lookups)
        lookup = nullptr;
    m_zdl_enabled = false;
    m_root_slots = GID_TABLE<uint32_t>();
    m_root_sets.clear();
    for (std::vector<NODE_HOP>& hops : m_node_hops)
        hops.clear();
    m_gid_to_pad.clear();
    forget_dump_tables();
    m_text.clear();
}

void ASM_ASMRE_DUMPER::forget_dump_tables()
{
    m_fanout_oterm = nullptr;
    m_fanout_by_gid.clear();
    m_blocks_of_instance.clear();
    m_pad_pin_names.clear();
    m_destination_atoms.clear();
    m_iterm_ids.clear();
}

void ASM_ASMRE_DUMPER::bind(CDB_CHIP_DB_ENTRY* chip, int device_handle)
{
    release();
    m_chip = chip;
    m_device_name.clear();
    m_dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    m_output_path = FIO_PATH();
    m_timing_util.reset(U2B2_TIMING_UTIL::create_util(chip));
    m_device_handle = device_handle;
    m_atom_netlist = nullptr;

    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    m_device = device;
    m_package_info = device != nullptr ? device->get_pkg_info() : nullptr;
    m_basic_info = device != nullptr ? device->get_basic_info() : nullptr;
    m_pad_info = device != nullptr ? device->get_pad_info() : nullptr;
    m_die_info = device != nullptr ? device->get_die_info() : nullptr;
    ASM_REQUIRE(m_die_info!=NULL);
    ASM_REQUIRE(m_basic_info!=NULL);

    ASM_REQUIRE(chip != NULL);
    m_blc_network = chip->get_blc_re_network();
    m_fcd_network = chip->get_fcd_re_network();
    m_crf_network = chip->get_crf_re_network();

    {
        // The device strings are read with a part manager alive.
        DEV_PART_MANAGER part_manager;
        static_cast<void>(part_manager);
        const char* user_name = dstr_get_user_string(m_basic_info->get_part_enum());
        m_device_name = user_name != nullptr ? user_name : "";
        const DBCM_BUNDLE* bundle = DBCM_BUNDLE_SINGLETON::get_bundle();
        if (bundle != nullptr && bundle->get_port_map() != nullptr)
            m_port_map_db = static_cast<const U2B2_PORT_MAP_DB*>(bundle->get_port_map());
        else
            m_port_map_db = U2B2_PORT_MAP_DB::read_from_pdb();
        ASM_REQUIRE(m_port_map_db != NULL);
    }

    ASM_REQUIRE(m_dbcm_db_manager !=NULL);
    m_dbcm_chip = m_dbcm_db_manager->get_chip(0);
    ASM_REQUIRE(m_dbcm_chip!=NULL);
    m_dbcm_device = m_dbcm_chip->get_device();
    ASM_REQUIRE(m_dbcm_device !=NULL);

    m_dbcm_db_manager->load_asm_data();
    asm_debug_log(2, "%s", "Copying borrowed bits to lent bits");
    m_dbcm_chip->copy_borrowed_bits_to_lent_bits(2);

    DYGR_DIE_INFO* dygr_die = m_die_info->get_dygr_die_info();
    m_dygr_route_info = dygr_die->get_route_info();
    m_place_info = dygr_die->get_dygr_place_info();
    m_route_asm_info = dygr_die->get_route_asm_info();
    std::string reason;
    m_die_info->load_device_data(DEVICE_DATA_ROUTING, reason);
    m_die_info->load_device_data(DEVICE_DATA_ICNAME, reason);
    if (!m_dygr_route_info->is_loaded())
        m_dygr_route_info->load_data();
    if (!m_place_info->is_loaded())
        m_place_info->load_data();

    m_with_bits = false;
}

void ASM_ASMRE_DUMPER::set_output_path(const FIO_PATH& file, const FIO_PATH& directory)
{
    m_output_path = file;
    // The full path of an empty path would be the working directory: an
    // empty directory keeps the file where it is.
    const std::string directory_path = directory.empty() ? std::string() : directory.fullpath();
    std::printf("asmre dump directory is %s\n", directory_path.c_str());
    if (!directory_path.empty())
        m_output_path = FIO_PATH(directory_path + "/" + file.filename());
    std::printf("%s\n", m_output_path.fullpath().c_str());
}

void ASM_ASMRE_DUMPER::set_dump_mode(uint32_t dump_kind, uint32_t format)
{
    m_dump_kind = dump_kind;
    m_icname_loaded = false;
    if (format == 0)
    {
        m_mode = 0;
    }
    else if ((format == 1 || format == 2) && m_basic_info->is_valid_string_enum(BASIC_STRING_MCFS_TO_MCFD_FILE))
    {
        std::string reason;
        if (!m_die_info->load_device_data(DEVICE_DATA_ICNAME, reason))
            internal_error("Unable to load ICNAME device data", ASM_SOURCE_TAG, __LINE__);
        m_icname_loaded = true;
        m_mode = format;
    }

    switch (m_mode)
    {
    case 0:
        m_output_path.extension("asmre");
        break;
    case 1:
        m_output_path.extension("mcfd.asmre");
        break;
    case 2:
        m_output_path.extension("sch.asmre");
        break;
    default:
        internal_error("unknown ASMRE mode", ASM_SOURCE_TAG, __LINE__);
    }
}

void ASM_ASMRE_DUMPER::dump(CDB_ATOM_NETLIST* netlist)
{
    m_atom_netlist = netlist;
    m_text.clear();
    forget_dump_tables();
    build_re_gid_tables();
    build_pad_table();

    m_with_bits = m_dump_kind == 1 || m_dump_kind == 2;
    if (m_with_bits)
    {
        if (!m_route_asm_info->load_data(""))
            internal_error("Unable to load dygr_route_asm_info\n", ASM_SOURCE_TAG, __LINE__);
        // The bits' values come from the host: without its proxy a dump with
        // bits cannot be written.
        if (set_and_get_asm_zasm_accessor(nullptr, false) == nullptr)
            internal_error("zasm accessor proxy != NULL", ASM_SOURCE_TAG, __LINE__);
    }

    asm_debug_log(2, "%s", "Writing asmre files");
    // Every dump writes its own file, which replaces the earlier one whole at
    // the end; a dump that stops on the way (an internal error) leaves the
    // earlier file as it was and no temporary behind.
    asm_io::kestil_atomic_ofstream stream(m_output_path.fullpath().c_str());
    if (!stream.good())
        internal_error("Unable to dump out asm routing info", ASM_SOURCE_TAG, __LINE__);
    struct STREAM_IN_USE
    {
        asm_io::kestil_atomic_ofstream*& member;
        ~STREAM_IN_USE() { member = nullptr; }
    } in_use{m_stream};
    m_stream = &stream;

    write_header();
    setup_zdl();
    resolve_destination_atoms();
    write_atom_netlist_routing();
    write_text();

    const bool written = stream.commit();
    forget_dump_tables();

    if (m_icname_loaded)
    {
        m_die_info->unload_device_data(DEVICE_DATA_ICNAME);
        m_icname_loaded = false;
    }
    if (!written)
        internal_error("Unable to dump out asm routing info", ASM_SOURCE_TAG, __LINE__);
}

void ASM_ASMRE_DUMPER::write_text()
{
    m_stream->write(m_text.data(), static_cast<std::streamsize>(m_text.size()));
    m_text.clear();
}

bool ASM_ASMRE_DUMPER::get_bit_value(uint32_t flat_address, int& device_handle)
{
    ZASM_ACCESSOR_PROXY* proxy = set_and_get_asm_zasm_accessor(nullptr, false);
    return proxy != nullptr && proxy->get_bit_value(flat_address, device_handle);
}

ZGL::FOREST<int, int>* ASM_ASMRE_DUMPER::network(ASM_RE_NETWORK which) const
{
    switch (which)
    {
    case ASM_RE_NETWORK_CRF:
        return m_crf_network;
    case ASM_RE_NETWORK_BLC:
        return m_blc_network;
    case ASM_RE_NETWORK_FCD:
        return m_fcd_network;
    }
    return nullptr;
}

uint32_t ASM_ASMRE_DUMPER::node_gid(ZGL::FOREST<int, int>* re_network, int node) const
{
    return m_dygr_route_info->get_global_id(DYGR_FULL_GRAPH, re_network->value(node));
}

void ASM_ASMRE_DUMPER::build_re_gid_tables()
{
    // The roots' ids lie among the networks' nodes' ids, about as many as
    // the nodes: those below a few times the node count are kept in an
    // array by id.
    size_t node_count = 0;
    for (int which = ASM_RE_NETWORK_CRF; which <= ASM_RE_NETWORK_FCD; ++which)
        if (ZGL::FOREST<int, int>* re_network = network(static_cast<ASM_RE_NETWORK>(which)))
            node_count += re_network->size();
    m_root_slots.reset(4 * static_cast<uint64_t>(node_count) + 4096);
    m_root_sets.clear();
    for (int which = ASM_RE_NETWORK_CRF; which <= ASM_RE_NETWORK_FCD; ++which)
    {
        ZGL::FOREST<int, int>* re_network = network(static_cast<ASM_RE_NETWORK>(which));
        std::vector<NODE_HOP>& hops = m_node_hops[which];
        if (re_network == nullptr)
        {
            hops.clear();
            continue;
        }
        // Every node's entry is written below: a table of the right size
        // from the last dump is reused as it is.
        if (hops.size() != re_network->size())
            hops.resize(re_network->size());
        int last_root = -1;
        // Roots come in ascending node order, as a pre-order walk meets them;
        // of two roots of one network with the same id the later one holds.
        for (int node = 0; node < static_cast<int>(re_network->size()); ++node)
        {
            const uint32_t dest_gid = node_gid(re_network, node);
            ASM_REQUIRE(dest_gid != DEV_ILLEGAL_GLOBAL_ID);
            hops[static_cast<size_t>(node)].gid = dest_gid;
            if (!re_network->is_root(node))
            {
                // A parent comes before its children.
                const uint32_t parent_gid = hops[static_cast<size_t>(re_network->parent(node))].gid;
                hops[static_cast<size_t>(node)].graph_or_extent =
                    m_dygr_route_info->get_top_level_graph_from_edge(parent_gid, dest_gid, 0);
                continue;
            }
            if (last_root >= 0)
                hops[static_cast<size_t>(last_root)].graph_or_extent = node - last_root;
            hops[static_cast<size_t>(node)].graph_or_extent = static_cast<int>(re_network->size()) - node;
            last_root = node;
            const uint32_t* known = m_root_slots.find(dest_gid);
            const uint32_t slot = known != nullptr ? *known : static_cast<uint32_t>(m_root_sets.size());
            if (known == nullptr)
            {
                m_root_slots[dest_gid] = slot;
                m_root_sets.emplace_back();
            }
            ROOT_SET& set = m_root_sets[slot];
            int at = 0;
            while (at < set.count && set.entries[at].network != which)
                ++at;
            if (at == set.count)
                ++set.count;
            set.entries[at] = ROOT_ENTRY{node, static_cast<ASM_RE_NETWORK>(which)};
            // The set by node index; an equal index keeps the earlier
            // network first.
            std::sort(set.entries, set.entries + set.count, [](const ROOT_ENTRY& a, const ROOT_ENTRY& b) {
                return a.node != b.node ? a.node < b.node : a.network < b.network;
            });
        }
    }
}

const ASM_ASMRE_DUMPER::ROOT_SET* ASM_ASMRE_DUMPER::find_root_set(uint32_t global_id) const
{
    // Most ids, the leaves' among them, root no tree: the table's bit per
    // id answers for them.
    const uint32_t* slot = m_root_slots.find(global_id);
    return slot == nullptr ? nullptr : &m_root_sets[*slot];
}

const DEV_PAD* ASM_ASMRE_DUMPER::pad_of(uint32_t pad_index) const
{
    const DEV_PAD* dev_pad = m_pad_info != nullptr ? m_pad_info->get_pad(pad_index) : nullptr;
    ASM_REQUIRE(dev_pad != NULL);
    return dev_pad;
}

void ASM_ASMRE_DUMPER::build_pad_table()
{
    m_gid_to_pad.clear();
    const uint32_t pad_count = m_pad_info != nullptr ? m_pad_info->get_number_of_pads() : 0;
    for (uint32_t index = 0; index < pad_count; ++index)
    {
        const DEV_PAD* dev_pad = pad_of(index);
        if (dev_pad->is_valid_int_enum(DEV_PAD_INT_GLOBAL_ID))
            m_gid_to_pad[dev_pad->get_int(DEV_PAD_INT_GLOBAL_ID)] = index;
    }
}

ASM_ASMRE_DUMPER::ROOT_SET ASM_ASMRE_DUMPER::root_set(uint32_t global_id) const
{
    const ROOT_SET* found = find_root_set(global_id);
    return found == nullptr ? ROOT_SET() : *found;
}

bool ASM_ASMRE_DUMPER::mux_names_off_for_family() const
{
    const DEV_FAMILY family = m_basic_info->get_family_enum();
    return family == 54 || family == 15;
}

void ASM_ASMRE_DUMPER::setup_zdl()
{
    m_zdl_enabled = false;
    m_zdl_itranslate = nullptr;
    for (const ZDL::MUX_LOOKUP*& lookup : m_zdl_mux_lookups)
        lookup = nullptr;
    m_zdl_edge_api.reset();
    m_zdl_node_api.reset();
    m_zdl_translator.reset();
    m_zdl_emulator.reset();
    if (mux_names_off_for_family())
        return;

    m_zdl_emulator = DYGR_ZDL::EMULATOR::obtain(m_device, false);
    if (!m_zdl_emulator)
        return;
    if (m_zdl_emulator->get_mode() == 0)
    {
        m_zdl_translator = DYGR_ZDL_TRANSLATOR::obtain_translator(m_device);
        m_zdl_itranslate = m_zdl_translator ? m_zdl_translator->get_dav_translator() : nullptr;
        if (m_zdl_itranslate == nullptr)
            return;
        for (int which = 0; which < ZDL::ITRANSLATE::MUX_LOOKUP_COUNT; ++which)
            m_zdl_mux_lookups[which] = m_zdl_itranslate->get_mux_lookup(which);
    }
    else
    {
        m_zdl_edge_api.reset(m_zdl_emulator->get_edge_api(DYGR_ZDL::EM_GID(), DYGR_ZDL::EM_GID()));
        m_zdl_node_api.reset(m_zdl_emulator->get_node_api());
        if (!m_zdl_edge_api || !m_zdl_node_api)
            return;
    }
    m_zdl_enabled = true;
}

void ASM_ASMRE_DUMPER::write_header()
{
    m_text << "-- Zorvane Assembler Routing Information\n";
    switch (m_mode)
    {
    case 0:
        m_text << "-- Based on SOFTWARE Coordinates\n";
        break;
    case 1:
        m_text << "-- Based on IC DESIGN Coordinates\n";
        break;
    case 2:
        m_text << "-- Based on IC DESIGN *Schematic* Coordinates\n";
        break;
    default:
        internal_error("unknown ASMRE mode", ASM_SOURCE_TAG, __LINE__);
    }
    m_text << "-- " << ver_get_full_version(true) << "\n";
    m_text << "-- Generated on " << gen_get_current_date_and_time() << "\n";
    m_text << "-- Design " << '"' << m_output_path.base() << '"' << "\n";
    m_text << "-- Device: " << m_device_name << "\n";
    if (m_basic_info->is_valid_string_enum(BASIC_STRING_MCF_FILE))
        m_text << "-- MCF File: " << m_basic_info->get_string(BASIC_STRING_MCF_FILE) << "\n";
    if (m_basic_info->is_valid_string_enum(BASIC_STRING_RBA_FILE))
        m_text << "-- RBA File: " << m_basic_info->get_string(BASIC_STRING_RBA_FILE) << "\n";
    if (m_basic_info->is_valid_string_enum(BASIC_STRING_MCFS_TO_MCFD_FILE))
    {
        if (m_mode == 1 || m_mode == 2)
            m_text << "-- MCFS_TO_MCFD File: " << m_basic_info->get_string(BASIC_STRING_MCFS_TO_MCFD_FILE) << "\n";
        else if (m_mode != 0)
            internal_error("unknown ASMRE mode", ASM_SOURCE_TAG, __LINE__);
    }
    else
    {
        m_text << "\n";
    }
}

void ASM_ASMRE_DUMPER::write_atom_netlist_routing()
{
    if (m_atom_netlist == nullptr)
        return;
    for (CDB_ATOM_ITERATOR it = m_atom_netlist->begin_node_list(1, false, true); !it.at_end(); ++it)
    {
        CDB_ATOM_NODE* atom = *it;
        const uint32_t location = atom->get_location_index();
        const bool hipi = HIPI::UTIL::is_hipi(location, m_dygr_route_info, m_place_info);
        const bool lab_hipi = HIPI::UTIL::is_lab_hipi(location, m_place_info);
        if (atom->is_pin())
        {
            for (const auto& oterm : atom->get_oterms())
            {
                if (!oterm->has_fanout())
                    continue;
                if (write_pin_line(atom))
                {
                    write_pin_fanout(oterm->get_fanout().front());
                    m_text << "\n";
                }
            }
        }
        else if (!hipi || lab_hipi)
        {
            if (location != DEV_ILLEGAL_GLOBAL_ID && !atom->is_blackbox() && !atom->m_skip)
                write_node_routing(atom);
        }
        if (m_text.size() >= TEXT_PIECE)
            write_text();
    }
}

void ASM_ASMRE_DUMPER::resolve_destination_atoms()
{
    // The names and input-term ids of the atoms that the routing reaches,
    // found in one pass in netlist order, where each atom's data lies next
    // to its neighbours', rather than in the order the nets reach them. An
    // atom whose name or ids this cannot find, or meets later, is left to
    // the lookups on the way.
    if (m_atom_netlist == nullptr)
        return;
    // In batches: the batch's terms, which were made at different times and
    // lie apart, are asked for together before the batch is resolved.
    const size_t BATCH = 16;
    std::vector<const CDB_ATOM_NODE*> batch;
    CDB_ATOM_ITERATOR it = m_atom_netlist->begin_node_list(1, false, true);
    while (!it.at_end())
    {
        batch.clear();
        for (; !it.at_end() && batch.size() < BATCH; ++it)
            if (!(*it)->get_iterms().empty())
                batch.push_back(*it);
        for (const CDB_ATOM_NODE* atom : batch)
            for (const auto& iterm : atom->get_iterms())
                __builtin_prefetch(iterm.get());
        for (const CDB_ATOM_NODE* atom : batch)
        {
            DESTINATION_ATOM* destination = destination_atom(atom);
            if (destination == nullptr || destination->resolved != nullptr || destination->named != nullptr)
                continue;
            if (m_iterm_ids.size() + atom->get_iterms().size() > UINT32_MAX)
                return;
            resolve_iterm_re_gids(atom, *destination);
            if (const HDB_INSTANCE_NAME* name = atom_instance_name(atom))
            {
                destination->named = atom;
                destination->name = short_hpath(*name);
            }
        }
    }
}

bool ASM_ASMRE_DUMPER::write_pin_line(CDB_ATOM_NODE* atom)
{
    ASM_REQUIRE(atom->is_pin());
    const uint32_t atom_gid = atom->get_location_index();
    ASM_REQUIRE(atom_gid != DEV_ILLEGAL_GLOBAL_ID);
    auto found = m_gid_to_pad.find(atom_gid);
    if (found == m_gid_to_pad.end())
        return false;
    const DEV_PAD* dev_pad = pad_of(found->second);
    const uint32_t dev_pin_id = dev_pad->get_int(DEV_PAD_INT_PIN_ID);
    ASM_REQUIRE(m_package_info != NULL);
    ASM_REQUIRE(m_package_info->is_valid_pin_string_enum(dev_pin_id, DEV_PIN_STRING_USER_PIN_NAME));
    ASM_REQUIRE(dev_pad->is_valid_string_enum(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME));
    m_text << dev_pad->get_string(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME) << " : "
             << m_package_info->get_pin_string(dev_pin_id, DEV_PIN_STRING_USER_PIN_NAME) << " -->";
    return true;
}

void ASM_ASMRE_DUMPER::write_pin_fanout(const CDB_ATOM_ITERM* iterm)
{
    const CDB_ATOM_NODE* dest_atom = iterm->get_atom();
    const std::string_view dest_name = destination_name(dest_atom);
    m_text << ' ';
    m_text.append(dest_name.data(), dest_name.size());
    if (dest_atom->is_generic())
        internal_error("generic atoms are removed", ASM_SOURCE_TAG, __LINE__);
    m_text << " : " << port_type_name(iterm->get_port_type());
}

ASM_ASMRE_DUMPER::DESTINATION_ATOM* ASM_ASMRE_DUMPER::destination_atom(const CDB_ATOM_NODE* atom)
{
    const size_t KEPT_ATOMS = size_t(1) << 24;
    const size_t slot = atom->get_netlist_index();
    if (slot >= KEPT_ATOMS)
        return nullptr;
    if (slot >= m_destination_atoms.size())
        m_destination_atoms.resize(std::max(slot + 1, 2 * m_destination_atoms.size()));
    return &m_destination_atoms[slot];
}

std::string_view ASM_ASMRE_DUMPER::destination_name(const CDB_ATOM_NODE* atom)
{
    // Most atoms are met as the destination of several nets: each atom's
    // name is found once a dump and kept by the atom's netlist index.
    DESTINATION_ATOM* destination = destination_atom(atom);
    if (destination == nullptr)
    {
        const HDB_INSTANCE_NAME* dest_hdb_inst_name = atom_instance_name(atom);
        ASM_REQUIRE(dest_hdb_inst_name != NULL);
        return short_hpath(*dest_hdb_inst_name);
    }
    if (destination->named != atom)
    {
        const HDB_INSTANCE_NAME* dest_hdb_inst_name = atom_instance_name(atom);
        ASM_REQUIRE(dest_hdb_inst_name != NULL);
        destination->named = atom;
        destination->name = short_hpath(*dest_hdb_inst_name);
    }
    return destination->name;
}

void ASM_ASMRE_DUMPER::write_node_to_node(const CDB_ATOM_OTERM* oterm)
{
    // The source is the term itself: a term without a name of its own is not
    // written under its atom's name.
    const HDB_INSTANCE_NAME* hdb_inst_name = oterm->get_instance_name();
    ASM_REQUIRE(hdb_inst_name != NULL);
    append_short_hpath(m_text, *hdb_inst_name);
    if (oterm->get_atom()->is_generic())
        internal_error("generic atoms are removed", ASM_SOURCE_TAG, __LINE__);
    m_text << " --> " << port_type_name(oterm->get_any_usage_as());
}

bool ASM_ASMRE_DUMPER::is_carry_connection(const CDB_ATOM_OTERM* oterm, const CDB_ATOM_ITERM* iterm) const
{
    if (oterm->get_atom()->is_generic() || std::strcmp(port_type_name(oterm->get_any_usage_as()), "COUT") != 0)
        return false;
    return !iterm->get_atom()->is_generic() && std::strcmp(port_type_name(iterm->get_port_type()), "CIN") == 0;
}

void ASM_ASMRE_DUMPER::write_node_routing(CDB_ATOM_NODE* atom)
{
    for (const auto& oterm_owner : atom->get_oterms())
    {
        const CDB_ATOM_OTERM* oterm = oterm_owner.get();
        if (!oterm->has_fanout())
            continue;
        const HDB_INSTANCE_NAME* dest_hdb_inst_name = atom_instance_name(atom);
        ASM_REQUIRE(dest_hdb_inst_name != NULL);

        std::vector<uint32_t>& re_gids = m_oterm_gids;
        get_atom_re_gids(oterm, re_gids);
        for (uint32_t re_gid : re_gids)
        {
            if (re_gid == DEV_ILLEGAL_GLOBAL_ID)
            {
                const CDB_ATOM_ITERM* first = oterm->get_fanout().front();
                if (first->get_atom() == nullptr)
                    continue;
                write_node_to_node(oterm);
                write_pin_fanout(first);
                m_text << (is_carry_connection(oterm, first) ? "\n" : " NO ROUTING BETWEEN TWO NODES<DEBUG>\n");
                continue;
            }
            const ROOT_SET roots = root_set(re_gid);
            if (roots.count == 0)
                continue;
            write_node_to_node(oterm);
            m_text << " : ";
            write_node_name(re_gid);
            for (int i = 0; i < roots.count; ++i)
            {
                if (i > 0)
                    m_text << "\n\t";
                write_route_tree(roots.entries[i], oterm, INDENT_STEP, 1);
            }
            m_text << "\n";
        }
    }
}

void ASM_ASMRE_DUMPER::write_route_tree(const ROOT_ENTRY& root, const CDB_ATOM_OTERM* oterm, size_t indent,
                                        int counter)
{
    // The walk keeps its own stack, so that deep trees and long chains of
    // trees (a leaf continuing into the trees rooted at its id) cannot
    // exhaust the thread's stack. A tree already entered on the current
    // chain is not entered again: that would never end.
    std::vector<WALK_STEP>& steps = m_walk_steps;
    std::vector<std::pair<int, ASM_RE_NETWORK>>& open_trees = m_open_trees;
    steps.clear();
    open_trees.clear();
    steps.emplace_back(WALK_ENTER_TREE, root.network, root.node, indent, counter, false);
    while (!steps.empty())
    {
        // Field by field, as the step was written.
        const WALK_STEP& top = steps.back();
        WALK_STEP step(top.kind, top.network, top.node, top.indent, top.counter, top.new_line, top.parent_gid);
        steps.pop_back();
        if (step.kind == WALK_LEAVE_TREE)
        {
            open_trees.pop_back();
            continue;
        }
        ZGL::FOREST<int, int>* re_network = network(step.network);
        const std::vector<NODE_HOP>& hops = m_node_hops[step.network];
        if (step.kind == WALK_ENTER_TREE)
        {
            bool open = false;
            for (const auto& tree : open_trees)
                open = open || (tree.first == step.node && tree.second == step.network);
            if (open)
            {
                asm_debug_log(2, "ASMRE: routing tree cycle at gid %u", node_gid(re_network, step.node));
                continue;
            }
            prefetch_tree(step.network, step.node);
            open_trees.emplace_back(step.node, step.network);
            steps.emplace_back(WALK_LEAVE_TREE, step.network, step.node, 0, 0, false);
            // The tree's root is visited next.
            step.kind = WALK_VISIT;
            step.new_line = false;
        }

        // Down the tree from the step's node, first children first; each
        // node's next sibling waits on the stack for the node's subtree.
        for (;;)
        {
            if (step.new_line)
            {
                m_text << '\n';
                m_text.append(step.indent, ' ');
            }
            const NODE_HOP& hop = hops[static_cast<size_t>(step.node)];
            const uint32_t dest_gid = hop.gid;
            const size_t child_indent = step.indent + INDENT_STEP;
            int n = step.counter;
            if (!re_network->is_root(step.node))
            {
                write_hop(step.parent_gid, hop, n++);
                // The node's next sibling follows the node's subtree, on a
                // new line, with the same counter and indent (a root's
                // siblings are other roots: not part of its tree).
                const int sibling = re_network->next_sibling(step.node);
                if (sibling >= 0)
                    steps.emplace_back(WALK_VISIT, step.network, sibling, step.indent, step.counter, true,
                                       step.parent_gid);
            }

            const int first_child = re_network->first_child(step.node);
            if (first_child >= 0)
            {
                step.node = first_child;
                step.indent = child_indent;
                step.counter = n;
                step.new_line = false;
                step.parent_gid = dest_gid;
                continue;
            }

            // A leaf.
            ASM_REQUIRE(re_network->is_leaf(step.node));
            const ROOT_SET roots = root_set(dest_gid);
            if (roots.count == 0)
            {
                write_destination_fanout(oterm, dest_gid);
                break;
            }
            for (int i = roots.count - 1; i >= 0; --i)
                steps.emplace_back(WALK_ENTER_TREE, roots.entries[i].network, roots.entries[i].node, child_indent, n,
                                   false);
            break;
        }
    }
}

void ASM_ASMRE_DUMPER::prefetch_tree(ASM_RE_NETWORK which, int root) const
{
    // A tree is walked by its links, one node after the other. Its nodes,
    // most often those up to the next root, are asked for all at once; and
    // so are the nodes of the tree that follows in the network, which most
    // often is walked next.
    const size_t MOST_NODES = 256;
    const ZGL::FOREST<int, int>* re_network = network(which);
    const std::vector<NODE_HOP>& hops = m_node_hops[which];
    auto prefetch_nodes = [&](size_t first, size_t count) {
        for (size_t node = first; node < first + count; node += 64 / sizeof(NODE_HOP))
            __builtin_prefetch(&hops[node]);
        // Two nodes apart reaches every cache line of nodes of up to 32
        // bytes.
        for (size_t node = first; node < first + count; node += 2)
            __builtin_prefetch(&re_network->value(static_cast<int>(node)));
    };
    const size_t first = static_cast<size_t>(root);
    const size_t extent = static_cast<size_t>(hops[first].graph_or_extent);
    const size_t count = std::min(MOST_NODES, extent);
    prefetch_nodes(first, count);
    const size_t next = first + extent;
    if (next < hops.size() && re_network->is_root(static_cast<int>(next)))
        prefetch_nodes(next, std::min(MOST_NODES, static_cast<size_t>(hops[next].graph_or_extent)));
}

void ASM_ASMRE_DUMPER::write_hop(uint32_t parent_gid, const NODE_HOP& hop, int counter)
{
    const uint32_t global_id = hop.gid;
    const DYGR_GRAPH_TYPE graph = static_cast<DYGR_GRAPH_TYPE>(hop.graph_or_extent);
    if (const std::string* plain = plain_node_name(global_id))
    {
        // " -> counter,name graph" in one piece.
        const std::string& name = *plain;
        const std::string_view graph_text = graph_name(graph);
        const size_t COUNTER_DIGITS = 12;
        char* out = m_text.room(4 + COUNTER_DIGITS + 1 + name.size() + 1 + graph_text.size());
        std::memcpy(out, " -> ", 4);
        out = std::to_chars(out + 4, out + 4 + COUNTER_DIGITS, counter).ptr;
        *out++ = ',';
        std::memcpy(out, name.data(), name.size());
        out += name.size();
        *out++ = ' ';
        std::memcpy(out, graph_text.data(), graph_text.size());
        m_text.commit(out + graph_text.size());
        ASM_REQUIRE(parent_gid != DEV_ILLEGAL_GLOBAL_ID);
    }
    else
    {
        m_text << " -> " << counter << ',' << get_node_name(global_id) << ' ';
        ASM_REQUIRE(parent_gid != DEV_ILLEGAL_GLOBAL_ID);
        m_text << graph_name(graph);
    }
    if (m_zdl_enabled)
        write_mux_text(parent_gid, global_id);
    if (m_with_bits && graph == DYGR_SUBGRAPH_CRF)
        write_cram_bits(parent_gid, global_id);
}

void ASM_ASMRE_DUMPER::write_mux_text(uint32_t parent_gid, uint32_t global_id)
{
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    if (m_zdl_itranslate != nullptr)
    {
        const ZDL::DAV_GID from = m_zdl_itranslate->convert_dev_global_id_to_dav_gid(parent_gid);
        const ZDL::DAV_GID to = m_zdl_itranslate->convert_dev_global_id_to_dav_gid(global_id);
        if (from < 0 || to < 0)
            return;
        const ZDL::MUX* mux = nullptr;
        for (const ZDL::MUX_LOOKUP* lookup : m_zdl_mux_lookups)
            if (mux == nullptr && lookup != nullptr)
                mux = lookup->find(from, to);
        if (mux == nullptr)
            return;
        m_text << " : " << mux->symbol.get_name();
        inputs = mux->inputs;
        outputs = mux->outputs;
    }
    else if (m_zdl_edge_api && m_zdl_node_api)
    {
        const DYGR_ZDL::EM_GID from = m_zdl_emulator->get_emulator_gid(parent_gid, true);
        const DYGR_ZDL::EM_GID to = m_zdl_emulator->get_emulator_gid(global_id, true);
        if (!from.is_valid() || !to.is_valid() || !m_zdl_edge_api->update_edge(from, to))
            return;
        m_text << " : " << m_zdl_edge_api->get_uid();
        auto port_names = [this](const DYGR_ZDL::EM_GID& node, std::vector<std::string>& names) {
            if (!node.is_valid())
                return;
            const std::string mapped = m_zdl_node_api->get_mapped_port(node, MUX_PORT_MAP_TYPE);
            if (!mapped.empty())
                names.push_back(mapped);
            const std::string port = m_zdl_node_api->get_inst_port_pair(node).second;
            if (!port.empty())
                names.push_back(port);
        };
        port_names(m_zdl_edge_api->get_mux_input(), inputs);
        port_names(m_zdl_edge_api->get_mux_output(), outputs);
    }
    else
    {
        return;
    }
    if (inputs.size() == 1)
        m_text << " : input = " << inputs.front();
    if (outputs.size() == 1)
        m_text << " : output = " << outputs.front();
}

void ASM_ASMRE_DUMPER::write_destination_fanout(const CDB_ATOM_OTERM* oterm, uint32_t leaf_gid)
{
    // The ids of the fanout are computed once per output term; a leaf then
    // finds its input terms by id, in fanout order, each once.
    if (m_fanout_oterm != oterm)
    {
        m_fanout_by_gid.clear();
        const std::vector<CDB_ATOM_ITERM*>& fanout = oterm->get_fanout();
        // The terms, their atoms and the atoms' entries lie apart in memory:
        // each is asked for a few terms ahead, so that their loads overlap.
        const uint32_t TERMS_AHEAD = 6;
        const uint32_t ATOMS_AHEAD = 4;
        const uint32_t ENTRIES_AHEAD = 2;
        for (uint32_t position = 0; position < std::min<size_t>(TERMS_AHEAD, fanout.size()); ++position)
            __builtin_prefetch(fanout[position]);
        for (uint32_t position = 0; position < fanout.size(); ++position)
        {
            if (position + TERMS_AHEAD < fanout.size())
                __builtin_prefetch(fanout[position + TERMS_AHEAD]);
            if (position + ATOMS_AHEAD < fanout.size() && fanout[position + ATOMS_AHEAD]->get_atom() != nullptr)
                __builtin_prefetch(fanout[position + ATOMS_AHEAD]->get_atom());
            if (position + ENTRIES_AHEAD < fanout.size())
                if (const CDB_ATOM_NODE* atom = fanout[position + ENTRIES_AHEAD]->get_atom())
                    if (atom->get_netlist_index() < m_destination_atoms.size())
                        __builtin_prefetch(&m_destination_atoms[atom->get_netlist_index()]);
            uint32_t gid = DEV_ILLEGAL_GLOBAL_ID;
            if (find_single_iterm_re_gid(fanout[position], gid))
            {
                m_fanout_by_gid.emplace_back(gid, position);
                continue;
            }
            get_iterm_re_gids(fanout[position], m_term_gids);
            for (uint32_t gid : m_term_gids)
                m_fanout_by_gid.emplace_back(gid, position);
        }
        std::sort(m_fanout_by_gid.begin(), m_fanout_by_gid.end());
        m_fanout_by_gid.erase(std::unique(m_fanout_by_gid.begin(), m_fanout_by_gid.end()), m_fanout_by_gid.end());
        index_fanout_ids();
        m_fanout_oterm = oterm;
    }
    auto at = find_fanout_id(leaf_gid);
    for (; at != m_fanout_by_gid.end() && at->first == leaf_gid; ++at)
    {
        const CDB_ATOM_ITERM* iterm = oterm->get_fanout()[at->second];
        write_pin_fanout(iterm);
        write_pad_pin_names(iterm->get_atom());
    }
}

void ASM_ASMRE_DUMPER::index_fanout_ids()
{
    // A large fanout's leaves find their first pair through a hash table of
    // the ids (open addressing, at most half full) rather than by halving
    // the pairs at every leaf.
    const size_t LARGE_FANOUT = 64;
    m_fanout_slots.clear();
    if (m_fanout_by_gid.size() < LARGE_FANOUT)
        return;
    size_t slots = 2;
    while (slots < 2 * m_fanout_by_gid.size())
        slots *= 2;
    m_fanout_slots.assign(slots, NO_FANOUT_SLOT);
    const size_t mask = slots - 1;
    for (size_t pair = 0; pair < m_fanout_by_gid.size(); ++pair)
    {
        const uint32_t gid = m_fanout_by_gid[pair].first;
        if (pair > 0 && m_fanout_by_gid[pair - 1].first == gid)
            continue;
        size_t slot = fanout_slot_of(gid, mask);
        while (m_fanout_slots[slot] != NO_FANOUT_SLOT)
            slot = (slot + 1) & mask;
        m_fanout_slots[slot] = static_cast<uint32_t>(pair);
    }
}

std::vector<std::pair<uint32_t, uint32_t>>::const_iterator ASM_ASMRE_DUMPER::find_fanout_id(uint32_t gid) const
{
    if (m_fanout_slots.empty())
        return std::lower_bound(m_fanout_by_gid.begin(), m_fanout_by_gid.end(), std::make_pair(gid, uint32_t(0)));
    const size_t mask = m_fanout_slots.size() - 1;
    for (size_t slot = fanout_slot_of(gid, mask); m_fanout_slots[slot] != NO_FANOUT_SLOT; slot = (slot + 1) & mask)
        if (m_fanout_by_gid[m_fanout_slots[slot]].first == gid)
            return m_fanout_by_gid.begin() + m_fanout_slots[slot];
    return m_fanout_by_gid.end();
}

void ASM_ASMRE_DUMPER::write_pad_pin_names(const CDB_ATOM_NODE* atom)
{
    // Without pads no atom has pin text.
    if (m_gid_to_pad.empty())
        return;
    // The text depends on the atom alone: each atom's is found once a dump.
    auto known = m_pad_pin_names.find(atom);
    if (known == m_pad_pin_names.end())
        known = m_pad_pin_names.emplace(atom, find_pad_pin_names(atom)).first;
    m_text << known->second;
}

std::string ASM_ASMRE_DUMPER::find_pad_pin_names(const CDB_ATOM_NODE* atom) const
{
    for (const auto& oterm : atom->get_oterms())
    {
        for (const CDB_ATOM_ITERM* iterm : oterm->get_fanout())
        {
            const CDB_ATOM_NODE* pin = iterm->get_atom();
            if (pin == nullptr || !iterm->is_connected() || !pin->is_pin())
                continue;
            const uint32_t atom_gid = pin->get_location_index();
            ASM_REQUIRE(atom_gid != DEV_ILLEGAL_GLOBAL_ID);
            auto found = m_gid_to_pad.find(atom_gid);
            if (found == m_gid_to_pad.end())
                continue;
            const DEV_PAD* dev_pad = pad_of(found->second);
            const uint32_t dev_pin_id = dev_pad->get_int(DEV_PAD_INT_PIN_ID);
            ASM_REQUIRE(m_package_info != NULL);
            ASM_REQUIRE(m_package_info->is_valid_pin_string_enum(dev_pin_id, DEV_PIN_STRING_USER_PIN_NAME));
            ASM_REQUIRE(dev_pad->is_valid_string_enum(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME));
            return " --> " + dev_pad->get_string(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME) + " : " +
                   m_package_info->get_pin_string(dev_pin_id, DEV_PIN_STRING_USER_PIN_NAME);
        }
    }
    return std::string();
}

uint32_t ASM_ASMRE_DUMPER::get_icd_port_gid(const U2B2_PHYSICAL_PORT& port, bool output)
{
    const int bcm_instance_id = port.get_instance();
    ASM_REQUIRE(bcm_instance_id != DBCM_TREE::INVALID);
    bool found = false;
    const std::vector<int>& blocks = blocks_of_instance(bcm_instance_id, found);
    if (!found)
        return DEV_ILLEGAL_GLOBAL_ID;
    uint32_t re_gid = DEV_ILLEGAL_GLOBAL_ID;
    for (int block : blocks)
    {
        const DYGR_PLACE_BLOCK& place_block = m_place_info->block(block);
        uint32_t gid = m_dygr_route_info->get_block_icd_port_gid(place_block, port.get_name(),
                                                                 output ? DIRECTION_OUTPUT : DIRECTION_INPUT);
        if (gid == DEV_ILLEGAL_GLOBAL_ID)
            gid = m_dygr_route_info->get_block_icd_port_gid(place_block, port.get_name(), DIRECTION_BIDIR);
        if (gid != DEV_ILLEGAL_GLOBAL_ID)
            re_gid = gid;
    }
    return re_gid;
}

const std::vector<int>& ASM_ASMRE_DUMPER::blocks_of_instance(int bcm_instance_id, bool& found)
{
    // An instance's position and blocks do not change during a dump: each
    // instance's are looked up once. Ids far beyond any bundle's size are
    // not kept.
    static const std::vector<int> none;
    const size_t KEPT_INSTANCES = size_t(1) << 24;
    const size_t slot = static_cast<size_t>(bcm_instance_id);
    const bool keep = bcm_instance_id >= 0 && slot < KEPT_INSTANCES;
    if (keep && slot < m_blocks_of_instance.size() && m_blocks_of_instance[slot] != nullptr)
    {
        found = m_blocks_of_instance[slot] != &none;
        return *m_blocks_of_instance[slot];
    }
    int x = 0;
    int y = 0;
    found = m_dbcm_device->get_instance_xy(bcm_instance_id, x, y);
    const std::vector<int>& blocks = found ? m_place_info->get_blocks_at(x, y) : none;
    if (keep)
    {
        if (slot >= m_blocks_of_instance.size())
            m_blocks_of_instance.resize(std::max(slot + 1, 2 * m_blocks_of_instance.size()), nullptr);
        m_blocks_of_instance[slot] = &blocks;
    }
    return blocks;
}

void ASM_ASMRE_DUMPER::get_atom_re_gids(const CDB_ATOM_OTERM* oterm, std::vector<uint32_t>& gids)
{
    const CDB_ATOM_NODE* atom = oterm->get_atom();
    ASM_REQUIRE(atom != NULL);
    const U2B2_PHYSICAL_PORT_RANGE port_vector =
        m_port_map_db->get(U2B2_LOGICAL_PORT_FACTORY::create(oterm), PORT_MAP_TYPE);
    const uint32_t direct_gid =
        m_place_info->get_atom_port_global_id(atom->get_location_index(), oterm->get_any_usage_as(), oterm->get_index());

    gids.clear();
    if (port_vector.size() == 1)
    {
        const uint32_t re_gid = get_icd_port_gid(port_vector.front(), true);
        ASM_REQUIRE(re_gid != DEV_ILLEGAL_GLOBAL_ID);
        const bool direct_is_root = direct_gid != DEV_ILLEGAL_GLOBAL_ID && find_root_set(direct_gid) != nullptr;
        gids.push_back(mux_names_off_for_family() && direct_is_root ? direct_gid : re_gid);
    }
    else if (!port_vector.empty())
    {
        for (const U2B2_PHYSICAL_PORT& port : port_vector)
            gids.push_back(get_icd_port_gid(port, true));
    }
    else
    {
        gids.push_back(direct_gid);
    }
}

void ASM_ASMRE_DUMPER::get_iterm_re_gids(const CDB_ATOM_ITERM* iterm, std::vector<uint32_t>& gids)
{
    const U2B2_PHYSICAL_PORT_RANGE port_vector =
        m_port_map_db->get(U2B2_LOGICAL_PORT_FACTORY::create(iterm), PORT_MAP_TYPE);
    ASM_REQUIRE(port_vector.empty() || std::next(port_vector.begin()) == port_vector.end());
    gids.clear();
    if (port_vector.empty())
    {
        gids.push_back(DEV_ILLEGAL_GLOBAL_ID);
        return;
    }
    const U2B2_PHYSICAL_PORT& mapped = port_vector.front();
    gids.push_back(get_icd_port_gid(mapped, false));
    for (const U2B2_PHYSICAL_PORT& port : m_timing_util->get_iterm_physical_ports(m_port_map_db, iterm))
        if (!(port == mapped))
            gids.push_back(get_icd_port_gid(port, false));
}

bool ASM_ASMRE_DUMPER::find_single_iterm_re_gid(const CDB_ATOM_ITERM* iterm, uint32_t& gid)
{
    const CDB_ATOM_NODE* atom = iterm->get_atom();
    DESTINATION_ATOM* destination = atom != nullptr ? destination_atom(atom) : nullptr;
    if (destination == nullptr)
        return false;
    if (destination->resolved != atom)
    {
        // The entry of another netlist's atom of the same number: this
        // atom's terms go the general way.
        if (destination->resolved != nullptr)
            return false;
        if (m_iterm_ids.size() + atom->get_iterms().size() > UINT32_MAX)
            return false;
        resolve_iterm_re_gids(atom, *destination);
    }
    const uint32_t position = iterm->get_position();
    if (position >= destination->count)
        return false;
    const ITERM_ID& id = m_iterm_ids[destination->first + position];
    gid = id.gid;
    return id.single;
}

void ASM_ASMRE_DUMPER::resolve_iterm_re_gids(const CDB_ATOM_NODE* atom, DESTINATION_ATOM& ids)
{
    // All input terms of the atom at once: they share the atom's stretch of
    // the port map and, most often, its block and its ports.
    ids.resolved = atom;
    ids.first = static_cast<uint32_t>(m_iterm_ids.size());
    ids.count = static_cast<uint32_t>(atom->get_iterms().size());
    // The terms were made at different times and lie apart: their loads
    // are started together.
    for (const auto& iterm : atom->get_iterms())
        __builtin_prefetch(iterm.get());
    for (const auto& iterm : atom->get_iterms())
    {
        // The general way (get_iterm_re_gids) stays with the terms that do
        // not map to one physical port of a valid instance, or that have
        // further timing ports: it checks them as it meets them.
        ITERM_ID id{DEV_ILLEGAL_GLOBAL_ID, false};
        const U2B2_PHYSICAL_PORT_RANGE port_vector =
            m_port_map_db->get(U2B2_LOGICAL_PORT_FACTORY::create(iterm.get()), PORT_MAP_TYPE);
        if (port_vector.empty())
            id.single = true;
        else if (port_vector.size() == 1 && port_vector.front().get_instance() != DBCM_TREE::INVALID &&
                 m_timing_util->get_iterm_physical_ports(m_port_map_db, iterm.get()).empty())
        {
            id.gid = get_icd_port_gid(port_vector.front(), false);
            id.single = true;
        }
        m_iterm_ids.push_back(id);
    }
}

std::string ASM_ASMRE_DUMPER::get_blc_port_instance_name(uint32_t re_gid)
{
    ASM_REQUIRE(m_dygr_route_info->is_top_level_blc_port(re_gid));
    const DYGR_ROUTE_ELEMENT* re = m_dygr_route_info->get_route_element(re_gid);
    ASM_REQUIRE(re != NULL);
    uint32_t block_gid = DEV_ILLEGAL_GLOBAL_ID;
    const bool success = re->get_block_global_id(block_gid);
    ASM_REQUIRE(success);
    ASM_REQUIRE(block_gid != DEV_ILLEGAL_GLOBAL_ID);
    const int block = m_place_info->find_block_of_global_id(block_gid);
    ASM_REQUIRE(block != -1);
    const DYGR_PLACE_BLOCK& outermost = m_place_info->block(m_place_info->get_outermost_block(block));
    return m_dbcm_device->get_instance_name(m_dbcm_device->get_instance_at(outermost.x, outermost.y));
}

const std::string* ASM_ASMRE_DUMPER::plain_node_name(uint32_t re_gid) const
{
    if (m_mode != 0)
        return nullptr;
    DEV_ELEMENT_ENUM type = DEV_ELEMENT_NONE;
    std::string text;
    if (m_dygr_route_info->get_element_info(re_gid, type, text))
        return nullptr;
    return &m_die_info->get_element_name(re_gid);
}

void ASM_ASMRE_DUMPER::write_node_name(uint32_t re_gid)
{
    if (const std::string* plain = plain_node_name(re_gid))
        m_text << *plain;
    else
        m_text << get_node_name(re_gid);
}

std::string ASM_ASMRE_DUMPER::get_node_name(uint32_t re_gid)
{
    switch (m_mode)
    {
    case 0:
    {
        DEV_ELEMENT_ENUM type = DEV_ELEMENT_NONE;
        std::string text;
        if (!m_dygr_route_info->get_element_info(re_gid, type, text))
            return m_die_info->get_element_name(re_gid);
        std::string name = m_die_info->get_element_name(re_gid);
        std::string base;
        long index = -1;
        split_element_text(text, base, index);
        const std::string index_part = index == -1 ? ")" : "[" + std::to_string(index) + "])";
        if (type == dsym_get_generic_dev_element_enum())
            return name + " ( DEV_ELEMENT_GENERIC :" + base + index_part;
        name += " (";
        name += device_element_name(type);
        name += ":";
        if (m_dygr_route_info->is_top_level_blc_port(re_gid))
            name += get_blc_port_instance_name(re_gid) + ":";
        return name + base + index_part;
    }
    case 1:
    case 2:
    {
        auto found = m_gid_to_pad.find(re_gid);
        if (found != m_gid_to_pad.end())
        {
            const DEV_PAD* dev_pad = pad_of(found->second);
            ASM_REQUIRE(dev_pad->is_valid_string_enum(DEV_PAD_STRING_IC_DESIGN_NAME));
            return dev_pad->get_string(DEV_PAD_STRING_IC_DESIGN_NAME);
        }
        if (m_mode == 1)
            return m_die_info->get_icname(re_gid, 1);
        const std::string schematic = m_die_info->get_icname(re_gid, 2);
        return schematic.empty() ? m_die_info->get_icname(re_gid, 1) : "SCH:" + schematic;
    }
    default:
        internal_error("unknown ASMRE mode", ASM_SOURCE_TAG, __LINE__);
    }
}

void ASM_ASMRE_DUMPER::write_cram_bits(uint32_t parent_gid, uint32_t global_id)
{
    const int group = m_route_asm_info->get_destination_bit_group(parent_gid, global_id);
    if (group < 0)
        return;
    const DYGR_ROUTE_ASM_NODE* node = m_route_asm_info->get_asm_node(parent_gid);
    if (node == nullptr)
        return;
    const int count = node->get_num_bits_in_group(group);
    for (int i = 0; i < count; ++i)
    {
        const int flat = node->get_single_bit(group, i).get_flat_address();
        const uint32_t address = static_cast<uint32_t>(flat);
        // -6 and 268435450 stand for no bit.
        if (((address + 6u) & 0xEFFFFFFFu) == 0)
            continue;
        if (m_dump_kind == 1)
        {
            // " (b: address:value)" in one piece.
            const bool value = get_bit_value(address, m_device_handle);
            const size_t ADDRESS_DIGITS = 11;
            char* out = m_text.room(5 + ADDRESS_DIGITS + 3);
            std::memcpy(out, " (b: ", 5);
            out = std::to_chars(out + 5, out + 5 + ADDRESS_DIGITS, flat).ptr;
            *out++ = ':';
            *out++ = value ? '1' : '0';
            *out++ = ')';
            m_text.commit(out);
            continue;
        }
        m_text << "(b: ";
        ZASM_ACCESSOR_PROXY* proxy = set_and_get_asm_zasm_accessor(nullptr, false);
        ASM_REQUIRE(proxy != NULL);
        const uint32_t width = proxy->get_cram_address_width(m_device_handle, 2, 1);
        if (width == 0)
            internal_error("CRAM bit address width should not be zero.", ASM_SOURCE_TAG, __LINE__);
        m_text << "(" << address / width << "," << address % width << ")";
        const bool value = get_bit_value(address, m_device_handle);
        m_text << ":" << (value ? 1 : 0) << ")";
    }
}

ASM_IASMRE_DUMPER& get_dumper_instance(CDB_CHIP_DB_ENTRY* chip, int* device_handle)
{
    const int handle = device_handle != nullptr ? *device_handle : -1;
    static bool made = false;
    static ASM_ASMRE_DUMPER dumper(chip, handle);
    if (made)
        dumper.bind(chip, handle);
    made = true;
    return dumper;
}
