// The routed network of a design (design.json key "routing"): the routing
// graph's nodes and the chip's three routing networks, the edges with their
// sub-graph and CRAM bits, the place blocks, the chip bundle's block
// instances, the pads and pins, the atoms' placement and terms with their
// port map, and the mux names of the routing emulator. Read with the rest of
// design.json; handed to the stand-ins by HOST_SUITE.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct DESIGN;
struct DESIGN_NETLIST;
class HOST_ATOM_INDEX;
class CDB_CHIP_DB_ENTRY;
class DEV_DEVICE;
class DBCM_CHIP;

struct DESIGN_ROUTING_NODE
{
    uint32_t gid = 0;
    std::string name;
    std::string ic_name;
    std::string sch_name;
    // Element text and type ("generic" for the generic element); no text:
    // the node has no element information.
    std::optional<std::string> element_type;
    std::string element_text;
    std::optional<uint32_t> blc_block;
};

struct DESIGN_ROUTING_TREE
{
    uint32_t gid = 0;
    std::vector<DESIGN_ROUTING_TREE> children;
};

struct DESIGN_ROUTING_EDGE
{
    uint32_t from = 0;
    uint32_t to = 0;
    int graph = 0;
    std::optional<std::vector<int>> bits;
};

struct DESIGN_PLACE_PORT
{
    std::string name;
    std::string direction;
    uint32_t gid = 0;
};

struct DESIGN_ATOM_PORT
{
    std::string port;
    int index = 0;
    uint32_t gid = 0;
};

struct DESIGN_PLACE_BLOCK_DATA
{
    int x = 0;
    int y = 0;
    int z = 0;
    int parent = -1;
    std::optional<uint32_t> gid;
    std::optional<uint32_t> location;
    bool hipi = false;
    bool lab_hipi = false;
    std::vector<DESIGN_PLACE_PORT> ports;
    std::vector<DESIGN_ATOM_PORT> atom_ports;
};

struct DESIGN_BUNDLE_INSTANCE
{
    int x = 0;
    int y = 0;
    std::string name;
};

struct DESIGN_PAD
{
    std::optional<uint32_t> gid;
    uint32_t pin = 0;
    std::optional<std::string> cell;
    std::optional<std::string> ic_name;
    std::optional<std::string> user_pin_name;
};

struct DESIGN_PHYSICAL_PORT
{
    int instance = 0;
    std::string port;
};

struct DESIGN_TERM_REF
{
    std::string atom;
    std::string port;
    int index = 0;
};

struct DESIGN_ROUTED_INPUT
{
    std::string port;
    int index = 0;
    std::vector<DESIGN_PHYSICAL_PORT> map;
    std::vector<DESIGN_PHYSICAL_PORT> timing;
};

struct DESIGN_ROUTED_OUTPUT
{
    std::string port;
    int index = 0;
    std::optional<std::string> instance_name;
    std::vector<DESIGN_PHYSICAL_PORT> map;
    std::vector<DESIGN_TERM_REF> fanout;
};

struct DESIGN_ROUTED_ATOM
{
    std::string atom;
    std::optional<std::string> instance_name;
    std::optional<uint32_t> location;
    bool pin = false;
    bool generic = false;
    bool named_terms = false;
    std::vector<DESIGN_ROUTED_INPUT> inputs;
    std::vector<DESIGN_ROUTED_OUTPUT> outputs;
};

struct DESIGN_MUX_EDGE
{
    uint32_t from = 0;
    uint32_t to = 0;
    std::string uid;
    std::optional<std::string> input;
    std::optional<std::string> output;
};

struct DESIGN_ROUTING
{
    // The device's string data by number (4, 6, 8).
    std::map<int, std::string> device_strings;
    std::vector<DESIGN_ROUTING_NODE> nodes;
    // CRF, BLC, FCD.
    std::optional<std::vector<DESIGN_ROUTING_TREE>> networks[3];
    std::vector<DESIGN_ROUTING_EDGE> edges;
    std::vector<DESIGN_PLACE_BLOCK_DATA> blocks;
    std::vector<DESIGN_BUNDLE_INSTANCE> instances;
    std::vector<DESIGN_PAD> pads;
    std::vector<DESIGN_ROUTED_ATOM> atoms;
    std::optional<int> emulator_mode;
    std::vector<DESIGN_MUX_EDGE> muxes;
};

// Reads the "routing" value of design.json at the key path; the netlist
// (already read) names the atoms that it may refer to. Throws DESIGN_ERROR.
std::shared_ptr<const DESIGN_ROUTING> read_design_routing(const nlohmann::json& value, const std::string& path,
                                                          const std::string& file, const DESIGN_NETLIST* netlist);

// What the stand-ins were given for the routed network; its destructor
// takes it back (port map, emulator tables, port-type and element names).
class HOST_ROUTING
{
public:
    HOST_ROUTING(const DESIGN& design, CDB_CHIP_DB_ENTRY* chip, const HOST_ATOM_INDEX& atom_index, DEV_DEVICE* device,
                 DBCM_CHIP* bundle_chip);
    ~HOST_ROUTING();
    HOST_ROUTING(const HOST_ROUTING&) = delete;
    HOST_ROUTING& operator=(const HOST_ROUTING&) = delete;

private:
    struct NETWORKS;
    std::unique_ptr<NETWORKS> m_networks;
    DEV_DEVICE* m_device;
};
