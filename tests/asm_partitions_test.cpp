// The partitions that the project adapter hands the assembler core library:
// the revision description, the PR data of the PR region records, their base
// revisions with the messages of missing assignments, and the mask files the
// library writes from them.
#include "asm_assemble_asmm.h"
#include "asm_assemble_partitions.h"
#include "asm_option2.h"
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

    // The PR records as the library keeps them, after a construction.
    std::vector<REGION_REVISION> records()
    {
        project = make();
        ASM2_IPARTITIONS* partitions = project->get_pr_partitions();
        std::vector<REGION_REVISION> kept;
        for (int i = 0; i < partitions->get_count(); ++i)
            kept.push_back(partitions->get_revision_info()->get_region_revision(i));
        return kept;
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
    std::unique_ptr<ASM_MY_PROJECT> project;
    ZHD_DESIGN* design = nullptr;
    ZHD_PARTITION* top = nullptr;
};

TEST(RevisionDescription, RefusesIndicesOutsideItsRecordsByName)
{
    ASM2_PROJECT_REVISION_INFO info("/out", "top.pmsf", std::vector<REGION_REVISION>(3));
    EXPECT_TRUE(info.get_string_list() != nullptr && info.get_string_list()->empty());
    for (int index : {3, -1})
    {
        std::string text;
        try
        {
            info.get_region_revision(index);
        }
        catch (const std::out_of_range& e)
        {
            text = e.what();
        }
        EXPECT_EQ(text, "invalid vector subscript") << index;
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

    const std::vector<REGION_REVISION> kept = records();
    EXPECT_EQ(project->get_user_pr_pof_id(), 0xABCDu);
    EXPECT_TRUE(has_debug_line("Set PR POF ID to 0xABCD"));
    const std::vector<std::string> lines = debug_texts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Not Implemented Yet"), 2);
    EXPECT_STREQ(project->get_pr_partitions()->get_revision_info()->get_file_name(), "top.v2.pmsf");
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_TRUE(kept[0].pr_pof_ids.empty());
    for (int i : {1, 2})
        EXPECT_EQ(kept[i].pr_pof_ids, (std::vector<std::pair<uint32_t, uint32_t>>{{0xABCDu, UNSET}}));

    ASM2_IPARTITIONS* ed = project->get_error_detection_partitions();
    ASSERT_EQ(ed->get_count(), 1);
    EXPECT_STREQ(ed->get_revision_info()->get_file_name(), "top.v2.smh");
}

TEST_F(Partitions, UserPofIdFormsAndTheirInternalErrors)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0X0000abCD", ""},
        {"0000ABcd", ""},
        {"0xABCD", "hex_string.length() == 8"},
        {"0x0000ABCG", "std::all_of(hex_string.begin(), hex_string.end(), ::isxdigit)"},
        {"0x0000AB\xC9" "D", "std::all_of(hex_string.begin(), hex_string.end(), ::isxdigit)"},
    };
    for (const auto& [text, error] : cases)
    {
        top->get_instance()->set_string_option(1246, text);
        if (*error == '\0')
            EXPECT_EQ(get_user_pr_pof_id(), 0xABCDu) << text;
        else
            EXPECT_EQ(internal_error_of([] { get_user_pr_pof_id(); }),
                      std::string(error) + " @comp/asm/asm_assemble_asmm")
                << text;
    }
    top->get_instance()->remove_option(1246);
    pr_regions({"root"});
    records();
    EXPECT_EQ(project->get_user_pr_pof_id(), UNSET);
    EXPECT_TRUE(has_debug_line("Set PR POF ID to 0xFFFFFFFF"));
    EXPECT_STREQ(project->get_pr_partitions()->get_revision_info()->get_file_name(), "rev1.msf");
}

TEST_F(Partitions, HierarchicalDesignTakesEachRegionsOwnPofIds)
{
    HDB_NAMESPACE* generated = top->add_netlist(true)->get_namespace();
    for (bool on : {false, true})
        generated->add_generated_option(
            640, std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>>(on, 0, std::string()));
    top->get_instance()->set_string_option(1246, "malformed, and never read");
    ZHD_PARTITION* blink = partition("pr_blink");
    ZPR::UTILS::set_pr_pof_index(blink->get_hdb(), 1);
    ZPR::UTILS::set_pr_pof_value(blink->get_hdb(), 0x1F);
    pr_regions({"root", "root.pr_blink"});

    const std::vector<REGION_REVISION> kept = records();
    EXPECT_EQ(project->get_user_pr_pof_id(), UNSET);
    EXPECT_TRUE(has_debug_line("Set HPR POF ID for region 'pr_blink' to 0x1 : 0x1F"));
    EXPECT_FALSE(has_debug_line("Set PR POF ID to 0xFFFFFFFF"));
    EXPECT_EQ(kept[1].pr_pof_ids, (std::vector<std::pair<uint32_t, uint32_t>>{{0x1Fu, 1u}}));
}

