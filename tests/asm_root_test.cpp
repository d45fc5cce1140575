// The assembly entry: registrations, the assignments file, the netlist
// selection, the constraint check and the family dispatch.
#include "asm_option2.h"
#include "asm_root.h"
#include "entry_fixture.h"

#include <asm_options.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <sstream>

namespace
{

const char* const SKIP_LINE = "Skipping ASM because skip_asm = ON was found in your zorvane.ini file.";

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

class AssembleEntry : public ENTRY_SUITE
{
protected:
    int assemble()
    {
        bool out_flag = true;
        int result = asm_assemble(&cmp, 7, out_flag, FIO_PATH("ignored/path.txt"));
        EXPECT_FALSE(out_flag);
        return result;
    }

    std::string assemble_error()
    {
        return internal_error_of([this] { assemble(); });
    }
};

TEST_F(AssembleEntry, SkipAsmLogsBeginSkipEndAndRegistersNothing)
{
    cfg_set_value("skip_asm", "on");
    EXPECT_EQ(assemble(), 0);
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"ASM Begin", SKIP_LINE, "ASM End"}));
    EXPECT_TRUE(ASM_MODEL::calls().empty());
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(dbcm_chip->constraint_checks(), 0);
}

TEST_F(AssembleEntry, NullFacadeIsAnInternalErrorBeforeAnyRegistration)
{
    bool out_flag = true;
    std::string error = internal_error_of([&] { asm_assemble(nullptr, 0, out_flag, FIO_PATH()); });
    EXPECT_EQ(error, "cmp != NULL @comp/asm/asm_root");
    EXPECT_FALSE(out_flag);
    EXPECT_TRUE(ASM_MODEL::calls().empty());
    EXPECT_FALSE(has_debug_line("ASM End"));
}

