// The option record store of the option block builder: the "OPTIONS"
// section, the hash adders, the dump file and the two queries the project
// adapter forwards.
#include "asm_option2.h"
#include "entry_fixture.h"
#include "protoc_decode.h"

#include <dstr.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{

std::string file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}


}  // namespace

class OptionStore : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        option2 = std::make_unique<ASM_OPTION2>(&cmp, &chip, 0, &part_manager);
    }

    const DBCM_SECTION* stored() const
    {
        return dbcm_chip->get_section_store() != nullptr ? dbcm_chip->get_section_store()->find_section("OPTIONS")
                                                         : nullptr;
    }

    PB::OPTIONS stored_record() const
    {
        PB::OPTIONS record;
        EXPECT_NE(stored(), nullptr);
        if (stored() != nullptr)
        {
            EXPECT_TRUE(record.ParseFromString(stored()->bytes));
        }
        return record;
    }

    size_t options_sections() const
    {
        size_t n = 0;
        for (const DBCM_SECTION& section : dbcm_chip->get_section_store()->get_sections())
            n += section.name == "OPTIONS" ? 1 : 0;
        return n;
    }

    DEV_PART_MANAGER part_manager;
    std::unique_ptr<ASM_OPTION2> option2;
};

TEST_F(OptionStore, CramHashBeforeAnyRecordIsDropped)
{
    EXPECT_FALSE(option2->add_cram_hash_into_dbcm("C1"));
    EXPECT_EQ(dbcm_chip->get_section_store(), nullptr);
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"  CRAM_HASH:add_cram_hash_into_dbcm begin ....",
                                                       "ACID_SDM cannot load vsection",
                                                       "  CRAM_HASH:add_cram_hash_into_dbcm end"}));
    // A store without an "OPTIONS" section drops it as well.
    dbcm_chip->create_section_store()->add_section("HANDOFF", 1, 1, "h", true);
    EXPECT_FALSE(option2->add_cram_hash_into_dbcm("C1"));
    EXPECT_EQ(stored(), nullptr);
}

TEST_F(OptionStore, OtherHashesCreateTheSectionWithTheRecordAndTheHash)
{
    option2->m_options.mutable_device()->set_jtag_user_code(0x1A2B);
    EXPECT_TRUE(option2->add_cvp_hash_into_dbcm("CV"));
    const DBCM_SECTION* section = stored();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->major, 1);
    EXPECT_EQ(section->minor, 10);
    const std::string decoded = protoc_decode("PB.OPTIONS", "options.proto", section->bytes);
    EXPECT_NE(decoded.find("jtag_user_code: 6699"), std::string::npos) << decoded;
    EXPECT_NE(decoded.find("cvp_hash: \"CV\""), std::string::npos) << decoded;
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"    CVP_HASH:add_cvp_hash_into_dbcm begin ....",
                                                       "ACID_SDM cannot load vsection",
                                                       "ACID_SDM vsections is Null., Add Section",
                                                       "    CVP_HASH:add_cvp_hash_into_dbcm end"}));

    // Now the CRAM hash finds the record.
    EXPECT_TRUE(option2->add_cram_hash_into_dbcm("CR"));
    EXPECT_TRUE(option2->add_io_hash_into_dbcm("IO"));
    EXPECT_TRUE(option2->add_hpio_hash_into_dbcm("HP"));
    option2->add_static_region_hash_into_dbcm("ST");
    const PB::OPTIONS record = stored_record();
    EXPECT_EQ(record.device().jtag_user_code(), 0x1A2Bu);
    EXPECT_EQ(record.device().cvp_hash(), "CV");
    EXPECT_EQ(record.device().cram_hash(), "CR");
    EXPECT_EQ(record.device().io_hash(), "IO");
    EXPECT_EQ(record.device().hpio_hash(), "HP");
    EXPECT_EQ(record.device().static_region_mask_hash(), "ST");
    EXPECT_EQ(options_sections(), 1u);
    EXPECT_TRUE(has_debug_line("ACID_SDM vsections has something. Data will be overwritten "));
    EXPECT_TRUE(has_debug_line("    STATIC_REGION_HASH:add_static_region_hash_into_dbcm end"));
    EXPECT_TRUE(has_debug_line("  IO_HASH:add_io_hash_into_dbcm begin ...."));
}

