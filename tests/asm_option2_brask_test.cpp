// The option block's transceiver tiles and CvP decision: the tile slots of
// the stored record, read back from the chip's "OPTIONS" section, and the
// messages of the CvP combinations.
#include "option2_fixture.h"

namespace
{

const int CVP_MODE = 787;
const int SCHEME = 788;

struct SLOT
{
    uint32_t x0;
    uint32_t x1;
    std::string type;
    bool powered;
    bool cvp;
    bool all_na;
};

bool operator==(const SLOT& a, const SLOT& b)
{
    return a.x0 == b.x0 && a.x1 == b.x1 && a.type == b.type && a.powered == b.powered && a.cvp == b.cvp &&
           a.all_na == b.all_na;
}

std::ostream& operator<<(std::ostream& out, const SLOT& s)
{
    return out << "(" << s.x0 << "," << s.x1 << " " << s.type << (s.powered ? " on" : " off")
               << (s.cvp ? " cvp" : "") << (s.all_na ? " allna" : "") << ")";
}

}  // namespace

class OptionBrask : public OPTION2_SUITE
{
protected:
    void SetUp() override
    {
        OPTION2_SUITE::SetUp();
        set_up_chip(52, {"rev1"});
    }

    // A sector holding one block instance with the settings; the part
    // carries the type at the sector's slot unless told otherwise.
    DBCM_INSTANCE_NODE* add_tile(const std::string& sector, const std::string& type, const std::string& instance,
                                 std::vector<std::pair<const char*, const char*>> settings, bool on_part = true)
    {
        dbcm_chip->get_device()->add_device_sector(sector, type)->add_instance(instance.c_str());
        DBCM_INSTANCE_NODE* node = dbcm_chip->add_named_instance(instance.c_str());
        for (const auto& [name, value] : settings)
            node->set_setting(name, value);
        if (on_part)
            dev_set_brask_type(PART, sector.substr(0, 8), type);
        return node;
    }

    std::vector<SLOT> slots() const
    {
        std::vector<SLOT> list;
        const PB::OPTIONS record = stored_record();
        for (const PB::OPTIONS_SECTOR& s : record.sectors())
        {
            EXPECT_EQ(s.type(), PB::OPTIONS_SECTOR_TYPE_HSSI);
            EXPECT_EQ(s.brask_presence(), !s.brask_type().empty());
            list.push_back(SLOT{s.x0(), s.x1(), s.brask_type(), s.brask_state() == PB::OPTIONS_SECTOR_BRASK_STATE_POWERED,
                                s.cvp_enable(),
                                s.brask_compatibility() == PB::OPTIONS_SECTOR_BRASK_COMPATIBILITY_ALLNA});
        }
        return list;
    }
};

TEST_F(OptionBrask, SlotsTakePowerAndCvpFromTheirTilesAndTheIniListPowersThemDown)
{
    add_tile("HSSI_0_0", "z2403a", "hssi_0_0|k",
             {{"is_active", "TRUE"}, {"is_cvp_capable", "TRUE"}, {"is_cvp_enable", "TRUE"}, {"topology", "PCIE_X16"}});
    add_tile("HSSI_1_0_z2402b", "z2402b", "hssi_1_0|w", {{"is_active", "TRUE"}});
    add_tile("HSSI_2_1", "c1000", "hssi_2_1|c", {{"is_active", "TRUE"}});
    // CvP is taken from the tiles of x1 = 0 only.
    add_tile("HSSI_1_1", "z2403a", "hssi_1_1|k",
             {{"is_active", "FALSE"}, {"is_cvp_capable", "TRUE"}, {"is_cvp_enable", "TRUE"}});
    // Not carried by the part, so its instance is left out.
    add_tile("HSSI_0_1", "z2301a", "hssi_0_1|j", {{"is_active", "TRUE"}}, false);
    dbcm_chip->get_device()->add_device_sector("CORE_4_2", "core");
    top_settings->set_enum_option(CVP_MODE, 187);

    ASSERT_TRUE(run());
    const std::vector<SLOT> expected = {{0, 0, "z2403a", true, true, false}, {0, 1, "", false, false, false},
                                        {1, 0, "z2402b", true, false, false}, {1, 1, "z2403a", false, false, false},
                                        {2, 0, "", false, false, false},      {2, 1, "c1000", true, false, false}};
    EXPECT_EQ(slots(), expected);
    EXPECT_TRUE(stored_record().device().cvp_capable());
    EXPECT_EQ(count_posted("IASM_ASM_OPTION2_DESIGN_IS_CVP_READY"), 1u);

    // A second run on the chip lists the six slots anew, with two powered down.
    cfg_set_value("unpowered_hssi_list", "1_0,2_1");
    ASSERT_TRUE(run());
    std::vector<SLOT> unpowered = expected;
    unpowered[2].powered = false;
    unpowered[5].powered = false;
    EXPECT_EQ(slots(), unpowered);
    EXPECT_TRUE(has_debug_line("SDM_OPTION:        warning - INI unpowered an active hssi_2_1"));

    // Two tokens of one number each, and a slot outside the device: ignored.
    cfg_set_value("unpowered_hssi_list", "1 0 \"3_0\"");
    ASSERT_TRUE(run());
    EXPECT_EQ(slots(), expected);
}

