// The option block's partial-reconfiguration records: a partition's record
// decoded, its PR POF id text checked against od's bytes, incomplete ids,
// the key file and the warnings of the settings.
#include "asm_option2.h"
#include "entry_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace
{

const int PR_SECURITY = 1254;
const int ENABLE_PR_POF_ID = 1520;
const int ZKY_FILE = 1519;
const int PR_ENCRYPTION = 1559;
const int MULTI_AUTHORITY = 1562;
const int ROW_CLKMUX_SPLIT = 1971;
const int KEY_SELECT = 1525;
const int UPDATE_RATIO = 1526;
const int CNOC_SCRAMBLING = 1527;

// od's hexadecimal bytes of a file, upper case, without blanks.
std::string od_hex(const std::string& path)
{
    std::string text;
    if (FILE* pipe = popen(("od -An -tx1 '" + path + "'").c_str(), "r"))
    {
        for (int c; (c = fgetc(pipe)) != EOF;)
            if (!std::isspace(c))
                text.push_back(static_cast<char>(std::toupper(c)));
        pclose(pipe);
    }
    return text;
}

}  // namespace

class OptionPr : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        design = ZHD_ROOT::get()->get_design("");
        top = design->get_top_partition();
    }

    ZHD_PARTITION* add_pr(const std::string& name, ZHD_PARTITION* parent, uint32_t rid, const std::string& value)
    {
        ZHD_PARTITION* partition = design->add_partition(name);
        partition->set_parent(parent);
        partition->set_pr_partition(true);
        ZPR::UTILS::set_pr_pof_index(partition->get_hdb(), rid);
        ZPR::UTILS::set_pr_pof_value_data(partition->get_hdb(), value);
        return partition;
    }

    std::string write_file(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_project_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    ZHD_DESIGN* design = nullptr;
    ZHD_PARTITION* top = nullptr;
};

TEST_F(OptionPr, PrPartitionRecordCarriesItsSecuritySortedIdsAndKeyFile)
{
    const std::string key(48, 'k');
    top_settings->set_bool_option(PR_SECURITY, true);
    top_settings->set_bool_option(ROW_CLKMUX_SPLIT, true);
    top_settings->set_string_option(ZKY_FILE, write_file("design.zky", key));
    top_settings->set_bool_option(PR_ENCRYPTION, true);
    top_settings->set_enum_option(KEY_SELECT, 582);
    top_settings->set_int_option(UPDATE_RATIO, 31);
    top_settings->set_bool_option(CNOC_SCRAMBLING, true);
    // The subtree of pr_a holds pr_c below a static child; pr_b is a sibling.
    ZHD_PARTITION* pr_a = add_pr("pr_a", top, 7, "\xFF");
    ZHD_PARTITION* fixed = design->add_partition("static_child");
    fixed->set_parent(pr_a);
    add_pr("pr_c", fixed, 9, "\x01");
    add_pr("pr_d", pr_a, 3, "\x0A\x0B");
    add_pr("pr_b", top, 5, "\x55");

    ASM_OPTION2_PR_INFO info;
    std::string text;
    PB::OPTIONS record;
    ASSERT_TRUE(record.ParseFromString(info.build_pr_option_data(*pr_a, &text)));
    EXPECT_TRUE(record.device().pr_security());
    EXPECT_EQ(record.row_clkmux_split(), PB::OPTIONS_ROW_CLKMUX_SPLIT_ENABLED);
    EXPECT_EQ(record.device().design_zky(), key);
    EXPECT_TRUE(record.device().enable_pr_pof_id());
    EXPECT_FALSE(record.device().enable_multi_authority());
    EXPECT_TRUE(record.device().sdm().encryption());
    EXPECT_EQ(record.device().sdm().encryption_key_select(), PB::OPTIONS_SDM_KEY_SELECT_IIDPUFWRAP);
    EXPECT_EQ(record.device().sdm().encryption_update_ratio(), 31u);
    EXPECT_TRUE(record.device().sdm().cnoc_scrambling());

    // Only pr_a's own PR subtree, below no static partition, sorted by rid.
    ASSERT_EQ(text, "0x00000003:0A0B 0x00000007:FF");
    ASSERT_EQ(record.prpof_id_size(), 2);
    for (int i = 0; i < 2; ++i)
    {
        const std::string file = write_file("hash" + std::to_string(i), record.prpof_id(i).hash());
        EXPECT_EQ(text.substr(i == 0 ? 11 : 27, i == 0 ? 4 : 2), od_hex(file));
    }

    // The top partition's record lists every PR partition reached through
    // PR parents, and none of a PR partition's own fields.
    ASSERT_TRUE(record.ParseFromString(info.build_pr_option_data(*top, &text)));
    EXPECT_EQ(text, "0x00000003:0A0B 0x00000005:55 0x00000007:FF");
    EXPECT_FALSE(record.device().has_pr_security());
    EXPECT_FALSE(record.has_row_clkmux_split());
    EXPECT_FALSE(record.device().has_sdm());
    EXPECT_FALSE(record.device().has_design_zky());

    // The key select, absent and then each value, read per record.
    std::vector<PB::OPTIONS_SDM_KEY_SELECT> keys;
    top_settings->remove_option(KEY_SELECT);
    for (const uint16_t value : {0, 580, 581, 583})
    {
        if (value != 0)
            top_settings->set_enum_option(KEY_SELECT, value);
        ASSERT_TRUE(record.ParseFromString(info.build_pr_option_data(*pr_a, nullptr)));
        keys.push_back(record.device().sdm().encryption_key_select());
    }
    EXPECT_EQ(keys, (std::vector<PB::OPTIONS_SDM_KEY_SELECT>{PB::OPTIONS_SDM_KEY_SELECT_BBRAM,
                                                             PB::OPTIONS_SDM_KEY_SELECT_BBRAM,
                                                             PB::OPTIONS_SDM_KEY_SELECT_EFUSE,
                                                             PB::OPTIONS_SDM_KEY_SELECT_BBRAM}));
}