TEST_F(OptionStore, EveryAdderReloadsTheStoredRecordFirst)
{
    option2->save_options_into_dbcm();
    // Someone else stores a newer record; the adder keeps its fields.
    PB::OPTIONS newer;
    newer.mutable_device()->set_io_hash("from elsewhere");
    std::string bytes;
    ASSERT_TRUE(newer.SerializeToString(&bytes));
    dbcm_chip->get_section_store()->add_section("OPTIONS", 1, 10, bytes, true);
    option2->m_options.mutable_device()->set_cvp_hash("only in memory");

    option2->add_hpio_hash_into_dbcm("HP");
    const PB::OPTIONS record = stored_record();
    EXPECT_EQ(record.device().io_hash(), "from elsewhere");
    EXPECT_FALSE(record.device().has_cvp_hash());
    EXPECT_EQ(record.device().hpio_hash(), "HP");
}

TEST_F(OptionStore, RegionHashesAccumulateEvenForOneRegion)
{
    option2->add_pr_region_hash_into_dbcm("r1", "H1");
    option2->add_pr_region_hash_into_dbcm("r1", "H2");
    const PB::OPTIONS record = stored_record();
    ASSERT_EQ(record.device().pr_region_masks_size(), 2);
    EXPECT_EQ(record.device().pr_region_masks(0).name(), "r1");
    EXPECT_EQ(record.device().pr_region_masks(0).hash(), "H1");
    EXPECT_EQ(record.device().pr_region_masks(1).hash(), "H2");
    EXPECT_TRUE(has_debug_line("    PR_REGION_HASH:r1:add_pr_region_hash_into_dbcm begin ...."));
    EXPECT_TRUE(has_debug_line("    PR_REGION_HASH:r1:add_pr_region_hash_into_dbcm end"));
}

TEST_F(OptionStore, LoadTakesTheLastSectionOfTheNameAndKeepsTheRecordWithoutOne)
{
    EXPECT_FALSE(option2->load_options_from_dbcm());
    option2->m_options.mutable_device()->set_io_hash("kept");
    DBCM_SECTION_STORE* store = dbcm_chip->create_section_store();
    store->add_section("OPTIONS_X", 1, 10, "junk", false);
    EXPECT_FALSE(option2->load_options_from_dbcm());
    EXPECT_EQ(option2->m_options.device().io_hash(), "kept");

    for (const char* hash : {"first", "second"})
    {
        PB::OPTIONS record;
        record.mutable_device()->set_cram_hash(hash);
        std::string bytes;
        ASSERT_TRUE(record.SerializeToString(&bytes));
        store->add_section("OPTIONS", 1, 10, bytes, false);
    }
    EXPECT_TRUE(option2->load_options_from_dbcm());
    EXPECT_EQ(option2->m_options.device().cram_hash(), "second");
    EXPECT_FALSE(option2->m_options.device().has_io_hash());
}

TEST_F(OptionStore, SectionThatDoesNotParseIsLoggedAndNeverHalfTaken)
{
    PB::OPTIONS partial;
    partial.mutable_device()->set_io_hash("from the broken section");
    partial.add_features()->set_id(3);  // no name: a required field is missing
    std::string bytes;
    ASSERT_TRUE(partial.SerializePartialToString(&bytes));
    dbcm_chip->create_section_store()->add_section("OPTIONS", 1, 10, bytes, true);
    option2->m_options.mutable_device()->set_jtag_user_code(7);

    // Found (a section of the name exists), but the record stays as it was.
    EXPECT_TRUE(option2->load_options_from_dbcm());
    EXPECT_TRUE(has_debug_line("ACID_SDM cannot parse vsection OPTIONS"));
    EXPECT_EQ(option2->m_options.device().jtag_user_code(), 7u);
    EXPECT_FALSE(option2->m_options.device().has_io_hash());
    EXPECT_EQ(option2->m_options.features_size(), 0);

    // The next save replaces the broken section with a whole record.
    EXPECT_TRUE(option2->add_cvp_hash_into_dbcm("CV"));
    const PB::OPTIONS record = stored_record();
    EXPECT_EQ(record.device().jtag_user_code(), 7u);
    EXPECT_EQ(record.device().cvp_hash(), "CV");
    EXPECT_EQ(record.features_size(), 0);
}

TEST_F(OptionStore, RecordMissingARequiredFieldIsNeverStored)
{
    option2->save_options_into_dbcm();
    const std::string before = stored()->bytes;
    option2->m_options.add_features()->set_id(3);  // no name
    EXPECT_EQ(internal_error_of([&] { option2->save_options_into_dbcm(); }),
              "serialize_record(record, bytes) @comp/asm/asm_option2");
    EXPECT_EQ(stored()->bytes, before);
}