TEST_F(AssembleEntry, MissingCompileContextIsAnInternalErrorAndLeavesNoStackObjectRegistered)
{
    cmp.set_cap_inst(nullptr);
    EXPECT_EQ(assemble_error(), "cap_inst != NULL @comp/asm/asm_root");
    EXPECT_EQ(ASM_MODEL::calls(), (std::vector<std::string>{"register_cmp", "register_project_path",
                                                            "unregister_project_path"}));
    EXPECT_EQ(ASM_MODEL::get_project_path(), nullptr);

    cmp.set_cap_inst(&cap_inst);
    CDB_CMP_ENTRY::set_db_entries(&cap_inst, nullptr);
    EXPECT_EQ(assemble_error(), "db_entries != NULL @comp/asm/asm_root");

    CDB_CMP_ENTRY::set_db_entries(&cap_inst, &db_entries);
    db_entries.set_chip_db_entry(nullptr);
    EXPECT_EQ(assemble_error(), "chip != NULL @comp/asm/asm_root");
    EXPECT_EQ(ASM_MODEL::get_cap(), &cap_inst);
    EXPECT_EQ(ASM_MODEL::get_chip(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_project_path(), nullptr);
}

TEST_F(AssembleEntry, RegistersInOrderAndUnregistersTheSelectionAndTheStackObjects)
{
    chip.set_base_family(52);
    chip.set_internal_family(53);
    assemble();
    EXPECT_EQ(ASM_MODEL::calls(),
              (std::vector<std::string>{"register_cmp", "register_project_path", "register_cap", "register_chip",
                                        "register_base_family", "register_user_family",
                                        "register_dev_family_manager", "register_dev_part_manager",
                                        "register_asm_options", "register_netlist_faq", "unregister_netlist_faq",
                                        "unregister_dev_part_manager", "unregister_dev_family_manager",
                                        "unregister_project_path"}));
    EXPECT_EQ(ASM_MODEL::get_cmp(), &cmp);
    EXPECT_EQ(ASM_MODEL::get_cap(), &cap_inst);
    EXPECT_EQ(ASM_MODEL::get_chip(), &chip);
    EXPECT_EQ(ASM_MODEL::get_base_family(), 52);
    EXPECT_EQ(ASM_MODEL::get_user_family(), 53);
    // The options object stays with the registry; the selection is gone.
    ASSERT_NE(ASM_MODEL::get_asm_options(), nullptr);
    EXPECT_FALSE(ASM_MODEL::get_asm_options()->m_initialized);
    EXPECT_EQ(ASM_MODEL::get_netlist_faq(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_project_path(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_dev_family_manager(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_dev_part_manager(), nullptr);
    EXPECT_EQ(debug_texts().front(), "ASM Begin");
    EXPECT_EQ(debug_texts().back(), "ASM End");
}

TEST_F(AssembleEntry, RegistryHoldsTheStackObjectsWhileTheCallRuns)
{
    chip.set_base_family(44);
    static const FIO_PATH* path_seen;
    static DEV_PART_MANAGER* part_manager_seen;
    static std::string path_text;
    path_seen = nullptr;
    part_manager_seen = nullptr;
    asm_set_trace_observer([](const std::string& event) {
        if (event.rfind("run assemble_dev_device", 0) == 0)
        {
            path_seen = ASM_MODEL::get_project_path();
            part_manager_seen = ASM_MODEL::get_dev_part_manager();
            path_text = path_seen != nullptr ? path_seen->text() : "";
        }
    });
    assemble();
    EXPECT_NE(path_seen, nullptr);
    EXPECT_NE(part_manager_seen, nullptr);
    EXPECT_EQ(path_text, m_project_dir + "/");
}

TEST_F(AssembleEntry, DefaultNetlistSelectionIsFullPlaceAndRouteWithEmptySets)
{
    static bool seen;
    static ASMCC_SOURCE_NETLIST_TYPE source;
    static bool prewired, processing_exclusive, transform_exclusive, mapped_exclusive;
    static size_t blocks;
    seen = false;
    asm_set_trace_observer([](const std::string& event) {
        if (event.rfind("run assemble_dev_device", 0) != 0)
            return;
        ASMCC_NETLIST_FAQ* faq = ASM_MODEL::get_netlist_faq();
        seen = faq != nullptr;
        if (!seen)
            return;
        source = faq->source_netlist();
        prewired = faq->prewired_periphery();
        processing_exclusive = faq->is_block_processing_exclusive();
        transform_exclusive = faq->is_bcm_transform_exclusive();
        mapped_exclusive = faq->is_bcm_parameters_mapped_to_bits_exclusive();
        blocks = faq->block_processing_set().size() + faq->bcm_transform_set().size() +
                 faq->bcm_parameters_mapped_to_bits_set().size();
    });
    chip.set_base_family(15);
    assemble();
    ASSERT_TRUE(seen);
    EXPECT_EQ(source, ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE);
    EXPECT_TRUE(prewired);
    EXPECT_TRUE(processing_exclusive);
    EXPECT_TRUE(transform_exclusive);
    EXPECT_FALSE(mapped_exclusive);
    EXPECT_EQ(blocks, 0u);
}

TEST_F(AssembleEntry, ASecondCallReplacesTheRegisteredOptions)
{
    chip.set_base_family(15);
    assemble();
    ASM_OPTIONS* first = ASM_MODEL::get_asm_options();
    assemble();
    EXPECT_NE(ASM_MODEL::get_asm_options(), nullptr);
    EXPECT_NE(ASM_MODEL::get_asm_options(), first);
}

// --- assignments file ---

TEST_F(AssembleEntry, AssignmentsFileNotSetLogsNothingAboutIt)
{
    chip.set_base_family(15);
    ASM_OPTIONS options;
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 0);
    assemble();
    for (const std::string& line : debug_texts())
        EXPECT_EQ(line.find("assignments file"), std::string::npos) << line;
    EXPECT_TRUE(has_debug_line("ASM End"));
}

TEST_F(AssembleEntry, BareAssignmentsFileNameIsLookedForInTheProjectDirectory)
{
    chip.set_base_family(15);
    cap_inst.set_string_option(1492, "asm_assign.xml");
    static bool default_selection;
    default_selection = false;
    asm_set_trace_observer([](const std::string& event) {
        if (event.rfind("run assemble_dev_device", 0) == 0)
            default_selection = ASM_MODEL::get_netlist_faq() != nullptr &&
                                ASM_MODEL::get_netlist_faq()->source_netlist() ==
                                    ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE;
    });
    assemble();
    EXPECT_TRUE(has_debug_line("Failed to find Assembler assignments file " + m_project_dir + "/asm_assign.xml"));
    EXPECT_TRUE(default_selection);
}

TEST_F(AssembleEntry, AssignmentsFileWithADirectoryIsTakenAsGiven)
{
    chip.set_base_family(15);
    cap_inst.set_string_option(1492, "elsewhere/asm_assign.xml");
    std::filesystem::current_path(m_project_dir);
    std::filesystem::create_directory(m_project_dir + "/elsewhere");
    ASM_OPTIONS options;
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 0);
    EXPECT_TRUE(has_debug_line("Failed to find Assembler assignments file " + m_project_dir +
                               "/elsewhere/asm_assign.xml"));
    std::ofstream(m_project_dir + "/elsewhere/asm_assign.xml") << "<asm_options/>\n";
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 1);
}

// An assignments file with one block for the given compilation, device and
// keyword that selects the early timing estimate netlist.
void write_assignments_file(const std::string& path, const std::string& cmp, const std::string& device,
                            const std::string& keyword)
{
    std::ofstream(path) << "<assembler_options>\n  <asm_assignments cmp=\"" << cmp << "\" device=\"" << device
                        << "\" keyword=\"" << keyword
                        << "\">\n    <netlist_spec source_netlist=\"early_timing_estimate\" prewired_periphery=\"off\"/>\n"
                           "  </asm_assignments>\n</assembler_options>\n";
}

// The source netlist of the selection registered when the device run starts
// (-1 when none is registered).
int& registered_source()
{
    static int source = -1;
    return source;
}

void note_registered_source(const std::string& event)
{
    if (event.rfind("run assemble_dev_device", 0) == 0)
        registered_source() =
            ASM_MODEL::get_netlist_faq() != nullptr ? ASM_MODEL::get_netlist_faq()->source_netlist() : -1;
}

TEST_F(AssembleEntry, FoundAssignmentsFileIsReadWithTheCompilationDeviceAndKeyword)
{
    chip.set_base_family(15);
    cap_inst.set_string_option(1492, "asm_assign.xml");
    cap_inst.set_string_option(1422, "kw");
    write_assignments_file(m_project_dir + "/asm_assign.xml", "cmp1", "DEV_101", "kw");
    ASM_OPTIONS options;
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 1);
    EXPECT_EQ(options.m_cmp_name, "cmp1");
    EXPECT_EQ(options.m_device_name, "DEV_101");
    EXPECT_EQ(options.m_keyword, "kw");
    EXPECT_TRUE(options.m_initialized);

    // The kept block's netlist selection is the one the run registers.
    registered_source() = -1;
    asm_set_trace_observer(note_registered_source);
    assemble();
    EXPECT_EQ(registered_source(), ASMCC_SOURCE_NETLIST_TYPE_EARLY_TIMING_ESTIMATE);
}

