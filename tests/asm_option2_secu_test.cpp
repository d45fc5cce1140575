// The option block's security step: the key file stored whole, encryption
// and its key store across revisions, the fuses and the checks that turn
// them off, anti-tamper limits, response and self-kill, and attestation;
// the record each run stores is read back from the chip.
#include "asm_option2.h"
#include "entry_fixture.h"

#include <fstream>

#include <sys/stat.h>

typedef std::vector<std::string> IDS;

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
        ACF_MANAGER::get_acf_manager()->set_project(m_project_dir, {"rev1", "rev2", "rev3"});
    }

    // A key file of `size` bytes (NUL, CR and LF among them), named by 1519.
    std::string write_key(size_t size)
    {
        std::string bytes;
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>(i * 7));
        std::ofstream(m_project_dir + "/design.zky", std::ios::binary) << bytes;
        top_settings->set_string_option(1519, m_project_dir + "/design.zky");
        return bytes;
    }

    void write_settings_file(const std::string& revision, const std::string& lines)
    {
        std::ofstream(m_project_dir + "/" + revision + ".zsf") << lines;
    }

    bool run()
    {
        msg_reset();
        ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
        return option2.process_option_data();
    }

    PB::OPTIONS_DEVICE stored() const
    {
        PB::OPTIONS record;
        EXPECT_TRUE(record.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
        return record.device();
    }

    IDS posted_ids() const
    {
        IDS ids;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            ids.push_back(record.id_name);
        return ids;
    }

    DEV_PART_MANAGER part_manager;
};

