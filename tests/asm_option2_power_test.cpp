// The option block's power management and SEU options: the PMBus record
// with its addresses, VID decision and output voltage limits, and the SEU
// fields with their warnings, read back from the stored record.
#include "option2_fixture.h"

#include <fstream>

namespace
{

const int SCL_PIN = 791;
const int SDA_PIN = 792;
const int SEU_ERROR_PIN = 796;
const int VOUT_FORMAT = 1459;
const uint16_t DIRECT = 560;
const int PART_TRAIT_VID = 32;

}  // namespace

class OptionPower : public OPTION2_SUITE
{
protected:
    void SetUp() override
    {
        OPTION2_SUITE::SetUp();
        set_up_chip(29, {"rev1"});
        set_base_device_name("vw8_base");
        // The regulator slots are numbered by their variable names; all
        // eight regulators are used, so no slot is spare.
        for (int slot = 0; slot < 8; ++slot)
            acf_set_variable_name(1451 + slot, "PWRMGT_DEVICE" + std::to_string(slot) + "_SLAVE_ADDRESS");
        acf_set_enum_name(591, "ALL");
        top_settings->set_string_option(1451, "4E");
        top_settings->set_bool_option(1161, true);
    }

    PB::OPTIONS_POWER_MANAGEMENT power() const { return stored_record().device().sdm().power_management(); }

    void set_direct(const char* m, const char* b, const char* r)
    {
        top_settings->set_enum_option(VOUT_FORMAT, DIRECT);
        top_settings->set_string_option(1460, m);
        top_settings->set_string_option(1461, b);
        top_settings->set_string_option(1462, r);
    }
};

TEST_F(OptionPower, DefaultsOfANonVidPart)
{
    ASSERT_TRUE(run());
    const PB::OPTIONS_POWER_MANAGEMENT pm = power();
    EXPECT_EQ(pm.version(), 1u);
    EXPECT_EQ(pm.mode(), PB::OPTIONS_POWER_MANAGEMENT::PMBUS_MASTER);
    EXPECT_EQ(pm.voltage_stable_delay_millis(), 10u);
    EXPECT_EQ(pm.fpga_release_delay_millis(), 10u);
    EXPECT_EQ(pm.initial_delay_millis(), 0u);
    EXPECT_EQ(pm.slave_device_type(), PB::OPTIONS_POWER_MANAGEMENT::LTM4677);
    ASSERT_EQ(pm.slave_address_size(), 8);
    EXPECT_EQ(pm.slave_address(0).slave_address(), 0x4Eu);
    EXPECT_EQ(pm.vout_format(), PB::OPTIONS_POWER_MANAGEMENT::AUTO);
    EXPECT_EQ(pm.page_command_payload(), 255u);
    EXPECT_EQ(pm.vout_reading_err_margin(), 8u);
    EXPECT_FALSE(pm.vid_enable());
    EXPECT_EQ(pm.vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::NOT_VID_PART);
    EXPECT_EQ(pm.vout_min(), 0);
    EXPECT_EQ(pm.vout_max(), 0);
    EXPECT_FALSE(pm.has_enable_pmf_diag());
    EXPECT_TRUE(has_debug_line("SDM_OPTION: Warning: page_command_payload:255 will be ignored when "
                               "page_command_enable is false"));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(OptionPower, VidPartWithoutBusPinsPostsOneWarningNamingBoth)
{
    dev_set_part_traits(PART, {PART_TRAIT_VID});
    ASSERT_TRUE(run());
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    const MSG_RECORD& warning = MSG_REPORT::active().messages()[0];
    EXPECT_EQ(warning.id, 19238u);
    EXPECT_EQ(warning.severity_level, 1);
    ASSERT_EQ(warning.sub_messages.size(), 2u);
    EXPECT_EQ(warning.sub_messages[0].id, 19239u);
    EXPECT_EQ(warning.sub_messages[0].text, "Missing required setting \"SDM PWRMGT SCL output\"");
    EXPECT_EQ(warning.sub_messages[1].text, "Missing required setting \"SDM PWRMGT SDA output\"");
    EXPECT_FALSE(power().vid_enable());
    EXPECT_EQ(power().vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::DISABLE_ON_VID_PART);

    // With its pins, a VID part keeps VID; a missing CONF_DONE pin in a
    // non-active-serial scheme is only named.
    msg_reset();
    top_settings->set_string_option(SCL_PIN, "SDM_IO0");
    top_settings->set_string_option(SDA_PIN, "SDM_IO12");
    top_settings->set_enum_option(788, 196);
    ASSERT_TRUE(run());
    ASSERT_EQ(count_posted("WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING"), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].sub_messages.size(), 1u);
    EXPECT_TRUE(power().vid_enable());
    EXPECT_EQ(power().vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::ENABLE);

    // Both switches: off wins.
    cfg_set_value("force_vid_on", "on");
    cfg_set_value("force_vid_off", "on");
    ASSERT_TRUE(run());
    EXPECT_FALSE(power().vid_enable());
    EXPECT_EQ(power().vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::NOT_VID_PART);
}

