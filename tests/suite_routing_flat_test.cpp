// The compact forms the routing dump reads: a place block's ICD ports, the
// atoms' and input terms' numbering, the port map laid out by atom number,
// the CRAM bits of routing nodes and the tables by global id.
#include <cdb_atom.h>
#include <dygr_route.h>
#include <gid_table.h>
#include <u2b2_port_map.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

TEST(GidTable, IdsNearAndFarHoldTheirValuesAndAResetForgetsThem)
{
    // Ids below the bound, a run well past the array's own growth rule, and
    // ids far beyond it; each word of marks is crossed.
    GID_TABLE<uint32_t> table(100000);
    const std::vector<uint32_t> ids = {0, 63, 64, 65, 127, 20000, 20001, 99999, 100000, 3000000000u, 0xFFFFFFFEu};
    for (uint32_t id : ids)
        table[id] = id ^ 0x5A5Au;
    EXPECT_EQ(table.size(), ids.size());
    for (uint32_t id : ids)
    {
        const uint32_t* value = table.find(id);
        ASSERT_NE(value, nullptr) << id;
        EXPECT_EQ(*value, id ^ 0x5A5Au) << id;
    }
    for (uint32_t id : {1u, 62u, 66u, 128u, 19999u, 100001u, 2999999999u, 0xFFFFFFFFu})
        EXPECT_EQ(table.find(id), nullptr) << id;

    table.reset(0);
    EXPECT_EQ(table.size(), 0u);
    for (uint32_t id : ids)
        EXPECT_EQ(table.find(id), nullptr) << id;
    table[64] = 7;
    ASSERT_NE(table.find(64), nullptr);
    EXPECT_EQ(*table.find(64), 7u);
    EXPECT_EQ(table.find(63), nullptr);
}

TEST(PlaceBlockIcdPorts, FoundByDirectionAndNameWhateverTheOrderTheyWereSetIn)
{
    DYGR_PLACE_BLOCK block;
    block.set_icd_port("INPUT", "I10", 10);
    block.set_icd_port("OUTPUT", "O", 1);
    block.set_icd_port("INPUT", "I2", 2);
    block.set_icd_port("BIDIR", "DATAA", 7);
    block.set_icd_port("INPUT", "DATAA", 8);
    // A later id for the same port replaces the earlier one.
    block.set_icd_port("INPUT", "I2", 20);
    EXPECT_EQ(block.icd_port_count(), 5u);

    auto answers_first_ports = [](const DYGR_PLACE_BLOCK& ports) {
        EXPECT_EQ(ports.get_icd_port("INPUT", "I10"), 10u);
        EXPECT_EQ(ports.get_icd_port("INPUT", "I2"), 20u);
        EXPECT_EQ(ports.get_icd_port("OUTPUT", "O"), 1u);
        EXPECT_EQ(ports.get_icd_port("BIDIR", "DATAA"), 7u);
        EXPECT_EQ(ports.get_icd_port("INPUT", "DATAA"), 8u);
        // A name is found under its own direction only, and a prefix is not
        // the name.
        EXPECT_EQ(ports.get_icd_port("OUTPUT", "DATAA"), 0xFFFFFFFFu);
        EXPECT_EQ(ports.get_icd_port("INPUT", "I1"), 0xFFFFFFFFu);
        EXPECT_EQ(ports.get_icd_port("INPUT", ""), 0xFFFFFFFFu);
        EXPECT_EQ(ports.get_icd_port("input", "I10"), 0xFFFFFFFFu);
    };
    answers_first_ports(block);

    // The route information answers through the block.
    DYGR_ROUTE_INFO route;
    EXPECT_EQ(route.get_block_icd_port_gid(block, "DATAA", "BIDIR"), 7u);
    EXPECT_EQ(route.get_block_icd_port_gid(block, "O", "INPUT"), 0xFFFFFFFFu);

    // A copied block keeps its ports.
    const DYGR_PLACE_BLOCK copy = block;
    EXPECT_EQ(copy.get_icd_port("INPUT", "I2"), 20u);

    // A block with many ports answers the same.
    for (uint32_t i = 0; i < 40; ++i)
        block.set_icd_port(i % 2 == 0 ? "INPUT" : "OUTPUT", "P" + std::to_string(i), 100 + i);
    EXPECT_EQ(block.icd_port_count(), 45u);
    answers_first_ports(block);
    EXPECT_EQ(block.get_icd_port("INPUT", "P38"), 138u);
    EXPECT_EQ(block.get_icd_port("OUTPUT", "P39"), 139u);
    EXPECT_EQ(block.get_icd_port("INPUT", "P39"), 0xFFFFFFFFu);
    EXPECT_EQ(block.get_icd_port("BIDIR", "P4"), 0xFFFFFFFFu);
}

