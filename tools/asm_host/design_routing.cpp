#include "design_routing.h"

#include "design.h"

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

// A JSON value of the "routing" key and its key path; the reads refuse
// wrong types, numbers out of range and, in objects, keys no read asked for.
class NODE
{
public:
    NODE(const json& value, std::string path, const std::string& file)
        : m_value(value), m_path(std::move(path)), m_file(file)
    {
    }

    [[noreturn]] void fail(const std::string& problem) const { throw DESIGN_ERROR(m_file, m_path, problem); }

    long long integer(long long min, long long max) const
    {
        const std::string range = "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
        if (!m_value.is_number_integer())
            fail("expected an integer");
        if (m_value.is_number_unsigned())
        {
            const uint64_t value = m_value.get<uint64_t>();
            if (max < 0 || value > static_cast<uint64_t>(max))
                fail(range);
            return static_cast<long long>(value);
        }
        const int64_t value = m_value.get<int64_t>();
        if (value < min || value > max)
            fail(range);
        return value;
    }
    int int32() const { return static_cast<int>(integer(INT_MIN, INT_MAX)); }
    uint32_t uint32() const { return static_cast<uint32_t>(integer(0, UINT32_MAX)); }
    bool boolean() const
    {
        if (!m_value.is_boolean())
            fail("expected a boolean (true or false)");
        return m_value.get<bool>();
    }
    std::string string() const
    {
        if (!m_value.is_string() || m_value.get<std::string>().empty())
            fail("expected a non-empty string");
        return m_value.get<std::string>();
    }
    std::vector<NODE> elements() const
    {
        if (!m_value.is_array())
            fail("expected an array");
        std::vector<NODE> list;
        for (size_t i = 0; i < m_value.size(); ++i)
            list.emplace_back(m_value[i], m_path + "[" + std::to_string(i) + "]", m_file);
        return list;
    }

    // Object access: each key read is remembered for finish().
    std::optional<NODE> optional(const char* key)
    {
        if (!m_value.is_object())
            fail("expected an object");
        m_known.insert(key);
        auto found = m_value.find(key);
        if (found == m_value.end())
            return std::nullopt;
        return NODE(*found, m_path + "." + key, m_file);
    }
    NODE required(const char* key)
    {
        std::optional<NODE> value = optional(key);
        if (!value)
            throw DESIGN_ERROR(m_file, m_path + "." + key, "required key is missing");
        return *value;
    }
    void finish() const
    {
        if (!m_value.is_object())
            fail("expected an object");
        for (auto it = m_value.begin(); it != m_value.end(); ++it)
            if (m_known.count(it.key()) == 0)
                throw DESIGN_ERROR(m_file, m_path + "." + it.key(), "unknown key");
    }
    // Each element of an optional array of objects, finished after the read.
    void each(const char* key, const std::function<void(NODE&)>& read)
    {
        std::optional<NODE> list = optional(key);
        if (!list)
            return;
        for (NODE& element : list->elements())
        {
            read(element);
            element.finish();
        }
    }

private:
    const json& m_value;
    std::string m_path;
    const std::string& m_file;
    std::set<std::string> m_known;
};

const char* const NETWORK_KEYS[3] = {"crf", "blc", "fcd"};

int graph_of(const NODE& value)
{
    const std::string name = value.string();
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

DESIGN_ROUTING_TREE read_tree(NODE& node, const std::set<uint32_t>& gids)
{
    DESIGN_ROUTING_TREE tree;
    NODE gid = node.required("gid");
    tree.gid = gid.uint32();
    if (gids.count(tree.gid) == 0)
        gid.fail("no routing node has this gid");
    node.each("children", [&](NODE& child) { tree.children.push_back(read_tree(child, gids)); });
    return tree;
}

std::vector<DESIGN_PHYSICAL_PORT> read_ports(NODE& term, const char* key, size_t instance_count)
{
    std::vector<DESIGN_PHYSICAL_PORT> ports;
    term.each(key, [&](NODE& entry) {
        DESIGN_PHYSICAL_PORT port;
        NODE instance = entry.required("instance");
        port.instance = instance.int32();
        if (port.instance < 0 || static_cast<size_t>(port.instance) >= instance_count)
            instance.fail("no chip bundle instance has this index");
        port.port = entry.required("port").string();
        ports.push_back(port);
    });
    return ports;
}

void collect_atom_names(const DESIGN_NETLIST& netlist, std::map<std::string, int>& names)
{
    for (const DESIGN_ATOM& atom : netlist.atoms)
    {
        ++names[atom.name];
        if (atom.children)
            collect_atom_names(*atom.children, names);
    }
}

}  // namespace

