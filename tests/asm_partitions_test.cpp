// The partitions that the project adapter hands the assembler core library:
// the revision description, the PR data of the PR region records, their base
// revisions with the messages of missing assignments, and the mask files the
// library writes from them.
#include "asm_assemble_asmm.h"
#include "asm_assemble_partitions.h"
#include "entry_fixture.h"

#include <pgmio_sof.h>

#include <algorithm>

namespace
{

const DEV_FAMILY FAMILY = 15;
const uint32_t UNSET = 0xFFFFFFFFu;

}  // namespace

class Partitions : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        dev_set_device_family(DEVICE, FAMILY);
        dev_set_device_family(BASE_DEVICE, FAMILY);
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART, DEVICE));
        design = ZHD_ROOT::get()->get_design("");
        top = design->get_top_partition();
        top->add_instance("|top");
    }

    // A partition under the parent (default: the top partition).
    ZHD_PARTITION* partition(const std::string& name, ZHD_PARTITION* parent = nullptr)
    {
        ZHD_PARTITION* added = design->add_partition(name);
        added->set_parent(parent != nullptr ? parent : top);
        added->add_instance("|top|" + name);
        return added;
    }

    DBCM_REGIONS* pr_regions(const std::vector<std::string>& names)
    {
        DBCM_REGIONS* regions = dbcm_chip->add_regions(0);
        for (const std::string& name : names)
            regions->add_region(name);
        return regions;
    }

    std::unique_ptr<ASM_MY_PROJECT> make()
    {
        return std::make_unique<ASM_MY_PROJECT>(&cmp, &device, &part_manager, &chip, -1, nullptr);
    }

    // The records as the library keeps them.
    static std::vector<REGION_REVISION> records_of(ASM2_IPARTITIONS* partitions)
    {
        std::vector<REGION_REVISION> records;
        for (int i = 0; i < partitions->get_count(); ++i)
            records.push_back(partitions->get_revision_info()->get_region_revision(i));
        return records;
    }

    std::string construction_error()
    {
        return internal_error_of([this] { make(); });
    }

    static std::vector<std::string> posted()
    {
        std::vector<std::string> texts;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            texts.push_back(std::to_string(record.id) + " " + record.text);
        return texts;
    }

    void multi(int id, const std::string& entry) { design->get_option_interface()->add_multi_option(id, entry); }

    DEV_PART_MANAGER part_manager;
    ZHD_DESIGN* design = nullptr;
    ZHD_PARTITION* top = nullptr;
};

TEST(RevisionDescription, HoldsCopiesAndRefusesIndicesOutsideItsRecords)
{
    std::vector<REGION_REVISION> records(3);
    records[2].base_msf = "b.msf";
    ASM2_PROJECT_REVISION_INFO info("/out", "top.pmsf", records);
    records[2].base_msf = "changed";
    EXPECT_STREQ(info.get_output_directory(), "/out");
    EXPECT_STREQ(info.get_file_name(), "top.pmsf");
    EXPECT_EQ(info.get_region_revision(2).base_msf, "b.msf");
    ASSERT_NE(info.get_string_list(), nullptr);
    EXPECT_TRUE(info.get_string_list()->empty());
    for (int index : {3, -1})
    {
        try
        {
            info.get_region_revision(index);
            ADD_FAILURE() << "index " << index << " was accepted";
        }
        catch (const std::out_of_range& e)
        {
            EXPECT_STREQ(e.what(), "invalid vector subscript");
        }
    }
}

