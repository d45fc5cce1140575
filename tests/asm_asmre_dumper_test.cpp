// The routing dump: a small hand-built routed design dumped through
// asm_dump_re_network, compared with text written by hand from the line
// formats, in each coordinate style and bit form; two dumps in one process;
// the failures.
#include "asm_asmre_dumper.h"
#include "asm_root.h"

#include <cdb.h>
#include <cdb_atom.h>
#include <cmp.h>
#include <dbcm.h>
#include <dbs.h>
#include <dev.h>
#include <dmgr.h>
#include <dsym.h>
#include <dygr_zdl.h>
#include <gen.h>
#include <hdb.h>
#include <msg.h>
#include <u2b2_port_map.h>
#include <ver.h>
#include <zasm.h>
#include <zcu.h>
#include <zgl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const DEV_PART PART = static_cast<DEV_PART>(4401);
const DEV_DEVICE_ENUM DEVICE = static_cast<DEV_DEVICE_ENUM>(440);

class TEST_PROXY : public ZASM_ACCESSOR_PROXY
{
public:
    TEST_PROXY(std::set<uint32_t> set_bits, uint32_t width) : m_set_bits(std::move(set_bits)), m_width(width) {}
    bool get_bit_value(uint32_t flat_bit_address, int device_handle) override
    {
        handles.push_back(device_handle);
        return m_set_bits.count(flat_bit_address) != 0;
    }
    void select_device(DEV_DEVICE_ENUM, DEV_PART) override {}
    uint32_t get_cram_address_width(int, int, int) override { return m_width; }

    static std::vector<int> handles;

private:
    std::set<uint32_t> m_set_bits;
    uint32_t m_width;
};
std::vector<int> TEST_PROXY::handles;

std::string read_file(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The hand-built chip: pins A (input) and E (output), a routed LAB output
// of B that branches to C and D, a carry link from C to D and an unrouted
// output of D to E. Routing-graph nodes 0 to 4 are global ids 1000 to 1004.
//
//   CRF: 1000 -> 1001 -> { 1002, 1003 }     BLC: 1003 -> 1004
//   FCD: 1000 -> 1002
struct ROUTED_CHIP
{
    explicit ROUTED_CHIP(const std::string& chip_name) : hdb_chip(chip_name) {}

    HDB_CHIP hdb_chip;
    CDB_ATOM_NETLIST netlist;
    ZGL::FOREST<int, int> crf;
    ZGL::FOREST<int, int> blc;
    ZGL::FOREST<int, int> fcd;
    CDB_CHIP_DB_ENTRY chip;
    CDB_DB_ENTRIES entries;
    HDB_NAMESPACE cap_inst;
};

}  // namespace

class AsmreDumper : public testing::Test
{
protected:
    void SetUp() override
    {
        msg_reset();
        dev_reset();
        dbs_reset();
        dsym_reset();
        dygr_zdl_reset();
        char dir[] = "/tmp/asmre_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        scratch = dir;
        gen_set_project_output_directory(scratch.string());
        cmp.set_project_path(FIO_PATH(scratch.string(), "", ""));
        ZCU_FACADE_UTIL::get_instance()->set_facade(&cmp);
        hdb_set_current_name_mgr(&name_mgr);

        dev_add_part(PART, "ZX44PART", DEVICE);
        dev_add_device(DEVICE, DEVICE, "zx44");
        build_device();
        DMGR_UTILITY::set_current_device(&device);
        bundle_device = DBCM_DB_MANAGER::get_or_create_instance()->add_chip()->add_device("ZX44PART");
        bundle_device->add_instance(1, 1, "lab_x1y1");
        bundle_device->add_instance(2, 1, "lab_x2y1");
        bundle_device->add_instance(3, 1, "lab_x3y1");
        bundle_device->add_instance(5, 5, "blc_top");

        first = build_chip("first");
        use_chip(first.get());
    }

    void TearDown() override
    {
        set_and_get_asm_zasm_accessor(nullptr, true);
        hdb_set_current_name_mgr(nullptr);
        ZCU_FACADE_UTIL::get_instance()->set_facade(nullptr);
        DMGR_UTILITY::set_current_device(nullptr);
        u2b2_set_pdb_port_map(nullptr);
        DBCM_DB_MANAGER::get_or_create_instance()->reset();
        dygr_zdl_reset();
        fs::remove_all(scratch);
    }

