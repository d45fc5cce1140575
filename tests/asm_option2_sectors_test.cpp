// The option block's sectors (blacklisted and SEU-priority core sectors,
// the HPS I/O sectors the adapter asks for), its HPS options, required
// features and final checks, read back from the stored record.
#include "option2_fixture.h"

#include <dygr.h>

#include <fstream>
#include <sstream>

namespace
{

std::unique_ptr<HDB_OPTION> generated_text(const std::string& text)
{
    return std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, text);
}

}  // namespace

class OptionSectors : public OPTION2_SUITE
{
protected:
    void SetUp() override
    {
        OPTION2_SUITE::SetUp();
        set_up_chip(29, {"rev1"});
        set_base_device_name("vw8_base");
        top_settings->set_bool_option(1161, true);
        dbcm_device = dbcm_chip->get_device();
    }

    // A block at (x, y, 0) in a sector of its own.
    int add_block(const std::string& sector, int x, int y, uint32_t global_id = DEV_ILLEGAL_GLOBAL_ID)
    {
        const std::string name = "b" + std::to_string(x) + "_" + std::to_string(y);
        const int instance = dbcm_device->add_block_instance(name, x, y, 0, global_id);
        dbcm_device->add_device_sector(sector, "CORE")->add_instance(name.c_str());
        return instance;
    }

    void add_priority_region(const std::string& region, bool on = true)
    {
        HDB_INSTANCE_NAME* instance = ZHD_ROOT::get()->get_design("")->add_partition("u")->add_instance("|top|u");
        instance->set_bool_option(1523, on);
        instance->set_string_option(1771, region);
    }

    void add_hps_texts(const std::string& hps, const std::string& emif)
    {
        HDB_NAMESPACE* hps_partition = ZHD_ROOT::get()->get_design("")->add_partition("hps")->get_hdb();
        hps_partition->add_generated_option(182, generated_text(hps));
        hps_partition->add_generated_option(183, generated_text(emif));
    }

    // The (type, x0, x1, seu_priority, blacklisted) of each entry.
    // The core sectors (the transceiver step adds its tile slots beside them).
    std::vector<std::string> sectors() const
    {
        std::vector<std::string> list;
        const PB::OPTIONS record = stored_record();
        for (const PB::OPTIONS_SECTOR& sector : record.sectors())
            if (sector.type() == PB::OPTIONS_SECTOR::CORE)
                list.push_back(std::to_string(sector.type()) + ":" + std::to_string(sector.x0()) + "_" +
                           std::to_string(sector.x1()) + (sector.seu_priority() ? " priority" : "") +
                           (sector.blacklisted() ? " blacklisted" : ""));
        return list;
    }

    // A key file of 64 bytes, named by 1519: the design is authenticated.
    void write_key()
    {
        const std::string path = m_project_dir + "/design.zky";
        std::ofstream(path, std::ios::binary) << std::string(64, 'k');
        top_settings->set_string_option(1519, path);
    }

    // Each required feature as "id name", in the stored record's order.
    std::vector<std::string> feature_names() const
    {
        std::vector<std::string> list;
        const PB::OPTIONS record = stored_record();
        for (const PB::OPTIONS_REQUIRED_FEATURE& feature : record.features())
            list.push_back(std::to_string(feature.id()) + " " + feature.name());
        return list;
    }

    DBCM_DEVICE* dbcm_device = nullptr;
};

TEST_F(OptionSectors, SectorNamesAndRegionTokens)
{
    std::string type;
    int first = 0;
    int second = 0;
    EXPECT_TRUE(ASM_OPTION2::parse_sector_name("CORE_3_7", type, first, second));
    EXPECT_EQ(type + std::to_string(first) + std::to_string(second), "CORE37");
    for (const char* bad : {"CORE__7", "CORE_3", "CORE_3_7_1", "CORE_x_7", "CORE_3_99999999999"})
        EXPECT_FALSE(ASM_OPTION2::parse_sector_name(bad, type, first, second)) << bad;

    int number = -5;
    EXPECT_EQ(ASM_OPTION2::split_token("X10 Y4", 'Y', 0, number), 6u);
    EXPECT_EQ(number, 4);
    EXPECT_EQ(ASM_OPTION2::split_token("X10 Y4", 'Y', 7, number), std::string::npos);
    EXPECT_EQ(ASM_OPTION2::split_token("x10", 'X', 0, number), std::string::npos);
    EXPECT_EQ(number, 4);
}

