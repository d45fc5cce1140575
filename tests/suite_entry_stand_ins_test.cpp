// The stand-ins that the assembly entry calls behave as their callers rely
// on.
#include <asm_model.h>
#include <cdb.h>
#include <cdb_atom.h>
#include <constra.h>
#include <cut.h>
#include <dbcm.h>
#include <dev.h>
#include <dstr.h>
#include <hdb.h>
#include <msg.h>
#include <stl.h>
#include <u2b2.h>
#include <zsym.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TEST(HierarchyDatabase, SettingsAreFoundByIdAndKindOnlyInTheirOwnHolder)
{
    HDB_NAMESPACE ns;
    ns.set_string_option(1492, "a.xml");
    ns.set_bool_option(1254, true);
    ns.set_int_option(7, -3);
    ns.set_enum_option(8, 197);
    HDB_SECTION* global = ns.add_section(21, "");
    global->set_string_option(1422, "kw");

    const auto* file = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(&ns, 1492, true);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->get_value(), "a.xml");
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(&ns, 1492, true)), nullptr);
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(&ns, 1422, true)), nullptr);
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(nullptr, 1492, true)), nullptr);
    EXPECT_EQ(ns.find_section(21, ""), global);
    EXPECT_EQ(ns.find_section(21, "x"), nullptr);
    EXPECT_EQ(ns.add_section(21, ""), global);
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(global, 1422, true)->get_value()),
              "kw");
    EXPECT_TRUE((HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(&ns, 1254, true)->get_value()));
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_INTEGER, 0>::get_single_option(&ns, 7, true)->get_value()), -3);
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_ENUM, 0>::get_single_option(&ns, 8, true)->get_value()), 197);
    EXPECT_EQ(ns.find_option(7)->get_value_str(), "-3");
    EXPECT_EQ(ns.find_option(1254)->get_value_str(), "true");

    ns.set_bool_option(1492, false);  // a new setting replaces the old one, kind and all
    EXPECT_EQ((HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(&ns, 1492, true)), nullptr);
    ns.remove_option(1492);
    EXPECT_EQ(ns.find_option(1492), nullptr);
}

TEST(ChipDatabase, EntriesAreFoundByCompileInstance)
{
    CDB_CMP_ENTRY::reset();
    HDB_NAMESPACE a, b;
    CDB_CHIP_DB_ENTRY chip;
    chip.set_base_family(29);
    chip.set_internal_family(67);
    CDB_DB_ENTRIES entries;
    entries.set_chip_db_entry(&chip);
    CDB_CMP_ENTRY::set_db_entries(&a, &entries);
    EXPECT_EQ(CDB_CMP_ENTRY::get_db_entries_no_update(&a), &entries);
    EXPECT_EQ(CDB_CMP_ENTRY::get_db_entries_no_update(&b), nullptr);
    EXPECT_EQ(chip.get_base_family_enum(), 29);
    EXPECT_EQ(chip.get_internal_family_view().get_internal_family_enum(), 67);
    CDB_CMP_ENTRY::set_db_entries(&a, nullptr);
    EXPECT_EQ(CDB_CMP_ENTRY::get_db_entries_no_update(&a), nullptr);
}