TEST_F(Partitions, UserPofIdGoesToEveryPrRegionAndFileNamesTakeTheWholeRevisionName)
{
    partition("pr_a");
    partition("pr_b");
    pr_regions({"root", "root.pr_a", "root.pr_b"});
    dbcm_chip->add_regions(1)->add_region("ed0");
    top->get_instance()->set_string_option(1246, "0x0000ABCD");
    design->get_option_interface()->set_bool_option(1517, true);
    cmp.set_revision_name("top.v2");

    auto project = make();
    EXPECT_EQ(project->get_user_pr_pof_id(), 0xABCDu);
    EXPECT_TRUE(has_debug_line("Set PR POF ID to 0xABCD"));
    EXPECT_TRUE(has_debug_line("compute_partitions: current revision name : top.v2"));
    const std::vector<std::string> lines = debug_texts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Not Implemented Yet"), 2);

    ASM2_IPARTITIONS* pr = project->get_pr_partitions();
    ASSERT_EQ(pr->get_count(), 3);
    EXPECT_STREQ(pr->get_revision_info()->get_file_name(), "top.v2.pmsf");
    EXPECT_STREQ(pr->get_revision_info()->get_output_directory(), m_project_dir.c_str());
    const std::vector<REGION_REVISION> records = records_of(pr);
    EXPECT_TRUE(records[0].pr_pof_ids.empty());
    for (int i : {1, 2})
    {
        EXPECT_EQ(records[i].pr_pof_ids, (std::vector<std::pair<uint32_t, uint32_t>>{{0xABCDu, UNSET}}));
        EXPECT_TRUE(records[i].sld_data.empty());
        EXPECT_FALSE(records[i].no_output_files);
    }

    ASM2_IPARTITIONS* ed = project->get_error_detection_partitions();
    ASSERT_EQ(ed->get_count(), 1);
    EXPECT_STREQ(ed->get_revision_info()->get_file_name(), "top.v2.smh");
    EXPECT_THROW(ed->get_revision_info()->get_region_revision(0), std::out_of_range);
}

TEST_F(Partitions, UserPofIdFormsAndTheirInternalErrors)
{
    pr_regions({"root"});
    design->get_option_interface()->set_bool_option(1517, false);
    struct CASE
    {
        const char* text;
        uint32_t value;
        const char* error;
    };
    const CASE cases[] = {
        {"0X0000abCD", 0xABCDu, ""},
        {"DEADbeef", 0xDEADBEEFu, ""},
        {"0xABCD", 0, "hex_string.length() == 8"},
        {"0x0000ABCG", 0, "std::all_of(hex_string.begin(), hex_string.end(), ::isxdigit)"},
        {"0x0000AB\xC9" "D", 0, "std::all_of(hex_string.begin(), hex_string.end(), ::isxdigit)"},
    };
    for (const CASE& c : cases)
    {
        top->get_instance()->set_string_option(1246, c.text);
        if (*c.error == '\0')
        {
            EXPECT_EQ(get_user_pr_pof_id(), c.value) << c.text;
        }
        else
        {
            EXPECT_EQ(internal_error_of([] { get_user_pr_pof_id(); }),
                      std::string(c.error) + " @comp/asm/asm_assemble_asmm")
                << c.text;
        }
    }
    top->get_instance()->remove_option(1246);
    auto project = make();
    EXPECT_EQ(project->get_user_pr_pof_id(), UNSET);
    EXPECT_TRUE(has_debug_line("Set PR POF ID to 0xFFFFFFFF"));
    EXPECT_STREQ(project->get_pr_partitions()->get_revision_info()->get_file_name(), "rev1.msf");
}