TEST_F(OptionPower, SlaveModeTakesItsOwnAddressAndNeedsTheAlertPin)
{
    dev_set_part_traits(PART, {PART_TRAIT_VID});
    top_settings->set_string_option(SCL_PIN, "SDM_IO0");
    top_settings->set_string_option(SDA_PIN, "SDM_IO12");
    top_settings->set_enum_option(789, 200);
    ASSERT_TRUE(run());
    EXPECT_EQ(power().mode(), PB::OPTIONS_POWER_MANAGEMENT::PMBUS_SLAVE);
    EXPECT_EQ(power().slave_address(0).slave_address(), 0u);  // the master's device 0 address is not read
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    std::vector<std::string> missing;
    for (const MSG_RECORD& sub : MSG_REPORT::active().messages()[0].sub_messages)
        missing.push_back(sub.text);
    EXPECT_EQ(missing, (std::vector<std::string>{"Missing required setting \"SDM PWRMGT Alert output\"",
                                                 "Missing required setting \"Device address in PMBus slave mode\""}));
    EXPECT_EQ(power().vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::DISABLE_ON_VID_PART);

    msg_reset();
    top_settings->set_string_option(793, "SDM_IO11");
    top_settings->set_string_option(1450, "4D");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().mode(), PB::OPTIONS_POWER_MANAGEMENT::PMBUS_SLAVE);
    EXPECT_EQ(power().slave_address(0).slave_address(), 0x4Du);
    EXPECT_EQ(power().vid_mode(), PB::OPTIONS_POWER_MANAGEMENT::ENABLE);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(OptionPower, DisableVidAndDiagnosticBootByFamily)
{
    // A VID part whose requirements are all met.
    dev_set_part_traits(PART, {PART_TRAIT_VID});
    top_settings->set_string_option(SCL_PIN, "SDM_IO0");
    top_settings->set_string_option(SDA_PIN, "SDM_IO12");
    const struct
    {
        int user_family;
        bool diagnostic_switch;
        bool disable_vid;
        bool diagnostic;
        const char* expected;
    } cases[] = {
        {67, false, true, false, "vid 0 NOT_VID_PART, diag 0"},
        {67, false, false, true, "vid 1 ENABLE, diag 1 24298"},
        {29, false, true, true, "vid 1 ENABLE, diag -"},
        {29, true, false, true, "vid 1 ENABLE, diag 1 24298"},
        {28, true, false, true, "vid 1 ENABLE, diag 1 24298"},
        {52, true, false, true, "vid 1 ENABLE, diag -"},
    };
    for (const auto& c : cases)
    {
        msg_reset();
        chip.set_base_family(c.user_family == 28 ? 29 : c.user_family);
        chip.set_user_family(c.user_family);
        cfg_set_value("enable_diagnostic_boot_checkbox", c.diagnostic_switch ? "on" : "off");
        top_settings->set_bool_option(1584, c.disable_vid);
        top_settings->set_bool_option(1585, c.diagnostic);
        dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, "", true);  // no earlier record
        ASSERT_TRUE(run());
        const PB::OPTIONS_POWER_MANAGEMENT pm = power();
        std::string summary = "vid " + std::to_string(pm.vid_enable()) + " " +
                              PB::OPTIONS_POWER_MANAGEMENT::VID_MODE_Name(pm.vid_mode()) + ", diag " +
                              (pm.has_enable_pmf_diag() ? std::to_string(pm.enable_pmf_diag()) : "-");
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        {
            summary += " " + std::to_string(record.id);
            EXPECT_EQ(record.text, "The Diagnostic Boot feature has been enabled in the power management dialog, "
                                   "additional check will be performed on the Voltage Regulator. Enabling this "
                                   "feature will increase configuration time and should only be used during board "
                                   "bring-up operations.");
        }
        EXPECT_EQ(summary, c.expected) << c.user_family;
    }
}

