#include "asmre_generator.h"

#include <dbcm.h>
#include <dbs.h>
#include <dmgr.h>
#include <dsym.h>
#include <dygr.h>
#include <dygr_route.h>
#include <dygr_zdl.h>
#include <u2b2_port_map.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace
{

const DEV_PART PART = static_cast<DEV_PART>(9901);
const DEV_DEVICE_ENUM DEVICE = static_cast<DEV_DEVICE_ENUM>(990);
const uint32_t LOCATION_BASE = 0x40000000u;
const int TRUNK_HOPS = 12;
const int COLUMNS = 1000;

// Net sizes, in every run of 1000 atoms: 800 nets of a few sinks, 180 of
// some tens, 19 of a few hundreds and one clock-like net of thousands, each
// run in its own order, so that ten times the atoms is ten times the sinks.
const uint32_t FANOUT_RUN = 1000;
std::vector<uint32_t> draw_run_fanouts(std::mt19937& random)
{
    std::vector<uint32_t> fanouts;
    fanouts.reserve(FANOUT_RUN);
    for (uint32_t net = 0; net < FANOUT_RUN; ++net)
    {
        if (net < 800)
            fanouts.push_back(1 + random() % 4);
        else if (net < 980)
            fanouts.push_back(5 + random() % 16);
        else if (net < 999)
            fanouts.push_back(21 + random() % 180);
        else
            fanouts.push_back(1000 + random() % 2001);
    }
    return fanouts;
}

}  // namespace