TEST_F(AssembleEntry, AssignmentsFileWithoutAMatchingBlockKeepsTheDefaultSelection)
{
    chip.set_base_family(15);
    cap_inst.set_string_option(1492, "asm_assign.xml");
    cap_inst.set_string_option(1422, "kw");
    asm_set_trace_observer(note_registered_source);
    // Each block differs from the compilation in one of the three texts.
    const std::vector<std::vector<std::string>> blocks = {
        {"other_cmp", "DEV_101", "kw"}, {"cmp1", "DEV_999", "kw"}, {"cmp1", "DEV_101", "other_kw"}};
    for (const std::vector<std::string>& block : blocks)
    {
        SCOPED_TRACE(block[0] + " " + block[1] + " " + block[2]);
        write_assignments_file(m_project_dir + "/asm_assign.xml", block[0], block[1], block[2]);
        ASM_OPTIONS options;
        EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 1);
        EXPECT_FALSE(options.m_initialized);

        msg_reset();
        registered_source() = -1;
        assemble();
        for (const std::string& line : debug_texts())
            EXPECT_EQ(line.find("Failed to find Assembler assignments file"), std::string::npos) << line;
        EXPECT_EQ(registered_source(), ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE);
    }
}

TEST_F(AssembleEntry, AssignmentsKeywordIsEmptyWhenNotSet)
{
    cap_inst.set_string_option(1492, "asm_assign.xml");
    write_assignments_file(m_project_dir + "/asm_assign.xml", "cmp1", "DEV_101", "");
    ASM_OPTIONS options;
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 1);
    EXPECT_EQ(options.m_keyword, "");
    EXPECT_TRUE(options.m_initialized);
}