std::shared_ptr<const DESIGN_ROUTING> read_design_routing(const json& value, const std::string& path,
                                                          const std::string& file, const DESIGN_NETLIST* netlist)
{
    auto routing = std::make_shared<DESIGN_ROUTING>();
    NODE top(value, path, file);

    if (std::optional<NODE> strings = top.optional("device_strings"))
    {
        const std::pair<const char*, int> keys[] = {{"mcf_file", 4}, {"rba_file", 6}, {"mcfs_to_mcfd_file", 8}};
        for (const auto& [key, number] : keys)
            if (std::optional<NODE> text = strings->optional(key))
                routing->device_strings[number] = text->string();
        strings->finish();
    }

    std::set<uint32_t> gids;
    top.each("nodes", [&](NODE& entry) {
        DESIGN_ROUTING_NODE node;
        NODE gid = entry.required("gid");
        node.gid = gid.uint32();
        if (node.gid == 0xFFFFFFFFu || !gids.insert(node.gid).second)
            gid.fail("a routing node's gid must be unique and not 4294967295");
        node.name = entry.required("name").string();
        if (std::optional<NODE> ic_name = entry.optional("ic_name"))
            node.ic_name = ic_name->string();
        if (std::optional<NODE> sch_name = entry.optional("sch_name"))
            node.sch_name = sch_name->string();
        if (std::optional<NODE> element = entry.optional("element"))
        {
            node.element_type = element->required("type").string();
            node.element_text = element->required("text").string();
            element->finish();
        }
        if (std::optional<NODE> block = entry.optional("blc_block"))
            node.blc_block = block->uint32();
        routing->nodes.push_back(node);
    });

    if (std::optional<NODE> networks = top.optional("networks"))
    {
        for (int which = 0; which < 3; ++which)
            if (std::optional<NODE> trees = networks->optional(NETWORK_KEYS[which]))
            {
                routing->networks[which].emplace();
                for (NODE& tree : trees->elements())
                {
                    routing->networks[which]->push_back(read_tree(tree, gids));
                    tree.finish();
                }
            }
        networks->finish();
    }

    top.each("edges", [&](NODE& entry) {
        DESIGN_ROUTING_EDGE edge;
        edge.from = entry.required("from").uint32();
        edge.to = entry.required("to").uint32();
        if (std::optional<NODE> graph = entry.optional("graph"))
            edge.graph = graph_of(*graph);
        if (std::optional<NODE> bits = entry.optional("bits"))
        {
            edge.bits.emplace();
            for (const NODE& bit : bits->elements())
                edge.bits->push_back(bit.int32());
        }
        routing->edges.push_back(edge);
    });

    top.each("instances", [&](NODE& entry) {
        DESIGN_BUNDLE_INSTANCE instance;
        instance.x = entry.required("x").int32();
        instance.y = entry.required("y").int32();
        instance.name = entry.required("name").string();
        routing->instances.push_back(instance);
    });

    top.each("blocks", [&](NODE& entry) {
        DESIGN_PLACE_BLOCK_DATA block;
        block.x = entry.required("x").int32();
        block.y = entry.required("y").int32();
        if (std::optional<NODE> z = entry.optional("z"))
            block.z = z->int32();
        if (std::optional<NODE> parent = entry.optional("parent"))
        {
            block.parent = parent->int32();
            if (block.parent < 0 || static_cast<size_t>(block.parent) >= routing->blocks.size())
                parent->fail("expected the index of an earlier block");
        }
        if (std::optional<NODE> gid = entry.optional("gid"))
            block.gid = gid->uint32();
        if (std::optional<NODE> location = entry.optional("location"))
            block.location = location->uint32();
        if (std::optional<NODE> hipi = entry.optional("hipi"))
            block.hipi = hipi->boolean();
        if (std::optional<NODE> lab_hipi = entry.optional("lab_hipi"))
            block.lab_hipi = lab_hipi->boolean();
        entry.each("ports", [&](NODE& port_entry) {
            DESIGN_PLACE_PORT port;
            port.name = port_entry.required("name").string();
            NODE direction = port_entry.required("direction");
            port.direction = direction.string();
            if (port.direction != "INPUT" && port.direction != "OUTPUT" && port.direction != "BIDIR")
                direction.fail("expected one of \"INPUT\", \"OUTPUT\", \"BIDIR\"");
            port.gid = port_entry.required("gid").uint32();
            block.ports.push_back(port);
        });
        entry.each("atom_ports", [&](NODE& port_entry) {
            DESIGN_ATOM_PORT port;
            port.port = port_entry.required("port").string();
            port.index = port_entry.required("index").int32();
            port.gid = port_entry.required("gid").uint32();
            block.atom_ports.push_back(port);
        });
        routing->blocks.push_back(block);
    });

    top.each("pads", [&](NODE& entry) {
        DESIGN_PAD pad;
        if (std::optional<NODE> gid = entry.optional("gid"))
            pad.gid = gid->uint32();
        pad.pin = entry.required("pin").uint32();
        if (std::optional<NODE> cell = entry.optional("cell"))
            pad.cell = cell->string();
        if (std::optional<NODE> ic_name = entry.optional("ic_name"))
            pad.ic_name = ic_name->string();
        if (std::optional<NODE> user_pin_name = entry.optional("user_pin_name"))
            pad.user_pin_name = user_pin_name->string();
        routing->pads.push_back(pad);
    });

    std::map<std::string, int> netlist_atoms;
    if (netlist != nullptr)
        collect_atom_names(*netlist, netlist_atoms);
    std::set<std::string> routed_atoms;
    top.each("atoms", [&](NODE& entry) {
        DESIGN_ROUTED_ATOM atom;
        NODE name = entry.required("atom");
        atom.atom = name.string();
        auto found = netlist_atoms.find(atom.atom);
        if (found == netlist_atoms.end())
            name.fail("no atom of the netlist has this name");
        if (found->second > 1)
            name.fail("more than one atom of the netlist has this name");
        if (!routed_atoms.insert(atom.atom).second)
            name.fail("the atom is given twice");
        if (std::optional<NODE> instance_name = entry.optional("instance_name"))
            atom.instance_name = instance_name->string();
        if (std::optional<NODE> location = entry.optional("location"))
            atom.location = location->uint32();
        if (std::optional<NODE> pin = entry.optional("pin"))
            atom.pin = pin->boolean();
        if (std::optional<NODE> generic = entry.optional("generic"))
            atom.generic = generic->boolean();
        if (std::optional<NODE> named_terms = entry.optional("named_terms"))
            atom.named_terms = named_terms->boolean();
        entry.each("inputs", [&](NODE& term) {
            DESIGN_ROUTED_INPUT input;
            input.port = term.required("port").string();
            input.index = term.required("index").int32();
            input.map = read_ports(term, "map", routing->instances.size());
            input.timing = read_ports(term, "timing", routing->instances.size());
            atom.inputs.push_back(input);
        });
        entry.each("outputs", [&](NODE& term) {
            DESIGN_ROUTED_OUTPUT output;
            output.port = term.required("port").string();
            output.index = term.required("index").int32();
            if (std::optional<NODE> instance_name = term.optional("instance_name"))
                output.instance_name = instance_name->string();
            output.map = read_ports(term, "map", routing->instances.size());
            term.each("fanout", [&](NODE& ref) {
                DESIGN_TERM_REF fanout;
                fanout.atom = ref.required("atom").string();
                fanout.port = ref.required("port").string();
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

    if (std::optional<NODE> emulator = top.optional("emulator"))
    {
        routing->emulator_mode = static_cast<int>(emulator->required("mode").integer(0, INT_MAX));
        emulator->each("muxes", [&](NODE& entry) {
            DESIGN_MUX_EDGE mux;
            mux.from = entry.required("from").uint32();
            mux.to = entry.required("to").uint32();
            mux.uid = entry.required("uid").string();
            if (std::optional<NODE> input = entry.optional("input"))
                mux.input = input->string();
            if (std::optional<NODE> output = entry.optional("output"))
                mux.output = output->string();
            routing->muxes.push_back(mux);
        });
        emulator->finish();
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

CDB_ATOM_NODE* find_atom(CDB_ATOM_NETLIST* netlist, const std::string& name)
{
    for (auto it = netlist->begin_raw_node_list(); it != netlist->end_raw_node_list(); ++it)
    {
        CDB_ATOM_NODE* atom = *it;
        if (atom == nullptr)
            continue;
        if (atom->name() == name)
            return atom;
        if (atom->is_blackbox() && atom->get_blackbox()->get_child_netlist() != nullptr)
            if (CDB_ATOM_NODE* found = find_atom(atom->get_blackbox()->get_child_netlist(), name))
                return found;
    }
    return nullptr;
}

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

HOST_ROUTING::HOST_ROUTING(const DESIGN& design, CDB_CHIP_DB_ENTRY* chip, CDB_ATOM_NETLIST* netlist,
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
        CDB_ATOM_NODE* atom = netlist != nullptr ? find_atom(netlist, data.atom) : nullptr;
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
            if (output.instance_name)
                oterm->set_instance_name(*output.instance_name);
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