    void build_device()
    {
        auto basic = std::make_unique<DEV_BASIC_INFO>(PART, DEVICE);
        basic->set_family_enum(44);
        basic->set_string(4, "zx44.mcf");
        basic->set_string(6, "zx44.rba");
        basic->set_string(8, "zx44.mcfs_to_mcfd");
        device.set_basic_info(std::move(basic));

        auto die_owned = std::make_unique<DEV_DIE_INFO>();
        die = die_owned.get();
        die->add_device_data(2);
        die->add_device_data(3);
        for (uint32_t gid = 1000; gid <= 1004; ++gid)
        {
            die->set_element_name(gid, "N" + std::to_string(gid));
            die->set_icname(gid, 1, "ic" + std::to_string(gid));
        }
        die->set_icname(1001, 2, "s1001");
        DYGR_DIE_INFO* dygr = die->get_dygr_die_info();
        DYGR_ROUTE_INFO* route = dygr->get_route_info();
        for (uint32_t gid = 1000; gid <= 1004; ++gid)
            route->add_node(gid);
        route->set_edge_graph(1000, 1001, DYGR_SUBGRAPH_CRF);
        route->set_edge_graph(1001, 1002, DYGR_SUBGRAPH_CRF);
        route->set_edge_graph(1001, 1003, DYGR_SUBGRAPH_FCD);
        route->set_edge_graph(1003, 1004, DYGR_SUBGRAPH_BLC);
        const DEV_ELEMENT_ENUM lab_line = dsym_add_element("LAB_LINE");
        const DEV_ELEMENT_ENUM blc_port = dsym_add_element("BLC_PORT");
        route->set_element_info(1001, lab_line, "LL[3]");
        route->set_element_info(1002, dsym_get_generic_dev_element_enum(), "IN");
        route->set_element_info(1003, blc_port, "P[0]");
        route->add_top_level_blc_port(1003, 7001);

        DYGR_PLACE_INFO* place = dygr->get_dygr_place_info();
        DYGR_PLACE_BLOCK lab_b;
        lab_b.x = 1;
        lab_b.y = 1;
        lab_b.location = 600;
        lab_b.set_icd_port("OUTPUT", "COMBOUT", 1000);
        place->add_block(lab_b);
        DYGR_PLACE_BLOCK lab_c;
        lab_c.x = 2;
        lab_c.y = 1;
        lab_c.location = 601;
        lab_c.set_icd_port("BIDIR", "DATAA", 1002);
        place->add_block(lab_c);
        DYGR_PLACE_BLOCK lab_d;
        lab_d.x = 3;
        lab_d.y = 1;
        lab_d.location = 602;
        lab_d.set_icd_port("INPUT", "DATAA", 1004);
        place->add_block(lab_d);
        DYGR_PLACE_BLOCK blc_outer;
        blc_outer.x = 5;
        blc_outer.y = 5;
        blc_outer.global_id = 7000;
        const int outer = place->add_block(blc_outer);
        DYGR_PLACE_BLOCK blc_inner;
        blc_inner.x = 6;
        blc_inner.y = 6;
        blc_inner.global_id = 7001;
        blc_inner.parent = outer;
        place->add_block(blc_inner);

        DYGR_ROUTE_ASM_INFO* bits = dygr->get_route_asm_info();
        bits->set_available(true);
        bits->set_edge_bits(1000, 1001, {10, -6, 2050});
        bits->set_edge_bits(1001, 1002, {268435450});
        bits->set_edge_bits(1001, 1003, {77});
        device.set_die_info(std::move(die_owned));

        auto pads = std::make_unique<DEV_PAD_INFO>();
        DEV_PAD* pad_a = pads->add_pad(std::make_unique<DEV_PAD>());
        pad_a->set_int(DEV_PAD_INT_GLOBAL_ID, 500);
        pad_a->set_int(DEV_PAD_INT_PIN_ID, 1);
        pad_a->set_string(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME, "IOB_1");
        pad_a->set_string(DEV_PAD_STRING_IC_DESIGN_NAME, "PAD_A");
        DEV_PAD* pad_e = pads->add_pad(std::make_unique<DEV_PAD>());
        pad_e->set_int(DEV_PAD_INT_GLOBAL_ID, 501);
        pad_e->set_int(DEV_PAD_INT_PIN_ID, 2);
        pad_e->set_string(DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME, "IOB_2");
        device.set_pad_info(std::move(pads));
        auto package = std::make_unique<DEV_PKG_INFO>();
        package->set_pin_string(1, DEV_PIN_STRING_USER_PIN_NAME, "PIN_A1");
        package->set_pin_string(2, DEV_PIN_STRING_USER_PIN_NAME, "PIN_B2");
        device.set_pkg_info(std::move(package));

        // Mux names through the emulator's own interfaces.
        auto emulator = std::make_shared<DYGR_ZDL::EMULATOR>(1);
        DYGR_ZDL::EMULATOR_DATA& data = emulator->data();
        data.em_gids[1000] = DYGR_ZDL::EM_GID(1);
        data.em_gids[1001] = DYGR_ZDL::EM_GID(2);
        data.edges[{DYGR_ZDL::EM_GID(1), DYGR_ZDL::EM_GID(2)}] = {"MUX_A", DYGR_ZDL::EM_GID(11), DYGR_ZDL::EM_GID(12)};
        data.mapped_ports[{DYGR_ZDL::EM_GID(11), 0}] = "in0";
        data.inst_port_pairs[DYGR_ZDL::EM_GID(12)] = {"mux_a", "out0"};
        dygr_zdl_set_emulator(&device, emulator);
    }