TEST_F(OptionSectors, BlacklistedAndPrioritySectors)
{
    add_block("CORE_0_1", 2, 1);
    add_block("CORE_1_1", 3, 1);
    add_block("CORE_2_0", 7, 1, 7001);
    DYGR_DIE_INFO* die = device.get_die_info()->get_dygr_die_info();
    die->get_place_info()->add_global_id(7, 1, 7001);
    die->get_blacklisting()->set_fully_blacklisted_clock_sectors({DYGR_CLOCK_REGION{6, 0, 8, 2}});
    // A region from far below 0, reaching the blacklisted sector twice over.
    add_priority_region("X-2000000000 Y1 X7 Y1");
    add_priority_region("X7 Y1 X7 Y1");
    ASSERT_TRUE(run());
    EXPECT_EQ(sectors(), (std::vector<std::string>{"0:2_0 blacklisted", "0:0_1 priority", "0:1_1 priority"}));
    size_t blacklisted_lines = 0;
    for (const std::string& line : debug_texts())
        blacklisted_lines += line == "  SECTOR_SEU: Sector CORE_2_0 is blacklisted, SEU priority will not be set";
    EXPECT_EQ(blacklisted_lines, 2u);

    // Lower-case letters and a region with X1 above X2 mark nothing.
    ZHD_ROOT::get()->reset();
    top_settings = ZHD_ROOT::get()->add_design("")->add_partition("top")->get_hdb();
    add_priority_region("x2 y1 x3 y1");
    add_priority_region("X3 Y1 X2 Y1");
    die->get_blacklisting()->set_fully_blacklisted_clock_sectors({});
    dbcm_chip->get_section_store()->add_section("OPTIONS", 1, 10, "", true);
    ASSERT_TRUE(run());
    EXPECT_TRUE(sectors().empty());
    EXPECT_TRUE(has_debug_line("  Error: SECTOR_SEU: invalid placement region for priority seu - assigment ignored"));

    // A blacklisted region with no placed location is a broken invariant.
    die->get_blacklisting()->set_fully_blacklisted_clock_sectors({DYGR_CLOCK_REGION{20, 20, 21, 21}});
    EXPECT_EQ(internal_error_of([&] { run(); }), "gid != DEV_ILLEGAL_GLOBAL_ID @comp/asm/asm_option2");
}

TEST_F(OptionSectors, HpioSectorsFollowTheHpsTexts)
{
    option2 = std::make_unique<ASM_OPTION2>(&cmp, &chip, 0, &part_manager);
    add_hps_texts("SDM DDR 1", "MODE x32 HPS_IO_NUM 2");
    bool hbm = false;
    EXPECT_EQ(option2->get_hpio_sectors(&hbm),
              (std::vector<std::pair<int32_t, int32_t>>{{0x10002, -1}, {0x10003, -1}}));
    EXPECT_FALSE(hbm);

    // Booting from HBM: no sectors, the flag set.
    ZHD_ROOT::get()->get_design("")->add_partition("hbm")->get_hdb()->add_generated_option(184, generated_text("ch0"));
    EXPECT_TRUE(option2->get_hpio_sectors(&hbm).empty());
    EXPECT_TRUE(hbm);
    EXPECT_TRUE(has_debug_line("HPS Booting from HBM"));

    // Nothing posted, nothing stored.
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    EXPECT_EQ(dbcm_chip->get_section_store(), nullptr);
}

