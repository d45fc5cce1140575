// The project adapter: what its construction gathers, what each operation
// answers and where the hashes go.
#include "asm_assemble_asmm.h"
#include "asm_option2.h"
#include "entry_fixture.h"

#include <dbcm.h>
#include <dstr.h>

#include <zlib.h>

#include <algorithm>
#include <thread>

namespace
{

const DEV_FAMILY FAMILY = 15;

}  // namespace

class Project : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        dev_set_device_family(DEVICE, FAMILY);
        dev_set_device_family(BASE_DEVICE, FAMILY);
        dstr_set_debug_string(BASE_DEVICE, "VR_Base_Debug");
        dstr_set_debug_string(DEVICE, "vr_device_debug");
        dstr_set_family_debug_string(FAMILY, "Fam15");
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART, DEVICE));
    }

    std::unique_ptr<ASM_MY_PROJECT> make(ASM_OPTION2* option2 = nullptr)
    {
        return std::make_unique<ASM_MY_PROJECT>(&cmp, &device, &part_manager, &chip, -1, option2);
    }

    // The internal error a construction raises, with its line.
    std::string construction_error(DEV_DEVICE* dev, CMP_FACADE* facade, CDB_CHIP_DB_ENTRY* entry)
    {
        try
        {
            ASM_MY_PROJECT project(facade, dev, &part_manager, entry, -1, nullptr);
        }
        catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
        {
            return e.condition() + " @" + e.file() + ":" + std::to_string(e.line());
        }
        return "";
    }

    std::vector<std::string> lines_from(size_t first) const
    {
        const std::vector<std::string> all = debug_texts();
        return std::vector<std::string>(all.begin() + static_cast<long>(first), all.end());
    }

    DEV_PART_MANAGER part_manager;
};

TEST_F(Project, ConstructionGathersNamesPathsAndTheChipBundle)
{
    cmp.set_revision_name("top_rev");
    auto project = make();
    EXPECT_EQ(project->get_part_name(), "part_101");
    EXPECT_EQ(project->m_base_device_name, "vr_base_debug");
    EXPECT_EQ(project->m_sof_path, m_project_dir + "/top_rev.sof");
    EXPECT_STREQ(project->get_sof_path(), (m_project_dir + "/top_rev.sof").c_str());
    EXPECT_EQ(project->get_dbcm_chip(), dbcm_chip);
    EXPECT_EQ(project->get_dbcm_device(), dbcm_chip->get_device());
    EXPECT_EQ(project->get_construction_int(), -1);
    EXPECT_EQ(project->get_user_pr_pof_id(), 0xFFFFFFFFu);
    EXPECT_EQ(project->get_pof_id(), 0xFFFFFFFFu);
    EXPECT_EQ(project->get_project_object(), nullptr);
    EXPECT_EQ(project->route_info_op9(), CRAM_BITS);
    EXPECT_STREQ(project->route_info_op10(), "fam15");
    ASSERT_NE(DBCM_BUNDLE_SINGLETON::get_bundle(), nullptr);
    EXPECT_EQ(DBCM_BUNDLE_SINGLETON::get_bundle()->get_chip(), dbcm_chip);
    EXPECT_EQ(DBCM_DB_MANAGER::get_or_create_instance()->asm_data_loads(), 1);
    // The copy asks for as many threads as there are: the machine's hardware
    // threads (at least 1, at most the parallel library's 1024).
    const unsigned hardware = std::thread::hardware_concurrency();
    EXPECT_EQ(dbcm_chip->last_copy_thread_cap(), hardware == 0 ? 1 : static_cast<int>(std::min(hardware, 1024u)));
    EXPECT_TRUE(has_debug_line("Copying borrowed bits to lent bits"));
    // The proxy selects the base device with the part.
    ASSERT_EQ(proxy->selected.size(), 1u);
    EXPECT_EQ(proxy->selected[0], std::make_pair(BASE_DEVICE, PART));
    project->set_pof_id(8);
    EXPECT_EQ(project->get_pof_id(), 8u);
}

TEST_F(Project, ExistingBundleIsKept)
{
    DBCM_CHIP other;
    auto* bundle = new DBCM_BUNDLE(&other, nullptr, nullptr);
    DBCM_BUNDLE_SINGLETON::create_instance(bundle);
    make();
    EXPECT_EQ(DBCM_BUNDLE_SINGLETON::get_bundle(), bundle);
}