    std::unique_ptr<ROUTED_CHIP> build_chip(const std::string& name)
    {
        auto routed = std::make_unique<ROUTED_CHIP>(name);
        const DBS_PORT_TYPE combout = dbs_add_port_type("COMBOUT");
        const DBS_PORT_TYPE dataa = dbs_add_port_type("DATAA");
        const DBS_PORT_TYPE cout = dbs_add_port_type("COUT");
        const DBS_PORT_TYPE cin = dbs_add_port_type("CIN");
        const DBS_PORT_TYPE padio = dbs_add_port_type("PADIO");
        auto atom = [&](const char* atom_name, uint32_t location, bool pin) {
            CDB_ATOM_NODE* node = routed->netlist.add_atom(std::make_unique<CDB_ATOM_NODE>(atom_name, "atom"));
            node->set_instance_name(std::string("top|") + atom_name);
            node->set_location_index(location);
            node->set_pin(pin);
            return node;
        };
        CDB_ATOM_NODE* a = atom("clk_in", 500, true);
        CDB_ATOM_NODE* b = atom("lab_b", 600, false);
        CDB_ATOM_NODE* c = atom("lab_c", 601, false);
        CDB_ATOM_NODE* d = atom("out_d", 602, false);
        CDB_ATOM_NODE* e = atom("led", 501, true);
        CDB_ATOM_ITERM* b_in = b->add_iterm(dataa, 0);
        CDB_ATOM_ITERM* c_in = c->add_iterm(dataa, 0);
        CDB_ATOM_ITERM* d_in = d->add_iterm(dataa, 0);
        CDB_ATOM_ITERM* d_carry = d->add_iterm(cin, 0);
        CDB_ATOM_ITERM* e_in = e->add_iterm(padio, 0);
        // Each output term carries its atom's name, as the netlist names them.
        auto output = [](CDB_ATOM_NODE* node, DBS_PORT_TYPE type) {
            CDB_ATOM_OTERM* oterm = node->add_oterm(type, 0);
            oterm->set_instance_name(node->get_instance_name()->get_hpath_to_root());
            return oterm;
        };
        output(a, combout)->add_fanout(b_in);
        CDB_ATOM_OTERM* b_out = output(b, combout);
        b_out->add_fanout(c_in);
        b_out->add_fanout(d_in);
        output(c, cout)->add_fanout(d_carry);
        output(d, combout)->add_fanout(e_in);

        auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
        port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(b_out), 1, U2B2_PHYSICAL_PORT(0, "COMBOUT"));
        port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(c_in), 1, U2B2_PHYSICAL_PORT(1, "DATAA"));
        port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(d_in), 1, U2B2_PHYSICAL_PORT(2, "DATAA"));
        u2b2_set_pdb_port_map(std::move(port_map));

        const int crf_root = routed->crf.add_node(0);
        const int crf_1001 = routed->crf.add_node(1, crf_root);
        routed->crf.add_node(2, crf_1001);
        routed->crf.add_node(3, crf_1001);
        routed->blc.add_node(4, routed->blc.add_node(3));
        routed->fcd.add_node(2, routed->fcd.add_node(0));

        routed->chip.set_chip(&routed->hdb_chip);
        routed->chip.set_atom_netlist(&routed->netlist);
        routed->chip.set_crf_re_network(&routed->crf);
        routed->chip.set_blc_re_network(&routed->blc);
        routed->chip.set_fcd_re_network(&routed->fcd);
        routed->entries.set_chip_db_entry(&routed->chip);
        return routed;
    }

    void use_chip(ROUTED_CHIP* routed)
    {
        CDB_CMP_ENTRY::set_db_entries(&routed->cap_inst, &routed->entries);
        name_mgr.set_current_cap_inst(&routed->cap_inst);
    }

    // Runs the entry with the words; returns the internal error's condition,
    // "" when there was none.
    std::string dump(std::list<const char*> words)
    {
        try
        {
            asm_dump_re_network(&words);
        }
        catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
        {
            EXPECT_EQ(error.component(), "ASM");
            return error.condition();
        }
        return "";
    }

    // The expected header of a dump of chip "first" on this device.
    std::string header(const char* coordinates, bool mcfd_line) const
    {
        return std::string("-- Zorvane Assembler Routing Information\n-- Based on ") + coordinates +
               " Coordinates\n-- " + ver_get_full_version(true) + "\n-- Generated on DATE\n" +
               "-- Design \"first\"\n-- Device: ZX44PART\n-- MCF File: zx44.mcf\n-- RBA File: zx44.rba\n" +
               (mcfd_line ? "-- MCFS_TO_MCFD File: zx44.mcfs_to_mcfd\n" : "");
    }

    // The dump file with the date of its header replaced by DATE.
    std::string dumped(const std::string& file_name) const
    {
        std::string text = read_file(scratch / file_name);
        const std::string date_prefix = "-- Generated on ";
        const size_t at = text.find(date_prefix);
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos)
        {
            const size_t end = text.find('\n', at);
            EXPECT_GT(end - at, date_prefix.size());
            text.replace(at + date_prefix.size(), end - at - date_prefix.size(), "DATE");
        }
        return text;
    }

    fs::path scratch;
    CMP_FACADE cmp;
    HDB_NAME_MGR name_mgr;
    DEV_DEVICE device;
    DEV_DIE_INFO* die = nullptr;
    DBCM_DEVICE* bundle_device = nullptr;
    std::unique_ptr<ROUTED_CHIP> first;
};