TEST_F(OptionSecurity, NothingSetStoresTheDefaultsWithoutAMessage)
{
    EXPECT_TRUE(run());
    EXPECT_TRUE(posted_ids().empty());
    const PB::OPTIONS_DEVICE device = stored();
    EXPECT_FALSE(device.has_design_zky());
    EXPECT_TRUE(device.enable_pr_pof_id());
    EXPECT_TRUE(device.sdm().has_encryption() && !device.sdm().encryption());
    EXPECT_EQ(device.sdm().encryption_key_select(), PB::OPTIONS_SDM_KEY_SELECT_BBRAM);
    EXPECT_EQ(device.sdm().rsu_max_retry_count(), 1u);
    // The eleven fuses, each present and OFF.
    const PB::OPTIONS_FUSE& fuse = device.fuse();
    for (int number = 1; number <= 11; ++number)
    {
        const google::protobuf::FieldDescriptor* field = fuse.GetDescriptor()->FindFieldByNumber(number);
        EXPECT_TRUE(fuse.GetReflection()->HasField(fuse, field)) << number;
        EXPECT_EQ(fuse.GetReflection()->GetEnumValue(fuse, field), 0) << number;
    }
    const PB::OPTIONS_ANTI_TAMPER& anti_tamper = device.anti_tamper();
    EXPECT_EQ(anti_tamper.response(), PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_DISABLE);
    EXPECT_EQ(anti_tamper.frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(anti_tamper.temperature_detection_lower_value(), -128);
    EXPECT_EQ(anti_tamper.voltage_range_detection_in_percentage(), 15u);
    EXPECT_TRUE(device.has_enable_external_voltage_reference());
    EXPECT_TRUE(has_debug_line("ASM_OPTION: SECURITY: Anti tamper for Torvin 5 VID parts is supported"));
}

TEST_F(OptionSecurity, KeyFileIsStoredWholeFromFortyEightBytes)
{
    dev_set_part_traits(PART, {48});
    top_settings->set_bool_option(1524, true);
    const std::string key = write_key(48);
    EXPECT_TRUE(run());
    EXPECT_EQ(stored().design_zky(), key);
    EXPECT_TRUE(stored().sdm().encryption());
    EXPECT_TRUE(has_debug_line("OPTION_ZKY: read " + m_project_dir + "/design.zky with bytesize : 48\n"));

    write_key(47);
    EXPECT_EQ(internal_error_of([&] { run(); }),
              "Incorrect formated ZKY file - must have at least 48 Bytes @comp/asm/asm_option2_secu");
    // A directory, FIFO or device is a key file that cannot be opened.
    ASSERT_EQ(mkfifo((m_project_dir + "/pipe.zky").c_str(), 0600), 0);
    for (const std::string& name : {m_project_dir, m_project_dir + "/pipe.zky", std::string("/dev/zero")})
    {
        top_settings->set_string_option(1519, name);
        EXPECT_EQ(internal_error_of([&] { run(); }), "ZKY file " + name + " is not good @comp/asm/asm_option2_secu");
    }

    // A file that yields fewer bytes than its size (as kernel attribute files
    // do) stores no stale bytes.
    const std::string short_file = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (std::filesystem::file_size(short_file, error) < 48 || error)
        GTEST_SKIP() << short_file << " is not a short-reading file here";
    top_settings->set_string_option(1519, short_file);
    EXPECT_EQ(internal_error_of([&] { run(); }), "ZKY file " + short_file + " is not good @comp/asm/asm_option2_secu");
}

TEST_F(OptionSecurity, EveryImpossibleCombinationIsPostedInOrderAndCounted)
{
    // No key file at the named path, yet encryption (on a part without
    // trait 48), anti-tamper and attestation commands.
    top_settings->set_string_option(1519, "missing.zky");
    top_settings->set_bool_option(1524, true);
    top_settings->add_section(21, "")->set_bool_option(1520, false);  // own settings only
    top_settings->set_enum_option(1542, 587);
    for (int detector : {1539, 1540, 1546, 1561})
        top_settings->set_bool_option(detector, true);
    top_settings->set_int_option(1543, 42);
    top_settings->set_int_option(1544, 130);
    top_settings->set_int_option(1545, -200);
    top_settings->set_int_option(1549, 120);  // unwritten in the settings files: quietly 15
    top_settings->set_string_option(1565, "https://pki.example.com/a b.crl");
    // A 25 MHz clock, the HPS debug access port in use, update ratio 0 and
    // the key in BBRAM, each with the fuse that forbids it; 1530 is allowed.
    top_settings->set_enum_option(1522, 578);
    PB::OPTIONS with_hps;
    with_hps.mutable_device()->mutable_hps()->set_hps_dap_split_mode(PB::OPTIONS_HPS_HPS_DAP_USE_SDM_PINS);
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, with_hps.SerializeAsString(), true);
    for (int fuse : {1530, 1531, 1535, 1532, 1537})
        top_settings->set_enum_option(fuse, 2);
    EXPECT_FALSE(run());
    const std::string full_path = FIO_PATH("missing.zky").fullpath();
    EXPECT_TRUE(has_debug_line("Failed to find Global ZKY file " + full_path));
    EXPECT_EQ(posted_ids(),
              (IDS{"EASM_ASM_OPTION2_MISSING_ZKY_FILE", "EASM_ASM_ENCRYPTION_NOT_SUPPORTED",
                   "EASM_ASM_OPTION2_INVALID_TAMPER_VALUE", "EASM_ASM_OPTION2_INVALID_TAMPER_VALUE",
                   "EASM_ASM_OPTION2_INVALID_TAMPER_VALUE", "EASM_ASM_OPTION_REGEX_CRL_DISTRIBUTION_POINT",
                   "EASM_ASM_OPTION2_ENCRYPTION_WITHOUT_AUTHENTICATION",
                   "EASM_ASM_OPTION2_INVALID_FORCE_SDM_CLOCK_TO_INT_OSC", "EASM_ASM_OPTION2_INVALID_DISABLE_HPS_DEBUG",
                   "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM",
                   "EASM_ASM_OPTION2_INVALID_FORCE_ENCRYPTION_KEY_UPDATE",
                   "EASM_ASM_OPTION2_ANTI_TAMPER_WITHOUT_AUTHENTICATION",
                   "EASM_ASM_OPTION2_ATTESTATION_WITHOUT_AUTHENTICATION",
                   // The final checks: OSC_CLK_1 with frequency detection and
                   // with a response.
                   "EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED",
                   "EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED"}));
    // Neither the CRL text's error nor the final checks' are counted.
    EXPECT_EQ(option_error_count, 12);
    const std::vector<MSG_RECORD>& messages = MSG_REPORT::active().messages();
    EXPECT_NE(messages[0].text.find("\"" + full_path + "\""), std::string::npos);
    EXPECT_EQ(messages[3].text, "An illegal value 130 is specified for temperature upper bound tamper detection.");

    const PB::OPTIONS_DEVICE device = stored();
    EXPECT_TRUE(device.enable_pr_pof_id());
    EXPECT_TRUE(device.sdm().encryption());
    EXPECT_EQ(device.fuse().disable_jtag(), PB::OPTIONS_FUSE_ENUM_VALUE_ON);
    for (auto value : {device.fuse().force_sdm_clock_to_int_osc(), device.fuse().disable_hps_debug(),
                       device.fuse().disable_encryption_key_in_bbram(), device.fuse().force_encryption_key_update()})
        EXPECT_EQ(value, PB::OPTIONS_FUSE_ENUM_VALUE_OFF);
    EXPECT_EQ(device.anti_tamper().frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(device.anti_tamper().temperature_detection_upper_value(), 127);
    EXPECT_EQ(device.anti_tamper().temperature_detection_lower_value(), -128);
    EXPECT_EQ(device.anti_tamper().voltage_range_detection_in_percentage(), 15u);
    EXPECT_EQ(device.attestation().crl_distribution_point(), "https://pki.example.com/a b.crl");
}

TEST_F(OptionSecurity, OwnershipTransferPrPofIdAndTheKeyStoresFuses)
{
    write_key(64);
    for (int option : {1588, 1562, 1524})
        top_settings->set_bool_option(option, true);
    // With partial-reconfiguration data, authentication needs the PR POF id.
    top_settings->set_bool_option(1520, false);
    dbcm_chip->add_regions(0);
    EXPECT_FALSE(run());
    // The partial-reconfiguration data warns first that verification is off.
    EXPECT_EQ(posted_ids(), (IDS{"WASM_ASM_PR_POF_ID_DISABLED", "EASM_ASM_ENABLE_PR_POF_ID_IS_REQUIRED_FOR_AUTHENTICATION",
                                 "IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS", "IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS"}));
    EXPECT_EQ(MSG_REPORT::active().messages()[3].text, "The ENABLE_OWNERSHIP_TRANSFER option is enabled and hence "
                                                       "ENCRYPT_PROGRAMMING_BITSTREAM option is disabled.");
    EXPECT_TRUE(stored().sdm().ownership_transfer_mode());
    EXPECT_FALSE(stored().enable_multi_authority());
    EXPECT_FALSE(stored().sdm().encryption());

    // Each key store forbids its own fuse, with encryption off too; an
    // unknown key select is BBRAM.
    top_settings->set_bool_option(1520, true);
    for (int fuse : {1536, 1537, 1538})
        top_settings->set_enum_option(fuse, 2);
    for (const auto& [value, id] : std::vector<std::pair<uint16_t, const char*>>{
             {581, "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_EFUSES"},
             {584, "EASM_ASM_OPTION2_INVALID_DISABLE_PUF_WRAPPED_ENCRYPTION_KEY"},
             {599, "EASM_ASM_OPTION2_INVALID_DISABLE_ENCRYPTION_KEY_IN_BBRAM"}})
    {
        top_settings->set_enum_option(1525, value);
        EXPECT_FALSE(run());
        EXPECT_EQ(posted_ids(), (IDS{"IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS", "IASM_ASM_MUTUAL_EXCLUSIVE_OPTIONS", id}));
    }
}

TEST_F(OptionSecurity, RevisionsMustAgreeOnTheKeyStore)
{
    const std::string line = "PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT ";
    write_settings_file("rev1", "9 " + line + "IIDPUFWRAP\n");
    // Only category 9 counts, and only the first such line of a file.
    write_settings_file("rev2", "4 " + line + "BBRAM\n9 " + line + "IIDPUFWRAP\n9 " + line + "BBRAM\n");
    EXPECT_TRUE(run());

    write_settings_file("rev2", "9 " + line + "EFUSE\n");
    write_settings_file("rev3", "9 " + line + "BBRAM\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), IDS{"EASM_ASM_OPTION2_ENCRYPTION_KEY_SEL"});
    ACF_REVISION_MANAGER* revisions = ACF_MANAGER::get_acf_manager()->get_revision_manager();
    EXPECT_FALSE(revisions->is_write_locked());

    // A lock held elsewhere: the files are not read and the lock stays held.
    ASSERT_TRUE(revisions->write_lock(true));
    EXPECT_TRUE(run());
    EXPECT_TRUE(revisions->is_write_locked());
}

TEST_F(OptionSecurity, ResponseSelfKillExternalReferenceAndTheDesignsTamperSignal)
{
    // The configuration CPU runs from the internal oscillator, so the final
    // clock checks leave an armed response alone.
    top_settings->set_bool_option(1552, true);
    // Voltage self-kill needs VCCL or VCCL-SDM detection, not the HPS one;
    // without a response everything is disarmed, with a warning.
    for (int option : {1548, 1572, 1539, 1574})
        top_settings->set_bool_option(option, true);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (IDS{"EASM_ASM_OPTION_SECU_ANTI_TAMPER_SELF_KILL",
                                 "WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE",
                                 "EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE"}));
    EXPECT_EQ(option_error_count, 1);  // the external reference's error is not counted
    PB::OPTIONS_DEVICE device = stored();
    EXPECT_FALSE(device.anti_tamper().enable_frequency_detection());
    EXPECT_FALSE(device.anti_tamper().enable_vccl_hps_voltage_detection());
    EXPECT_FALSE(device.anti_tamper().enable_self_kill_voltage_tamper());
    EXPECT_FALSE(device.has_enable_external_voltage_reference());

    // The design's own tamper signal, a generated option of any partition,
    // does not exclude the external reference. A written trigger out of
    // range is an error and kept; 0 reads as 35; crossed bounds.
    for (int option : {1548, 1572, 1539})
        top_settings->remove_option(option);
    ZHD_ROOT::get()->get_design("")->add_partition("ip")->get_hdb()->add_generated_option(
        686, std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>>(true, 0, ""));
    write_key(64);
    write_settings_file("rev2", "4 VOLTAGE_TAMPER_DETECTION_TRIGGER 120\n");
    top_settings->set_enum_option(1542, 587);
    top_settings->set_bool_option(1539, true);
    top_settings->set_int_option(1543, 0);
    top_settings->set_bool_option(1540, true);
    top_settings->set_int_option(1544, 10);
    top_settings->set_int_option(1545, 20);
    top_settings->set_bool_option(1547, true);
    top_settings->set_int_option(1549, 120);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (IDS{"EASM_ASM_OPTION2_INVALID_TAMPER_BOUND_VALUE",
                                 "EASM_ASM_OPTION_SECU_VOLTAGE_TAMPER_TRIGGER_RANGE",
                                 "EASM_ASM_INVALID_EXTERNAL_VOLTAGE_REFERENCE"}));
    device = stored();
    EXPECT_TRUE(device.anti_tamper().enable_fpga_tamper_detection());
    EXPECT_EQ(device.anti_tamper().frequency_range_detection_in_percentage(), 35u);
    EXPECT_EQ(device.anti_tamper().temperature_detection_upper_value(), 10);
    EXPECT_EQ(device.anti_tamper().voltage_range_detection_in_percentage(), 120u);

    for (int option : {1539, 1540, 1547})
        top_settings->remove_option(option);
    EXPECT_TRUE(run());
    EXPECT_TRUE(stored().enable_external_voltage_reference());
}

