// The option block's security step: the key file stored whole, encryption
// and its key store across revisions, the fuses and the checks that turn
// them off, anti-tamper limits, response and self-kill, and attestation;
// the record each run stores is read back from the chip.
#include "asm_option2.h"
#include "entry_fixture.h"

#include <fstream>

namespace
{

const int ZKY_FILE = 1519;
const int ENCRYPT = 1524;
const int KEY_SELECT = 1525;
const int RESPONSE = 1542;
const uint16_t TYPEI = 587;

}  // namespace

class OptionSecurity : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        chip.set_base_family(67);
        // The fitter chose what the settings' defaults ask: 25 MHz, 100 MHz.
        chip.set_initialization_clock(3);
        chip.set_active_serial_clock(8);
        ACF_MANAGER::get_acf_manager()->set_project(m_project_dir, {"rev1", "rev2"});
    }

    // A key file of `size` bytes in the project directory, named by 1519.
    std::string write_key(size_t size, const std::string& name = "design.zky")
    {
        std::string bytes;
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>(i * 7));  // NUL, CR and LF among them
        std::ofstream(m_project_dir + "/" + name, std::ios::binary) << bytes;
        top_settings->set_string_option(ZKY_FILE, m_project_dir + "/" + name);
        return bytes;
    }

    void write_settings_file(const std::string& revision, const std::string& lines)
    {
        std::ofstream(m_project_dir + "/" + revision + ".zsf") << lines;
    }

    bool run()
    {
        msg_reset();
        option2 = std::make_unique<ASM_OPTION2>(&cmp, &chip, 0, &part_manager);
        return option2->process_option_data();
    }

    PB::OPTIONS_DEVICE stored() const
    {
        PB::OPTIONS record;
        EXPECT_TRUE(record.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
        return record.device();
    }

    std::vector<std::string> posted_ids() const
    {
        std::vector<std::string> ids;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            ids.push_back(record.id_name);
        return ids;
    }

    DEV_PART_MANAGER part_manager;
    std::unique_ptr<ASM_OPTION2> option2;
};

TEST_F(OptionSecurity, NothingSetStoresTheDefaultsWithoutAMessage)
{
    // Family 52 has no ownership transfer, HPS voltage detector or external
    // reference.
    chip.set_base_family(52);
    EXPECT_TRUE(run());
    EXPECT_FALSE(stored().sdm().has_ownership_transfer_mode());
    EXPECT_FALSE(stored().anti_tamper().has_enable_vccl_hps_voltage_detection());
    EXPECT_FALSE(stored().has_enable_external_voltage_reference());

    chip.set_base_family(67);
    EXPECT_TRUE(run());
    EXPECT_TRUE(posted_ids().empty());
    const PB::OPTIONS_DEVICE device = stored();
    EXPECT_FALSE(device.has_design_zky());
    EXPECT_TRUE(device.enable_pr_pof_id());
    EXPECT_FALSE(device.enable_multi_authority());
    EXPECT_TRUE(device.sdm().has_encryption());
    EXPECT_FALSE(device.sdm().encryption());
    EXPECT_EQ(device.sdm().encryption_key_select(), PB::OPTIONS_SDM_KEY_SELECT_BBRAM);
    EXPECT_EQ(device.sdm().rsu_max_retry_count(), 1u);
    EXPECT_TRUE(device.sdm().has_ownership_transfer_mode());
    // The eleven fuses of the table, each present and OFF.
    const PB::OPTIONS_FUSE& fuse = device.fuse();
    int fuses = 0;
    for (int i = 0; i < fuse.GetDescriptor()->field_count(); ++i)
    {
        const google::protobuf::FieldDescriptor* field = fuse.GetDescriptor()->field(i);
        if (field->number() > 11)
            continue;
        ++fuses;
        EXPECT_TRUE(fuse.GetReflection()->HasField(fuse, field)) << field->name();
        EXPECT_EQ(fuse.GetReflection()->GetEnumValue(fuse, field), 0) << field->name();
    }
    EXPECT_EQ(fuses, 11);
    const PB::OPTIONS_ANTI_TAMPER& anti_tamper = device.anti_tamper();
    EXPECT_EQ(anti_tamper.response(), PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE);
    EXPECT_EQ(anti_tamper.frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(anti_tamper.temperature_detection_upper_value(), 127);
    EXPECT_EQ(anti_tamper.temperature_detection_lower_value(), -128);
    EXPECT_EQ(anti_tamper.voltage_range_detection_in_percentage(), 15u);
    EXPECT_TRUE(anti_tamper.has_enable_vccl_hps_voltage_detection());
    EXPECT_TRUE(device.has_enable_external_voltage_reference());
    EXPECT_EQ(device.attestation().crl_distribution_point(), "");
    EXPECT_TRUE(has_debug_line("ASM_OPTION: SECURITY: Anti tamper for Torvin 5 VID parts is supported"));

}

TEST_F(OptionSecurity, KeyFileIsStoredWholeFromFortyEightBytes)
{
    dev_set_part_traits(PART, {48});
    top_settings->set_bool_option(ENCRYPT, true);
    const std::string key = write_key(48);
    EXPECT_TRUE(run());
    EXPECT_EQ(stored().design_zky(), key);
    EXPECT_TRUE(stored().sdm().encryption());
    EXPECT_TRUE(has_debug_line("OPTION_ZKY: read " + m_project_dir + "/design.zky with bytesize : 48\n"));
    EXPECT_TRUE(has_debug_line("SDM_OPTION: encryption capable because of AS device"));

    write_key(47);
    EXPECT_EQ(internal_error_of([&] { run(); }),
              "Incorrect formated ZKY file - must have at least 48 Bytes @comp/asm/asm_option2_secu");
    // A directory has no size to read.
    top_settings->set_string_option(ZKY_FILE, m_project_dir);
    EXPECT_EQ(internal_error_of([&] { run(); }), "Failed in reading ZKY status @comp/asm/asm_option2_secu");
}

TEST_F(OptionSecurity, MissingKeyFileAndEncryptionWithoutAuthenticationAreCounted)
{
    top_settings->set_string_option(ZKY_FILE, "missing.zky");
    top_settings->set_bool_option(ENCRYPT, true);
    // Read from the compile instance's own settings only.
    top_settings->add_section(21, "")->set_bool_option(1520, false);
    EXPECT_FALSE(run());
    const std::string full_path = FIO_PATH("missing.zky").fullpath();
    EXPECT_TRUE(has_debug_line("Failed to find Global ZKY file " + full_path));
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION2_MISSING_ZKY_FILE",
                                                      "EASM_ASM_ENCRYPTION_NOT_SUPPORTED",
                                                      "EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION"}));
    EXPECT_NE(MSG_REPORT::active().messages()[0].text.find("\"" + full_path + "\""), std::string::npos);
    EXPECT_EQ(option_error_count, 3);
    EXPECT_TRUE(stored().enable_pr_pof_id());

    // With partial-reconfiguration data, authentication needs the PR POF id.
    write_key(64);
    top_settings->remove_option(ENCRYPT);
    top_settings->set_bool_option(1520, false);
    dbcm_chip->add_regions(0);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION"}));
}