TEST_F(AssembleEntry, AssignmentsFileOptionOfAnotherKindIsNotASetting)
{
    cap_inst.set_int_option(1492, 5);
    ASM_OPTIONS options;
    EXPECT_EQ(load_assembler_assignments_file(&options, &cmp, &cap_inst, &chip), 0);
    EXPECT_TRUE(debug_texts().empty());
}

// --- pre-asm netlist dump and constraint check ---

TEST_F(AssembleEntry, PreAsmNetlistDumpIsWrittenBeforeAnyFamilyWork)
{
    std::filesystem::current_path(m_project_dir);
    CDB_ATOM_BLACKBOX* box = netlist.add_blackbox("bb", "sld_hub");
    box->get_child_netlist()->add_atom(std::make_unique<CDB_ATOM_NODE>("inner", "pm_iopll"));
    cfg_set_value("asm_dump_pre_asm_netlist", "on");
    chip.set_base_family(16);
    EXPECT_EQ(assemble_error(), "Unsupported family @comp/asm/asm_root");
    EXPECT_EQ(read_file(m_project_dir + "/rev1.pre_asm_netlist"),
              "lab_0 : la_lab\nbb : sld_hub\n  inner : pm_iopll\n");
}

TEST_F(AssembleEntry, NoPreAsmNetlistDumpWhenTheSwitchIsOff)
{
    std::filesystem::current_path(m_project_dir);
    chip.set_base_family(15);
    assemble();
    EXPECT_FALSE(std::filesystem::exists(m_project_dir + "/rev1.pre_asm_netlist"));
}