const char PIN_LINE[] = "IOB_1 : PIN_A1 --> lab_b : DATAA\n";
const char UNROUTED_LINES[] =
    "lab_c --> COUT out_d : CIN\n"
    "out_d --> COMBOUT led : PADIO NO ROUTING BETWEEN TWO NODES<DEBUG>\n";

TEST_F(AsmreDumper, SoftwareCoordinatesGiveEveryLineForm)
{
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    EXPECT_EQ(dumped("first.asmre"),
              header("SOFTWARE", false) + PIN_LINE +
                  "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : "
                  "output = out0 -> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF lab_c : DATAA\n"
                  "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD -> 3,N1004 DYGR_SUBGRAPH_BLC "
                  "out_d : DATAA --> IOB_2 : PIN_B2\n"
                  "\t -> 1,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_FULL_GRAPH lab_c : DATAA\n" +
                  UNROUTED_LINES);
}

TEST_F(AsmreDumper, TermsWithTimingPortsOrAnotherNetlistsNumberAreWrittenLikeTheRest)
{
    // lab_c's input also reaches out_d's block through a timing port; an
    // atom of a child netlist, numbered like lab_b in the top netlist, is a
    // further destination of lab_b's output at lab_c's port.
    CDB_ATOM_NODE* lab_b = first->netlist.nodes()[1];
    const CDB_ATOM_ITERM* c_in = first->netlist.nodes()[2]->get_iterms()[0].get();
    CDB_ATOM_NETLIST* child = first->netlist.add_blackbox("bx", "BOX")->get_child_netlist();
    child->add_atom(std::make_unique<CDB_ATOM_NODE>("filler", "atom"));
    CDB_ATOM_NODE* deep = child->add_atom(std::make_unique<CDB_ATOM_NODE>("deep", "atom"));
    ASSERT_EQ(deep->get_netlist_index(), lab_b->get_netlist_index());
    deep->set_instance_name("top|bx|deep");
    CDB_ATOM_ITERM* deep_in = deep->add_iterm(dbs_add_port_type("DATAA"), 0);
    lab_b->get_oterms()[0]->add_fanout(deep_in);

    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(lab_b->get_oterms()[0].get()), 1, U2B2_PHYSICAL_PORT(0, "COMBOUT"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(c_in), 1, U2B2_PHYSICAL_PORT(1, "DATAA"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(first->netlist.nodes()[3]->get_iterms()[0].get()), 1,
                  U2B2_PHYSICAL_PORT(2, "DATAA"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(deep_in), 1, U2B2_PHYSICAL_PORT(1, "DATAA"));
    port_map->add_timing_port(c_in, U2B2_PHYSICAL_PORT(2, "DATAA"));
    u2b2_set_pdb_port_map(std::move(port_map));

    EXPECT_EQ(dump({"pre_asm", "mcfs", "9"}), "");
    EXPECT_EQ(dumped("first.asmre"),
              header("SOFTWARE", false) + PIN_LINE +
                  "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : "
                  "output = out0 -> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF lab_c : DATAA bx|deep : "
                  "DATAA\n"
                  "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD -> 3,N1004 DYGR_SUBGRAPH_BLC "
                  "lab_c : DATAA out_d : DATAA --> IOB_2 : PIN_B2\n"
                  "\t -> 1,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_FULL_GRAPH lab_c : DATAA bx|deep : DATAA\n" +
                  UNROUTED_LINES);
}

TEST_F(AsmreDumper, ALargeFanoutListsEachLeafsTermsInFanoutOrder)
{
    // lab_b's output also drives 70 further terms: two of every three at
    // lab_c's port (leaf 1002), the others at out_d's (leaf 1004), the last
    // one mapped to no port.
    CDB_ATOM_OTERM* b_out = first->netlist.nodes()[1]->get_oterms()[0].get();
    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(b_out), 1, U2B2_PHYSICAL_PORT(0, "COMBOUT"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(first->netlist.nodes()[2]->get_iterms()[0].get()), 1,
                  U2B2_PHYSICAL_PORT(1, "DATAA"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(first->netlist.nodes()[3]->get_iterms()[0].get()), 1,
                  U2B2_PHYSICAL_PORT(2, "DATAA"));
    std::string at_1002 = " lab_c : DATAA";
    std::string at_1004 = " out_d : DATAA --> IOB_2 : PIN_B2";
    for (int i = 0; i < 70; ++i)
    {
        const std::string name = "x" + std::to_string(i);
        CDB_ATOM_NODE* atom = first->netlist.add_atom(std::make_unique<CDB_ATOM_NODE>(name, "atom"));
        atom->set_instance_name("top|" + name);
        CDB_ATOM_ITERM* iterm = atom->add_iterm(dbs_add_port_type("DATAA"), 0);
        b_out->add_fanout(iterm);
        if (i == 69)
            continue;
        const bool at_d = i % 3 == 0;
        port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(iterm), 1, U2B2_PHYSICAL_PORT(at_d ? 2 : 1, "DATAA"));
        (at_d ? at_1004 : at_1002) += " " + name + " : DATAA";
    }
    u2b2_set_pdb_port_map(std::move(port_map));

    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    EXPECT_EQ(dumped("first.asmre"),
              header("SOFTWARE", false) + PIN_LINE +
                  "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : "
                  "output = out0 -> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF" +
                  at_1002 +
                  "\n"
                  "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD -> 3,N1004 DYGR_SUBGRAPH_BLC" +
                  at_1004 + "\n\t -> 1,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_FULL_GRAPH" + at_1002 + "\n" +
                  UNROUTED_LINES);
}

TEST_F(AsmreDumper, BitsFollowCrfHopsInFlatAndPairForm)
{
    set_and_get_asm_zasm_accessor(new TEST_PROXY({10}, 1024), true);
    EXPECT_EQ(dump({"pre_asm_with_bits", "mcfs", "7"}), "");
    const std::vector<std::string> flat = lines_of(dumped("first.asmre"));
    ASSERT_GE(flat.size(), 12u);
    EXPECT_EQ(flat[9],
              "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : "
              "output = out0 (b: 10:1) (b: 2050:0) -> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF lab_c : "
              "DATAA");
    // The FCD hop has bits of its own, but only CRF hops carry them.
    EXPECT_EQ(flat[10], "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD -> 3,N1004 "
                        "DYGR_SUBGRAPH_BLC out_d : DATAA --> IOB_2 : PIN_B2");
    EXPECT_EQ(TEST_PROXY::handles, (std::vector<int>{7, 7}));

    // A later dump with pairs writes its file afresh; the handle changed, so
    // the dumper was rebuilt for it.
    EXPECT_EQ(dump({"pre_asm_with_2d_bits", "mcfs"}), "");
    const std::vector<std::string> pairs = lines_of(dumped("first.asmre"));
    ASSERT_EQ(pairs.size(), flat.size());
    EXPECT_EQ(pairs[9],
              "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : "
              "output = out0(b: (0,10):1)(b: (2,2):0) -> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF "
              "lab_c : DATAA");
    EXPECT_EQ(TEST_PROXY::handles, (std::vector<int>{7, 7, -1, -1}));
}

TEST_F(AsmreDumper, IcDesignAndSchematicCoordinates)
{
    // Node 1004 is also a pad: pads take their IC design name.
    DEV_PAD* pad = const_cast<DEV_PAD*>(device.get_pad_info()->get_pad(0));
    pad->set_int(DEV_PAD_INT_GLOBAL_ID, 1004);
    first->netlist.nodes()[0]->set_location_index(1004);

    EXPECT_EQ(dump({"pre_asm", "mcfd"}), "");
    EXPECT_FALSE(fs::exists(scratch / "first.asmre"));
    const std::string ic_body =
        "lab_b --> COMBOUT : ic1000 -> 1,ic1001 DYGR_SUBGRAPH_CRF : MUX_A : input = in0 : output = out0 -> "
        "2,ic1002 DYGR_SUBGRAPH_CRF lab_c : DATAA\n"
        "             -> 2,ic1003 DYGR_SUBGRAPH_FCD -> 3,PAD_A DYGR_SUBGRAPH_BLC out_d : DATAA --> IOB_2 : PIN_B2\n"
        "\t -> 1,ic1002 DYGR_FULL_GRAPH lab_c : DATAA\n";
    EXPECT_EQ(dumped("first.mcfd.asmre"), header("IC DESIGN", true) + PIN_LINE + ic_body + UNROUTED_LINES);
    // The IC-name data that the mode loaded is unloaded at the end of the
    // dump; the dumper's own load stays.
    const std::vector<int>& loaded = die->loaded_kinds();
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), 3), 1);

    EXPECT_EQ(dump({"pre_asm", "sch"}), "");
    std::string sch_body = ic_body;
    sch_body.replace(sch_body.find("1,ic1001"), 8, "1,SCH:s1001");
    EXPECT_EQ(dumped("first.sch.asmre"),
              header("IC DESIGN *Schematic*", true) + PIN_LINE + sch_body + UNROUTED_LINES);
}

