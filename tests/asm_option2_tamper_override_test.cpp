// The anti-tamper override warning: without a response, every detector the
// user turned on is disarmed with one warning, the HPS supply's detection
// among them on every user family, while only family 67's record stores
// that detection.
#include "asm_option2.h"
#include "entry_fixture.h"

class TamperOverride : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        // The fitter chose what the settings' defaults ask: 25 MHz, 100 MHz.
        chip.set_initialization_clock(3);
        chip.set_active_serial_clock(8);
        ACF_MANAGER::get_acf_manager()->set_project(m_project_dir, {"rev1"});
    }

    // The warnings posted and whether the record holds the HPS supply's
    // detection, for the user family.
    std::pair<std::vector<std::string>, bool> run(int user_family)
    {
        chip.set_base_family(user_family);
        chip.set_user_family(user_family);
        // Each run starts from an empty record, not from the last run's.
        if (DBCM_SECTION_STORE* store = dbcm_chip->get_section_store())
            store->add_section("OPTIONS", 1, 10, "", true);
        msg_reset();
        ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
        EXPECT_TRUE(option2.process_option_data());
        std::vector<std::string> warnings;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            if (record.kind == MSG_POST_TYPE_WARNING)
                warnings.push_back(record.id_name);
        PB::OPTIONS stored;
        EXPECT_TRUE(stored.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
        const PB::OPTIONS_ANTI_TAMPER& tamper = stored.device().anti_tamper();
        EXPECT_FALSE(tamper.enable_vccl_hps_voltage_detection());
        return {warnings, tamper.has_enable_vccl_hps_voltage_detection()};
    }

    DEV_PART_MANAGER part_manager;
};

TEST_F(TamperOverride, HpsSupplyDetectionWithoutResponseWarnsOnEveryUserFamily)
{
    // Nothing armed: no warning.
    for (int family : {29, 52, 67})
        EXPECT_EQ(run(family), (std::pair<std::vector<std::string>, bool>{{}, family == 67})) << family;

    top_settings->set_bool_option(1548, true);
    const std::vector<std::string> override{"WASM_ASM_OPTION_SECU_ANTI_TAMPER_SETTINGS_OVERRIDE"};
    for (int family : {29, 52, 67})
        EXPECT_EQ(run(family), (std::pair<std::vector<std::string>, bool>{override, family == 67})) << family;
}