TEST_F(OptionSectors, HpioSectorsByBaseDeviceAndDdrWidth)
{
    struct CASE
    {
        DEV_FAMILY family;
        const char* base;
        const char* emif;
    };
    const CASE cases[] = {
        {52, "yb0", ""},         {52, "yb0", "MODE x16"}, {52, "yb0", "MODE x32 ECC on"},
        {52, "yb0", "MODE x64"}, {52, "yb0", "MODE x64 ECC on"},
        {29, "vr8", "MODE x32"}, {29, "vr8", "MODE x64"}, {29, "vr6", "MODE x64 ECC on"},
    };
    std::vector<std::string> got;
    for (const CASE& c : cases)
    {
        ZHD_ROOT::get()->reset();
        top_settings = ZHD_ROOT::get()->add_design("")->add_partition("top")->get_hdb();
        chip.set_base_family(c.family);
        set_base_device_name(c.base);
        add_hps_texts("SDM DDR 1", c.emif);
        ASM_OPTION2 builder(&cmp, &chip, 0, &part_manager);
        bool hbm = false;
        std::ostringstream line;
        line << c.base << " " << c.emif << ":" << std::hex;
        for (const auto& [first, second] : builder.get_hpio_sectors(&hbm))
            line << " 0x" << first << "," << std::dec << second << std::hex;
        got.push_back(line.str());
    }
    // Family 52: one pair whose second word is 2 up to 40 bits, 3 for 64
    // and 72; vr8 has its sectors at 5 and, for 64 bits and more, 4.
    EXPECT_EQ(got, (std::vector<std::string>{"yb0 : 0x0,0", "yb0 MODE x16: 0x0,2", "yb0 MODE x32 ECC on: 0x0,2",
                                             "yb0 MODE x64: 0x0,3", "yb0 MODE x64 ECC on: 0x0,3",
                                             "vr8 MODE x32: 0x10005,-1", "vr8 MODE x64: 0x10005,-1 0x10004,-1",
                                             "vr6 MODE x64 ECC on: 0x10003,-1 0x10002,-1"}));
}

TEST_F(OptionSectors, HpsOptionsFromTheTexts)
{
    add_hps_texts("SDM DDR 1 SDM WACH C_RSU pwr l3 1 pwr core 3 intfcsel f2soc 1 other key 9",
                  "MODE x16 ECC on RATE 1 HPS_IO_NUM 7 FLAG x");
    top_settings->set_enum_option(1522, 579);
    top_settings->set_enum_option(799, 204);  // the warm reset pin only: not input only
    ASSERT_TRUE(run());
    const PB::OPTIONS_HPS hps = stored_record().device().hps();
    EXPECT_EQ(hps.hps_warm_reset_pin_mode(), PB::OPTIONS_HPS::BIDIRECTIONAL);
    EXPECT_EQ(hps.hps_cold_reset_pin_mode(), PB::OPTIONS_HPS::INPUT_ONLY);
    EXPECT_TRUE(hps.hps_present());
    EXPECT_TRUE(hps.hps_ddr_present());
    EXPECT_EQ(hps.hps_wachdog_expiration(), PB::OPTIONS_HPS::COLD_RESET_WITH_RSU);
    EXPECT_EQ(hps.l3_cache_size(), PB::OPTIONS_HPS::HALF_ON);
    EXPECT_EQ(hps.cores_power_state(), 3u);
    EXPECT_EQ(hps.f2soc_intfcsel(), PB::OPTIONS_HPS::ENABLE);
    EXPECT_EQ(hps.hps_ddr_mode(), PB::OPTIONS_HPS::DDR_24);
    EXPECT_EQ(hps.hps_ddr_data_rate(), PB::OPTIONS_HPS::QUARTER_RATE);
    EXPECT_EQ(hps.hps_io_num(), PB::OPTIONS_HPS::HPS_IO_INVALID);
    EXPECT_EQ(hps.hps_dap_split_mode(), PB::OPTIONS_HPS::USE_HPS_PINS);
    EXPECT_TRUE(has_debug_line("HPS_OPTION: Warning - Unexpected HPS IO number used: 7"));
    EXPECT_TRUE(has_debug_line("HPS_OPTION: Warning - Unexpected flag found from EMIF: FLAG"));

    // No HPS text and "HPS First": the error, and every default written.
    ZHD_ROOT::get()->reset();
    top_settings = ZHD_ROOT::get()->add_design("")->add_partition("top")->get_hdb();
    top_settings->set_bool_option(1161, true);
    top_settings->set_enum_option(1521, 575);
    ASSERT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_INVALID_HPS_SETTINGS"), 1u);
    const PB::OPTIONS_HPS defaults = stored_record().device().hps();
    EXPECT_FALSE(defaults.hps_present());
    EXPECT_EQ(defaults.hps_wachdog_expiration(), PB::OPTIONS_HPS::COLD_RESET);
    EXPECT_TRUE(defaults.has_l3_cache_size());
    EXPECT_EQ(defaults.hps_ddr_mode(), PB::OPTIONS_HPS::NO_DDR);
    EXPECT_EQ(defaults.hps_warm_reset_pin_mode(), PB::OPTIONS_HPS::INPUT_ONLY);

    // The INI switch claims an HPS: present, and no error.
    cfg_set_value("force_hps_option_on", "on");
    msg_reset();
    ASSERT_TRUE(run());
    EXPECT_TRUE(stored_record().device().hps().hps_present());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());

    // The last l3 of a text counts: 0 turns the cache off.
    add_hps_texts("pwr l3 2 pwr l3 0", "");
    ASSERT_TRUE(run());
    EXPECT_EQ(stored_record().device().hps().l3_cache_size(), PB::OPTIONS_HPS::OFF);

    // An out-of-range value stops the run.
    add_hps_texts("pwr l3 3", "");
    EXPECT_EQ(internal_error_of([&] { run(); }), "Illegal HPS value for Option l3 cache size @comp/asm/asm_option2");
}