TEST(PlaceInfo, BlocksAreFoundByPositionAndLocationOnADenseOrASparseDevice)
{
    for (const int spread : {1, 1000000})
    {
        SCOPED_TRACE(spread);
        DYGR_PLACE_INFO place;
        auto add = [&](int x, int y, uint32_t location) {
            DYGR_PLACE_BLOCK block;
            block.x = x;
            block.y = y;
            block.location = location;
            return place.add_block(block);
        };
        const int a = add(-2, 3, 0x40000000u);
        const int b = add(-2, 3, 0xFFFFFFFFu);
        const int c = add(5 * spread, 0, 0x40000002u);
        // A location already taken stays with its first block.
        add(7, 7, 0x40000000u);
        EXPECT_EQ(place.get_blocks_at(-2, 3), (std::vector<int>{a, b}));
        EXPECT_EQ(place.get_blocks_at(5 * spread, 0), std::vector<int>{c});
        EXPECT_TRUE(place.get_blocks_at(-2, 4).empty());
        EXPECT_TRUE(place.get_blocks_at(6 * spread, 0).empty());
        EXPECT_TRUE(place.get_blocks_at(-3, 3).empty());
        // Past the last row is not the next column's first.
        EXPECT_TRUE(place.get_blocks_at(5 * spread - 1, 8).empty());
        EXPECT_EQ(place.find_block_of_location(0x40000000u), a);
        EXPECT_EQ(place.find_block_of_location(0x40000002u), c);
        EXPECT_EQ(place.find_block_of_location(0x40000001u), -1);
        EXPECT_EQ(place.find_block_of_location(0x3FFFFFFFu), -1);
        EXPECT_EQ(place.find_block_of_location(0xFFFFFFFFu), -1);

        // A block added after the lookups is found, and the earlier lists
        // stay where they were.
        const std::vector<int>* at_a = &place.get_blocks_at(-2, 3);
        const int d = add(-2, 3 + spread, 0x40000000u + static_cast<uint32_t>(3 * spread));
        EXPECT_EQ(place.get_blocks_at(-2, 3 + spread), std::vector<int>{d});
        EXPECT_EQ(place.find_block_of_location(0x40000000u + static_cast<uint32_t>(3 * spread)), d);
        EXPECT_EQ(&place.get_blocks_at(-2, 3), at_a);
    }
}

TEST(PlaceBlockIcdPorts, AnUnknownDirectionIsRefusedAndChangesNothing)
{
    DYGR_PLACE_BLOCK block;
    block.set_icd_port("OUTPUT", "O", 1);
    EXPECT_THROW(block.set_icd_port("INOUT", "O", 2), std::invalid_argument);
    EXPECT_EQ(block.icd_port_count(), 1u);
    EXPECT_EQ(block.get_icd_port("OUTPUT", "O"), 1u);
}

TEST(AtomNetlistIndex, EachAtomIsNumberedByItsPlaceInItsOwnNetlist)
{
    CDB_ATOM_NETLIST netlist;
    auto loose = std::make_unique<CDB_ATOM_NODE>("loose", "LCELL");
    EXPECT_EQ(loose->get_netlist_index(), 0xFFFFFFFFu);
    CDB_ATOM_NODE* first = netlist.add_atom(std::move(loose));
    // An empty slot takes a number too.
    netlist.add_atom(nullptr);
    CDB_ATOM_BLACKBOX* box = netlist.add_blackbox("box", "BOX");
    CDB_ATOM_NODE* inner = box->get_child_netlist()->add_atom(std::make_unique<CDB_ATOM_NODE>("inner", "LCELL"));
    CDB_ATOM_NODE* last = netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("last", "LCELL"));

    EXPECT_EQ(first->get_netlist_index(), 0u);
    EXPECT_EQ(box->get_netlist_index(), 2u);
    EXPECT_EQ(last->get_netlist_index(), 3u);
    EXPECT_EQ(inner->get_netlist_index(), 0u);
    // The number is the atom's place in the raw node list.
    EXPECT_EQ(netlist.nodes()[last->get_netlist_index()], last);

    // An input term is numbered by its place among its atom's.
    const CDB_ATOM_ITERM* a = last->add_iterm(1, 0);
    const CDB_ATOM_ITERM* b = last->add_iterm(1, 1);
    EXPECT_EQ(a->get_position(), 0u);
    EXPECT_EQ(b->get_position(), 1u);
    EXPECT_EQ(last->get_iterms()[b->get_position()].get(), b);
    EXPECT_EQ(CDB_ATOM_ITERM(last, 1, 2).get_position(), 0xFFFFFFFFu);
}