TEST_F(AsmreDumper, SecondDumpAfterTheChipChangedIsCompleteInItsOwnFile)
{
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    const std::string first_text = dumped("first.asmre");

    // Another chip, whose network is the first's without BLC and FCD trees,
    // on a family without mux names and a device without the MCFS-to-MCFD
    // file: "mcfd" keeps software coordinates, the header ends in an empty
    // line.
    std::unique_ptr<ROUTED_CHIP> second = build_chip("second");
    second->chip.set_blc_re_network(nullptr);
    second->chip.set_fcd_re_network(nullptr);
    use_chip(second.get());
    auto basic = std::make_unique<DEV_BASIC_INFO>(PART, DEVICE);
    basic->set_family_enum(15);
    basic->set_string(4, "zx44.mcf");
    basic->set_string(6, "zx44.rba");
    device.set_basic_info(std::move(basic));
    EXPECT_EQ(dump({"unknown", "mcfd"}), "");

    EXPECT_EQ(dumped("first.asmre"), first_text);
    std::string expected = header("SOFTWARE", false) + "\n" + PIN_LINE +
                           "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF -> 2,N1002 ( "
                           "DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF lab_c : DATAA\n"
                           "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD\n" +
                           UNROUTED_LINES;
    expected.replace(expected.find("\"first\""), 7, "\"second\"");
    EXPECT_EQ(dumped("second.asmre"), expected);
}