TEST_F(AssembleEntry, UnsupportedFamilyComesAfterTheConstraintCheck)
{
    chip.set_base_family(16);
    EXPECT_EQ(assemble_error(), "Unsupported family @comp/asm/asm_root");
    EXPECT_EQ(dbcm_chip->constraint_checks(), 1);
    EXPECT_TRUE(events().empty());
    const std::vector<std::string>& calls = ASM_MODEL::calls();
    ASSERT_GE(calls.size(), 10u);
    EXPECT_EQ(calls[9], "register_netlist_faq");
    // The stack objects are forgotten on the way out.
    EXPECT_EQ(ASM_MODEL::get_project_path(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_dev_part_manager(), nullptr);
    EXPECT_EQ(ASM_MODEL::get_dev_family_manager(), nullptr);
}

// --- the family table ---

struct FAMILY_ROW
{
    DEV_FAMILY base_family;
    DEV_FAMILY internal_family;
    std::vector<std::string> events;
};

void PrintTo(const FAMILY_ROW& row, std::ostream* out)
{
    *out << "base " << row.base_family << " internal " << row.internal_family;
}

class FamilyDispatch : public AssembleEntry, public testing::WithParamInterface<FAMILY_ROW>
{
};

TEST_P(FamilyDispatch, BuildsTheFamilysObjectsInOrder)
{
    const FAMILY_ROW& row = GetParam();
    chip.set_base_family(row.base_family);
    chip.set_internal_family(row.internal_family);
    // The device run completes (the library's first SOF index, 0) except on
    // family 44, whose design has no Configuration Block IP here.
    const int family = row.internal_family == 67 ? 67 : row.base_family;
    EXPECT_EQ(assemble(), family == 44 ? -1 : 0);
    EXPECT_EQ(std::filesystem::exists(m_project_dir + "/rev1.sof"), family != 44);
    EXPECT_EQ(events(), row.events);
    EXPECT_EQ(ASM_MODEL::get_base_family(), row.base_family);
    EXPECT_EQ(ASM_MODEL::get_user_family(), row.internal_family);
    EXPECT_EQ(dbcm_chip->constraint_checks(), 1);
    EXPECT_TRUE(has_debug_line("ASM End"));
}

const std::vector<std::string> HPS_VR_EVENTS = {
    "construct VR_ASM_HPS_HANDOFF_DATA", "construct HPS_HANDOFF_BOX 1572", "construct VR_HPS_HANDOFF_BOX 1572",
    "run add_hand_off_data_into_dbcm", "destroy HPS_HANDOFF_BOX", "destroy ASM_HPS_HANDOFF_DATA"};
const std::vector<std::string> HPS_YB_EVENTS = {
    "construct YB_ASM_HPS_HANDOFF_DATA", "construct HPS_HANDOFF_BOX 1572", "run add_hand_off_data_into_dbcm",
    "destroy HPS_HANDOFF_BOX", "destroy ASM_HPS_HANDOFF_DATA"};
const std::vector<std::string> HPS_VK_EVENTS = {
    "construct VK_ASM_HPS_HANDOFF_DATA", "construct HPS_HANDOFF_BOX 1572", "construct VK_HPS_HANDOFF_BOX 1624",
    "run add_hand_off_data_into_dbcm", "destroy HPS_HANDOFF_BOX", "destroy ASM_HPS_HANDOFF_DATA"};

std::vector<std::string> with_option_block(std::vector<std::string> before, int family)
{
    before.push_back("construct ASM_OPTION2");
    before.push_back("run process_option_data");
    before.push_back("run assemble_dev_device " + std::to_string(family) + " with option block");
    before.push_back("destroy ASM_OPTION2");
    return before;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FamilyDispatch,
    testing::Values(FAMILY_ROW{15, 15, {"run assemble_dev_device 15 without option block"}},
                    FAMILY_ROW{54, -1, {"run assemble_dev_device 54 without option block"}},
                    FAMILY_ROW{29, 29, with_option_block(HPS_VR_EVENTS, 29)},
                    FAMILY_ROW{44, 44, with_option_block({}, 44)},
                    FAMILY_ROW{52, 52, with_option_block(HPS_YB_EVENTS, 52)},
                    FAMILY_ROW{67, 67, with_option_block(HPS_VK_EVENTS, 67)},
                    // The internal family 67 takes the row of 67 whatever the base family.
                    FAMILY_ROW{29, 67, with_option_block(HPS_VK_EVENTS, 67)},
                    FAMILY_ROW{16, 67, with_option_block(HPS_VK_EVENTS, 67)},
                    FAMILY_ROW{67, 29, with_option_block(HPS_VK_EVENTS, 67)}),
    [](const testing::TestParamInfo<FAMILY_ROW>& info) {
        return "base" + std::to_string(info.param.base_family) + "_internal" +
               (info.param.internal_family < 0 ? std::string("none") : std::to_string(info.param.internal_family));
    });

TEST_F(AssembleEntry, OptionBlockBuilderEndsBeforeTheSelectionIsUnregistered)
{
    chip.set_base_family(52);
    assemble();
    catch_up_registry();
    const std::vector<std::string>& all = timeline();
    auto at = [&](const std::string& e) { return std::find(all.begin(), all.end(), e) - all.begin(); };
    EXPECT_LT(at("register_netlist_faq"), at("construct YB_ASM_HPS_HANDOFF_DATA"));
    EXPECT_LT(at("destroy ASM_OPTION2"), at("unregister_netlist_faq"));
    EXPECT_LT(at("unregister_netlist_faq"), at("unregister_dev_part_manager"));
    EXPECT_LT(at("unregister_dev_family_manager"), at("unregister_project_path"));
    EXPECT_EQ(static_cast<size_t>(at("unregister_project_path")), all.size() - 1);
}

TEST_F(AssembleEntry, HpsAndOptionBlockLogLinesComeInDispatchOrder)
{
    chip.set_base_family(67);
    assemble();
    std::vector<std::string> lines = debug_texts();
    auto at = [&](const std::string& e) { return std::find(lines.begin(), lines.end(), e) - lines.begin(); };
    ASSERT_LT(static_cast<size_t>(at("SDM_OPTION create object in ASM")), lines.size());
    EXPECT_LT(at("ACID_HPS create object in ASM"), at("ACID_HPS DEV_RESOURCE_CPU_CORE: 4"));
    EXPECT_LT(at("ACID_HPS DEV_RESOURCE_CPU_CORE: 4"), at("ACID_HPS: add_hand_off_data_into_dbcm"));
    EXPECT_LT(at("ACID_HPS: add_hand_off_data_into_dbcm"), at("SDM_OPTION create object in ASM"));
    EXPECT_LT(at("SDM_OPTION create object in ASM"), at("ASM End"));
}

// --- the family 29 layout ---

struct LAYOUT_CASE
{
    std::string base_device_name;
    std::string block;
};

void PrintTo(const LAYOUT_CASE& c, std::ostream* out) { *out << "\"" << c.base_device_name << "\""; }

class Family29Layout : public AssembleEntry, public testing::WithParamInterface<LAYOUT_CASE>
{
};

TEST_P(Family29Layout, FollowsTheBaseDevicesUserName)
{
    set_base_device_name(GetParam().base_device_name);
    chip.set_base_family(29);
    assemble();
    std::vector<std::string> e = events();
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e[0], "construct VR_ASM_HPS_HANDOFF_DATA");
    EXPECT_EQ(e[1], "construct HPS_HANDOFF_BOX 1572");
    EXPECT_EQ(e[2], GetParam().block);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Family29Layout,
    testing::Values(LAYOUT_CASE{"vw8revb_dev", "construct VW_HPS_HANDOFF_BOX 1608"},
                    LAYOUT_CASE{"VW8RevB", "construct VW_HPS_HANDOFF_BOX 1608"},
                    LAYOUT_CASE{"vw8reva_dev", "construct VW_HPS_HANDOFF_BOX 1596"},
                    LAYOUT_CASE{"vw8rev", "construct VW_HPS_HANDOFF_BOX 1596"},
                    LAYOUT_CASE{"vw", "construct VW_HPS_HANDOFF_BOX 1596"},
                    LAYOUT_CASE{"VW_X", "construct VW_HPS_HANDOFF_BOX 1596"},
                    LAYOUT_CASE{"vr_dev", "construct VR_HPS_HANDOFF_BOX 1572"},
                    LAYOUT_CASE{"v", "construct VR_HPS_HANDOFF_BOX 1572"},
                    LAYOUT_CASE{"", "construct VR_HPS_HANDOFF_BOX 1572"},
                    LAYOUT_CASE{"xvw8revb", "construct VR_HPS_HANDOFF_BOX 1572"}),
    [](const testing::TestParamInfo<LAYOUT_CASE>& info) {
        std::string name = "name_" + std::to_string(info.index) + "_";
        for (char c : info.param.base_device_name)
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST_F(AssembleEntry, Family29LayoutReadsTheBaseDeviceNotThePartsDevice)
{
    dev_add_device(DEVICE, BASE_DEVICE, "vw8revb_own_name");
    set_base_device_name("vr_base");
    chip.set_base_family(29);
    assemble();
    std::vector<std::string> e = events();
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e[2], "construct VR_HPS_HANDOFF_BOX 1572");
}

TEST_F(AssembleEntry, Family29WithAnUnknownPartTakesTheVrLayout)
{
    chip.set_part(static_cast<DEV_PART>(555));
    chip.set_base_family(29);
    // The device run then stops at the part of the device, which is still
    // the known one; the layout choice is what this is about.
    assemble();
    std::vector<std::string> e = events();
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e[2], "construct VR_HPS_HANDOFF_BOX 1572");
}