TEST_F(OptionSectors, RequiredFeaturesFollowTheRecord)
{
    ASSERT_TRUE(run());
    ASSERT_EQ(stored_record().features_size(), 1);
    EXPECT_EQ(stored_record().features(0).name(), "SOF FEATURE TRACKING");
    EXPECT_FALSE(option2->has_mailbox_abort_feature());

    // An authenticated design with an anti-tamper response and the
    // attestation commands; the security step writes the seven attestation
    // texts present and empty, which asks for no attestation table. The
    // configuration CPU runs from the internal oscillator, so the final
    // checks pass. A stored record brings the mailbox output.
    write_key();
    top_settings->set_enum_option(1542, 588);
    top_settings->set_bool_option(1561, true);
    PB::OPTIONS earlier;
    PB::OPTIONS_DEVICE* device = earlier.mutable_device();
    PB::OPTIONS_GPIO* out = device->mutable_sdm()->add_outs();
    out->set_enabled(true);
    out->set_usage("mailbox feature: reset;abort;");
    std::string bytes;
    ASSERT_TRUE(earlier.SerializeToString(&bytes));
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, bytes, true);
    top_settings->set_bool_option(1552, true);
    top_settings->set_bool_option(1583, false);
    ASSERT_TRUE(run());
    EXPECT_EQ(feature_names(),
              (std::vector<std::string>{"0 SOF FEATURE TRACKING", "3 MailBox Abort", "11 Enable anti tamper",
                                        "12 Enable B10 Attestation Commands",
                                        "23 Disable status_byte polling for non-OTHER device type"}));
    EXPECT_TRUE(option2->has_mailbox_abort_feature());
    EXPECT_EQ(stored_record().device().sdm().mailbox_feature(), "reset;abort;");
    EXPECT_TRUE(stored_record().device().attestation().has_tcb_info_vendor());

    // Family 52: one id-12 entry; "noabort;" asks for no abort.
    chip.set_base_family(52);
    out->set_usage("mailbox feature: noabort;");
    ASSERT_TRUE(earlier.SerializeToString(&bytes));
    dbcm_chip->get_section_store()->add_section("OPTIONS", 1, 10, bytes, true);
    ASSERT_TRUE(run());
    EXPECT_EQ(feature_names(),
              (std::vector<std::string>{"0 SOF FEATURE TRACKING", "12 Enable anti tamper or attestation YB"}));
}