TEST_F(OptionBrask, CvpTileErrors)
{
    add_tile("HSSI_0_0", "z2403a", "hssi_0_0|k",
             {{"is_active", "TRUE"}, {"is_cvp_capable", "TRUE"}, {"is_cvp_enable", "TRUE"}});
    add_tile("HSSI_1_0", "z2403a", "hssi_1_0|k",
             {{"is_active", "FALSE"}, {"is_cvp_capable", "TRUE"}, {"is_cvp_enable", "TRUE"}});
    // A second CvP tile is reported; both keep their flag and the step goes on.
    EXPECT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_ASM_CVP_INVALID_ERROR"), 1u);
    EXPECT_TRUE(slots()[0].cvp);
    EXPECT_TRUE(slots()[2].cvp);

    // CvP on a slot that cannot carry it is counted: the run fails.
    msg_reset();
    add_tile("HSSI_2_0", "z2403a", "hssi_2_0|k",
             {{"is_active", "TRUE"}, {"is_cvp_capable", "FALSE"}, {"is_cvp_enable", "TRUE"}});
    EXPECT_FALSE(run());
    EXPECT_EQ(count_posted("EASM_ASM_OPTION2_INVALID_CVP_ATTRIBUTES_COMBINATION_VALUE"), 1u);
    EXPECT_EQ(option_error_count, 1);
}