TEST(DeviceDatabase, PartTableGivesDevicesBaseDevicesNamesAndCounts)
{
    dev_reset();
    const DEV_PART part = static_cast<DEV_PART>(7);
    const DEV_DEVICE_ENUM device = static_cast<DEV_DEVICE_ENUM>(70);
    const DEV_DEVICE_ENUM base = static_cast<DEV_DEVICE_ENUM>(71);
    dev_add_part(part, "P7", device);
    dev_add_device(device, base, "dev70");
    dev_add_device(base, base, "VW_base");
    dev_set_resource_count(part, DEV_RESOURCE_CPU_CORE, 2);
    DEV_PART_MANAGER manager;
    EXPECT_EQ(manager.get_part_name(part), "P7");
    EXPECT_EQ(manager.get_device_of(part), device);
    EXPECT_EQ(manager.get_base_device_of(device), base);
    EXPECT_STREQ(dstr_get_user_string(manager.get_base_device_of(device)), "VW_base");
    EXPECT_EQ(manager.get_device_resource_count_of(part, DEV_RESOURCE_CPU_CORE), 2u);

    EXPECT_EQ(manager.get_device_of(static_cast<DEV_PART>(8)), DEV_DEVICE_INVALID);
    EXPECT_EQ(manager.get_base_device_of(DEV_DEVICE_INVALID), DEV_DEVICE_INVALID);
    EXPECT_EQ(dstr_get_user_string(DEV_DEVICE_INVALID), nullptr);
    EXPECT_EQ(manager.get_device_resource_count_of(static_cast<DEV_PART>(8), DEV_RESOURCE_CPU_CORE), 0xFFFFFFFFu);
}

TEST(DeviceDatabase, DieInfoLoadsOnlyTheDataItHas)
{
    DEV_DIE_INFO die;
    die.add_device_data(4);
    std::string text;
    EXPECT_TRUE(die.load_device_data(4, text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(die.load_device_data(2, text));
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(die.requested_kinds(), (std::vector<int>{4, 2}));
    EXPECT_EQ(die.loaded_kinds(), (std::vector<int>{4}));
}

TEST(StringUtilities, LowerCasesInPlace)
{
    std::string text = "VW8RevB-9";
    stl_tolower(text);
    EXPECT_EQ(text, "vw8revb-9");
}

TEST(AttributeCoverageCheck, FindsUncoveredAttributesOfTheListedTypesOnly)
{
    msg_reset();
    DBCM_CHIP chip;
    chip.add_atom_attribute("la_lab", "a", false);
    chip.add_atom_attribute("la_lab", "b", true);
    chip.add_atom_attribute("other", "c", false);
    std::vector<ZSYM> types(1);
    types[0].use(ZSYM_NAMESPACE_NAME, "la_lab");
    U2B2_ATTRIBUTE_COVERAGE_CHECK_OP op(&chip);
    EXPECT_FALSE(op.work(&types));
    ASSERT_EQ(op.findings().size(), 1u);
    EXPECT_EQ(op.findings()[0].attribute, "a");
    testing::internal::CaptureStdout();
    op.post();
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].kind, MSG_POST_TYPE_WARNING);

    U2B2_ATTRIBUTE_COVERAGE_CHECK_OP none(nullptr);
    EXPECT_FALSE(none.work(&types));
    EXPECT_TRUE(none.findings().empty());
}

TEST(ChipBundleDatabase, ChipsByIndexRegionsByKindAndConstraintChecks)
{
    DBCM_DB_MANAGER* manager = DBCM_DB_MANAGER::get_or_create_instance();
    manager->reset();
    EXPECT_EQ(manager->get_chip(0), nullptr);
    DBCM_CHIP* chip = manager->add_chip();
    EXPECT_EQ(manager->get_chip(0), chip);
    EXPECT_EQ(manager->get_chip(-1), nullptr);
    EXPECT_EQ(chip->get_regions(0), nullptr);
    chip->add_regions(0)->add_region("r1");
    EXPECT_EQ(chip->get_regions(0)->size(), 1u);
    EXPECT_EQ(chip->get_regions(1), nullptr);
    EXPECT_TRUE(constra_check_bcm_chip(chip));
    EXPECT_FALSE(constra_check_bcm_chip(nullptr));
    EXPECT_EQ(chip->constraint_checks(), 1);
}

