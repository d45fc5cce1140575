// The compact forms the routing dump reads: a place block's ICD ports and
// the atoms' netlist numbering.
#include <cdb_atom.h>
#include <dygr_route.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace
{

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

    EXPECT_EQ(block.get_icd_port("INPUT", "I10"), 10u);
    EXPECT_EQ(block.get_icd_port("INPUT", "I2"), 20u);
    EXPECT_EQ(block.get_icd_port("OUTPUT", "O"), 1u);
    EXPECT_EQ(block.get_icd_port("BIDIR", "DATAA"), 7u);
    EXPECT_EQ(block.get_icd_port("INPUT", "DATAA"), 8u);
    // A name is found under its own direction only, and a prefix is not the
    // name.
    EXPECT_EQ(block.get_icd_port("OUTPUT", "DATAA"), 0xFFFFFFFFu);
    EXPECT_EQ(block.get_icd_port("INPUT", "I1"), 0xFFFFFFFFu);
    EXPECT_EQ(block.get_icd_port("INPUT", ""), 0xFFFFFFFFu);
    EXPECT_EQ(block.get_icd_port("input", "I10"), 0xFFFFFFFFu);

    // The route information answers through the block.
    DYGR_ROUTE_INFO route;
    EXPECT_EQ(route.get_block_icd_port_gid(block, "DATAA", "BIDIR"), 7u);
    EXPECT_EQ(route.get_block_icd_port_gid(block, "O", "INPUT"), 0xFFFFFFFFu);

    // A copied block keeps its ports.
    const DYGR_PLACE_BLOCK copy = block;
    EXPECT_EQ(copy.get_icd_port("INPUT", "I2"), 20u);
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
}

}  // namespace
