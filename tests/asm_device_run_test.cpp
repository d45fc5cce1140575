// The device run up to its device data, and the report data cache it takes.
#include "asm_assemble_asmm.h"
#include "asm_option2.h"
#include "asm_util.h"
#include "entry_fixture.h"

class DeviceRun : public ENTRY_SUITE
{
protected:
    DEV_PART_MANAGER part_manager;

    std::string run_error(ASM_OPTION2* option2, int family)
    {
        return internal_error_of([&] { assemble_dev_device(&cmp, &chip, option2, family, &part_manager); });
    }
};

TEST_F(DeviceRun, NullFacadeIsAnInternalError)
{
    EXPECT_EQ(internal_error_of([&] { assemble_dev_device(nullptr, &chip, nullptr, 15, &part_manager); }),
              "cmp != NULL @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, NoCurrentDeviceIsAnInternalError)
{
    DMGR_UTILITY::set_current_device(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "dev_device != NULL @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, InvalidOrGenericPartIsAnInternalError)
{
    const std::string expected =
        "(dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC) @comp/asm/asm_assemble_asmm";
    chip.set_part(DEV_PART_INVALID);
    EXPECT_EQ(run_error(nullptr, 15), expected);
    chip.set_part(DEV_PART_GENERIC);
    EXPECT_EQ(run_error(nullptr, 15), expected);
    EXPECT_TRUE(device.get_die_info()->requested_kinds().empty());
}

TEST_F(DeviceRun, MissingBasicInfoIsAnInternalError)
{
    device.set_basic_info(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "basic_info != nullptr @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, MissingDieInfoIsAnInternalError)
{
    device.set_die_info(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "die_info != nullptr @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, LoadsTheDeviceDataOfKindsFourTwoOne)
{
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);
    EXPECT_EQ(device.get_die_info()->requested_kinds(), (std::vector<int>{4, 2, 1}));
    EXPECT_EQ(device.get_die_info()->loaded_kinds(), (std::vector<int>{4, 2, 1}));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(DeviceRun, FirstFailedDeviceDataLoadStopsTheRun)
{
    auto die_info = std::make_unique<DEV_DIE_INFO>();
    die_info->add_device_data(4);
    die_info->add_device_data(1);
    device.set_die_info(std::move(die_info));
    EXPECT_EQ(run_error(nullptr, 15), "Unable to load device data @comp/asm/asm_assemble_asmm");
    EXPECT_EQ(device.get_die_info()->requested_kinds(), (std::vector<int>{4, 2}));
}

TEST_F(DeviceRun, Family44WithoutConfigurationBlockWarnsAndStops)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager), -1);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].kind, MSG_POST_TYPE_WARNING);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id, 24392u);
    EXPECT_TRUE(device.get_die_info()->requested_kinds().empty());
}

TEST_F(DeviceRun, Family44SkipSwitchGoesOnAfterTheWarning)
{
    cfg_set_value("skip_cb_ip_presence_check", "on");
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    EXPECT_EQ(device.get_die_info()->loaded_kinds(), (std::vector<int>{4, 2, 1}));
}

TEST_F(DeviceRun, ConfigurationBlockCheckNeedsFamily44ABuilderAndNoBlockFound)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, nullptr, 44, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 29, &part_manager);
    option2.m_cb_ip_found = true;
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 0u);
    EXPECT_EQ(device.get_die_info()->loaded_kinds().size(), 9u);
}

TEST_F(DeviceRun, CompleteRunTakesTheBeginningAndTheCleanUpCheckpoints)
{
    cfg_set_value("asm_report_memory", "on");
    assemble_dev_device(&cmp, &chip, nullptr, 54, &part_manager);
    std::vector<std::string> memory_lines;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            memory_lines.push_back(line);
    ASSERT_EQ(memory_lines.size(), 2u);
    EXPECT_EQ(memory_lines[0].rfind("[beginning asm_bcm_device] ASM memory system current ", 0), 0u);
    EXPECT_EQ(memory_lines[1].rfind("[before assemble_dev_device clean up] ASM memory system current ", 0), 0u);
}

TEST_F(DeviceRun, RunStoppedAtTheConfigurationBlockCheckTakesNoCleanUpCheckpoint)
{
    cfg_set_value("asm_report_memory", "on");
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    std::vector<std::string> memory_lines;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            memory_lines.push_back(line);
    ASSERT_EQ(memory_lines.size(), 1u);
    EXPECT_EQ(memory_lines[0].rfind("[beginning asm_bcm_device] ", 0), 0u);
}

TEST(ReportDataCache, HoldsTheDivisorTakenAtConstructionWhateverHappensToTheChipLater)
{
    auto chip = std::make_unique<CDB_CHIP_DB_ENTRY>();
    chip->set_crc_clock_divisor(3);
    ASM_RPT_DATA_CACHE cache(*chip);
    chip->set_crc_clock_divisor(7);
    EXPECT_EQ(cache.m_crc_clock_divisor, 3u);
    chip.reset();
    EXPECT_EQ(cache.m_crc_clock_divisor, 3u);
}