TEST_F(OptionStore, DumpFileFollowsEverySaveVerbatim)
{
    cfg_set_value("sdm_dump_option_data", "on");
    ASM_OPTION2 dumping(&cmp, &chip, 0, &part_manager);
    const std::string dump = m_project_dir + "/asm_option_data_dump.txt";
    dumping.add_cvp_hash_into_dbcm("100%d%s");
    EXPECT_EQ(file_text(dump), dumping.m_options.DebugString());
    EXPECT_NE(file_text(dump).find("cvp_hash: \"100%d%s\""), std::string::npos);
    dumping.add_io_hash_into_dbcm("I");
    EXPECT_EQ(file_text(dump), dumping.m_options.DebugString());
    EXPECT_NE(file_text(dump).find("io_hash: \"I\""), std::string::npos);

    // Without the switch no dump is written.
    std::remove(dump.c_str());
    option2->add_io_hash_into_dbcm("J");
    EXPECT_FALSE(std::filesystem::exists(dump));
}

TEST_F(OptionStore, DumpThatCannotBeOpenedStillStoresTheSection)
{
    cfg_set_value("sdm_dump_option_data", "on");
    ASM_OPTION2 dumping(&cmp, &chip, 0, &part_manager);
    std::filesystem::create_directory(m_project_dir + "/asm_option_data_dump.txt");
    dumping.add_io_hash_into_dbcm("I");
    EXPECT_EQ(stored_record().device().io_hash(), "I");
}

TEST_F(OptionStore, MailboxAbortIsFeatureThree)
{
    EXPECT_FALSE(option2->has_mailbox_abort_feature());
    auto add = [&](uint32_t id) {
        PB::OPTIONS_REQUIRED_FEATURE* feature = option2->m_options.add_features();
        feature->set_id(id);
        feature->set_name("f");
    };
    add(0);
    add(2);
    EXPECT_FALSE(option2->has_mailbox_abort_feature());
    add(3);
    EXPECT_TRUE(option2->has_mailbox_abort_feature());
}

TEST(HashText, TwoUpperCaseDigitsPerByte)
{
    EXPECT_EQ(format_hash_text(""), "");
    EXPECT_EQ(format_hash_text(std::string("\x00\xAB\x7F\xFF\x0a", 5)), "00AB7FFF0A");
}

class HpioSectors : public OptionStore
{
protected:
    std::string sectors_error(DEV_FAMILY family, const std::string& base_name)
    {
        chip.set_base_family(family);
        set_base_device_name(base_name);
        bool hbm = false;
        return internal_error_of([&] { option2->get_hpio_sectors(&hbm); });
    }
};

TEST_F(HpioSectors, FamiliesWithoutHpsIoGiveAnEmptyListSilently)
{
    chip.set_base_family(44);
    bool hbm = true;
    EXPECT_TRUE(option2->get_hpio_sectors(&hbm).empty());
    EXPECT_TRUE(hbm);
    EXPECT_TRUE(debug_texts().empty());
}

TEST_F(HpioSectors, BaseDeviceMustCarryAnHpsPrefixOfItsFamily)
{
    EXPECT_EQ(sectors_error(29, "VW8_Base"), "");
    EXPECT_EQ(sectors_error(29, "vk4x"), "");
    EXPECT_EQ(sectors_error(52, "yb7"), "");
    EXPECT_EQ(sectors_error(29, "yb7"),
              "Base device yb7 of family 29 does not begin with one of vr6, vr8, vr5, vr7, vr9, vw8, vr4, vk7, vrm, "
              "vk4 @comp/asm/asm_option2");
    EXPECT_EQ(sectors_error(52, "vr6"),
              "Base device vr6 of family 52 does not begin with one of yb0, yb1, yb2, yb4, yb5, yb7 "
              "@comp/asm/asm_option2");
}

TEST_F(HpioSectors, WithoutAnHpsTextTheListIsEmpty)
{
    chip.set_base_family(29);
    set_base_device_name("vw8_base");
    bool hbm = false;
    EXPECT_TRUE(option2->get_hpio_sectors(&hbm).empty());
    EXPECT_FALSE(hbm);
    EXPECT_EQ(debug_texts(), (std::vector<std::string>{"ACID_HPS: 182 ->  ", "ACID_HPS: 184 ->  "}));
}
