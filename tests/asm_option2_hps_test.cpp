// Construction of the option block builder and of the HPS data builders
// and handoff blocks.
#include "asm_hps.h"
#include "asm_option2.h"
#include "entry_fixture.h"

#include <algorithm>
#include <ostream>

class BuilderConstruction : public ENTRY_SUITE
{
protected:
    DEV_PART_MANAGER part_manager;
};

// --- ASM_OPTION2 ---

TEST_F(BuilderConstruction, OptionBlockChecksItsArgumentsInOrder)
{
    auto error = [&](CMP_FACADE* c, CDB_CHIP_DB_ENTRY* ch, DEV_PART_MANAGER* pm) {
        return internal_error_of([&] { ASM_OPTION2 option2(c, ch, 0, pm); });
    };
    EXPECT_EQ(error(nullptr, nullptr, nullptr), "m_cmp != NULL @comp/asm/asm_option2");
    EXPECT_EQ(error(&cmp, nullptr, nullptr), "m_chip != NULL @comp/asm/asm_option2");
    EXPECT_EQ(error(&cmp, &chip, nullptr), "m_part_manager != NULL @comp/asm/asm_option2");
    EXPECT_EQ(error(&cmp, &chip, &part_manager), "");
}

TEST_F(BuilderConstruction, OptionBlockNeedsTheDesignSettingsAndChipZero)
{
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    EXPECT_EQ(internal_error_of([&] { ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager); }),
              "m_dbcm_chip != NULL @comp/asm/asm_option2");
    ZHD_ROOT::get()->reset();
    ZHD_ROOT::get()->add_design("");  // a design without partitions
    EXPECT_EQ(internal_error_of([&] { ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager); }),
              "m_flat_cap != NULL @comp/asm/asm_option2");
}

TEST_F(BuilderConstruction, OptionBlockStartsWithoutConfigurationBlockAndKeepsItsArguments)
{
    ASM_OPTION2 option2(&cmp, &chip, 0xABCDu, &part_manager);
    EXPECT_FALSE(option2.m_cb_ip_found);
    EXPECT_FALSE(option2.m_io_configsel_found);
    EXPECT_TRUE(option2.m_io_configsel.empty());
    EXPECT_EQ(option2.m_cmp, &cmp);
    EXPECT_EQ(option2.m_chip, &chip);
    EXPECT_EQ(option2.m_run_value, 0xABCDu);
    EXPECT_EQ(option2.m_part_manager, &part_manager);
    EXPECT_EQ(option2.m_flat_cap, top_settings);
    EXPECT_EQ(option2.m_dbcm_chip, dbcm_chip);
    EXPECT_EQ(option2.m_pr_info, nullptr);
    EXPECT_FALSE(option2.m_dump_option_data);
    EXPECT_FALSE(option2.m_force_all_brask_na);
    EXPECT_EQ(option2.M_SMD_PINMUX, 17);
}

TEST_F(BuilderConstruction, OptionBlockReadsItsTwoSwitches)
{
    cfg_set_value("sdm_dump_option_data", "on");
    ASM_OPTION2 dump(&cmp, &chip, 0, &part_manager);
    EXPECT_TRUE(dump.m_dump_option_data);
    EXPECT_FALSE(dump.m_force_all_brask_na);
    cfg_clear();
    cfg_set_value("internal_force_all_brask_na", "true");
    ASM_OPTION2 force(&cmp, &chip, 0, &part_manager);
    EXPECT_FALSE(force.m_dump_option_data);
    EXPECT_TRUE(force.m_force_all_brask_na);
}

TEST_F(BuilderConstruction, PartialReconfigurationDataOnlyForChipsWithPartialReconfigurationRegions)
{
    dbcm_chip->add_regions(1)->add_region("ed_region");
    {
        ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
        EXPECT_EQ(option2.m_pr_info, nullptr);
    }
    dbcm_chip->add_regions(0)->add_region("pr_region");
    {
        ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
        ASSERT_NE(option2.m_pr_info, nullptr);
        EXPECT_FALSE(option2.m_pr_info->m_bitstream_verification);
    }
    top_settings->set_bool_option(1254, true);
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    ASSERT_NE(option2.m_pr_info, nullptr);
    EXPECT_TRUE(option2.m_pr_info->m_bitstream_verification);
}