TEST_F(OptionPower, DirectFormatLimitsAndTheirRange)
{
    set_direct("1", "0", "3");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().vout_min(), 679);
    EXPECT_EQ(power().vout_max(), 927);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());

    // 67 900 and 92 700: both beyond 0xFFFF, both stored.
    set_direct("1", "0", "5");
    ASSERT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_ASM_INVALID_VOUT_RANGE"), 2u);
    EXPECT_EQ(power().vout_min(), 67900);
    EXPECT_EQ(power().vout_max(), 92700);

    // Texts that are not numbers read as 0 and are named in the log; a
    // limit beyond 32 bits is stored as INT32_MIN.
    msg_reset();
    set_direct("one", "0", "99");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().direct_format().m(), 0);
    EXPECT_TRUE(has_debug_line("SDM_OPTION: Warning: option 1460 value \"one\" is not a number, 0 is used"));
    set_direct("1", "0", "12");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().vout_min(), INT32_MIN);
    EXPECT_EQ(count_posted("EASM_ASM_INVALID_VOUT_RANGE"), 2u);

    // Linear format, millivolts: 679 / 2^-2.
    msg_reset();
    top_settings->set_enum_option(VOUT_FORMAT, 561);
    top_settings->set_string_option(1463, "-2");
    top_settings->set_enum_option(1464, 562);
    ASSERT_TRUE(run());
    EXPECT_EQ(power().vout_min(), 2716);
    EXPECT_EQ(power().vout_max(), 3708);
    EXPECT_EQ(power().voltage_unit(), PB::OPTIONS_POWER_MANAGEMENT::MILLIVOLTS);
}

TEST_F(OptionPower, OutOfRangeValuesAreReportedAndStoredAsDescribed)
{
    top_settings->set_int_option(1558, 300);
    top_settings->set_int_option(1470, -1);
    top_settings->set_int_option(1444, 2);
    ASSERT_TRUE(run());
    EXPECT_EQ(power().page_command_payload(), 255u);
    EXPECT_EQ(power().vout_reading_err_margin(), 0xFFFFFFFFu);
    std::vector<std::string> texts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        texts.push_back(record.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "The assignment PWRMGT_TABLE_VERSION should not be modified. Remove the assignment from the "
                         "ZSF file. ",
                         "PAGE command payload value 300 is out of range 0 - 255.",
                         "The value -1 specified in the PWRMGT_ADV_VOUT_READING_ERR_MARGIN assignment. The "
                         "recommended value range is between 0 and 8"}));
    EXPECT_EQ(option_error_count, 0);

    // Auto discovery with a written regulator type: refused once a run.
    msg_reset();
    std::ofstream(m_project_dir + "/rev1.zsf") << "4 PWRMGT_SLAVE_DEVICE_TYPE LTM4677\n";
    ASSERT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_INVALID_VOLTAGE_OUTPUT_FORMAT"), 1u);
    EXPECT_EQ(power().vout_format(), PB::OPTIONS_POWER_MANAGEMENT::AUTO);
}

TEST_F(OptionPower, RegulatorAddressesAndTheirChecks)
{
    // Two regulators: slots 2 to 7 are spare and take the default-settings
    // values, which must be two-digit 7-bit addresses.
    acf_set_enum_name(591, "2");
    top_settings->set_string_option(1451, "4F");
    top_settings->set_string_option(1452, "10");
    for (int slot = 2; slot < 8; ++slot)
        acf_set_variable_default_value(1451 + slot, slot == 4 ? "80" : "00");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().slave_address(1).slave_address(), 0x10u);
    EXPECT_EQ(power().slave_address(4).slave_address(), 0x80u);
    std::vector<std::string> texts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        texts.push_back(record.id_name + ": " + record.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS: The address set for SLAVE_DEVICE_TYPE_LTM4677 slave device "
                  "PWRMGT_DEVICE1_SLAVE_ADDRESS is invalid. The address set should be 00.",
                  "EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT: The default value assigned for assignment "
                  "(PWRMGT_DEVICE4_SLAVE_ADDRESS) in ZDF file is not supported. Follow 7-bit PMBus target device "
                  "addressing and should be up to 2 digits hexadecimal only.",
                  "EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS: The address set for SLAVE_DEVICE_TYPE_LTM4677 slave device "
                  "PWRMGT_DEVICE4_SLAVE_ADDRESS is invalid. The address set should be 00."}));
    EXPECT_TRUE(has_debug_line("PWRMGT_SLAVE_ADDRESS PWRMGT_DEVICE1_SLAVE_ADDRESS = 10 l= 16 slave_index = 1"));

    // A value beyond 32 bits is clamped alike in the record and the log.
    top_settings->set_string_option(1452, "FFFFFFFFFF");
    ASSERT_TRUE(run());
    EXPECT_EQ(power().slave_address(1).slave_address(), 0x7FFFFFFFu);
    EXPECT_TRUE(has_debug_line("PWRMGT_SLAVE_ADDRESS PWRMGT_DEVICE1_SLAVE_ADDRESS = FFFFFFFFFF l= 2147483647 "
                               "slave_index = 1"));
}