TEST_F(OptionBrask, LegacyTilesTakeCvpFromTheHardIpCoreOfSlotZeroAndTopologiesAreChecked)
{
    DBCM_INSTANCE_NODE* tile = add_tile("HSSI_0_0", "c2000", "hssi_0_0|legacy", {{"is_active", "TRUE"}});
    tile->add_child("xhip_block_1")->add_child("hdpe16_hip_core_inst")->set_setting("func_mode", "ENABLE");
    DBCM_INSTANCE_NODE* other = add_tile("HSSI_1_0", "c2000", "hssi_1_0|legacy", {{"is_active", "TRUE"}});
    other->add_child("u_wrpcie_top")->add_child("u_core16")->set_setting("func_mode", "ENABLE");
    // Slot 0,1 is never taken for CvP.
    DBCM_INSTANCE_NODE* upper = add_tile("HSSI_0_1", "c2000", "hssi_0_1|legacy", {{"is_active", "TRUE"}});
    upper->add_child("xhip_block_1")->add_child("hdpe16_hip_core_inst")->set_setting("func_mode", "ENABLE");
    ASSERT_TRUE(run());
    std::vector<bool> cvp;
    for (const SLOT& slot : slots())
        cvp.push_back(slot.cvp);
    EXPECT_EQ(cvp, (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_TRUE(has_debug_line("SDM_OPTION:             Legacy tiles: Cvp_enable will be set to false"));

    // With CvP on, a topology of four x4 links is refused: a J-Tile's PMA
    // topology and a K-Tile's own. Each tile stands alone on a new chip.
    typedef std::vector<std::pair<const char*, const char*>> SETTINGS;
    const SETTINGS cvp_tile = {{"is_active", "TRUE"}, {"is_cvp_capable", "TRUE"}, {"is_cvp_enable", "TRUE"}};
    const auto tile_on_new_chip = [&](const char* type, const char* name, const SETTINGS& settings) {
        DBCM_DB_MANAGER::get_or_create_instance()->reset();
        dbcm_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
        dbcm_chip->add_device("DEV_101");
        return add_tile("HSSI_0_0", type, name, settings);
    };
    const auto expect_refused_in = [&](const std::string& tile) {
        msg_reset();
        run();
        ASSERT_EQ(count_posted("EASM_ASM_E_UNSUPPORTED_PCIE_TOPOLOGY"), 1u) << tile;
        EXPECT_NE(MSG_REPORT::active().messages()[0].text.find(
                      "PCIE Topology PCIE_X4X4X4X4 cannot be used when CVP is enabled in " + tile),
                  std::string::npos);
    };
    top_settings->set_enum_option(CVP_MODE, 187);
    tile_on_new_chip("z2301a", "hssi_0_0|j", cvp_tile)
        ->add_child("u_wrphy_top")
        ->add_child("pma_top_3")
        ->set_setting("topology", "PCIE_X4X4X4X4");
    expect_refused_in("J-Tile");
    SETTINGS k_tile = cvp_tile;
    k_tile.emplace_back("topology", "PCIE_X4X4X4X4");
    tile_on_new_chip("z2403a", "hssi_0_0|k", k_tile);
    expect_refused_in("K-Tile");
}

TEST_F(OptionBrask, CvpDecisionTable)
{
    struct CASE
    {
        bool ini;
        uint16_t scheme;
        bool mode_on;
        bool capable;
        std::vector<std::string> messages;
        bool result;
        int counted;
    };
    const CASE cases[] = {
        {true, 196, false, true, {"WASM_ASM_OPTION2_DESIGN_CVP_ENABLE", "IASM_ASM_OPTION2_DESIGN_IS_CVP_READY"}, true, 0},
        {true, 197, true, true,
         {"EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME", "IASM_ASM_OPTION2_DESIGN_IS_CVP_READY"}, true, 0},
        {true, 198, false, true,
         {"EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_UNSUPPORTED_SCHEME", "IASM_ASM_OPTION2_CVP_ENABLE_INFO"}, false, 0},
        {false, 196, true, true,
         {"EASM_ASM_OPTION2_DESIGN_CVP_ENABLE_AS_ONLY", "IASM_ASM_OPTION2_DESIGN_IS_CVP_READY"}, true, 0},
        {false, 192, true, false, {"EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE"}, false, 1},
        {false, 192, false, true, {"IASM_ASM_OPTION2_CVP_ENABLE_INFO"}, false, 0},
        {false, 193, false, false, {}, false, 0},
    };
    for (const CASE& c : cases)
    {
        msg_reset();
        option_error_count = 0;
        c.ini ? cfg_set_value("enable_design_cvp", "on") : cfg_remove_value("enable_design_cvp");
        top_settings->set_enum_option(SCHEME, c.scheme);
        top_settings->set_enum_option(CVP_MODE, c.mode_on ? 187 : 186);
        ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
        builder.m_hssi_option_data["hssi_0_0"].m_hip_enabled = c.capable;
        const std::string where = std::to_string(c.scheme) + (c.ini ? " ini" : "") + (c.mode_on ? " mode" : "");
        EXPECT_EQ(builder.get_cvp_enable(), c.result) << where;
        std::vector<std::string> posted;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            posted.push_back(record.id_name);
        EXPECT_EQ(posted, c.messages) << where;
        // Only the design that enables CvP without being capable is counted.
        EXPECT_EQ(option_error_count, c.counted) << where;
    }
}

TEST_F(OptionBrask, CompatibilitySwitchAndDevicesWithAProtocolController)
{
    cfg_set_value("internal_force_all_brask_na", "on");
    ASSERT_TRUE(run());
    ASSERT_EQ(slots().size(), 6u);
    for (const SLOT& slot : slots())
        EXPECT_TRUE(slot.all_na && !slot.powered && slot.type.empty()) << slot;

    // A device with a "PCTRL_0_0" sector lists no tile slots; its CvP comes
    // from the subsystems of that sector's instances.
    DBCM_DB_MANAGER::get_or_create_instance()->reset();
    dbcm_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
    dbcm_chip->add_device("DEV_101")->add_device_sector("PCTRL_0_0", "pctrl")->add_instance("pctrl|u0");
    DBCM_INSTANCE_NODE* subsystem = dbcm_chip->add_named_instance("pctrl|u0")->add_child("hssi_ss_u0");
    subsystem->set_setting("cvp_enable", "CVP_ENABLE_DISABLED");
    top_settings->set_enum_option(CVP_MODE, 187);
    EXPECT_FALSE(run());
    EXPECT_FALSE(stored_record().device().cvp_capable());
    EXPECT_EQ(count_posted("EASM_ASM_OPTION2_DESIGN_NOT_CVP_CAPABLE"), 1u);
    subsystem->set_setting("cvp_enable", "CVP_ENABLE_ENABLED");
    ASSERT_TRUE(run());
    EXPECT_EQ(stored_record().sectors_size(), 0);
    EXPECT_TRUE(stored_record().device().cvp_capable());
    EXPECT_TRUE(option2->m_hssi_option_data.empty());
}

TEST_F(OptionBrask, EverySectorNameMustParse)
{
    dbcm_chip->get_device()->add_device_sector("IO_1A_2", "io");
    try
    {
        run();
        FAIL() << "no internal error";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        EXPECT_EQ(error.condition(),
                  "Error: SDM_OPTION: incorrect format or data for sector:IO_1A_2.  expect HSSI_n_n or HSSI_n_n_znnnnx.");
        EXPECT_EQ(error.file(), "comp/asm/asm_option2_brask");
    }
}