TEST_F(AsmreDumper, EveryDumpReadsThePortMapOfItsTime)
{
    // Same chip, device and handle: the second dump must not use what the
    // first one read (a new object may stand where a freed one stood).
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    EXPECT_NE(dumped("first.asmre").find("DYGR_SUBGRAPH_CRF lab_c : DATAA"), std::string::npos);

    const CDB_ATOM_NODE_LIST& atoms = first->netlist.nodes();
    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(atoms[1]->get_oterms()[0].get()), 1, U2B2_PHYSICAL_PORT(0, "COMBOUT"));
    // lab_c's input now sits at out_d's block.
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(atoms[2]->get_iterms()[0].get()), 1, U2B2_PHYSICAL_PORT(2, "DATAA"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(atoms[3]->get_iterms()[0].get()), 1, U2B2_PHYSICAL_PORT(2, "DATAA"));
    u2b2_set_pdb_port_map(std::move(port_map));
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    const std::string second = dumped("first.asmre");
    EXPECT_NE(second.find("DYGR_SUBGRAPH_BLC lab_c : DATAA out_d : DATAA"), std::string::npos);
    EXPECT_EQ(second.find("DYGR_SUBGRAPH_CRF lab_c : DATAA"), std::string::npos);
}

TEST_F(AsmreDumper, MissingDataAndWordsAreInternalErrors)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(dump({"pre_asm"}), "str_list->size() >=2");
    EXPECT_EQ(dump({"pre_asm", "mcfs", "abc"}), "");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("outside dump bits and device_handle from tcl is 0\n"), std::string::npos);

    // Bits without the host's proxy: nothing is written.
    fs::remove(scratch / "first.asmre");
    EXPECT_EQ(dump({"pre_asm_with_bits", "mcfs"}), "zasm accessor proxy != NULL");
    EXPECT_FALSE(fs::exists(scratch / "first.asmre"));

    // A directory that does not exist cannot take the file, nor can a
    // directory in the file's place (which stays as it was).
    gen_set_project_output_directory((scratch / "missing").string());
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "Unable to dump out asm routing info");
    gen_set_project_output_directory(scratch.string());
    fs::create_directory(scratch / "first.asmre");
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "Unable to dump out asm routing info");
    EXPECT_TRUE(fs::is_empty(scratch / "first.asmre"));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch), fs::directory_iterator()), 1);
    fs::remove(scratch / "first.asmre");

    set_and_get_asm_zasm_accessor(new TEST_PROXY({}, 0), true);
    EXPECT_EQ(dump({"pre_asm_with_2d_bits", "mcfs"}), "CRAM bit address width should not be zero.");
    EXPECT_EQ(dump({"pre_asm_with_bits", "mcfs"}), "");

    // An input term mapped to two physical ports.
    auto port_map = std::make_unique<U2B2_PORT_MAP_DB>();
    const CDB_ATOM_ITERM* c_in = first->netlist.nodes()[2]->get_iterms()[0].get();
    const CDB_ATOM_OTERM* b_out = first->netlist.nodes()[1]->get_oterms()[0].get();
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(b_out), 1, U2B2_PHYSICAL_PORT(0, "COMBOUT"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(c_in), 1, U2B2_PHYSICAL_PORT(1, "DATAA"));
    port_map->add(U2B2_LOGICAL_PORT_FACTORY::create(c_in), 1, U2B2_PHYSICAL_PORT(2, "DATAA"));
    u2b2_set_pdb_port_map(std::move(port_map));
    // The process-wide dumper keeps the port map it was built with until it
    // is rebuilt for another handle.
    EXPECT_EQ(dump({"pre_asm", "mcfs", "3"}),
              "port_vector.empty() || std::next(port_vector.begin()) == port_vector.end()");

    // The IC-name data missing on a device with the MCFS-to-MCFD file.
    DEV_DEVICE other;
    other.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART, DEVICE));
    other.get_basic_info()->set_string(8, "x");
    other.set_die_info(std::make_unique<DEV_DIE_INFO>());
    DMGR_UTILITY::set_current_device(&other);
    EXPECT_EQ(dump({"pre_asm", "mcfd", "3"}), "Unable to load ICNAME device data");
}