TEST_F(OptionSecurity, VidPartsRefuseAntiTamperAndAttestationOnFamily52)
{
    chip.set_base_family(52);
    dev_set_part_traits(PART, {32});
    write_key(64);
    // The configuration CPU runs from the internal oscillator, so the final
    // clock checks pass; without power-management settings a VID part gets
    // its power-management warning first.
    top_settings->set_bool_option(1552, true);
    top_settings->set_bool_option(1561, true);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (IDS{"WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING", "EASM_ASM_OPTION_SECU_VID_PART_ERROR"}));
    EXPECT_NE(MSG_REPORT::active().messages()[1].text.find("Security feature attestation is not"), std::string::npos);
    EXPECT_FALSE(stored().sdm().has_ownership_transfer_mode());  // family 67 only

    top_settings->set_enum_option(1542, 587);
    EXPECT_FALSE(run());
    EXPECT_EQ(posted_ids(), (IDS{"WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING", "EASM_ASM_OPTION_SECU_VID_PART_ERROR",
                                 "EASM_ASM_OPTION_SECU_VID_PART_ERROR"}));
    cfg_set_value("allow_vid_security_features", "on");
    EXPECT_TRUE(run());
}

TEST(OptionSecurityUrl, HttpsUrlNeedsTheSchemeInAnyCaseAndNoBlank)
{
    EXPECT_TRUE(ASM_OPTION2::is_https_url("HTTPS://a"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("https://"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url("http://pki.example.com"));
    EXPECT_FALSE(ASM_OPTION2::is_https_url(" https://pki.example.com"));
}