TEST_F(BuilderConstruction, BitstreamVerificationHasNoGlobalSectionFallback)
{
    dbcm_chip->add_regions(0)->add_region("pr_region");
    top_settings->add_section(21, "")->set_bool_option(1254, true);
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    ASSERT_NE(option2.m_pr_info, nullptr);
    EXPECT_FALSE(option2.m_pr_info->m_bitstream_verification);
}

TEST_F(BuilderConstruction, ProcessOptionDataGivesUpAfterCountedOptionErrors)
{
    chip.set_base_family(52);
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    EXPECT_TRUE(option2.process_option_data());
    EXPECT_FALSE(has_debug_line("SDM option processing failed"));
    // A pin beyond SDM_IO16 is a counted option error.
    top_settings->set_string_option(790, "SDM_IO17");
    EXPECT_FALSE(option2.process_option_data());
    EXPECT_EQ(option_error_count, 1);
    EXPECT_TRUE(has_debug_line("SDM option processing failed"));
    // Each run counts its own errors: a clean run after a failed one passes.
    top_settings->remove_option(790);
    EXPECT_TRUE(option2.process_option_data());
    EXPECT_EQ(option_error_count, 0);
}

// --- ASM_HPS_HANDOFF_DATA ---

TEST_F(BuilderConstruction, HpsDataChecksItsArgumentsAndTheCurrentDevice)
{
    auto error = [&](CMP_FACADE* c, CDB_CHIP_DB_ENTRY* ch, DEV_PART_MANAGER* pm) {
        return internal_error_of([&] { YB_ASM_HPS_HANDOFF_DATA data(c, ch, 0, pm); });
    };
    EXPECT_EQ(error(nullptr, &chip, &part_manager), "m_cmp != NULL @comp/asm/asm_hps");
    EXPECT_EQ(error(&cmp, nullptr, &part_manager), "m_chip != NULL @comp/asm/asm_hps");
    EXPECT_EQ(error(&cmp, &chip, nullptr), "m_part_manager != NULL @comp/asm/asm_hps");
    DMGR_UTILITY::set_current_device(nullptr);
    EXPECT_EQ(error(&cmp, &chip, &part_manager), "dev_device != NULL @comp/asm/asm_hps");
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    EXPECT_EQ(error(&cmp, &chip, &part_manager), "m_dbcm_chip != NULL @comp/asm/asm_hps");
    ZHD_ROOT::get()->reset();
    EXPECT_EQ(error(&cmp, &chip, &part_manager), "m_flat_cap != NULL @comp/asm/asm_hps");
}

TEST_F(BuilderConstruction, HpsDataKeepsItsArgumentsAndCountsTheCpuCores)
{
    cfg_set_value("hps_dump_handoff_data", "on");
    VK_ASM_HPS_HANDOFF_DATA data(&cmp, &chip, 99, &part_manager);
    EXPECT_EQ(data.m_cmp, &cmp);
    EXPECT_EQ(data.m_chip, &chip);
    EXPECT_EQ(data.m_run_value, 99u);
    EXPECT_EQ(data.m_part_manager, &part_manager);
    EXPECT_EQ(data.m_flat_cap, top_settings);
    EXPECT_EQ(data.m_dbcm_chip, dbcm_chip);
    EXPECT_TRUE(data.m_dump_handoff_data);
    EXPECT_EQ(data.M_HPS_DEDICATED_IO, 48u);
    EXPECT_EQ(data.get_handoff_box(), nullptr);
    EXPECT_TRUE(data.has_hps());
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"ACID_HPS DEV_RESOURCE_CPU_CORE: 4"}));
}

struct CORE_CASE
{
    bool known_part;
    bool count_known;
    uint32_t count;
    int logged;
    bool has_hps;
};

void PrintTo(const CORE_CASE& c, std::ostream* out)
{
    *out << (c.known_part ? "part" : "invalid part") << ", count " << (c.count_known ? std::to_string(c.count) : "unknown");
}

