// The option block's driver, project settings access, device configuration
// settings and SDM pin functions: the record each family stores, read back
// from the chip's "OPTIONS" section.
#include "option2_fixture.h"
#include "protoc_decode.h"

#include <algorithm>
#include <climits>
#include <fstream>

namespace
{

const int CONF_DONE = 790;
const int SEU_ERROR = 796;
const int QSPI_CHIP_SELECT = 1281;

}  // namespace

class OptionDevice : public OPTION2_SUITE
{
protected:
    void SetUp() override
    {
        OPTION2_SUITE::SetUp();
        set_up_chip(52, {"rev1", "rev2"});
    }

    // Writes a revision's settings file, one assignment a line.
    void write_settings_file(const std::string& revision, const std::string& lines)
    {
        std::ofstream(m_project_dir + "/" + revision + ".zsf") << lines;
    }

    std::vector<std::string> pins() const
    {
        std::vector<std::string> usage;
        const PB::OPTIONS record = stored_record();
        for (const PB::OPTIONS_SDM_IO_PINMUX& pin : record.device().sdm().pinmux())
            usage.push_back(pin.usage());
        return usage;
    }

    std::vector<std::string> posted_texts() const
    {
        std::vector<std::string> texts;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            texts.push_back(record.text);
        return texts;
    }

    void set_device_traits(const std::set<int>& traits) { dev_set_device_traits(DEVICE, traits); }
};

TEST_F(OptionDevice, SettingsComeFromTheHolderThenItsGlobalSectionThenTheDefault)
{
    ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
    HDB_SECTION* global = top_settings->add_section(21, "");
    top_settings->set_int_option(10, 5);
    global->set_int_option(10, 6);
    global->set_int_option(11, 7);
    global->set_string_option(12, "global");
    top_settings->add_section(21, "named")->set_bool_option(13, true);
    EXPECT_EQ(builder.get_int_option(10, -1), 5);
    EXPECT_EQ(builder.get_int_option(11, -1), 7);
    EXPECT_EQ(builder.get_int_option(99, -1), -1);
    EXPECT_EQ(builder.get_string_option_or_default(12, "d"), "global");
    // Only the section with the empty name is the global one, and a setting
    // is found only as its own kind.
    EXPECT_FALSE(builder.get_bool_option(13, false));
    EXPECT_EQ(builder.get_string_option_or_default(10, "d"), "d");
    std::string text = "stale";
    builder.get_string_option(99, text);
    EXPECT_EQ(text, "");
    // Enumeration defaults are cut to 16 bits.
    EXPECT_EQ(builder.get_enum_option(99, 0x10000 + 192), 192);
}

TEST_F(OptionDevice, AssignmentIsSetWhenAnyRevisionWritesItInACountedCategory)
{
    ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
    EXPECT_FALSE(builder.is_assignment_set("ACTIVE_SERIAL_CLOCK"));  // no settings files at all
    write_settings_file("rev1", "# the current revision\n4 OTHER value\n3 ACTIVE_SERIAL_CLOCK AS_FREQ_50MHZ\n");
    // Category 3 does not count, nor does a name that only begins alike.
    write_settings_file("rev2", "5 ACTIVE_SERIAL_CLOCK_X 1\n");
    EXPECT_FALSE(builder.is_assignment_set("ACTIVE_SERIAL_CLOCK"));
    for (int category : {4, 5, 9, 24, 25})
    {
        write_settings_file("rev2", std::to_string(category) + " ACTIVE_SERIAL_CLOCK AS_FREQ_50MHZ\n");
        EXPECT_TRUE(builder.is_assignment_set("ACTIVE_SERIAL_CLOCK")) << category;
    }
    EXPECT_FALSE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->is_write_locked());

    // A refused lock skips the files; a lock held elsewhere stays held.
    acf_set_lock_refusal(true);
    EXPECT_FALSE(builder.is_assignment_set("ACTIVE_SERIAL_CLOCK"));
    acf_set_lock_refusal(false);
    ASSERT_TRUE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->write_lock(true));
    EXPECT_FALSE(builder.is_assignment_set("ACTIVE_SERIAL_CLOCK"));
    EXPECT_TRUE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->is_write_locked());
}