TEST_F(OptionSecurity, OwnershipTransferTurnsOffMultiAuthorityAndEncryption)
{
    write_key(64);
    top_settings->set_bool_option(1588, true);
    top_settings->set_bool_option(1562, true);
    top_settings->set_bool_option(ENCRYPT, true);
    EXPECT_TRUE(run());
    EXPECT_EQ(count_posted("IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS"), 2u);
    EXPECT_EQ(MSG_REPORT::active().messages()[1].text,
              "The ENABLE_OWNERSHIP_TRANSFER option is enabled and hence ENCRYPT_PROGRAMMING_BITSTREAM option is "
              "disabled.");
    EXPECT_TRUE(stored().sdm().ownership_transfer_mode());
    EXPECT_FALSE(stored().enable_multi_authority());
    EXPECT_FALSE(stored().sdm().encryption());
}

TEST_F(OptionSecurity, RevisionsMustAgreeOnTheKeyStore)
{
    ACF_MANAGER::get_acf_manager()->set_project(m_project_dir, {"rev1", "rev2", "rev3"});
    write_settings_file("rev1", "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT IIDPUFWRAP\n");
    // Only category 9 counts, and only the first such line of a file.
    write_settings_file("rev2", "4 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT BBRAM\n"
                                "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT IIDPUFWRAP\n"
                                "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT BBRAM\n");
    EXPECT_TRUE(run());
    EXPECT_TRUE(posted_ids().empty());

    write_settings_file("rev2", "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT EFUSE\n");
    write_settings_file("rev3", "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT BBRAM\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL"}));
    EXPECT_FALSE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->is_write_locked());

    // A lock held elsewhere: the files are not read and the lock stays held.
    ASSERT_TRUE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->write_lock(true));
    EXPECT_TRUE(run());
    EXPECT_TRUE(ACF_MANAGER::get_acf_manager()->get_revision_manager()->is_write_locked());
}