TEST_F(AsmreDumper, WordsAreTheKnownWordsExactly)
{
    // Upper-case words are other words: routing only, software coordinates
    // (a dump with bits would need the proxy, which is not set).
    EXPECT_EQ(dump({"PRE_ASM_WITH_BITS", "MCFD"}), "");
    EXPECT_FALSE(fs::exists(scratch / "first.mcfd.asmre"));
    const std::string text = dumped("first.asmre");
    EXPECT_EQ(text.rfind(header("SOFTWARE", false), 0), 0u) << text;
    EXPECT_EQ(text.find("(b:"), std::string::npos) << text;
}

TEST_F(AsmreDumper, AnOutputTermWithoutANameIsAnInternalError)
{
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    const std::string earlier = read_file(scratch / "first.asmre");

    // lab_c's second output has no name of its own: it is not written under
    // its atom's name. The dump stops, and the earlier file stays whole with
    // nothing beside it.
    CDB_ATOM_NODE* lab_c = first->netlist.nodes()[2];
    CDB_ATOM_NODE* out_d = first->netlist.nodes()[3];
    lab_c->add_oterm(dbs_add_port_type("COMBOUT"), 1)->add_fanout(out_d->add_iterm(dbs_add_port_type("DATAB"), 0));
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "hdb_inst_name != NULL");
    EXPECT_EQ(read_file(scratch / "first.asmre"), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch), fs::directory_iterator()), 1);
}