TEST_F(Project, ConstructionChecksReportTheirConditionAndLine)
{
    const std::string file = "@comp/asm/asm_assemble_asmm:";
    EXPECT_EQ(construction_error(nullptr, &cmp, &chip), "dev_device != NULL " + file + "737");
    EXPECT_EQ(construction_error(&device, nullptr, &chip), "cmp != NULL " + file + "738");
    EXPECT_EQ(construction_error(&device, &cmp, nullptr), "chip != NULL " + file + "739");
    dbcm_chip = nullptr;
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
    EXPECT_EQ(construction_error(&device, &cmp, &chip), "m_dbcm_device != NULL " + file + "748");
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    EXPECT_EQ(construction_error(&device, &cmp, &chip), "m_dbcm_chip != NULL " + file + "745");
}

TEST_F(Project, MissingBasicInfoReportsLine763)
{
    device.set_basic_info(nullptr);
    EXPECT_EQ(construction_error(&device, &cmp, &chip), "basic_info != NULL @comp/asm/asm_assemble_asmm:763");
}

TEST_F(Project, MissingAccessorProxyIsAnInternalErrorNotACrash)
{
    set_and_get_asm_zasm_accessor(nullptr, true);
    proxy = nullptr;
    EXPECT_EQ(internal_error_of([&] { make(); }), "zasm_accessor != NULL @comp/asm/asm_assemble_asmm");
}

TEST_F(Project, DeviceWithoutBaseDeviceStandsForItself)
{
    dev_add_device(DEVICE, DEV_DEVICE_INVALID, "lonely");
    dev_add_part(PART, "Part_X", DEVICE);
    auto project = make();
    EXPECT_EQ(project->m_base_device_name, "vr_device_debug");
    EXPECT_EQ(project->get_part_name(), "part_x");
    EXPECT_EQ(proxy->selected.back(), std::make_pair(DEVICE, PART));
}

class JtagUserCode : public Project, public testing::WithParamInterface<std::pair<std::string, uint32_t>>
{
};

TEST_P(JtagUserCode, IsReadAsHexadecimal)
{
    cap_inst.set_string_option(1433, GetParam().first);
    EXPECT_EQ(make()->get_jtag_user_code(), GetParam().second) << '"' << GetParam().first << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JtagUserCode,
    testing::Values(std::make_pair("1A2b", 0x1A2Bu), std::make_pair("  0x00ff", 0xFFu), std::make_pair("\t0XAbC", 0xABCu),
                    std::make_pair("12zz", 0x12u), std::make_pair("FFFFFFFF", 0xFFFFFFFFu),
                    std::make_pair("0000000012345678", 0x12345678u), std::make_pair("0x", 0u),
                    std::make_pair("0xg", 0u),
                    // Text that does not scan, and a value that does not fit 32 bits, leave the default.
                    std::make_pair("", 0xFFFFFFFFu), std::make_pair("zz", 0xFFFFFFFFu),
                    std::make_pair("-1", 0xFFFFFFFFu), std::make_pair("123456789", 0xFFFFFFFFu),
                    std::make_pair("\xE9\xA0", 0xFFFFFFFFu), std::make_pair(std::string("\xFF" "12"), 0xFFFFFFFFu)));

TEST_F(Project, JtagUserCodeOptionIdZeroLeavesTheCodeAndOption1439Unread)
{
    cap_inst.set_string_option(1433, "12");
    cap_inst.set_bool_option(1439, true);
    acf_set_variable_families(1439, {FAMILY});
    cmp.set_jtag_user_code_option_id(0);
    auto project = make();
    EXPECT_EQ(project->get_jtag_user_code(), 0xFFFFFFFFu);
    EXPECT_FALSE(project->get_device_option_flag());
}

TEST_F(Project, Option1439IsReadOnlyForTheFamiliesItAppliesTo)
{
    cap_inst.set_bool_option(1439, true);
    EXPECT_FALSE(make()->get_device_option_flag());
    acf_set_variable_families(1439, {FAMILY});
    EXPECT_TRUE(make()->get_device_option_flag());
    cap_inst.set_bool_option(1439, false);
    EXPECT_FALSE(make()->get_device_option_flag());
}

TEST_F(Project, Option1556DefaultsToTrueForTheFamiliesItAppliesTo)
{
    EXPECT_FALSE(make()->get_option_flag_1556());
    acf_set_variable_families(1556, {FAMILY});
    EXPECT_TRUE(make()->get_option_flag_1556());
    cap_inst.set_bool_option(1556, false);
    EXPECT_FALSE(make()->get_option_flag_1556());
    acf_set_variable_families(1556, {44});
    cap_inst.set_bool_option(1556, true);
    EXPECT_FALSE(make()->get_option_flag_1556());
}

