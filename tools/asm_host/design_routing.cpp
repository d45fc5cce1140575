#include "design_routing.h"

#include "design.h"
#include "design_json.h"
#include "netlist_atoms.h"

#include <cdb.h>
#include <cdb_atom.h>
#include <dbcm.h>
#include <dbs.h>
#include <dev.h>
#include <dsym.h>
#include <dygr.h>
#include <dygr_route.h>
#include <dygr_zdl.h>
#include <u2b2_port_map.h>
#include <zgl.h>

#include <nlohmann/json.hpp>

#include <climits>
#include <functional>
#include <set>

using nlohmann::json;

namespace
{

using design_json::MAX_NESTING;
using design_json::OBJECT;
using design_json::VALUE;

const char* const NETWORK_KEYS[3] = {"crf", "blc", "fcd"};

int graph_of(const VALUE& value)
{
    const std::string name = value.nonempty_text();
    if (name == "full")
        return DYGR_FULL_GRAPH;
    if (name == "blc")
        return DYGR_SUBGRAPH_BLC;
    if (name == "crf")
        return DYGR_SUBGRAPH_CRF;
    if (name == "fcd")
        return DYGR_SUBGRAPH_FCD;
    value.fail("expected one of \"full\", \"blc\", \"crf\", \"fcd\"");
}

// Trees nest at most MAX_NESTING levels: deeper input is refused rather than
// read on the machine stack.
DESIGN_ROUTING_TREE read_tree(OBJECT& node, const std::set<uint32_t>& gids, int depth = 0)
{
    if (depth >= MAX_NESTING)
        node.value().fail("routing trees nest more than " + std::to_string(MAX_NESTING) + " levels deep");
    DESIGN_ROUTING_TREE tree;
    VALUE gid = node.required("gid");
    tree.gid = gid.uint32();
    if (gids.count(tree.gid) == 0)
        gid.fail("no routing node has this gid");
    node.each_object("children", false,
                     [&](OBJECT& child) { tree.children.push_back(read_tree(child, gids, depth + 1)); });
    return tree;
}

std::vector<DESIGN_PHYSICAL_PORT> read_ports(OBJECT& term, const char* key, size_t instance_count)
{
    std::vector<DESIGN_PHYSICAL_PORT> ports;
    term.each_object(key, false, [&](OBJECT& entry) {
        DESIGN_PHYSICAL_PORT port;
        VALUE instance = entry.required("instance");
        port.instance = instance.int32();
        if (port.instance < 0 || static_cast<size_t>(port.instance) >= instance_count)
            instance.fail("no chip bundle instance has this index");
        port.port = entry.required("port").nonempty_text();
        ports.push_back(port);
    });
    return ports;
}

}  // namespace