ASMRE_SYNTHETIC_DESIGN::ASMRE_SYNTHETIC_DESIGN(uint32_t atom_count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> run_fanouts = draw_run_fanouts(random);
    dev_add_part(PART, "ZXBENCH", DEVICE);
    auto basic = std::make_unique<DEV_BASIC_INFO>(PART, DEVICE);
    basic->set_family_enum(44);
    basic->set_string(4, "bench.mcf");
    basic->set_string(6, "bench.rba");
    m_device.set_basic_info(std::move(basic));
    auto die_owned = std::make_unique<DEV_DIE_INFO>();
    DEV_DIE_INFO* die = die_owned.get();
    die->add_device_data(2);
    die->add_device_data(3);
    m_device.set_die_info(std::move(die_owned));
    m_device.set_pad_info(std::make_unique<DEV_PAD_INFO>());
    m_device.set_pkg_info(std::make_unique<DEV_PKG_INFO>());
    DMGR_UTILITY::set_current_device(&m_device);

    DBCM_DEVICE* bundle_device = DBCM_DB_MANAGER::get_or_create_instance()->add_chip()->add_device("ZXBENCH");
    DYGR_DIE_INFO* dygr = die->get_dygr_die_info();
    DYGR_ROUTE_INFO* route = dygr->get_route_info();
    DYGR_PLACE_INFO* place = dygr->get_dygr_place_info();
    DYGR_ROUTE_ASM_INFO* bits = dygr->get_route_asm_info();
    bits->set_available(true);
    const DEV_ELEMENT_ENUM wire = dsym_add_element("WIRE");
    const DBS_PORT_TYPE combout = dbs_add_port_type("COMBOUT");
    const DBS_PORT_TYPE data = dbs_add_port_type("DATA");
    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();

    // The routing first: every net's tree, and the sinks it reaches. The
    // netlist is made afterwards, atom by atom with its terms and block
    // ports together, as a netlist and a device read from their files lie
    // in memory (rather than each atom's terms scattered over the making of
    // the nets that reach it).
    uint32_t next_gid = 1;
    uint32_t next_bit = 0;
    auto new_node = [&](int parent) {
        const uint32_t gid = next_gid++;
        const int graph_node = route->add_node(gid);
        die->set_element_name(gid, "R" + std::to_string(gid));
        const int node = m_crf.add_node(graph_node, parent);
        if (parent >= 0)
        {
            const uint32_t parent_gid = route->get_global_id(DYGR_FULL_GRAPH, m_crf.value(parent));
            route->set_edge_graph(parent_gid, gid, DYGR_SUBGRAPH_CRF);
            if (gid % 3 == 0)
                bits->set_edge_bits(parent_gid, gid, {static_cast<int>(next_bit), static_cast<int>(next_bit + 1)});
            else
                bits->set_edge_bits(parent_gid, gid, {static_cast<int>(next_bit)});
            next_bit += 2;
            ++m_hops;
        }
        else if (gid % 7 == 0)
        {
            route->set_element_info(gid, wire, "W[" + std::to_string(gid % 64) + "]");
        }
        return std::make_pair(node, gid);
    };

    // Each net's root and, per sink in fanout order, the atom reached and
    // the id of the leaf that reaches it; each atom's input ids in order.
    std::vector<uint32_t> root_gids(atom_count);
    std::vector<uint32_t> first_sink(static_cast<size_t>(atom_count) + 1, 0);
    std::vector<uint32_t> sink_targets;
    std::vector<std::vector<uint32_t>> input_gids(atom_count);
    for (uint32_t i = 0; i < atom_count; ++i)
    {
        const auto root = new_node(-1);
        root_gids[i] = root.second;

        // The trunk, then one branch per sink off a node that is no sink.
        std::vector<int> attachable{root.first};
        int tip = root.first;
        for (int hop = 0; hop < TRUNK_HOPS; ++hop)
        {
            tip = new_node(tip).first;
            attachable.push_back(tip);
        }
        if (i % FANOUT_RUN == 0)
            std::shuffle(run_fanouts.begin(), run_fanouts.end(), random);
        const uint32_t fanout = atom_count > 1 ? run_fanouts[i % FANOUT_RUN] : 0;
        m_largest_fanout = std::max(m_largest_fanout, fanout);
        for (uint32_t sink = 0; sink < fanout; ++sink)
        {
            int from = attachable[random() % attachable.size()];
            const int branch_hops = 2 + static_cast<int>(random() % 4);
            for (int hop = 1; hop < branch_hops; ++hop)
            {
                from = new_node(from).first;
                attachable.push_back(from);
            }
            const auto leaf = new_node(from);
            // Placement keeps most of a net near its driver: sinks are drawn
            // from a window around the driver that widens with the fanout.
            const uint32_t window = std::min(atom_count - 1, std::max<uint32_t>(1000, 4 * fanout));
            const uint32_t step = 1 + static_cast<uint32_t>(random() % window);
            const uint32_t target = (i + atom_count - window / 2 - 1 + step + (step > window / 2 ? 1 : 0)) % atom_count;
            sink_targets.push_back(target);
            input_gids[target].push_back(leaf.second);
            ++m_sinks;
        }
        first_sink[i + 1] = static_cast<uint32_t>(sink_targets.size());
    }

    // The atoms, each on its own block and bundle instance, with its output
    // term and its input terms.
    std::vector<CDB_ATOM_NODE*> atoms;
    atoms.reserve(atom_count);
    for (uint32_t i = 0; i < atom_count; ++i)
    {
        const std::string name = "a" + std::to_string(i);
        CDB_ATOM_NODE* atom = m_netlist.add_atom(std::make_unique<CDB_ATOM_NODE>(name, "la_lab"));
        atom->set_instance_name("top|" + name);
        atom->set_location_index(LOCATION_BASE + i);
        atoms.push_back(atom);
        const int x = static_cast<int>(i % COLUMNS);
        const int y = static_cast<int>(i / COLUMNS);
        bundle_device->add_instance(x, y, "lab_" + std::to_string(i));
        DYGR_PLACE_BLOCK block;
        block.x = x;
        block.y = y;
        block.location = LOCATION_BASE + i;
        block.set_icd_port("OUTPUT", "O", root_gids[i]);
        CDB_ATOM_OTERM* oterm = atom->add_oterm(combout, 0);
        oterm->set_instance_name("top|" + name);
        port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(oterm), 1, U2B2_PHYSICAL_PORT(static_cast<int>(i), "O"));
        for (size_t index = 0; index < input_gids[i].size(); ++index)
        {
            CDB_ATOM_ITERM* iterm = atom->add_iterm(data, static_cast<int>(index));
            const std::string port = "I" + std::to_string(index);
            port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(iterm), 1,
                          U2B2_PHYSICAL_PORT(static_cast<int>(i), port));
            block.set_icd_port("INPUT", port, input_gids[i][index]);
        }
        place->add_block(block);
    }

    // The nets: each driver's sinks in the order its tree reaches them, each
    // atom's inputs in the order the nets reach them.
    std::vector<uint32_t> inputs_used(atom_count, 0);
    for (uint32_t i = 0; i < atom_count; ++i)
    {
        CDB_ATOM_OTERM* oterm = atoms[i]->get_primary_oterm();
        for (uint32_t sink = first_sink[i]; sink < first_sink[i + 1]; ++sink)
        {
            const uint32_t target = sink_targets[sink];
            oterm->add_fanout(atoms[target]->get_iterms()[inputs_used[target]++].get());
        }
    }
    u2b2_set_pdb_port_map(std::move(port_map));
    // The device's assembler view of the routing is in memory before the
    // dump, as the stages before the assembler leave it.
    bits->load_data("");

    m_chip.set_chip(&m_hdb_chip);
    m_chip.set_atom_netlist(&m_netlist);
    m_chip.set_crf_re_network(&m_crf);
}

ASMRE_SYNTHETIC_DESIGN::~ASMRE_SYNTHETIC_DESIGN()
{
    u2b2_set_pdb_port_map(nullptr);
    DMGR_UTILITY::set_current_device(nullptr);
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    dygr_zdl_reset();
    dbs_reset();
    dsym_reset();
    dev_reset();
}