TEST_F(OptionDevice, Family52RecordHoldsTheSchemeClocksUserCodeAndPinFunctions)
{
    top_settings->set_string_option(1433, "  0x1a2Bzz");
    top_settings->set_bool_option(361, true);
    top_settings->set_bool_option(436, true);
    top_settings->set_string_option(CONF_DONE, "SDM_IO16");
    top_settings->set_string_option(SEU_ERROR, "SDM_IO0");
    top_settings->set_bool_option(1161, true);
    EXPECT_TRUE(run());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty()) << posted_texts()[0];

    const std::string decoded = protoc_decode("PB.OPTIONS", "options.proto",
                                              dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes);
    for (const char* field :
         {"device_init_clock_hz: 25000000", "active_serial_clock_hz: 100000000", "configuration_scheme: Active_Serial_x1",
          "jtag_user_code: 6699", "test_burnin_mode: false", "test_burnin_argument0: 0", "test_burnin_argument1: 0",
          "enable_no_hipi_initialization_flow: true", "asic_prototyping: true", "ed_crc_divisor: 0",
          "run_config_cpu_from_int_osc: false"})
        EXPECT_NE(decoded.find(field), std::string::npos) << field << "\n" << decoded;
    EXPECT_EQ(decoded.find("threshold_temp"), std::string::npos);
    EXPECT_EQ(decoded.find("conf_sel"), std::string::npos);

    std::vector<std::string> expected(17, "NA");
    expected[0] = "SEU_ERROR";
    expected[16] = "CONF_DONE";
    expected[2] = "AS_CLK";
    expected[4] = "AS_DATA0";
    expected[5] = "AS_nCSO0";
    EXPECT_EQ(pins(), expected);
    EXPECT_TRUE(has_debug_line("The number of sdm pins retrieved are 17"));
}

TEST_F(OptionDevice, Family67StoresTheThresholdEvenOutOfRange)
{
    chip.set_base_family(67);
    top_settings->set_int_option(1581, 95);
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().threshold_temp(), 95);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    for (int threshold : {94, 121})
    {
        msg_reset();
        top_settings->set_int_option(1581, threshold);
        // Posted but not counted: the run goes on.
        EXPECT_TRUE(run());
        EXPECT_EQ(stored_record().device().threshold_temp(), threshold);
        EXPECT_EQ(posted_texts(), (std::vector<std::string>{"Threshold temperature value out of range."}));
        EXPECT_TRUE(has_debug_line("Error: Threshold temperature should be in range of 95-120 degree celsius."));
    }
}

TEST_F(OptionDevice, Family44ReadsTheConfigurationBlockAndPlacesNoPins)
{
    chip.set_base_family(44);
    EXPECT_TRUE(run());
    EXPECT_FALSE(option2->m_cb_ip_found);
    EXPECT_TRUE(stored_record().device().has_conf_sel());
    EXPECT_FALSE(stored_record().device().conf_sel());
    EXPECT_EQ(stored_record().device().sdm().pinmux_size(), 0);

    CDB_ATOM_NODE* first = netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("cb_0", "MOVARSIXTEEN_CB_CORE"));
    first->set_parameter("i_io_configsel", "TRUE");
    EXPECT_TRUE(run());
    EXPECT_TRUE(option2->m_cb_ip_found);
    EXPECT_FALSE(stored_record().device().conf_sel());
    // A later Configuration Block wins.
    netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("cb_1", "MOVARSIXTEEN_CB_CORE"))
        ->set_parameter("i_io_configsel", "true");
    EXPECT_TRUE(run());
    EXPECT_TRUE(stored_record().device().conf_sel());
    EXPECT_EQ(option2->m_io_configsel, "true");
    EXPECT_TRUE(has_debug_line("Found i_io_configsel parameter with val : true "));
}