std::shared_ptr<const DESIGN_ROUTING> read_design_routing(const json& value, const std::string& path,
                                                          const std::string& file, const DESIGN_NETLIST* netlist)
{
    auto routing = std::make_shared<DESIGN_ROUTING>();
    OBJECT top(VALUE(value, path, file));

    if (std::optional<VALUE> strings_value = top.optional("device_strings"))
    {
        OBJECT strings(*strings_value);
        const std::pair<const char*, int> keys[] = {{"mcf_file", 4}, {"rba_file", 6}, {"mcfs_to_mcfd_file", 8}};
        for (const auto& [key, number] : keys)
            if (std::optional<VALUE> text = strings.optional(key))
                routing->device_strings[number] = text->nonempty_text();
        strings.finish();
    }

    std::set<uint32_t> gids;
    top.each_object("nodes", false, [&](OBJECT& entry) {
        DESIGN_ROUTING_NODE node;
        VALUE gid = entry.required("gid");
        node.gid = gid.uint32();
        if (node.gid == 0xFFFFFFFFu || !gids.insert(node.gid).second)
            gid.fail("a routing node's gid must be unique and not 4294967295");
        node.name = entry.required("name").nonempty_text();
        if (std::optional<VALUE> ic_name = entry.optional("ic_name"))
            node.ic_name = ic_name->nonempty_text();
        if (std::optional<VALUE> sch_name = entry.optional("sch_name"))
            node.sch_name = sch_name->nonempty_text();
        if (std::optional<VALUE> element_value = entry.optional("element"))
        {
            OBJECT element(*element_value);
            node.element_type = element.required("type").nonempty_text();
            node.element_text = element.required("text").nonempty_text();
            element.finish();
        }
        if (std::optional<VALUE> block = entry.optional("blc_block"))
            node.blc_block = block->uint32();
        routing->nodes.push_back(node);
    });

    if (std::optional<VALUE> networks_value = top.optional("networks"))
    {
        OBJECT networks(*networks_value);
        for (int which = 0; which < 3; ++which)
            if (std::optional<VALUE> trees = networks.optional(NETWORK_KEYS[which]))
            {
                routing->networks[which].emplace();
                for (const VALUE& element : trees->elements())
                {
                    OBJECT tree(element);
                    routing->networks[which]->push_back(read_tree(tree, gids));
                    tree.finish();
                }
            }
        networks.finish();
    }

    top.each_object("edges", false, [&](OBJECT& entry) {
        DESIGN_ROUTING_EDGE edge;
        edge.from = entry.required("from").uint32();
        edge.to = entry.required("to").uint32();
        if (std::optional<VALUE> graph = entry.optional("graph"))
            edge.graph = graph_of(*graph);
        if (std::optional<VALUE> bits = entry.optional("bits"))
        {
            edge.bits.emplace();
            for (const VALUE& bit : bits->elements())
                edge.bits->push_back(bit.int32());
        }
        routing->edges.push_back(edge);
    });

    top.each_object("instances", false, [&](OBJECT& entry) {
        DESIGN_BUNDLE_INSTANCE instance;
        instance.x = entry.required("x").int32();
        instance.y = entry.required("y").int32();
        instance.name = entry.required("name").nonempty_text();
        routing->instances.push_back(instance);
    });

    top.each_object("blocks", false, [&](OBJECT& entry) {
        DESIGN_PLACE_BLOCK_DATA block;
        block.x = entry.required("x").int32();
        block.y = entry.required("y").int32();
        if (std::optional<VALUE> z = entry.optional("z"))
            block.z = z->int32();
        if (std::optional<VALUE> parent = entry.optional("parent"))
        {
            block.parent = parent->int32();
            if (block.parent < 0 || static_cast<size_t>(block.parent) >= routing->blocks.size())
                parent->fail("expected the index of an earlier block");
        }
        if (std::optional<VALUE> gid = entry.optional("gid"))
            block.gid = gid->uint32();
        if (std::optional<VALUE> location = entry.optional("location"))
            block.location = location->uint32();
        if (std::optional<VALUE> hipi = entry.optional("hipi"))
            block.hipi = hipi->boolean();
        if (std::optional<VALUE> lab_hipi = entry.optional("lab_hipi"))
            block.lab_hipi = lab_hipi->boolean();
        entry.each_object("ports", false, [&](OBJECT& port_entry) {
            DESIGN_PLACE_PORT port;
            port.name = port_entry.required("name").nonempty_text();
            VALUE direction = port_entry.required("direction");
            port.direction = direction.nonempty_text();
            if (port.direction != "INPUT" && port.direction != "OUTPUT" && port.direction != "BIDIR")
                direction.fail("expected one of \"INPUT\", \"OUTPUT\", \"BIDIR\"");
            port.gid = port_entry.required("gid").uint32();
            block.ports.push_back(port);
        });
        entry.each_object("atom_ports", false, [&](OBJECT& port_entry) {
            DESIGN_ATOM_PORT port;
            port.port = port_entry.required("port").nonempty_text();
            port.index = port_entry.required("index").int32();
            port.gid = port_entry.required("gid").uint32();
            block.atom_ports.push_back(port);
        });
        routing->blocks.push_back(block);
    });

    top.each_object("pads", false, [&](OBJECT& entry) {
        DESIGN_PAD pad;
        if (std::optional<VALUE> gid = entry.optional("gid"))
            pad.gid = gid->uint32();
        pad.pin = entry.required("pin").uint32();
        if (std::optional<VALUE> cell = entry.optional("cell"))
            pad.cell = cell->nonempty_text();
        if (std::optional<VALUE> ic_name = entry.optional("ic_name"))
            pad.ic_name = ic_name->nonempty_text();
        if (std::optional<VALUE> user_pin_name = entry.optional("user_pin_name"))
            pad.user_pin_name = user_pin_name->nonempty_text();
        routing->pads.push_back(pad);
    });

    std::unordered_map<std::string, size_t> netlist_atoms;
    if (netlist != nullptr)
        netlist_atoms = count_atom_names(*netlist);
    std::set<std::string> routed_atoms;
    top.each_object("atoms", false, [&](OBJECT& entry) {
        DESIGN_ROUTED_ATOM atom;
        VALUE name = entry.required("atom");
        atom.atom = name.nonempty_text();
        auto found = netlist_atoms.find(atom.atom);
        if (found == netlist_atoms.end())
            name.fail("no atom of the netlist has this name");
        if (found->second > 1)
            name.fail("more than one atom of the netlist has this name");
        if (!routed_atoms.insert(atom.atom).second)
            name.fail("the atom is given twice");
        if (std::optional<VALUE> instance_name = entry.optional("instance_name"))
            atom.instance_name = instance_name->nonempty_text();
        if (std::optional<VALUE> location = entry.optional("location"))
            atom.location = location->uint32();
        if (std::optional<VALUE> pin = entry.optional("pin"))
            atom.pin = pin->boolean();
        if (std::optional<VALUE> generic = entry.optional("generic"))
            atom.generic = generic->boolean();
        if (std::optional<VALUE> named_terms = entry.optional("named_terms"))
            atom.named_terms = named_terms->boolean();
        entry.each_object("inputs", false, [&](OBJECT& term) {
            DESIGN_ROUTED_INPUT input;
            input.port = term.required("port").nonempty_text();
            input.index = term.required("index").int32();
            input.map = read_ports(term, "map", routing->instances.size());
            input.timing = read_ports(term, "timing", routing->instances.size());
            atom.inputs.push_back(input);
        });
        entry.each_object("outputs", false, [&](OBJECT& term) {
            DESIGN_ROUTED_OUTPUT output;
            output.port = term.required("port").nonempty_text();
            output.index = term.required("index").int32();
            if (std::optional<VALUE> instance_name = term.optional("instance_name"))
                output.instance_name = instance_name->nonempty_text();
            output.map = read_ports(term, "map", routing->instances.size());
            term.each_object("fanout", false, [&](OBJECT& ref) {
                DESIGN_TERM_REF fanout;
                fanout.atom = ref.required("atom").nonempty_text();
                fanout.port = ref.required("port").nonempty_text();
                fanout.index = ref.required("index").int32();
                output.fanout.push_back(fanout);
            });
            atom.outputs.push_back(output);
        });
        routing->atoms.push_back(atom);
    });
    // Every fanout names an input term of a routed atom, driven once.
    {
        std::set<std::tuple<std::string, std::string, int>> inputs;
        for (const DESIGN_ROUTED_ATOM& atom : routing->atoms)
            for (const DESIGN_ROUTED_INPUT& input : atom.inputs)
                inputs.emplace(atom.atom, input.port, input.index);
        std::set<std::tuple<std::string, std::string, int>> driven;
        for (size_t a = 0; a < routing->atoms.size(); ++a)
            for (size_t o = 0; o < routing->atoms[a].outputs.size(); ++o)
                for (size_t f = 0; f < routing->atoms[a].outputs[o].fanout.size(); ++f)
                {
                    const DESIGN_TERM_REF& ref = routing->atoms[a].outputs[o].fanout[f];
                    const auto key = std::make_tuple(ref.atom, ref.port, ref.index);
                    const std::string where = path + ".atoms[" + std::to_string(a) + "].outputs[" +
                                              std::to_string(o) + "].fanout[" + std::to_string(f) + "]";
                    if (inputs.count(key) == 0)
                        throw DESIGN_ERROR(file, where, "no input of a routed atom is this term");
                    if (!driven.insert(key).second)
                        throw DESIGN_ERROR(file, where, "the input term is driven twice");
                }
    }

    if (std::optional<VALUE> emulator_value = top.optional("emulator"))
    {
        OBJECT emulator(*emulator_value);
        routing->emulator_mode = static_cast<int>(emulator.required("mode").integer(0, INT_MAX));
        emulator.each_object("muxes", false, [&](OBJECT& entry) {
            DESIGN_MUX_EDGE mux;
            mux.from = entry.required("from").uint32();
            mux.to = entry.required("to").uint32();
            mux.uid = entry.required("uid").nonempty_text();
            if (std::optional<VALUE> input = entry.optional("input"))
                mux.input = input->nonempty_text();
            if (std::optional<VALUE> output = entry.optional("output"))
                mux.output = output->nonempty_text();
            routing->muxes.push_back(mux);
        });
        emulator.finish();
    }

    top.finish();
    return routing;
}