TEST_F(Project, DesignHashIsTheTopPartitionsUnlessFamily54OrEmpty)
{
    flow_set_design_hash(&cap_inst, 1, 2);
    const std::string flow_bytes("\x02\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00", 16);
    EXPECT_EQ(make()->get_design_hash(), flow_bytes);

    ZPR::UTILS::set_design_hash(top_settings, "abc");
    EXPECT_EQ(make()->get_design_hash(), "abc");

    dev_set_device_family(BASE_DEVICE, 54);
    EXPECT_EQ(make()->get_design_hash(), flow_bytes);

    flow_set_design_hash(&cap_inst, 0x0102030405060708ull, 0x1112131415161718ull);
    EXPECT_EQ(make()->get_design_hash(),
              std::string("\x18\x17\x16\x15\x14\x13\x12\x11\x08\x07\x06\x05\x04\x03\x02\x01", 16));
}

TEST_F(Project, SldSinkFillsTheRecordAndChecksTheVersion)
{
    auto project = make();
    // The construction hands the sink the packed debug files.
    ASSERT_EQ(project->get_sld_info().sld_blob, &project->m_sld_blob);
    EXPECT_EQ(project->m_sld_blob.compare(16, 16, std::string("design_hash.bin\0", 16)), 0);
    EXPECT_EQ(project->get_sld_info().crc_info, nullptr);
    EXPECT_EQ(project->get_sld_info().pfl_present, 0);
    EXPECT_EQ(project->get_sld_info().sfl_version, 0);

    ASM_MY_PROJECT::MY_SLD sld(project.get());
    const uint8_t blob[] = {1, 0, 2};
    sld.set_sld_blob(3, blob);
    EXPECT_EQ(project->m_sld_blob, std::string("\x01\x00\x02", 3));
    sld.set_crc_info(2, blob);
    EXPECT_EQ(project->get_sld_info().crc_info, &project->m_crc_info);
    EXPECT_EQ(project->m_crc_info, std::string("\x01\x00", 2));
    sld.set_pfl_present(true);
    sld.set_sfl_present(true);
    sld.set_zpfl_present(false);
    EXPECT_EQ(project->get_sld_info().pfl_present, 1);
    EXPECT_EQ(project->get_sld_info().sfl_present, 1);
    EXPECT_EQ(project->get_sld_info().zpfl_present, 0);
    sld.set_sfl_version(15);
    EXPECT_EQ(project->get_sld_info().sfl_version, 15);
    cap_inst.set_string_option(1433, "c0de");
    EXPECT_EQ(ASM_MY_PROJECT::MY_SLD(make().get()).get_jtag_user_code(), 0xC0DEu);
    try
    {
        sld.set_sfl_version(16);
        ADD_FAILURE() << "no internal error";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "version < 16");
        EXPECT_EQ(e.line(), 562);
    }
    EXPECT_EQ(project->get_sld_info().sfl_version, 15);
}

TEST_F(Project, RevisionSinkReplacesItsTarget)
{
    std::string target = "old";
    ASM_MY_PROJECT::MY_REVISION revision(&target);
    const uint8_t bytes[] = {'n', 'e', 'w'};
    revision.set_sld_blob(3, bytes);
    EXPECT_EQ(target, "new");
    revision.set_sld_blob(0, nullptr);
    EXPECT_EQ(target, "");
}

TEST_F(Project, WithoutPartitionsTheLibrarySeesItsEmptyPartitions)
{
    auto project = make();
    EXPECT_EQ(project->m_pr_partitions, nullptr);
    EXPECT_EQ(project->get_pr_partitions(), stage_asm2_get_empty_partitions());
    EXPECT_EQ(project->get_error_detection_partitions(), stage_asm2_get_empty_partitions());
}