std::string core_case_name(const testing::TestParamInfo<CORE_CASE>& info)
{
    static const char* const names[] = {"two_cores", "no_cores", "count_unknown",
                                        "count_all_ones", "count_negative", "invalid_part"};
    return names[info.index];
}

class HpsCoreCount : public BuilderConstruction, public testing::WithParamInterface<CORE_CASE>
{
};

TEST_P(HpsCoreCount, DecidesWhetherThePartHasAnHps)
{
    const CORE_CASE& c = GetParam();
    dev_reset();
    DMGR_UTILITY::set_current_device(&device);
    dev_add_part(PART, "PART_101", DEVICE);
    if (c.count_known)
        dev_set_resource_count(PART, DEV_RESOURCE_CPU_CORE, c.count);
    if (!c.known_part)
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(DEV_PART_INVALID));
    VR_ASM_HPS_HANDOFF_DATA data(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(data.has_hps(), c.has_hps);
    EXPECT_EQ(debug_texts(),
              (std::vector<std::string>{"ACID_HPS DEV_RESOURCE_CPU_CORE: " + std::to_string(c.logged)}));
    data.set_handoff_box(new VR_HPS_HANDOFF_BOX());
    data.add_hand_off_data_into_dbcm();
    EXPECT_EQ(has_debug_line("ACID_HPS: add_hand_off_data_into_dbcm"), c.has_hps);
}

INSTANTIATE_TEST_SUITE_P(Counts, HpsCoreCount,
                         testing::Values(CORE_CASE{true, true, 2, 2, true}, CORE_CASE{true, true, 0, 0, false},
                                         CORE_CASE{true, false, 0, 0, false},
                                         CORE_CASE{true, true, 0xFFFFFFFFu, 0, false},
                                         CORE_CASE{true, true, 0x80000000u, -2147483647 - 1, false},
                                         CORE_CASE{false, true, 2, 0, false}),
                         core_case_name);

TEST_F(BuilderConstruction, HpsDataOwnsItsBlockAndReleasesAReplacedOne)
{
    {
        YB_ASM_HPS_HANDOFF_DATA data(&cmp, &chip, 0, &part_manager);
        data.set_handoff_box(new HPS_HANDOFF_BOX());
        data.set_handoff_box(data.get_handoff_box());  // the same block stays
        data.set_handoff_box(new VK_HPS_HANDOFF_BOX());
        EXPECT_EQ(data.get_handoff_box()->size(), 1624u);
    }
    EXPECT_EQ(events(), (std::vector<std::string>{"construct YB_ASM_HPS_HANDOFF_DATA",
                                                  "construct HPS_HANDOFF_BOX 1572", "construct HPS_HANDOFF_BOX 1572",
                                                  "construct VK_HPS_HANDOFF_BOX 1624", "destroy HPS_HANDOFF_BOX",
                                                  "destroy ASM_HPS_HANDOFF_DATA", "destroy HPS_HANDOFF_BOX"}));
}

// --- handoff blocks ---

TEST(HandoffBlock, EachLayoutIsAZeroFilledBlockOfItsSize)
{
    HPS_HANDOFF_BOX base;
    VR_HPS_HANDOFF_BOX vr;
    VW_HPS_HANDOFF_BOX vw(false);
    VW_HPS_HANDOFF_BOX vw_variant(true);
    VK_HPS_HANDOFF_BOX vk;
    const HPS_HANDOFF_BOX* boxes[] = {&base, &vr, &vw, &vw_variant, &vk};
    const uint32_t sizes[] = {1572, 1572, 1596, 1608, 1624};
    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(boxes[i]->size(), sizes[i]);
        ASSERT_EQ(boxes[i]->bytes().size(), sizes[i]);
        EXPECT_TRUE(std::all_of(boxes[i]->bytes().begin(), boxes[i]->bytes().end(), [](uint8_t b) { return b == 0; }));
    }
    EXPECT_FALSE(vw.variant());
    EXPECT_TRUE(vw_variant.variant());
}