TEST_F(OptionPower, SevenAddresses3FNeedTheBypassSwitch)
{
    for (int slot = 0; slot < 7; ++slot)
        top_settings->set_string_option(1451 + slot, "3F");
    EXPECT_EQ(internal_error_of([&] { run(); }),
              "SDM_OPTION: A illegal VID use senario is entered without appropriate permission @comp/asm/asm_option2");

    // A value that is not on counts as off, and says so.
    cfg_set_value("bypass_vid_when_pmbus_mode_master_all_slave_address_3f", "yes please");
    EXPECT_EQ(internal_error_of([&] { run(); }),
              "SDM_OPTION: A illegal VID use senario is entered without appropriate permission @comp/asm/asm_option2");
    EXPECT_TRUE(has_debug_line("SDM_OPTION: INI variable bypass_vid_when_pmbus_mode_master_all_slave_address_3f is "
                               "used without permisson"));

    cfg_set_value("bypass_vid_when_pmbus_mode_master_all_slave_address_3f", "on");
    ASSERT_TRUE(run());
    EXPECT_TRUE(power().vid_enable());

    // The switch without the seven addresses is refused.
    top_settings->set_string_option(1451, "4E");
    EXPECT_EQ(internal_error_of([&] { run(); }),
              "SDM_OPTION: INI:bypass_vid_when_pmbus_mode_master_all_slave_address_3f is used in incorrect scenario "
              "@comp/asm/asm_option2");
}

TEST_F(OptionPower, SeuChecksAndStatusByte)
{
    // Family 52: detection off with the SEU_ERROR pin, correction and
    // fault injection on.
    chip.set_base_family(52);
    top_settings->set_bool_option(1161, false);
    top_settings->set_string_option(SEU_ERROR_PIN, "SDM_IO12");
    top_settings->set_bool_option(865, true);
    top_settings->set_bool_option(1162, true);
    EXPECT_TRUE(run());
    EXPECT_TRUE(has_debug_line("Error: SEU_ERROR output is assgined to SDM_IO12 but SEU error detection is not enabled"));
    std::vector<unsigned> ids;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        ids.push_back(record.id);
    EXPECT_EQ(ids, (std::vector<unsigned>{19761, 19763, 19762}));

    // Family 29 makes no such checks; an OTHER regulator without a written
    // assignment follows the related default.
    msg_reset();
    chip.set_base_family(29);
    top_settings->set_enum_option(1449, 558);
    acf_set_related_default(1583, 1449, 558, "0");
    ASSERT_TRUE(run());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    EXPECT_FALSE(power().enable_status_byte());
    acf_set_related_default(1583, 1449, 558, "1");
    ASSERT_TRUE(run());
    EXPECT_TRUE(power().enable_status_byte());

    // User family 67: external scrubbing in a design with a PR partition.
    chip.set_base_family(67);
    chip.set_user_family(67);
    ZHD_ROOT::get()->get_design("")->add_partition("pr")->set_pr_partition(true);
    top_settings->set_bool_option(1161, true);
    top_settings->set_bool_option(1582, true);
    ASSERT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN"), 1u);
    PB::OPTIONS record;
    ASSERT_TRUE(record.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
    EXPECT_TRUE(record.device().sdm().seu_external_correction_enable());
    EXPECT_EQ(record.device().sdm().seu_detected_pin_behavior(), PB::OPTIONS_SDM::ONLY_UNCORRECTABLE_SEU_ERROR);
}