TEST_F(OptionDevice, Family44WithoutTheConfigurationBlockWarnsAndStopsTheRun)
{
    chip.set_base_family(44);
    bool flag = true;
    EXPECT_EQ(asm_assemble(&cmp, 0, flag, FIO_PATH("")), -1);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    EXPECT_EQ(stored_record().device().conf_sel(), false);

    msg_reset();
    netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("cb", "MOVARSIXTEEN_CB_CORE"));
    EXPECT_NE(asm_assemble(&cmp, 0, flag, FIO_PATH("")), -1);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 0u);
}

TEST_F(OptionDevice, SchemeOfAnSrstOnlyDeviceMustBeWrittenAsSrstX8)
{
    acf_set_enum_name(196, "FPP_X8", "Avalon-ST x8");
    acf_set_enum_name(192, "AS_X1", "Active Serial x1");
    set_device_traits({60});
    // Unwritten: SRST x8 with a warning, whatever the setting holds.
    top_settings->set_enum_option(788, 192);
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().configuration_scheme(), PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x8);
    EXPECT_EQ(pins()[14], "SRSTx8_CLK");
    EXPECT_EQ(posted_texts(), (std::vector<std::string>{"The configuration scheme is not set, it will be set to "
                                                        "Avalon-ST x8 for this device. "}));
    // Written with another value: an error that does not stop the run.
    msg_reset();
    write_settings_file("rev1", "4 BELMORAV_CONFIGURATION_SCHEME AS_X1\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().configuration_scheme(), PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x8);
    EXPECT_EQ(pins()[2], "AS_CLK");
    EXPECT_EQ(posted_texts(), (std::vector<std::string>{"The configuration scheme Active Serial x1 is not supported "
                                                        "for this device DEV_101."}));
}

TEST_F(OptionDevice, SchemeValuesMapToTheRecordAndUnknownOnesToActiveSerialX1)
{
    ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
    uint16_t out = 0;
    for (const auto& [value, scheme] : {std::make_pair(193, PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Active_Serial_x4),
                                        std::make_pair(198, PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x32),
                                        std::make_pair(199, PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Internal_Configuration),
                                        std::make_pair(194, PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Active_Serial_x1)})
    {
        top_settings->set_enum_option(788, static_cast<uint16_t>(value));
        EXPECT_EQ(builder.get_configuration_scheme(out), scheme) << value;
        EXPECT_EQ(out, value);
    }
    // The pin table knows no pins for 194 or 199.
    EXPECT_EQ(internal_error_of([&] { run(); }), "Unsupported CONFIGURATION_SCHEME @comp/asm/asm_option2");
}

TEST_F(OptionDevice, ClocksFollowTheSettingsAndReportAMismatchWithTheFitter)
{
    acf_set_enum_name(212, "OSC_25MHZ");
    acf_set_enum_name(213, "OSC_100MHZ");
    acf_set_enum_name(320, "AS_FREQ_50MHZ");
    acf_set_enum_name(323, "AS_FREQ_100MHZ");
    // Unwritten, the active serial clock is the one related to the
    // initialisation clock.
    acf_set_related_default(1171, 831, 213, "AS_FREQ_50MHZ");
    top_settings->set_enum_option(831, 213);
    top_settings->set_enum_option(1171, 325);  // not written: not read
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().device_init_clock_hz(), 100000000u);
    EXPECT_EQ(stored_record().device().active_serial_clock_hz(), 50000000u);
    EXPECT_EQ(posted_texts(),
              (std::vector<std::string>{"Assignment setting for INITIALIZATION_CLOCK (OSC_100MHZ) found in assembler "
                                        "does not match the setting found in fitter (OSC_25MHZ). Rerun fitter stage.",
                                        "Assignment setting for ACTIVE_SERIAL_CLOCK (AS_FREQ_50MHZ) found in "
                                        "assembler does not match the setting found in fitter (AS_FREQ_100MHZ). "
                                        "Rerun fitter stage."}));

    // Written, the setting counts; a fitter that agrees posts nothing.
    msg_reset();
    chip.set_initialization_clock(4);
    chip.set_active_serial_clock(10);
    write_settings_file("rev2", "9 ACTIVE_SERIAL_CLOCK AS_FREQ_125MHZ\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().active_serial_clock_hz(), 125000000u);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty()) << posted_texts()[0];

    // No comparison of the active serial clock for the SRST schemes.
    top_settings->set_enum_option(788, 196);
    chip.set_active_serial_clock(4);
    EXPECT_TRUE(run());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty()) << posted_texts()[0];
}