struct HOST_ROUTING::NETWORKS
{
    ZGL::FOREST<int, int> forests[3];
};

namespace
{

void add_tree(ZGL::FOREST<int, int>& forest, const DESIGN_ROUTING_TREE& tree, int parent,
              const std::map<uint32_t, int>& graph_nodes)
{
    const int node = forest.add_node(graph_nodes.at(tree.gid), parent);
    for (const DESIGN_ROUTING_TREE& child : tree.children)
        add_tree(forest, child, node, graph_nodes);
}

DEV_ELEMENT_ENUM element_enum(const std::string& name, std::map<std::string, DEV_ELEMENT_ENUM>& elements)
{
    auto found = elements.find(name);
    if (found != elements.end())
        return found->second;
    return elements[name] = dsym_add_element(name.c_str());
}

}  // namespace

HOST_ROUTING::HOST_ROUTING(const DESIGN& design, CDB_CHIP_DB_ENTRY* chip, const HOST_ATOM_INDEX& atom_index,
                           DEV_DEVICE* device, DBCM_CHIP* bundle_chip)
    : m_networks(std::make_unique<NETWORKS>()), m_device(device)
{
    const DESIGN_ROUTING& routing = *design.routing;
    DEV_BASIC_INFO* basic = device->get_basic_info();
    basic->set_family_enum(design.family);
    for (const auto& [number, text] : routing.device_strings)
        basic->set_string(number, text);

    // Element types first, so that the generic element lies above them all.
    std::map<std::string, DEV_ELEMENT_ENUM> elements;
    for (const DESIGN_ROUTING_NODE& node : routing.nodes)
        if (node.element_type && *node.element_type != "generic")
            element_enum(*node.element_type, elements);

    DEV_DIE_INFO* die = device->get_die_info();
    DYGR_DIE_INFO* dygr = die->get_dygr_die_info();
    DYGR_ROUTE_INFO* route = dygr->get_route_info();
    std::map<uint32_t, int> graph_nodes;
    for (const DESIGN_ROUTING_NODE& node : routing.nodes)
    {
        graph_nodes[node.gid] = route->add_node(node.gid);
        die->set_element_name(node.gid, node.name);
        if (!node.ic_name.empty())
            die->set_icname(node.gid, 1, node.ic_name);
        if (!node.sch_name.empty())
            die->set_icname(node.gid, 2, node.sch_name);
        if (node.element_type)
            route->set_element_info(node.gid,
                                    *node.element_type == "generic" ? dsym_get_generic_dev_element_enum()
                                                                    : element_enum(*node.element_type, elements),
                                    node.element_text);
        if (node.blc_block)
            route->add_top_level_blc_port(node.gid, *node.blc_block);
    }
    for (int which = 0; which < 3; ++which)
    {
        if (!routing.networks[which])
            continue;
        for (const DESIGN_ROUTING_TREE& tree : *routing.networks[which])
            add_tree(m_networks->forests[which], tree, -1, graph_nodes);
    }
    if (routing.networks[0])
        chip->set_crf_re_network(&m_networks->forests[0]);
    if (routing.networks[1])
        chip->set_blc_re_network(&m_networks->forests[1]);
    if (routing.networks[2])
        chip->set_fcd_re_network(&m_networks->forests[2]);

    DYGR_ROUTE_ASM_INFO* bits = dygr->get_route_asm_info();
    for (const DESIGN_ROUTING_EDGE& edge : routing.edges)
    {
        route->set_edge_graph(edge.from, edge.to, static_cast<DYGR_GRAPH_TYPE>(edge.graph));
        if (edge.bits)
        {
            bits->set_available(true);
            bits->set_edge_bits(edge.from, edge.to, *edge.bits);
        }
    }

    DBCM_DEVICE* bundle_device = bundle_chip->get_device();
    for (const DESIGN_BUNDLE_INSTANCE& instance : routing.instances)
        bundle_device->add_instance(instance.x, instance.y, instance.name);

    DYGR_PLACE_INFO* place = dygr->get_dygr_place_info();
    for (const DESIGN_PLACE_BLOCK_DATA& data : routing.blocks)
    {
        DYGR_PLACE_BLOCK block;
        block.x = data.x;
        block.y = data.y;
        block.z = data.z;
        block.parent = data.parent;
        block.global_id = data.gid.value_or(DEV_ILLEGAL_GLOBAL_ID);
        block.location = data.location.value_or(DEV_ILLEGAL_GLOBAL_ID);
        block.hipi = data.hipi;
        block.lab_hipi = data.lab_hipi;
        for (const DESIGN_PLACE_PORT& port : data.ports)
            block.set_icd_port(port.direction, port.name, port.gid);
        for (const DESIGN_ATOM_PORT& port : data.atom_ports)
            block.atom_ports[std::make_pair(dbs_add_port_type(port.port), port.index)] = port.gid;
        place->add_block(block);
    }

    auto pads = std::make_unique<DEV_PAD_INFO>();
    auto package = std::make_unique<DEV_PKG_INFO>();
    for (const DESIGN_PAD& data : routing.pads)
    {
        DEV_PAD* pad = pads->add_pad(std::make_unique<DEV_PAD>());
        if (data.gid)
            pad->set_int(DEV_PAD_INT_GLOBAL_ID, *data.gid);
        pad->set_int(DEV_PAD_INT_PIN_ID, data.pin);
        if (data.cell)
            pad->set_string(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME, *data.cell);
        if (data.ic_name)
            pad->set_string(DEV_PAD_STRING_IC_DESIGN_NAME, *data.ic_name);
        if (data.user_pin_name)
            package->set_pin_string(data.pin, DEV_PIN_STRING_USER_PIN_NAME, *data.user_pin_name);
    }
    device->set_pad_info(std::move(pads));
    device->set_pkg_info(std::move(package));

    // Terms first, then their connections: a fanout may name a later atom.
    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
    std::map<std::tuple<std::string, std::string, int>, CDB_ATOM_ITERM*> iterms;
    std::vector<CDB_ATOM_NODE*> atoms;
    for (const DESIGN_ROUTED_ATOM& data : routing.atoms)
    {
        CDB_ATOM_NODE* atom = atom_index.find(data.atom);
        atoms.push_back(atom);
        if (atom == nullptr)
            continue;
        atom->set_pin(data.pin);
        atom->set_generic(data.generic);
        atom->set_named_terms(data.named_terms);
        atom->set_location_index(data.location.value_or(DEV_ILLEGAL_GLOBAL_ID));
        if (data.instance_name)
            atom->set_instance_name(*data.instance_name);
        for (const DESIGN_ROUTED_INPUT& input : data.inputs)
        {
            CDB_ATOM_ITERM* iterm = atom->add_iterm(dbs_add_port_type(input.port), input.index);
            iterms[std::make_tuple(data.atom, input.port, input.index)] = iterm;
            for (const DESIGN_PHYSICAL_PORT& port : input.map)
                port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(iterm), 1,
                              U2B2_PHYSICAL_PORT(port.instance, port.port));
            for (const DESIGN_PHYSICAL_PORT& port : input.timing)
                port_map->add_timing_port(iterm, U2B2_PHYSICAL_PORT(port.instance, port.port));
        }
    }
    for (size_t a = 0; a < routing.atoms.size(); ++a)
    {
        if (atoms[a] == nullptr)
            continue;
        for (const DESIGN_ROUTED_OUTPUT& output : routing.atoms[a].outputs)
        {
            CDB_ATOM_OTERM* oterm = atoms[a]->add_oterm(dbs_add_port_type(output.port), output.index);
            // Every term is named, as in a synthesised netlist: by default
            // with its atom's name.
            const std::optional<std::string>& term_name =
                output.instance_name ? output.instance_name : routing.atoms[a].instance_name;
            if (term_name)
                oterm->set_instance_name(*term_name);
            for (const DESIGN_PHYSICAL_PORT& port : output.map)
                port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(oterm), 1,
                              U2B2_PHYSICAL_PORT(port.instance, port.port));
            for (const DESIGN_TERM_REF& ref : output.fanout)
                oterm->add_fanout(iterms.at(std::make_tuple(ref.atom, ref.port, ref.index)));
        }
    }
    u2b2_set_pdb_port_map(std::move(port_map));

    if (routing.emulator_mode)
    {
        auto emulator = std::make_shared<DYGR_ZDL::EMULATOR>(*routing.emulator_mode);
        if (*routing.emulator_mode == 0)
        {
            // Mode 0 reads mux names through the translator: description ids
            // are the global ids.
            auto translator = std::make_shared<DYGR_ZDL_TRANSLATOR>();
            ZDL::ITRANSLATE* translate = translator->get_dav_translator();
            for (const DESIGN_MUX_EDGE& mux : routing.muxes)
            {
                translate->set_dav_gid(mux.from, mux.from);
                translate->set_dav_gid(mux.to, mux.to);
                ZDL::MUX entry{NS_SYMBOL::SYM(mux.uid), {}, {}};
                if (mux.input)
                    entry.inputs.push_back(*mux.input);
                if (mux.output)
                    entry.outputs.push_back(*mux.output);
                translate->mux_lookup(0)->add(mux.from, mux.to, entry);
            }
            dygr_zdl_set_translator(device, translator);
        }
        else
        {
            // Emulator ids are the global ids; each mux gets an input and an
            // output node of its own, numbered above every global id.
            DYGR_ZDL::EMULATOR_DATA& data = emulator->data();
            uint32_t next_node = 0;
            for (const DESIGN_MUX_EDGE& mux : routing.muxes)
            {
                data.em_gids[mux.from] = DYGR_ZDL::EM_GID(mux.from);
                data.em_gids[mux.to] = DYGR_ZDL::EM_GID(mux.to);
                const DYGR_ZDL::EM_GID input(0x80000000u + next_node++);
                const DYGR_ZDL::EM_GID output(0x80000000u + next_node++);
                data.edges[std::make_pair(DYGR_ZDL::EM_GID(mux.from), DYGR_ZDL::EM_GID(mux.to))] = {mux.uid, input,
                                                                                                    output};
                if (mux.input)
                    data.mapped_ports[std::make_pair(input, 0)] = *mux.input;
                if (mux.output)
                    data.mapped_ports[std::make_pair(output, 0)] = *mux.output;
            }
        }
        dygr_zdl_set_emulator(device, emulator);
    }
}

HOST_ROUTING::~HOST_ROUTING()
{
    dygr_zdl_set_emulator(m_device, nullptr);
    dygr_zdl_set_translator(m_device, nullptr);
    u2b2_set_pdb_port_map(nullptr);
    dbs_reset();
    dsym_reset();
}