TEST_F(OptionSecurity, FusesThatForbidTheChoicesAreReportedAndTurnedOff)
{
    write_key(64);
    // Fuse values: 2 ON, 585 ON_STICKY, 586 ON_CHECK, anything else OFF.
    top_settings->set_enum_option(1530, 2);
    top_settings->set_enum_option(1533, 585);
    top_settings->set_enum_option(1534, 586);
    top_settings->set_enum_option(1580, 4);
    // The clock is 25 MHz, the HPS debug access port is used, the update
    // ratio is 0 and the key is kept in BBRAM.
    top_settings->set_enum_option(1531, 2);
    top_settings->set_enum_option(1522, 578);
    PB::OPTIONS with_hps;
    with_hps.mutable_device()->mutable_hps()->set_hps_dap_split_mode(PB::OPTIONS_HPS_HPS_DAP_USE_SDM_PINS);
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, with_hps.SerializeAsString(), true);
    top_settings->set_enum_option(1535, 585);
    top_settings->set_enum_option(1532, 2);
    top_settings->set_enum_option(1537, 2);
    top_settings->set_enum_option(1536, 2);  // eFuses are not the key store: allowed
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC",
                                                      "EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG",
                                                      "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM",
                                                      "EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE"}));
    PB::OPTIONS_FUSE fuse = stored().fuse();
    EXPECT_EQ(fuse.disable_jtag(), PB::OPTIONS_FUSE_ENUM_VALUE_ON);
    EXPECT_EQ(fuse.disable_virtual_efuses(), PB::OPTIONS_FUSE_ENUM_VALUE_ON_STICKY);
    EXPECT_EQ(fuse.lock_security_efuses(), PB::OPTIONS_FUSE_ENUM_VALUE_ON_CHECK);
    EXPECT_EQ(fuse.disable_beta(), PB::OPTIONS_FUSE_ENUM_VALUE_OFF);
    EXPECT_EQ(fuse.disable_encryption_key_in_efuses(), PB::OPTIONS_FUSE_ENUM_VALUE_ON);
    for (auto value : {fuse.force_sdm_clock_to_int_osc(), fuse.disable_hps_debug(),
                       fuse.disable_encryption_key_in_bbram(), fuse.force_encryption_key_update()})
        EXPECT_EQ(value, PB::OPTIONS_FUSE_ENUM_VALUE_OFF);
    EXPECT_TRUE(has_debug_line("Error: SOF_OPTION: key_select is BBRAM and security option has disabled it"));

    // Each key store forbids its own fuse; an unknown key select is BBRAM.
    const std::vector<std::pair<uint16_t, const char*>> stores = {
        {581, "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES"},
        {582, "EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY"},
        {583, "EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY"},
        {584, "EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY"},
        {599, "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM"}};
    top_settings->set_int_option(1526, 4);
    top_settings->remove_option(1531);
    top_settings->remove_option(1535);
    top_settings->set_enum_option(1538, 2);
    for (const auto& [value, id] : stores)
    {
        top_settings->set_enum_option(KEY_SELECT, value);
        EXPECT_FALSE(run());
        EXPECT_EQ(posted_ids(), std::vector<std::string>{id}) << value;
    }
    EXPECT_EQ(stored().sdm().encryption_key_select(), PB::OPTIONS_SDM_KEY_SELECT_BBRAM);
}

TEST_F(OptionSecurity, AntiTamperLimitsAreCheckedAndReplaced)
{
    write_key(64);
    top_settings->set_enum_option(RESPONSE, TYPEI);
    top_settings->set_bool_option(1539, true);
    top_settings->set_int_option(1543, 42);
    top_settings->set_bool_option(1540, true);
    top_settings->set_int_option(1544, 130);
    top_settings->set_int_option(1545, -200);
    top_settings->set_bool_option(1546, true);
    top_settings->set_int_option(1549, 120);
    EXPECT_FALSE(run());
    EXPECT_EQ(count_posted("EASM_ASM_OPTION2_INVALID_TAMPER_VALUE"), 3u);
    EXPECT_EQ(posted_ids().size(), 3u);
    EXPECT_EQ(MSG_REPORT::active().messages()[1].text, "An illegal value 130 is specified for temperature upper "
                                                       "bound tamper detection.");
    EXPECT_TRUE(has_debug_line("SDM_OPTION: ANTI_TAMPER - frequency range detection is set to an illegal "
                               "percentage:42. The valid range is 35,40,45 and 50%"));
    EXPECT_TRUE(has_debug_line("SDM_OPTION: ANTI_TAMPER - voltage tamper lower_bound 120 exceeds the allowed range "
                               "15-100"));
    PB::OPTIONS_ANTI_TAMPER anti_tamper = stored().anti_tamper();
    EXPECT_EQ(anti_tamper.frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(anti_tamper.temperature_detection_upper_value(), 127);
    EXPECT_EQ(anti_tamper.temperature_detection_lower_value(), -128);
    // Unwritten, an out-of-range trigger quietly becomes 15.
    EXPECT_EQ(anti_tamper.voltage_range_detection_in_percentage(), 15u);

    // Written, it is an error and kept; 0 reads as 35; bounds crossed.
    write_settings_file("rev2", "4 VOLTAGE_TAMPER_DETECTION_TRIGGER 120\n");
    top_settings->set_int_option(1543, 0);
    top_settings->set_int_option(1544, 10);
    top_settings->set_int_option(1545, 20);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE",
                                                      "EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE"}));
    anti_tamper = stored().anti_tamper();
    EXPECT_EQ(anti_tamper.frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(anti_tamper.temperature_detection_upper_value(), 10);
    EXPECT_EQ(anti_tamper.voltage_range_detection_in_percentage(), 120u);

    // Detectors off: the values are stored as read.
    for (int option : {1539, 1540, 1546})
        top_settings->set_bool_option(option, false);
    top_settings->set_int_option(1544, 200);
    EXPECT_TRUE(run());
    EXPECT_EQ(stored().anti_tamper().temperature_detection_upper_value(), 200);
}