TEST_F(OptionDevice, The166MHzSourceNeedsItsTraitOnFamily29)
{
    write_settings_file("rev1", "4 ACTIVE_SERIAL_CLOCK AS_FREQ_166MHZ\n");
    top_settings->set_enum_option(1171, 327);
    top_settings->set_enum_option(788, 196);
    for (DEV_FAMILY family : {52, 29})
    {
        chip.set_base_family(family);
        ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
        set_device_traits({58});
        EXPECT_EQ(builder.get_active_serial_clock(), 166000000u) << family;
        set_device_traits({});
        EXPECT_EQ(builder.get_active_serial_clock(), family == 29 ? 0u : 166000000u) << family;
    }
    EXPECT_EQ(posted_texts(), (std::vector<std::string>{"The clock source AS_FREQ_166MHZ is not supported for this "
                                                        "device DEV_101."}));
}

TEST_F(OptionDevice, PinConflictsAndIllegalPinsAreCountedErrors)
{
    // CONF_DONE on a pin of the configuration scheme: the scheme's function
    // is reported against it and takes the pin.
    top_settings->set_string_option(CONF_DONE, "SDM_IO5");
    // Two user functions on one pin: the second is reported and replaces it.
    top_settings->set_string_option(SEU_ERROR, "SDM_IO9");
    top_settings->set_bool_option(1161, true);
    top_settings->set_string_option(797, "SDM_IO9");
    // A pin text without a trailing number places nothing, nor does one
    // whose digits are followed by more.
    top_settings->set_string_option(798, "SDM_IO");
    top_settings->set_string_option(807, "SDM_IO16X");
    EXPECT_FALSE(run());
    EXPECT_EQ(option_error_count, 2);
    const std::vector<std::string> placed = pins();
    EXPECT_EQ(std::count(placed.begin(), placed.end(), "LOADFACTORY"), 0) << placed[0];
    EXPECT_EQ(pins()[5], "AS_nCSO0");
    EXPECT_EQ(pins()[9], "nHPS_COLD_RESET");
    EXPECT_EQ(posted_texts(), (std::vector<std::string>{"SDM_IO 9 has conflicting assignments of SEU_ERROR and "
                                                        "nHPS_COLD_RESET",
                                                        "SDM_IO 5 has conflicting assignments of CONF_DONE and "
                                                        "AS_nCSO0"}));
    EXPECT_TRUE(has_debug_line("SDM IO 5  has conflicting values of \"CONF_DONE\" and \"AS_nCSO0\""));
    EXPECT_TRUE(has_debug_line("SDM option processing failed"));

    // Beyond SDM_IO16, also a digit run far beyond any integer.
    msg_reset();
    top_settings->remove_option(SEU_ERROR);
    top_settings->remove_option(797);
    top_settings->set_string_option(CONF_DONE, "SDM_IO17");
    top_settings->set_string_option(794, "SDM_IO99999999999999999999");
    EXPECT_FALSE(run());
    EXPECT_EQ(option_error_count, 2);
    EXPECT_EQ(posted_texts(),
              (std::vector<std::string>{"The configuration pin assignment CONF_DONE has invalid value 17.",
                                        "The configuration pin assignment INIT_DONE has invalid value " +
                                            std::to_string(INT_MAX) + "."}));

    top_settings->set_string_option(CONF_DONE, "PIN_5");
    EXPECT_EQ(internal_error_of([&] { run(); }), "sdm_use_pin.compare(0, 6, \"SDM_IO\") == 0 @comp/asm/asm_option2");
}