TEST_F(OptionSectors, RequiredFeaturesOfADesignThatAsksForEveryOne)
{
    // External scrubbing is a setting of user family 67, the status byte one
    // of base family 29: this chip has both.
    chip.set_user_family(67);
    write_key();
    dev_set_part_traits(PART, {48});
    top_settings->set_bool_option(1524, true);    // encryption
    top_settings->set_int_option(1526, 3);        // key update ratio
    top_settings->set_bool_option(1469, true);    // PMBus page command
    top_settings->set_bool_option(1560, true);    // alias level one
    top_settings->set_bool_option(1562, true);    // multi authority
    top_settings->set_string_option(1563, "v");   // an attestation text
    top_settings->set_enum_option(1542, 588);     // anti-tamper response
    top_settings->set_bool_option(1561, true);    // attestation commands
    top_settings->set_enum_option(1525, 583);     // key in the UDS IID PUF
    top_settings->set_enum_option(788, 197);      // SRST x16 with a QSPI flash
    top_settings->set_string_option(1281, "SDM_IO5");
    top_settings->set_bool_option(1582, true);    // external scrubbing
    top_settings->set_enum_option(1449, 558);     // regulator OTHER, polled by default
    acf_set_related_default(1583, 1449, 558, "1");
    top_settings->set_bool_option(1552, true);    // configuration CPU on the internal oscillator
    // Two powered tiles of the listed types: only the first counts.
    for (const auto& [slot, type] : {std::make_pair("0_0", "z2403a"), std::make_pair("1_0", "z2402b")})
    {
        const std::string instance = std::string("hssi_") + slot + "|t";
        dbcm_device->add_device_sector(std::string("HSSI_") + slot, type)->add_instance(instance.c_str());
        dbcm_chip->add_named_instance(instance.c_str())->set_setting("is_active", "TRUE");
        dev_set_brask_type(PART, std::string("HSSI_") + slot, type);
    }
    // The mailbox and user-reset outputs come with the stored record.
    PB::OPTIONS earlier;
    PB::OPTIONS_SDM* sdm = earlier.mutable_device()->mutable_sdm();
    for (const char* usage : {"mailbox feature: abort;", "USER_RESET_RELEASE"})
    {
        PB::OPTIONS_GPIO* out = sdm->add_outs();
        out->set_enabled(true);
        out->set_usage(usage);
    }
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, earlier.SerializeAsString(), true);

    ASSERT_TRUE(run());
    EXPECT_EQ(feature_names(), (std::vector<std::string>{"0 SOF FEATURE TRACKING",
                                                         "2 Encryption",
                                                         "4 Encryption Update",
                                                         "3 MailBox Abort",
                                                         "6 User Reset Release",
                                                         "5 Power Management Page Command Payload",
                                                         "15 Use Alias Level One",
                                                         "9 Enable Multi Authority",
                                                         "10 Attestation table",
                                                         "11 Enable anti tamper",
                                                         "12 Enable B10 Attestation Commands",
                                                         "19 RNR REVA CXL 22WW024A",
                                                         "18 Enable Quad SPI UDS Intrinsic ID PUF-wrapped",
                                                         "17 Use Additional QSPI Flash",
                                                         "22 External scrub",
                                                         "23 Enable status_byte polling for OTHER device type"}));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(OptionSectors, FinalChecksOfClockAndTamper)
{
    // The configuration clock from OSC_CLK_1 (25 MHz), not the internal
    // oscillator, with frequency detection, an anti-tamper response and the
    // FPGA self-kill but no anti-tamper IP; a signed design with the HPS
    // debug access port on the SDM pins.
    write_key();
    top_settings->set_bool_option(1539, true);
    top_settings->set_enum_option(1542, 587);
    top_settings->set_bool_option(1573, true);
    top_settings->set_enum_option(1522, 578);
    EXPECT_FALSE(run());
    std::vector<std::string> texts;
    for (const MSG_RECORD& posted : MSG_REPORT::active().messages())
        texts.push_back(posted.id_name);
    EXPECT_EQ(texts, (std::vector<std::string>{"WASM_ASM_SIGNED_WITH_HPS_DAP",
                                               "EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED",
                                               "EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED",
                                               "EASM_ASM_OPTION2_ANTI_TAMPER_SELF_KILL_IP"}));
    EXPECT_EQ(MSG_REPORT::active().messages().back().text,
              "To use anti-tamper device self-kill for fpga, anti-tamper IP must be present in the design. ");
    const PB::OPTIONS_ANTI_TAMPER anti_tamper = stored_record().device().anti_tamper();
    EXPECT_TRUE(anti_tamper.enable_self_kill_fpga_tamper());
    EXPECT_FALSE(anti_tamper.enable_fpga_tamper_detection());

    // Run from the internal oscillator: the clock checks pass.
    msg_reset();
    top_settings->set_bool_option(1552, true);
    top_settings->remove_option(1573);
    EXPECT_TRUE(run());
    EXPECT_EQ(count_posted("EASM_ASM_OPTION2_OSC_CLK_1_AND_FREQ_DETECT_NOT_ALLOWED"), 0u);
    EXPECT_EQ(count_posted("EASM_ASM_OPTION2_OSC_CLK_1_AND_ANTI_TAMPER_NOT_ALLOWED"), 0u);
}