// --- the switches ---

TEST_F(AssembleEntry, SdmOptionDataBypassConstructsTheBuilderWithoutRunningIt)
{
    cfg_set_value("sdm_option_data_bypass", "on");
    option_error_count = 1;  // a run would give up
    chip.set_base_family(52);
    assemble();
    std::vector<std::string> expected = HPS_YB_EVENTS;
    expected.push_back("construct ASM_OPTION2");
    expected.push_back("run assemble_dev_device 52 with option block");
    expected.push_back("destroy ASM_OPTION2");
    EXPECT_EQ(events(), expected);
    EXPECT_FALSE(has_debug_line("SDM option processing failed"));
}

TEST_F(AssembleEntry, SdmOptionDataBypassOnFamily44StillWarnsAboutTheConfigurationBlock)
{
    cfg_set_value("sdm_option_data_bypass", "on");
    chip.set_base_family(44);
    EXPECT_EQ(assemble(), -1);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    EXPECT_TRUE(device.get_die_info()->requested_kinds().empty());
}

TEST_F(AssembleEntry, OptionBlockThatGivesUpEndsTheCallWithZeroAndNoDeviceRun)
{
    // A pin beyond SDM_IO16 is a counted option error.
    top_settings->set_string_option(790, "SDM_IO17");
    chip.set_base_family(29);
    EXPECT_EQ(assemble(), 0);
    std::vector<std::string> expected = HPS_VR_EVENTS;
    expected.push_back("construct ASM_OPTION2");
    expected.push_back("run process_option_data");
    expected.push_back("destroy ASM_OPTION2");
    EXPECT_EQ(events(), expected);
    EXPECT_TRUE(has_debug_line("SDM option processing failed"));
    EXPECT_EQ(debug_texts().back(), "ASM End");
    EXPECT_EQ(ASM_MODEL::calls().back(), "unregister_project_path");
    EXPECT_EQ(ASM_MODEL::get_netlist_faq(), nullptr);
}