TEST_F(AsmreDumper, CycleOfTreesIsCutOnce)
{
    // The BLC tree from 1003 ends at 1000, whose trees lead back to 1003.
    first->blc.add_node(0, 0);
    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    const std::vector<std::string> lines = lines_of(dumped("first.asmre"));
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[10], "             -> 2,N1003 (BLC_PORT:blc_top:P[0]) DYGR_SUBGRAPH_FCD -> 3,N1004 "
                         "DYGR_SUBGRAPH_BLC out_d : DATAA --> IOB_2 : PIN_B2");
    // From 1000 only the FCD tree is entered: the CRF tree is the one being
    // written.
    EXPECT_EQ(lines[11], std::string(20, ' ') + " -> 3,N1000 DYGR_FULL_GRAPH -> 4,N1002 ( DEV_ELEMENT_GENERIC :IN) "
                                                "DYGR_FULL_GRAPH lab_c : DATAA");
    size_t cycle_lines = 0;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        cycle_lines += line.text.find("ASMRE: routing tree cycle at gid") == 0 ? 1 : 0;
    EXPECT_GE(cycle_lines, 1u);
}

TEST_F(AsmreDumper, MuxNamesThroughTheTranslator)
{
    // Emulator mode 0: the names come from the translator's mux lookups; a
    // port name is written only when the mux has exactly one.
    dygr_zdl_set_emulator(&device, std::make_shared<DYGR_ZDL::EMULATOR>(0));
    auto translator = std::make_shared<DYGR_ZDL_TRANSLATOR>();
    ZDL::ITRANSLATE* translate = translator->get_dav_translator();
    translate->set_dav_gid(1000, 70);
    translate->set_dav_gid(1001, 71);
    translate->set_dav_gid(1002, 72);
    translate->mux_lookup(2)->add(70, 71, ZDL::MUX{NS_SYMBOL::SYM("SYM_A"), {"i0"}, {"o0", "o1"}});
    translate->mux_lookup(0)->add(71, 72, ZDL::MUX{NS_SYMBOL::SYM("SYM_B"), {}, {"o2"}});
    dygr_zdl_set_translator(&device, translator);

    EXPECT_EQ(dump({"pre_asm", "mcfs"}), "");
    const std::vector<std::string> lines = lines_of(dumped("first.asmre"));
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[9], "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF : SYM_A : input = i0 "
                        "-> 2,N1002 ( DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF : SYM_B : output = o2 lab_c : DATAA");

    // Without the translator there are no mux names at all.
    dygr_zdl_set_translator(&device, nullptr);
    EXPECT_EQ(dump({"pre_asm", "mcfs", "5"}), "");
    EXPECT_EQ(lines_of(dumped("first.asmre"))[9],
              "lab_b --> COMBOUT : N1000 -> 1,N1001 (LAB_LINE:LL[3]) DYGR_SUBGRAPH_CRF -> 2,N1002 ( "
              "DEV_ELEMENT_GENERIC :IN) DYGR_SUBGRAPH_CRF lab_c : DATAA");
}