TEST(AtomDumper, WritesTheNetlistWithItsChildNetlists)
{
    char dir[] = "/tmp/asm_cut_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    CDB_ATOM_NETLIST netlist;
    netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("a", "la_lab"));
    CDB_ATOM_BLACKBOX* outer = netlist.add_blackbox("outer", "bb");
    CDB_ATOM_BLACKBOX* inner = outer->get_child_netlist()->add_blackbox("inner", "bb");
    inner->get_child_netlist()->add_atom(std::make_unique<CDB_ATOM_NODE>("deep", "pm_iopll"));
    outer->get_child_netlist()->add_atom(std::make_unique<CDB_ATOM_NODE>("after", "x"));
    netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("z", "y"));
    CDB_CHIP_DB_ENTRY chip;
    chip.set_atom_netlist(&netlist);
    CUT_ATOM_DUMPER dumper(&chip);

    auto read = [](const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    const std::string path = std::string(dir) + "/n.pre_asm_netlist";
    ASSERT_TRUE(dumper.dump_current_atom_netlist(FIO_PATH(path), true, true));
    EXPECT_EQ(read(path), "a : la_lab\nouter : bb\n  inner : bb\n    deep : pm_iopll\n  after : x\nz : y\n");
    ASSERT_TRUE(dumper.dump_current_atom_netlist(FIO_PATH(path), false, false));
    EXPECT_EQ(read(path), "a\nouter\nz\n");

    CDB_CHIP_DB_ENTRY empty;
    const std::string none = std::string(dir) + "/none.txt";
    EXPECT_FALSE(CUT_ATOM_DUMPER(&empty).dump_current_atom_netlist(FIO_PATH(none), true, true));
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_FALSE(dumper.dump_current_atom_netlist(FIO_PATH(std::string(dir) + "/no/such/dir/x.txt"), true, true));
    std::filesystem::remove_all(dir);
}

TEST(AssemblerModel, RecordsCallsAndForgetsOnReset)
{
    ASM_MODEL::reset();
    ASM_MODEL::register_base_family(29);
    ASM_MODEL::register_netlist_faq(new ASMCC_NETLIST_FAQ(ASMCC_SOURCE_NETLIST_TYPE_POST_MAP, false, true, true, true));
    ASMCC_NETLIST_FAQ* second = new ASMCC_NETLIST_FAQ(ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE, true, true, true, false);
    ASM_MODEL::register_netlist_faq(second);  // the first one is deleted
    EXPECT_EQ(ASM_MODEL::get_netlist_faq(), second);
    ASM_MODEL::unregister_netlist_faq();
    EXPECT_EQ(ASM_MODEL::get_netlist_faq(), nullptr);
    EXPECT_EQ(ASM_MODEL::calls(), (std::vector<std::string>{"register_base_family", "register_netlist_faq",
                                                            "register_netlist_faq", "unregister_netlist_faq"}));
    ASM_MODEL::register_netlist_faq(new ASMCC_NETLIST_FAQ(ASMCC_SOURCE_NETLIST_TYPE_POST_MAP, false, true, true, true));
    ASM_MODEL::reset();
    EXPECT_EQ(ASM_MODEL::get_netlist_faq(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_base_family(), -1);
    EXPECT_TRUE(ASM_MODEL::calls().empty());
}

TEST(ChipSections, AddReplacesByNameOnlyWhenAsked)
{
    DBCM_CHIP chip;
    EXPECT_EQ(chip.get_section_store(), nullptr);
    DBCM_SECTION_STORE* store = chip.create_section_store();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(chip.create_section_store(), store);
    store->add_section("OPTIONS", 1, 10, "a", true);
    store->add_section("HANDOFF", 1, 10, "h", true);
    store->add_section("OPTIONS", 1, 10, "b", true);
    ASSERT_EQ(store->get_sections().size(), 2u);
    EXPECT_EQ(store->get_sections()[0].bytes, "b");
    store->add_section("OPTIONS", 1, 10, "c", false);
    ASSERT_EQ(store->get_sections().size(), 3u);
    EXPECT_EQ(store->find_section("OPTIONS")->bytes, "c");
    EXPECT_EQ(store->find_section("PR_OPTIONS"), nullptr);
}