TEST_F(OptionSecurity, SelfKillResponseExternalReferenceAndTheDesignsTamperSignal)
{
    // Voltage self-kill needs VCCL or VCCL-SDM detection, not the HPS one;
    // without a response everything is disarmed, with a warning.
    top_settings->set_bool_option(1548, true);
    top_settings->set_bool_option(1572, true);
    top_settings->set_bool_option(1539, true);
    top_settings->set_bool_option(1574, true);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL",
                                                      "WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE",
                                                      "EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE"}));
    EXPECT_EQ(option_error_count, 1);  // the external reference's error is not counted
    PB::OPTIONS_DEVICE device = stored();
    EXPECT_FALSE(device.anti_tamper().enable_frequency_detection());
    EXPECT_FALSE(device.anti_tamper().enable_vccl_hps_voltage_detection());
    EXPECT_FALSE(device.anti_tamper().enable_self_kill_voltage_tamper());
    EXPECT_FALSE(device.has_enable_external_voltage_reference());

    // The design's own tamper signal: a generated option of any partition.
    // It alone does not exclude the external reference; with a response but
    // no key file, anti-tamper is refused.
    for (int option : {1548, 1572, 1539})
        top_settings->remove_option(option);
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    design->add_partition("ip")->get_hdb()->add_generated_option(
        686, std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>>(true, 0, ""));
    top_settings->set_enum_option(RESPONSE, TYPEI);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION"}));
    device = stored();
    EXPECT_TRUE(device.anti_tamper().enable_fpga_tamper_detection());
    EXPECT_TRUE(device.enable_external_voltage_reference());
}

TEST_F(OptionSecurity, VidPartsAndAttestation)
{
    // Family 52: a VID part refuses an armed anti-tamper response and the
    // attestation switches, unless the INI switch allows them.
    chip.set_base_family(52);
    dev_set_part_traits(PART, {32});
    top_settings->set_bool_option(1561, true);
    top_settings->set_string_option(1565, "https://pki.example.com/a b.crl");
    top_settings->set_string_option(1569, "board");
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>{"EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT",
                                                      "EASM_ASM_OPTION_SECU_VID_PART_ERROR",
                                                      "EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION"}));
    EXPECT_EQ(option_error_count, 2);  // the CRL text's error is not counted
    EXPECT_NE(MSG_REPORT::active().messages()[1].text.find("Security feature attestation is not supported"),
              std::string::npos);
    EXPECT_EQ(stored().attestation().crl_distribution_point(), "https://pki.example.com/a b.crl");
    EXPECT_EQ(stored().attestation().sub_alt_name_product(), "board");

    top_settings->remove_option(1565);
    write_key(64);
    top_settings->set_enum_option(RESPONSE, TYPEI);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (std::vector<std::string>(2, "EASM_ASM_OPTION_SECU_VID_PART_ERROR")));

    cfg_set_value("allow_vid_security_features", "on");
    EXPECT_TRUE(run());
    EXPECT_TRUE(has_debug_line("ASM_OPTION: SECURITY: allow_vid_security_features INI is enabled to allow VID "
                               "devices to use attestation feature"));
    // Family 29 supports anti-tamper on its VID parts.
    cfg_clear();
    top_settings->remove_option(1561);
    chip.set_base_family(29);
    EXPECT_TRUE(run());
    EXPECT_TRUE(has_debug_line("ASM_OPTION: SECURITY: Anti tamper for Torvin 7 VID parts is supported"));
}

TEST(OptionSecurityUrl, HttpsUrlNeedsTheSchemeInAnyCaseAndNoBlank)
{
    EXPECT_TRUE(ASM_OPTION2::is_https_url("https://a"));
    EXPECT_TRUE(ASM_OPTION2::is_https_url("HTTPS://pki.example.com/x.crl"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("https://"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("http://pki.example.com"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("https://pki.example.com/a b"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url(" https://pki.example.com"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("https://pki.example.com\t"));
}