TEST_F(OptionPr, IncompleteIdsEmptyTheRecordWhileEnablePrPofIdIsOn)
{
    ZHD_PARTITION* pr_a = add_pr("pr_a", top, 0, "\xAA");
    add_pr("pr_b", pr_a, 4, "\xBB");
    // A PR partition without a PR POF value: warned once, then incomplete.
    ZHD_PARTITION* pr_e = add_pr("pr_e", top, 6, "");
    // An incomplete child of a PR region before a complete one with a child.
    ZHD_PARTITION* pr_f = add_pr("pr_f", top, 8, "\x08");
    add_pr("pr_g", pr_f, 0, "\xCC");
    add_pr("pr_i", add_pr("pr_h", pr_f, 9, "\x09"), 10, "\x10");
    {
        ASM_OPTION2_PR_INFO info;
        EXPECT_EQ(count_posted("WASM_ASM_MISSING_PRPOF_ID"), 1u);
        std::string text = "stale";
        EXPECT_EQ(info.build_pr_option_data(*pr_a, &text), "");
        // The index 0 entry is listed; its children are not visited.
        EXPECT_EQ(text, "0x00000000:AA");
        EXPECT_EQ(info.build_pr_option_data(*pr_e, &text), "");
        EXPECT_EQ(text, "");
        EXPECT_TRUE(has_debug_line("Missing PR POF id for partition pr_e"));
        // Every child is walked; one incomplete child empties the record.
        EXPECT_EQ(info.build_pr_option_data(*pr_f, &text), "");
        EXPECT_EQ(text, "0x00000000:CC 0x00000008:08 0x00000009:09 0x0000000a:10");

        dbcm_chip->create_section_store();
        EXPECT_FALSE(info.process_pr_options(dbcm_chip, nullptr));
        EXPECT_EQ(dbcm_chip->get_section_store()->find_section("PR_OPTIONS"), nullptr);
        EXPECT_TRUE(has_debug_line("Missing PR options data"));
    }

    // ENABLE_PR_POF_ID off: warned, and the record is built all the same.
    top_settings->set_bool_option(ENABLE_PR_POF_ID, false);
    ASM_OPTION2_PR_INFO info;
    EXPECT_EQ(count_posted("WASM_ASM_PR_POF_ID_DISABLED"), 1u);
    EXPECT_TRUE(info.process_pr_options(dbcm_chip, nullptr));
    const DBCM_SECTION* section = dbcm_chip->get_section_store()->find_section("PR_OPTIONS");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->minor, 11);
    PB::OPTIONS record;
    ASSERT_TRUE(record.ParseFromString(section->bytes));
    EXPECT_FALSE(record.device().enable_pr_pof_id());
    EXPECT_EQ(ASM_OPTION2_PR_INFO::format_prpof_ids(record),
              "0x00000000:AA 0x00000000:CC 0x00000008:08 0x00000009:09 0x0000000a:10");
}

TEST_F(OptionPr, EncryptionWithMultiAuthorityAndShortKeyFiles)
{
    top_settings->set_bool_option(PR_ENCRYPTION, true);
    top_settings->set_bool_option(MULTI_AUTHORITY, true);
    ZHD_PARTITION* pr_a = add_pr("pr_a", top, 2, "\x02");
    top_settings->set_string_option(ZKY_FILE, write_file("short.zky", std::string(47, 'k')));
    ASM_OPTION2_PR_INFO info;
    EXPECT_EQ(count_posted("EASM_ASM_E_INVALID_MULTI_AUTHORITY_PR_ENCRYPT"), 1u);
    // The top partition's record reads no key file; a PR partition's does.
    EXPECT_NE(info.build_pr_option_data(*top, nullptr), "");
    try
    {
        info.build_pr_option_data(*pr_a, nullptr);
        FAIL() << "a 47-byte key file was taken";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        EXPECT_EQ(error.condition(), "Incorrect formated ZKY file - must have at least 48 Bytes");
        EXPECT_EQ(error.file(), "comp/asm/asm_option2_pr");
    }
}

TEST(FormatHexId, RidInLowerCaseThenTheHashInUpperCase)
{
    EXPECT_EQ(format_hex_id(0xABCDEF12u, std::string("\x00\xab", 2)), "0xabcdef12:00AB");
    EXPECT_EQ(format_hex_id(0, ""), "0x00000000:");
}