TEST_F(Partitions, HierarchicalDesignTakesEachRegionsOwnPofIds)
{
    top->add_netlist(true)->get_namespace()->add_generated_bool_option(640, false);
    top->get_netlist()->get_namespace()->add_generated_bool_option(640, true);
    top->get_instance()->set_string_option(1246, "malformed, and never read");
    ZHD_PARTITION* blink = partition("pr_blink");
    ZPR::UTILS::set_pr_pof_index(blink->get_hdb(), 1);
    ZPR::UTILS::set_pr_pof_value(blink->get_hdb(), 0x1F);
    ZHD_PARTITION* other = partition("pr_other");
    ZPR::UTILS::set_pr_pof_index(other->get_hdb(), 2);
    ZPR::UTILS::set_pr_pof_value(other->get_hdb(), 0xA0);
    pr_regions({"root", "root.pr_blink", "root.pr_other"});

    auto project = make();
    EXPECT_EQ(project->get_user_pr_pof_id(), UNSET);
    EXPECT_TRUE(has_debug_line("Set HPR POF ID for region 'pr_blink' to 0x1 : 0x1F"));
    EXPECT_TRUE(has_debug_line("Set HPR POF ID for region 'pr_other' to 0x2 : 0xA0"));
    const std::vector<std::string> lines = debug_texts();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                             [](const std::string& line) { return line.rfind("Set PR POF ID", 0) == 0; }));
    const std::vector<REGION_REVISION> records = records_of(project->get_pr_partitions());
    EXPECT_EQ(records[1].pr_pof_ids, (std::vector<std::pair<uint32_t, uint32_t>>{{0x1Fu, 1u}}));
    EXPECT_EQ(records[2].pr_pof_ids, (std::vector<std::pair<uint32_t, uint32_t>>{{0xA0u, 2u}}));
}

TEST_F(Partitions, BadRegionNamesAndMissingPartitionsAreInternalErrorsWithTheNameAsText)
{
    pr_regions({"root", "no_dot_%s_%d"});
    EXPECT_EQ(construction_error(), "Invalid partial reconfiguration mask name no_dot_%s_%d @comp/asm/asm_assemble_asmm");
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    dbcm_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
    dbcm_chip->add_device("DEV_101");
    pr_regions({"root", "root.%s_missing"});
    EXPECT_EQ(construction_error(),
              "Couldn't find partition with block name \"%s_missing\". @comp/asm/asm_assemble_asmm");
}

TEST_F(Partitions, FlagsOfImplementedRegionsAndNoAssignmentRead)
{
    partition("plain");
    partition("off")->get_instance()->set_bool_option(1518, false);
    partition("cots")->set_cots(true);
    ZHD_PARTITION* both = partition("both");
    both->set_cots(true);
    both->set_checker(true);
    ZHD_PARTITION* kept = partition("kept");
    kept->get_instance()->set_bool_option(1518, true);
    design->get_option_interface()->set_bool_option(1518, false);
    multi(1515, "plain=never.msf");
    pr_regions({"root", "r.plain", "r.off", "r.cots", "r.both", "r.kept"});
    // The instance's own setting comes before the global one.
    for (const char* name : {"plain", "off", "cots", "both"})
        design->find_partition(name)->get_instance()->set_bool_option(1518, std::string(name) != "off");

    auto project = make();
    const std::vector<REGION_REVISION> records = records_of(project->get_pr_partitions());
    const std::vector<int> no_output = {records[1].no_output_files, records[2].no_output_files,
                                        records[3].no_output_files, records[4].no_output_files,
                                        records[5].no_output_files};
    EXPECT_EQ(no_output, (std::vector<int>{0, 1, 1, 0, 0}));
    EXPECT_EQ(records[4].is_cots, 1);
    EXPECT_EQ(records[4].is_checker, 1);
    EXPECT_EQ(records[3].is_checker, 0);
    EXPECT_TRUE(records[1].base_msf.empty());
    EXPECT_TRUE(has_debug_line(
        "Due to SUPR ACF instance assignment, no output files will be generated for Partition=off with "
        "instance_name=|top|off"));
    EXPECT_TRUE(has_debug_line("setup_base_revisions : dbcm_region : 4 , r.both, cots - 1, checker - 1"));
    EXPECT_TRUE(posted().empty());
}

TEST_F(Partitions, GlobalOutputFilesSettingAndMissingInstance)
{
    partition("pr");
    design->find_partition("pr")->get_instance()->remove_option(1518);
    ZHD_PARTITION* bare = design->add_partition("bare");
    bare->set_parent(top);
    design->get_option_interface()->set_bool_option(1518, false);
    EXPECT_TRUE(output_files_disabled("pr"));
    EXPECT_TRUE(output_files_disabled("bare"));
    EXPECT_TRUE(has_debug_line(
        "Due to SUPR ACF global assignment, no output files will be generated for Partition=pr with "
        "instance_name=|top|pr"));
    EXPECT_TRUE(has_debug_line(
        "Due to SUPR ACF global assignment, no output files will be generated for Partition=bare with "
        "instance_name="));
}