TEST_F(OptionDevice, PowerManagementPinsOnlyOnVidPartsAndResetPinByTrait)
{
    top_settings->set_string_option(791, "SDM_IO0");
    top_settings->set_enum_option(788, 193);
    EXPECT_TRUE(run());
    EXPECT_EQ(pins(), (std::vector<std::string>{"NA", "AS_DATA1", "AS_CLK", "AS_DATA2", "AS_DATA0", "AS_nCSO0",
                                                "AS_DATA3", "AS_nCSO2", "AS_nCSO3", "AS_nCSO1", "NA", "NA", "NA",
                                                "NA", "NA", "NA", "NA"}));
    dev_set_part_traits(PART, {32});
    set_device_traits({62});
    EXPECT_TRUE(run());
    EXPECT_EQ(pins()[0], "PWRMGT_SCL");
    EXPECT_EQ(pins()[15], "AS_RESET");

    chip.set_part(DEV_PART_GENERIC);
    EXPECT_EQ(internal_error_of([&] { option2->is_vid_part(); }),
              "(dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC) @comp/asm/asm_option2");
}

TEST_F(OptionDevice, AdditionalQspiFlashOnFamily29SrstSchemes)
{
    chip.set_base_family(29);
    top_settings->set_enum_option(788, 197);
    top_settings->set_string_option(QSPI_CHIP_SELECT, "SDM_IO9");
    EXPECT_TRUE(run());
    EXPECT_EQ(pins(), (std::vector<std::string>{"NA", "AS_DATA1", "AS_CLK", "AS_DATA2", "AS_DATA0", "AS_nCSO0",
                                                "AS_DATA3", "AS_nCSO2", "AS_nCSO3", "AS_nCSO1", "NA", "NA", "NA",
                                                "NA", "NA", "NA", "NA"}));
    EXPECT_EQ(stored_record().device().use_additional_qspi_flash(), PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_CS1);

    top_settings->set_string_option(QSPI_CHIP_SELECT, "SDM_IO3");
    EXPECT_TRUE(run());
    EXPECT_EQ(stored_record().device().use_additional_qspi_flash(),
              PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_NO_CHIP_SELECTED);

    // Family 52 gets only the SRST ready pin.
    chip.set_base_family(52);
    EXPECT_TRUE(run());
    EXPECT_EQ(pins()[8], "SRSTx8_READY");
    EXPECT_EQ(pins()[5], "NA");
}

TEST_F(OptionDevice, RerunKeepsStoredFieldsButRebuildsPinsFeaturesAndRegionHashes)
{
    PB::OPTIONS earlier;
    earlier.mutable_device()->set_io_hash("IO");
    earlier.mutable_device()->set_run_config_cpu_from_int_osc(true);
    PB::OPTIONS_PR_REGION_MASK* mask = earlier.mutable_device()->add_pr_region_masks();
    mask->set_name("r");
    mask->set_hash("h");
    PB::OPTIONS_REQUIRED_FEATURE* feature = earlier.add_features();
    feature->set_id(3);
    feature->set_name("mailbox abort");
    for (int i = 0; i < 17; ++i)
        earlier.mutable_device()->mutable_sdm()->add_pinmux()->set_usage("OLD");
    std::string bytes;
    ASSERT_TRUE(earlier.SerializeToString(&bytes));
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, bytes, true);

    // With the switch off, the stored value stays.
    cfg_set_value("run_config_cpu_from_int_osc", "off");
    EXPECT_TRUE(run());
    const PB::OPTIONS record = stored_record();
    EXPECT_EQ(record.device().io_hash(), "IO");
    EXPECT_TRUE(record.device().run_config_cpu_from_int_osc());
    EXPECT_EQ(record.device().pr_region_masks_size(), 0);
    ASSERT_EQ(record.features_size(), 1);
    EXPECT_EQ(record.features(0).id(), 0u);
    EXPECT_FALSE(option2->has_mailbox_abort_feature());
    EXPECT_EQ(pins()[0], "NA");
    EXPECT_EQ(pins().size(), 17u);

    // A stored list of the wrong size is a broken invariant.
    earlier.mutable_device()->mutable_sdm()->add_pinmux();
    ASSERT_TRUE(earlier.SerializeToString(&bytes));
    dbcm_chip->get_section_store()->add_section("OPTIONS", 1, 10, bytes, true);
    EXPECT_EQ(internal_error_of([&] { run(); }), "sdm->pinmux_size() == M_SMD_PINMUX @comp/asm/asm_option2");
}