TEST_F(Project, WithoutOptionBlockHashesAreOnlyLoggedAndQueriesGiveNothing)
{
    auto project = make();
    const size_t before = debug_texts().size();
    project->set_cram_hash("abc");
    project->set_io_hash("i");
    project->set_hpio_hash("h");
    project->set_pr_region_hash("r1", "p");
    EXPECT_EQ(lines_from(before),
              (std::vector<std::string>{"CRAM_HASH:ASM_MY_PROJECT::set_cram_hash begin...",
                                        "CRAM_HASH:ASM_MY_PROJECT::set_cram_hash end...",
                                        "IO_HASH:ASM_MY_PROJECT::set_io_hash begin...",
                                        "IO_HASH:ASM_MY_PROJECT::set_io_hash end...",
                                        "PR_REGION_HASH:ASM_MY_PROJECT::r1::set_pr_region_hash begin...",
                                        "PR_REGION_HASH:ASM_MY_PROJECT::r1::set_pr_region_hash end..."}));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    EXPECT_EQ(dbcm_chip->get_section_store(), nullptr);
    bool hbm = true;
    EXPECT_TRUE(project->get_hpio_sectors(&hbm).empty());
    EXPECT_TRUE(hbm);
    EXPECT_FALSE(project->has_mailbox_abort_feature());
}

TEST_F(Project, WithOptionBlockHashesAreReportedAndStored)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    option2.save_options_into_dbcm();
    auto project = make(&option2);
    const size_t before = debug_texts().size();
    project->set_cram_hash("abc");
    const std::vector<std::string> cram_lines = lines_from(before);
    ASSERT_GE(cram_lines.size(), 3u);
    EXPECT_EQ(cram_lines.front(), "CRAM_HASH:ASM_MY_PROJECT::set_cram_hash begin...");
    EXPECT_EQ(cram_lines[1], "  CRAM_HASH:ASM_MY_PROJECT::set_cram_hash to call asm_option2 object");
    EXPECT_EQ(cram_lines[2], "  CRAM_HASH:add_cram_hash_into_dbcm begin ....");
    EXPECT_EQ(cram_lines.back(), "CRAM_HASH:ASM_MY_PROJECT::set_cram_hash end...");

    project->set_cvp_hash("cv");
    project->set_io_hash("io");
    project->set_hpio_hash("hp");
    project->set_static_region_hash("st");
    project->set_pr_region_hash("r1", "p1");

    std::vector<std::string> infos;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
    {
        EXPECT_EQ(record.id, 20553u);
        EXPECT_EQ(record.kind, MSG_POST_TYPE_INFO);
        infos.push_back(record.text);
    }
    EXPECT_EQ(infos, (std::vector<std::string>{"Using CRAM Hash abc", "Using CVP Hash cv",
                                               "Using Static Region Mask Hash st", "Using PR Region: r1 Hash p1"}));

    PB::OPTIONS stored;
    ASSERT_TRUE(stored.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
    EXPECT_EQ(stored.device().cram_hash(), "abc");
    EXPECT_EQ(stored.device().cvp_hash(), "cv");
    EXPECT_EQ(stored.device().io_hash(), "io");
    EXPECT_EQ(stored.device().hpio_hash(), "hp");
    EXPECT_EQ(stored.device().static_region_mask_hash(), "st");
    ASSERT_EQ(stored.device().pr_region_masks_size(), 1);
    EXPECT_EQ(stored.device().pr_region_masks(0).name(), "r1");
    EXPECT_EQ(stored.device().pr_region_masks(0).hash(), "p1");
}

TEST_F(Project, OptionBlockAnswersTheFeatureAndSectorQueries)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    auto project = make(&option2);
    EXPECT_FALSE(project->has_mailbox_abort_feature());
    PB::OPTIONS_REQUIRED_FEATURE* feature = option2.m_options.add_features();
    feature->set_id(3);
    feature->set_name("MailBox Abort");
    EXPECT_TRUE(project->has_mailbox_abort_feature());
    bool hbm = false;
    EXPECT_TRUE(project->get_hpio_sectors(&hbm).empty());
    EXPECT_FALSE(hbm);
}

TEST_F(Project, RegionNameIsTextNotAFormat)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    auto project = make(&option2);
    const size_t before = debug_texts().size();
    project->set_pr_region_hash("u%d_%s", "p1");
    const std::vector<std::string> lines = lines_from(before);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "PR_REGION_HASH:ASM_MY_PROJECT::u%d_%s::set_pr_region_hash begin...");
    EXPECT_EQ(lines[1], "  PR_REGION_HASH:ASM_MY_PROJECT::u%d_%s::set_pr_region_hash to call asm_option2 object");
    EXPECT_EQ(lines.back(), "PR_REGION_HASH:ASM_MY_PROJECT::u%d_%s::set_pr_region_hash end...");
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].text, "Using PR Region: u%d_%s Hash p1");
    PB::OPTIONS stored;
    ASSERT_TRUE(stored.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
    ASSERT_EQ(stored.device().pr_region_masks_size(), 1);
    EXPECT_EQ(stored.device().pr_region_masks(0).name(), "u%d_%s");
}