TEST_F(Partitions, PreservedStaticLogicNeedsBaseFilesAndNamesTheTopBlock)
{
    top->set_block_name("top_block");
    partition("pr_blink");
    partition("pr_skip");
    partition("pr_given");
    DBCM_REGIONS* regions = pr_regions({"root", "root.pr_blink", "root.pr_skip", "root.pr_given"});
    regions->set_implemented(0, false);
    regions->set_implemented(1, false);
    regions->set_implemented(2, false);
    regions->set_implemented(3, false);
    multi(1516, "pr_skip");
    multi(1515, "PR_GIVEN=wrong_case.msf");
    multi(1515, "pr_given");
    multi(1515, "pr_given==base/given.msf=extra");
    multi(1514, "pr_given=base/given.sof");

    auto project = make();
    const std::vector<REGION_REVISION> records = records_of(project->get_pr_partitions());
    EXPECT_EQ(records[0].no_output_files, 1);
    EXPECT_TRUE(records[0].base_msf.empty());
    EXPECT_TRUE(records[1].base_msf.empty());
    EXPECT_TRUE(records[2].base_msf.empty());
    EXPECT_TRUE(records[2].base_sof.empty());
    EXPECT_EQ(records[3].base_msf, "base/given.msf");
    EXPECT_EQ(records[3].base_sof, "base/given.sof");
    const std::string msf_text =
        "The base revision MSF file must be specified for preserved partial reconfiguration partition ";
    const std::string sof_text = "The base revision SOF file must be specified for preserved logic ";
    EXPECT_EQ(posted(), (std::vector<std::string>{
                            "18542 " + msf_text + "top_block",
                            "18543 " + sof_text + "top_block in partial reconfiguration design",
                            "18542 " + msf_text + "pr_blink",
                            "18543 " + sof_text + "pr_blink in partial reconfiguration design",
                            "18573 Partial reconfiguration region verification will be skipped for pr_skip partition "
                            "by user request",
                        }));
}

TEST_F(Partitions, ImplementedRegionDerivesItsMsfFromTheEnclosingPartition)
{
    ZHD_PARTITION* parent = partition("parent");
    parent->set_pr_partition(true);
    parent->add_netlist(false);
    ZHD_PARTITION* wrapper = partition("wrapper", parent);
    partition("child", wrapper);
    ZHD_PARTITION* open_parent = partition("open");
    open_parent->set_pr_partition(true);
    open_parent->add_netlist(true);
    partition("inner", open_parent);
    DBCM_REGIONS* regions = pr_regions({"root", "root.parent.child", "root.open.inner"});
    regions->set_implemented(0, false);
    multi(1515, "parent=base/rev_a.parent.msf");
    multi(1515, "open=base/rev_a.open.msf");
    multi(1515, "top=base/rev_a.msf");
    multi(1514, "top=base/rev_a.sof");

    auto project = make();
    const std::vector<REGION_REVISION> records = records_of(project->get_pr_partitions());
    EXPECT_EQ(records[0].base_msf, "base/rev_a.msf");
    EXPECT_EQ(records[1].base_msf, FIO_PATH("base/rev_a.parent.child.msf").fullpath());
    EXPECT_TRUE(records[1].base_sof.empty());
    EXPECT_TRUE(records[2].base_msf.empty());
    EXPECT_TRUE(posted().empty());

    // An enclosing MSF whose base name holds no dot cannot be renamed.
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    dbcm_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
    dbcm_chip->add_device("DEV_101");
    ZHD_PARTITION* flat = partition("flat");
    flat->set_pr_partition(true);
    partition("leaf", flat);
    multi(1515, "flat=base/nodot.msf");
    pr_regions({"root", "root.flat.leaf"})->set_implemented(0, false);
    EXPECT_EQ(construction_error(), "Invalid partial reconfiguration base MSF name nodot @comp/asm/asm_assemble_asmm");
}