// The names of a term's physical ports, in the order the map gives them.
std::vector<std::string> port_names(const U2B2_PORT_MAP_DB& map, const U2B2_LOGICAL_PORT& port, int map_type = 1)
{
    std::vector<std::string> names;
    for (const U2B2_PHYSICAL_PORT& physical : map.get(port, map_type))
        names.push_back(std::to_string(physical.get_instance()) + ":" + physical.get_name());
    return names;
}

TEST(PortMapByAtomNumber, TermsAreFoundWhateverTheOrderTheyWereAddedIn)
{
    CDB_ATOM_NETLIST top;
    CDB_ATOM_NODE* x = top.add_atom(std::make_unique<CDB_ATOM_NODE>("x", "LCELL"));
    CDB_ATOM_NODE* y = top.add_atom(std::make_unique<CDB_ATOM_NODE>("y", "LCELL"));
    // An atom of another netlist with x's number, and one of no netlist.
    CDB_ATOM_NETLIST other;
    CDB_ATOM_NODE* twin = other.add_atom(std::make_unique<CDB_ATOM_NODE>("twin", "LCELL"));
    CDB_ATOM_NODE loose("loose", "LCELL");
    CDB_ATOM_OTERM* x_out = x->add_oterm(1, 0);
    CDB_ATOM_ITERM* y_in0 = y->add_iterm(2, 0);
    CDB_ATOM_ITERM* y_in1 = y->add_iterm(2, 1);
    CDB_ATOM_ITERM* twin_in = twin->add_iterm(2, 0);
    CDB_ATOM_ITERM* x_in = x->add_iterm(2, 0);
    CDB_ATOM_ITERM* loose_in = loose.add_iterm(2, 0);

    U2B2_PORT_MAP_DB map;
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(y_in1), 1, U2B2_PHYSICAL_PORT(1, "I1"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(x_out), 1, U2B2_PHYSICAL_PORT(0, "O"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(loose_in), 1, U2B2_PHYSICAL_PORT(9, "L"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(y_in0), 1, U2B2_PHYSICAL_PORT(1, "I0"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(twin_in), 1, U2B2_PHYSICAL_PORT(5, "T"));
    // A second port of x's output, after other terms; one of another map type.
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(x_out), 1, U2B2_PHYSICAL_PORT(0, "O2"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(x_out), 0, U2B2_PHYSICAL_PORT(0, "MUX"));

    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(x_out)), (std::vector<std::string>{"0:O", "0:O2"}));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(x_out), 0), std::vector<std::string>{"0:MUX"});
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(y_in0)), std::vector<std::string>{"1:I0"});
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(y_in1)), std::vector<std::string>{"1:I1"});
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(twin_in)), std::vector<std::string>{"5:T"});
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(loose_in)), std::vector<std::string>{"9:L"});
    // x shares its number with twin but has no input port of its own.
    EXPECT_TRUE(map.get(U2B2_LOGICAL_PORT_FACTORY::create(x_in), 1).empty());

    // Adds after lookups are found by the next lookup, in their order.
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(x_in), 1, U2B2_PHYSICAL_PORT(0, "I0"));
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(x_out), 1, U2B2_PHYSICAL_PORT(0, "O3"));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(x_in)), std::vector<std::string>{"0:I0"});
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(x_out)),
              (std::vector<std::string>{"0:O", "0:O2", "0:O3"}));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(twin_in)), std::vector<std::string>{"5:T"});

    // An atom added to a netlist after its ports were mapped is found at
    // its new number.
    auto late_owned = std::make_unique<CDB_ATOM_NODE>("late", "LCELL");
    CDB_ATOM_ITERM* late_in = late_owned->add_iterm(2, 0);
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(late_in), 1, U2B2_PHYSICAL_PORT(3, "LATE"));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(late_in)), std::vector<std::string>{"3:LATE"});
    top.add_atom(std::move(late_owned));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(late_in)), std::vector<std::string>{"3:LATE"});
    map.add(U2B2_LOGICAL_PORT_FACTORY::create(late_in), 1, U2B2_PHYSICAL_PORT(3, "LATE2"));
    EXPECT_EQ(port_names(map, U2B2_LOGICAL_PORT_FACTORY::create(late_in)),
              (std::vector<std::string>{"3:LATE", "3:LATE2"}));

    // Installed as the device database's map, it answers the same.
    auto installed = std::make_unique<U2B2_PORT_MAP_DB>(std::move(map));
    installed->add(U2B2_LOGICAL_PORT_FACTORY::create(y_in0), 1, U2B2_PHYSICAL_PORT(1, "I0B"));
    u2b2_set_pdb_port_map(std::move(installed));
    EXPECT_EQ(port_names(*U2B2_PORT_MAP_DB::read_from_pdb(), U2B2_LOGICAL_PORT_FACTORY::create(y_in0)),
              (std::vector<std::string>{"1:I0", "1:I0B"}));
    u2b2_set_pdb_port_map(nullptr);
    EXPECT_EQ(U2B2_PORT_MAP_DB::read_from_pdb(), nullptr);
}