TEST_F(Partitions, WithTheOptionBlocksPrDataRegionsTakeTheirPartitionsHashAndPofRecord)
{
    top->get_instance()->set_string_option(1246, "malformed, and never read");
    top->get_hdb()->set_bool_option(1254, true);
    ZHD_PARTITION* blink = partition("pr_blink");
    blink->set_pr_partition(true);
    ZPR::UTILS::set_design_hash(blink->get_hdb(), "blink-1");
    ZPR::UTILS::set_pr_pof_index(blink->get_hdb(), 7);
    ZPR::UTILS::set_pr_pof_value_data(blink->get_hdb(), std::string("\x01\x00", 2));
    // A PR POF index of 0 leaves its region's option record empty, though
    // its id text is still given.
    ZHD_PARTITION* unset = partition("pr_unset");
    unset->set_pr_partition(true);
    ZPR::UTILS::set_pr_pof_index(unset->get_hdb(), 0);
    ZPR::UTILS::set_pr_pof_value_data(unset->get_hdb(), "\xAB");
    pr_regions({"root", "root.pr_blink", "root.pr_unset"});
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    ASSERT_NE(option2.m_pr_info, nullptr);

    const std::vector<REGION_REVISION> kept = [&] {
        project = std::make_unique<ASM_MY_PROJECT>(&cmp, &device, &part_manager, &chip, -1, &option2);
        ASM2_IPROJECT_REVISION_INFO* info = project->get_pr_partitions()->get_revision_info();
        return std::vector<REGION_REVISION>{info->get_region_revision(0), info->get_region_revision(1),
                                            info->get_region_revision(2)};
    }();
    EXPECT_EQ(project->get_user_pr_pof_id(), UNSET);
    EXPECT_TRUE(kept[0].pr_options_data.empty() && kept[0].pr_pof_id_text.empty());
    const REGION_REVISION& record = kept[1];
    EXPECT_TRUE(record.pr_pof_ids.empty());
    EXPECT_EQ(record.design_hash, "blink-1");
    EXPECT_EQ(record.pr_pof_index, 7u);
    EXPECT_EQ(record.pr_pof_value_data, std::string("\x01\x00", 2));
    EXPECT_EQ(record.pr_pof_id_text, "0x00000007:0100");
    PB::OPTIONS options;
    ASSERT_TRUE(options.ParseFromString(record.pr_options_data));
    ASSERT_EQ(options.prpof_id_size(), 1);
    EXPECT_EQ(options.prpof_id(0).rid(), 7u);
    EXPECT_EQ(options.prpof_id(0).hash(), std::string("\x01\x00", 2));
    EXPECT_TRUE(options.device().pr_security());
    EXPECT_TRUE(options.device().enable_pr_pof_id());

    EXPECT_TRUE(kept[2].pr_pof_ids.empty());
    EXPECT_EQ(kept[2].pr_options_data, "");
    EXPECT_EQ(kept[2].pr_pof_id_text, "0x00000000:AB");
    EXPECT_EQ(kept[2].pr_pof_index, 0u);
}

TEST_F(Partitions, BadRegionNamesAndMissingPartitionsAreInternalErrorsWithTheNameAsText)
{
    DBCM_REGIONS* regions = pr_regions({"root", "no_dot_%s_%d"});
    EXPECT_EQ(construction_error(),
              "Invalid partial reconfiguration mask name no_dot_%s_%d @comp/asm/asm_assemble_asmm");
    *regions = DBCM_REGIONS();
    regions->add_region("root");
    regions->add_region("root.%s_missing");
    EXPECT_EQ(construction_error(),
              "Couldn't find partition with block name \"%s_missing\". @comp/asm/asm_assemble_asmm");
}

TEST_F(Partitions, FlagsOfImplementedRegionsAndNoAssignmentRead)
{
    partition("plain")->get_instance()->set_bool_option(1518, true);
    partition("off")->get_instance()->set_bool_option(1518, false);
    partition("cots")->set_cots(true);
    ZHD_PARTITION* both = partition("both");
    both->set_cots(true);
    both->set_checker(true);
    design->add_partition("bare")->set_parent(top);
    design->get_option_interface()->set_bool_option(1518, false);
    multi(1515, "plain=never.msf");
    pr_regions({"root", "r.plain", "r.off", "r.cots", "r.both", "r.bare"});
    for (const char* name : {"cots", "both"})
        design->find_partition(name)->get_instance()->set_bool_option(1518, true);

    const std::vector<REGION_REVISION> kept = records();
    std::vector<int> no_output;
    for (size_t i = 1; i < kept.size(); ++i)
        no_output.push_back(kept[i].no_output_files);
    EXPECT_EQ(no_output, (std::vector<int>{0, 1, 1, 0, 1}));
    EXPECT_EQ(kept[4].is_cots + kept[4].is_checker + kept[3].is_checker, 2);
    EXPECT_TRUE(kept[1].base_msf.empty());
    const char* line = "Due to SUPR ACF %s assignment, no output files will be generated for Partition=%s with "
                       "instance_name=%s";
    EXPECT_TRUE(has_debug_line(safe_sprintf(line, "instance", "off", "|top|off")));
    EXPECT_TRUE(has_debug_line(safe_sprintf(line, "global", "bare", "")));
    EXPECT_TRUE(has_debug_line("setup_base_revisions : dbcm_region : 4 , r.both, cots - 1, checker - 1"));
    EXPECT_TRUE(posted().empty());
}