TEST_F(Partitions, GlobalBaseSofServesEveryPreservedRegion)
{
    cfg_set_value("asm_use_global_pr_base_sof", "on");
    partition("pr_a");
    DBCM_REGIONS* regions = pr_regions({"root", "root.pr_a"});
    regions->set_implemented(0, false);
    regions->set_implemented(1, false);
    multi(1515, "top=t.msf");
    multi(1515, "pr_a=a.msf");
    multi(1514, "pr_a=not_used.sof");
    design->get_option_interface()->set_string_option(1514, "base/all=of.sof");

    auto project = make();
    std::vector<REGION_REVISION> records = records_of(project->get_pr_partitions());
    EXPECT_EQ(records[0].base_sof, "base/all=of.sof");
    EXPECT_EQ(records[1].base_sof, "base/all=of.sof");
    EXPECT_TRUE(posted().empty());

    design->get_option_interface()->remove_option(1514);
    EXPECT_EQ(get_base_sof_assignment("pr_a"), "");
    EXPECT_EQ(get_base_sof_assignment("pr_a"), "");
    EXPECT_EQ(count_posted("EASM_ASM_PR_MISSING_BASE_SOF_ASSIGNMENT"), 2u);
    EXPECT_EQ(posted().back(), "18543 The base revision SOF file must be specified for preserved logic  in partial "
                               "reconfiguration design");
}

TEST_F(Partitions, LibraryWritesOptionDataAndBaseFilesIntoMaskFilesAndReportLines)
{
    partition("pr");
    partition("off");
    DBCM_REGIONS* regions = pr_regions({"root", "root.pr", "root.off"});
    std::vector<REGION_REVISION> records(3);
    records[1].pr_options_data = std::string("\x08\x01\x00\xff", 4);
    records[1].base_msf = "b.msf";
    records[1].base_sof = "b.sof";
    records[1].pr_pof_ids = {{0xABCDu, UNSET}, {2u, 3u}};
    records[2].no_output_files = 1;
    ASM2_PROJECT_REVISION_INFO info(m_project_dir, "rev1.pmsf", records);
    std::unique_ptr<ASM2_IPARTITIONS> partitions(
        stage_asm2_create_ipartitions(*regions, ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION, info));

    auto project = make();
    project->m_pr_partitions = std::move(partitions);
    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    const int index = scripting->add_project(project.get());
    ASSERT_TRUE(scripting->assemble(index));
    ASSERT_TRUE(scripting->write_sof(index, project->get_sof_path()));

    const std::vector<std::string> lines = *project->m_pr_partitions->get_revision_info()->get_string_list();
    const std::string pr_file = m_project_dir + "/rev1.root_pr.pmsf";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Region = root ; " + m_project_dir + "/rev1.root.pmsf",
                         "Region = root.pr,PR POF IDs = 0x0000ABCD:0xFFFFFFFF 0x00000002:0x00000003,Base MSF = "
                         "b.msf,Base SOF = b.sof ; " + pr_file,
                     }));
    EXPECT_FALSE(std::filesystem::exists(m_project_dir + "/rev1.root_off.pmsf"));
    SOF_CONTENTS contents;
    ASSERT_TRUE(sof_read_file(pr_file, contents, nullptr));
    ASSERT_EQ(contents.sections.size(), 1u);
    EXPECT_EQ(contents.sections[0].name, "PR_OPTIONS");
    EXPECT_EQ(contents.sections[0].bytes, records[1].pr_options_data);
    ASSERT_TRUE(sof_read_file(m_project_dir + "/rev1.root.pmsf", contents, nullptr));
    EXPECT_TRUE(contents.sections.empty());
}