TEST(RouteAsmBits, EachEdgeKeepsItsOwnGroupOfTheSourcesBits)
{
    DYGR_ROUTE_ASM_INFO bits;
    bits.set_edge_bits(10, 11, {1, 2});
    bits.set_edge_bits(10, 12, {3});
    // A second source into 12, and an edge set again.
    bits.set_edge_bits(20, 12, {4, 5, 6});
    bits.set_edge_bits(10, 11, {7});
    // Nothing is answered before the data is loaded.
    EXPECT_EQ(bits.get_destination_bit_group(10, 11), -1);
    EXPECT_EQ(bits.get_asm_node(10), nullptr);
    EXPECT_FALSE(bits.load_data(""));
    bits.set_available(true);
    ASSERT_TRUE(bits.load_data(""));

    auto bits_of = [&](uint32_t source, uint32_t destination) {
        std::vector<int> addresses;
        const int group = bits.get_destination_bit_group(source, destination);
        const DYGR_ROUTE_ASM_NODE* node = bits.get_asm_node(source);
        if (group < 0 || node == nullptr)
            return addresses;
        for (int i = 0; i < node->get_num_bits_in_group(group); ++i)
            addresses.push_back(node->get_single_bit(group, i).get_flat_address());
        return addresses;
    };
    EXPECT_EQ(bits_of(10, 11), std::vector<int>{7});
    EXPECT_EQ(bits_of(10, 12), std::vector<int>{3});
    EXPECT_EQ(bits_of(20, 12), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(bits.get_destination_bit_group(20, 11), -1);
    EXPECT_EQ(bits.get_destination_bit_group(11, 12), -1);
    EXPECT_EQ(bits.get_asm_node(12), nullptr);

    const DYGR_ROUTE_ASM_NODE* node = bits.get_asm_node(10);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->get_num_bits_in_group(3), 0);
    EXPECT_EQ(node->get_num_bits_in_group(-1), 0);
    EXPECT_THROW(node->get_single_bit(1, 1), std::out_of_range);
    EXPECT_THROW(node->get_single_bit(3, 0), std::out_of_range);

    // Edges added after a load, to a node laid out before and to new ones
    // on either side of it, are answered with the earlier ones intact.
    bits.set_edge_bits(10, 13, {8, 9});
    bits.set_edge_bits(5, 10, {11});
    bits.set_edge_bits(30, 10, {});
    EXPECT_EQ(bits_of(10, 13), (std::vector<int>{8, 9}));
    EXPECT_EQ(bits.get_destination_bit_group(10, 13), 3);
    EXPECT_EQ(bits_of(10, 11), std::vector<int>{7});
    EXPECT_EQ(bits_of(10, 12), std::vector<int>{3});
    EXPECT_EQ(bits_of(20, 12), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(bits_of(5, 10), std::vector<int>{11});
    EXPECT_EQ(bits_of(30, 10), std::vector<int>{});
    ASSERT_TRUE(bits.load_data(""));
    node = bits.get_asm_node(10);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->get_num_bits_in_group(0), 2);
    EXPECT_EQ(node->get_single_bit(0, 1).get_flat_address(), 2);
}

}  // namespace
