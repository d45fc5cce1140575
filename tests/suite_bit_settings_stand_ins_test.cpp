// The stand-ins behind the bit settings: the bitstream wrapper over a read
// .sof, the option-register word of the file format, the big-number radix
// conversion, the string conversions of the general utility library, the
// device manager's devices and the assembler database's archgroups.
#include <asm_bitfield.h>
#include <asmdb.h>
#include <big.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen_string.h>
#include <pgmio.h>

#include <gtest/gtest.h>

namespace
{

TEST(BitfieldStandIn, SetsBitsOfEachSpaceAndKeepsWhatNoImageHolds)
{
    SOF_CONTENTS contents;
    contents.cram = SOF_IMAGE::zeros(20);
    contents.cff = SOF_IMAGE::zeros(8);
    contents.cram.set_bit(3, true);
    ASM_BITFIELD bitfield(new PGMIO_BITFIELD(contents, 0));
    EXPECT_EQ(bitfield.get_cram_size(), 20u);
    EXPECT_EQ(bitfield.get_cff_size(), 8u);
    EXPECT_EQ(bitfield.get_unvm_base_address(), nullptr);
    EXPECT_EQ(bitfield.get_option_reg(), 0u);

    std::vector<DB_BIT_SETTING> settings = {{3, 0},           {19, 1},          {0xA0000007u, 1}, {20, 1},
                                            {0x90000001u, 1}, {0xC0000005u, 1}, {0xA0000008u, 1}};
    bitfield.silent_set_bits(settings);
    const SOF_CONTENTS& after = bitfield.get_pgmio_bitfield()->contents();
    EXPECT_FALSE(after.cram.get_bit(3));
    EXPECT_TRUE(after.cram.get_bit(19));
    EXPECT_TRUE(after.cff->get_bit(7));
    EXPECT_EQ(bitfield.get_base_address()[2], 0x08);
    ASSERT_EQ(bitfield.unset_bits().size(), 4u);
    EXPECT_EQ(bitfield.unset_bits()[0].address, 20u);
    EXPECT_EQ(bitfield.unset_bits()[3].address, 0xA0000008u);

    bitfield.set_option_reg(0x1234);
    bitfield.set_jtag_user_code(0xFFFFFFFFFull);
    EXPECT_EQ(bitfield.get_option_reg(), 0x1234u);
    EXPECT_EQ(bitfield.get_jtag_user_code(), 0xFFFFFFFFu);
}

TEST(BitfieldStandIn, TheOptionRegisterWordSurvivesTheFileAndOlderFilesReadWithoutIt)
{
    SOF_CONTENTS contents;
    contents.part_name = "p";
    contents.cram = SOF_IMAGE::zeros(9);
    const std::string without = sof_encode(contents);
    contents.option_register_word = 0x80000001u;
    const std::string with = sof_encode(contents);
    EXPECT_EQ(with.size(), without.size() + 4);
    SOF_CONTENTS read;
    ASSERT_TRUE(sof_decode(with, read));
    EXPECT_EQ(read.option_register_word, contents.option_register_word);
    ASSERT_TRUE(sof_decode(without, read));
    EXPECT_FALSE(read.option_register_word.has_value());
}

TEST(BigNumberStandIn, ConvertsBetweenRadixesAtAnyLength)
{
    std::string out;
    EXPECT_EQ(big_radix_conversion("ff", out, BIG_RADIX_HEXADECIMAL, BIG_RADIX_DECIMAL, 0), 0);
    EXPECT_EQ(out, "255");
    EXPECT_EQ(big_radix_conversion("FFFFFFFFFFFFFFFFFF", out, BIG_RADIX_HEXADECIMAL, BIG_RADIX_DECIMAL, 0), 0);
    EXPECT_EQ(out, "4722366482869645213695");
    EXPECT_EQ(big_radix_conversion("10", out, BIG_RADIX_DECIMAL, BIG_RADIX_BINARY, 8), 0);
    EXPECT_EQ(out, "00001010");
    EXPECT_EQ(big_radix_conversion("000", out, BIG_RADIX_OCTAL, BIG_RADIX_HEXADECIMAL, 0), 0);
    EXPECT_EQ(out, "0");
    EXPECT_EQ(big_radix_conversion("1G", out, BIG_RADIX_HEXADECIMAL, BIG_RADIX_DECIMAL, 0), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(big_string_is_legal("", BIG_RADIX_DECIMAL));
    EXPECT_FALSE(big_string_is_legal("12a", BIG_RADIX_DECIMAL));
    EXPECT_FALSE(big_string_is_legal(nullptr, BIG_RADIX_HEXADECIMAL));
}

TEST(GeneralStringStandIn, ConvertsLikeTheSuitesLibrary)
{
    char buffer[40];
    EXPECT_STREQ(gen_itoa(5, buffer, 2), "101");
    EXPECT_STREQ(gen_itoa(-1, buffer, 2), "11111111111111111111111111111111");
    EXPECT_STREQ(gen_itoa(-15, buffer, 10), "-15");
    EXPECT_STREQ(gen_itoa(255, buffer, 16), "ff");
    EXPECT_STREQ(gen_itoa(0, buffer, 2), "0");
    std::string text = "aB1";
    gen_toupper(text);
    EXPECT_EQ(text, "AB1");
    EXPECT_EQ(gen_strcmp("a", "A") > 0, true);
    EXPECT_EQ(gen_strcmp(nullptr, "a") < 0, true);
    EXPECT_TRUE(gen_is_empty_string(""));
}

TEST(DeviceManagerStandIn, OpensTheDeviceOfAKnownPartAndEndsIt)
{
    dev_reset();
    dev_add_part(static_cast<DEV_PART>(7), "ZX7", static_cast<DEV_DEVICE_ENUM>(70));
    EXPECT_EQ(dstr_get_dev_part_enum_by_string("zx7"), 7);
    EXPECT_EQ(dstr_get_dev_part_enum_by_string("zx8"), DEV_PART_INVALID);

    EXPECT_FALSE(DMGR_UTILITY::create_device(static_cast<DEV_PART>(7)));  // no builder
    int built = 0;
    dmgr_set_device_builder([&built](DEV_PART part) {
        ++built;
        auto device = std::make_unique<DEV_DEVICE>();
        device->set_basic_info(std::make_unique<DEV_BASIC_INFO>(part));
        return device;
    });
    EXPECT_FALSE(DMGR_UTILITY::create_device(static_cast<DEV_PART>(8)));  // not in the part table
    EXPECT_EQ(built, 0);
    ASSERT_TRUE(DMGR_UTILITY::create_device(static_cast<DEV_PART>(7)));
    ASSERT_NE(DMGR_UTILITY::get_current_device(), nullptr);
    EXPECT_EQ(DMGR_UTILITY::get_current_device()->get_basic_info()->get_part_enum(), 7);
    DMGR_UTILITY::destroy_device();
    EXPECT_EQ(DMGR_UTILITY::get_current_device(), nullptr);

    // A device the manager did not make is only let go.
    DEV_DEVICE outside;
    DMGR_UTILITY::set_current_device(&outside);
    DMGR_UTILITY::destroy_device();
    EXPECT_EQ(DMGR_UTILITY::get_current_device(), nullptr);
    dmgr_reset();
}

TEST(ArchGroupStandIn, ElementsLieOneAfterAnother)
{
    ASMDB_TABLE_ARCH_GROUP group(1, static_cast<ASMDB_ARCH_GROUP_TYPE>(2), static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0),
                                 static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0), 3, 3, 0xA0000000u + 30);
    ASMDB_SETTING_STREAMS streams;
    EXPECT_TRUE(group.accepts(2, 7, streams));
    EXPECT_FALSE(group.accepts(2, 8, streams));
    EXPECT_FALSE(group.accepts(3, 0, streams));
    group.get_select_settings(1, 5, streams);
    group.get_ram_select_settings(0, 2, true, streams);
    ASSERT_EQ(streams.m_settings.size(), 4u);
    EXPECT_EQ(streams.m_settings[0].address, 0xA0000000u + 33);
    EXPECT_EQ(streams.m_settings[0].value, 1);
    EXPECT_EQ(streams.m_settings[1].value, 0);
    EXPECT_EQ(streams.m_settings[3].address, 0xA0000000u + 31);
    EXPECT_EQ(streams.m_settings[3].value, 1);

    asmdb_clear_arch_group_block_types();
    asmdb_set_arch_group_type_name(static_cast<ASMDB_ARCH_GROUP_TYPE>(2), "MUX");
    EXPECT_TRUE(asmdb_exists_asmdb_arch_group_type_by_string("MUX"));
    EXPECT_FALSE(asmdb_exists_asmdb_arch_group_type_by_string("mux"));
    EXPECT_STREQ(asmdb_get_debug_string(static_cast<ASMDB_ARCH_GROUP_TYPE>(2)), "MUX");
    EXPECT_STREQ(asmdb_get_debug_string(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(0)), "BLOCK_NO_TYPE");
    EXPECT_STREQ(asmdb_get_debug_string(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(9)), "<BLOCK_TYPE 9>");
}

}  // namespace