TEST_F(AssembleEntry, HpsBypassHandoffSkipsTheHandoffButNotTheOptionBlock)
{
    cfg_set_value("hps_bypass_handoff", "on");
    for (DEV_FAMILY family : {29, 52, 67})
    {
        msg_reset();
        timeline().clear();
        ASM_MODEL::reset();
        chip.set_base_family(family);
        assemble();
        EXPECT_FALSE(has_debug_line("ACID_HPS create object in ASM")) << family;
        EXPECT_TRUE(has_debug_line("SDM_OPTION create object in ASM")) << family;
        EXPECT_EQ(events(), with_option_block({}, family)) << family;
    }
}

TEST_F(AssembleEntry, AttributeCoverageCheckWarnsAboutUncoveredLabAndPllAttributes)
{
    dbcm_chip->add_atom_attribute("la_lab", "lut_mask", false);
    dbcm_chip->add_atom_attribute("la_lab", "covered_one", true);
    dbcm_chip->add_atom_attribute("pm_iopll", "bw_mode", false);
    dbcm_chip->add_atom_attribute("io_pad", "drive", false);
    chip.set_base_family(54);
    assemble();
    std::vector<std::string> texts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        if (record.id_name == "WU2B2_ATTRIBUTE_NOT_COVERED")
            texts.push_back(record.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Attribute lut_mask of atom type la_lab is not covered by the port map",
                         "Attribute bw_mode of atom type pm_iopll is not covered by the port map"}));
    EXPECT_EQ(events(), (std::vector<std::string>{"run assemble_dev_device 54 without option block"}));
}

TEST_F(AssembleEntry, AttributeCoverageCheckOffSkipsTheCheckButNotTheDeviceRun)
{
    dbcm_chip->add_atom_attribute("la_lab", "lut_mask", false);
    cfg_set_value("attribute_coverage_check_asm", "off");
    chip.set_base_family(15);
    assemble();
    EXPECT_EQ(count_posted("WU2B2_ATTRIBUTE_NOT_COVERED"), 0u);
    EXPECT_EQ(events(), (std::vector<std::string>{"run assemble_dev_device 15 without option block"}));
    EXPECT_EQ(device.get_die_info()->loaded_kinds(), (std::vector<int>{4, 2, 1}));
}

TEST_F(AssembleEntry, MemoryCheckpointsOfACallThatStopsAtTheConfigurationBlockCheck)
{
    cfg_set_value("asm_report_memory", "on");
    chip.set_base_family(44);
    assemble();
    std::vector<std::string> labels;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            labels.push_back(line.substr(0, line.find(']') + 1));
    EXPECT_EQ(labels, (std::vector<std::string>{"[ASM Begin]", "[beginning asm_bcm_device]", "[ASM End]"}));
}

TEST_F(AssembleEntry, MemoryCheckpointsOfACompleteCall)
{
    cfg_set_value("asm_report_memory", "on");
    chip.set_base_family(15);
    EXPECT_EQ(assemble(), 0);
    std::vector<std::string> labels;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            labels.push_back(line.substr(0, line.find(']') + 1));
    EXPECT_EQ(labels, (std::vector<std::string>{"[ASM Begin]", "[beginning asm_bcm_device]",
                                                "[before assemble_dev_device clean up]", "[ASM End]"}));
}