TEST_F(Partitions, PreservedRegionEntriesMatchByExactKeyAndSkipRequestsWarnOnce)
{
    partition("pr_skip");
    partition("pr_given");
    partition("pr_none");
    DBCM_REGIONS* regions = pr_regions({"root", "root.pr_skip", "root.pr_given", "root.pr_none"});
    for (int i : {0, 1, 2, 3})
        regions->set_implemented(i, false);
    multi(1516, "pr_skip");
    multi(1515, "PR_GIVEN=wrong_case.msf");
    multi(1515, "pr_given");
    multi(1515, "pr_given==base/given.msf=extra");
    multi(1515, "top=t.msf");
    multi(1514, "pr_given=base/given.sof");
    multi(1514, "top=t.sof");

    const std::vector<REGION_REVISION> kept = records();
    EXPECT_EQ(kept[0].base_msf + " " + kept[0].base_sof, "t.msf t.sof");
    EXPECT_EQ(kept[1].base_msf + kept[1].base_sof, "");
    EXPECT_EQ(kept[2].base_msf + " " + kept[2].base_sof, "base/given.msf base/given.sof");
    EXPECT_EQ(kept[3].base_msf + kept[3].base_sof, "");
    // A preserved region with neither entry: both errors name its block.
    EXPECT_EQ(posted(),
              (std::vector<std::string>{"18573 Partial reconfiguration region verification will be skipped for pr_skip "
                                        "partition by user request",
                                        "18542 The base revision MSF file must be specified for preserved partial "
                                        "reconfiguration partition pr_none",
                                        "18543 The base revision SOF file must be specified for preserved logic "
                                        "pr_none in partial reconfiguration design"}));
}

TEST_F(Partitions, ImplementedRegionDerivesItsMsfFromTheEnclosingPartition)
{
    ZHD_PARTITION* parent = partition("parent");
    parent->set_pr_partition(true);
    parent->add_netlist(false);
    partition("child", partition("wrapper", parent));
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

    const std::vector<REGION_REVISION> kept = records();
    EXPECT_EQ(kept[1].base_msf, FIO_PATH("base/rev_a.parent.child.msf").fullpath());
    EXPECT_TRUE(kept[1].base_sof.empty());
    EXPECT_TRUE(kept[2].base_msf.empty());
    EXPECT_TRUE(posted().empty());

    // An enclosing MSF whose base name holds no dot cannot be renamed.
    ZHD_PARTITION* flat = partition("flat");
    flat->set_pr_partition(true);
    partition("leaf", flat);
    multi(1515, "flat=base/nodot.msf");
    regions->add_region("root.flat.leaf");
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

    const std::vector<REGION_REVISION> kept = records();
    EXPECT_EQ(kept[0].base_sof + " " + kept[1].base_sof, "base/all=of.sof base/all=of.sof");
    EXPECT_TRUE(posted().empty());
    design->get_option_interface()->remove_option(1514);
    EXPECT_EQ(get_base_sof_assignment("pr_a") + get_base_sof_assignment("pr_a"), "");
    EXPECT_EQ(posted(), (std::vector<std::string>(2, "18543 The base revision SOF file must be specified for "
                                                     "preserved logic  in partial reconfiguration design")));
}

TEST_F(Partitions, MaskFilesCarryTheRecordsOptionDataAndReportTheirIds)
{
    partition("pr");
    DBCM_REGIONS* regions = pr_regions({"root", "root.pr"});
    std::vector<REGION_REVISION> written(2);
    written[1].pr_options_data = std::string("\x08\x01\x00\xff", 4);
    written[1].pr_pof_ids = {{0xABCDu, UNSET}, {2u, 3u}};
    ASM2_PROJECT_REVISION_INFO info(m_project_dir, "rev1.pmsf", written);
    project = make();
    project->m_pr_partitions.reset(
        stage_asm2_create_ipartitions(*regions, ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION, info));
    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    const int index = scripting->add_project(project.get());
    ASSERT_TRUE(scripting->assemble(index));
    ASSERT_TRUE(scripting->write_sof(index, project->get_sof_path()));

    const std::string pr_file = m_project_dir + "/rev1.root_pr.pmsf";
    EXPECT_EQ(project->m_pr_partitions->get_revision_info()->get_string_list()->back(),
              "Region = root.pr,PR POF IDs = 0x0000ABCD:0xFFFFFFFF 0x00000002:0x00000003 ; " + pr_file);
    SOF_CONTENTS contents;
    ASSERT_TRUE(sof_read_file(pr_file, contents, nullptr));
    ASSERT_EQ(contents.sections.size(), 1u);
    EXPECT_EQ(contents.sections[0].name, "PR_OPTIONS");
    EXPECT_EQ(contents.sections[0].bytes, written[1].pr_options_data);
}
