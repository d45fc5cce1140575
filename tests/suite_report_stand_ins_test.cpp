// Stand-ins behind the report tables and the block-version list: the time
// and frequency value BIG_TIME and the device's assembler information.
#include <asmdb.h>
#include <big_time.h>
#include <dev.h>

#include <gtest/gtest.h>

#include <memory>

TEST(BigTime, RendersTheQuotientInTheLargestFittingUnit)
{
    const BIG_TIME clock("100", "MHz", true);
    EXPECT_EQ(clock.to_string(2), "100.00 MHz");
    EXPECT_EQ((clock / 1).to_string(2), "100.00 MHz");
    EXPECT_EQ((clock / 3).to_string(2), "33.33 MHz");
    EXPECT_EQ((clock / 200).to_string(2), "500.00 kHz");
    EXPECT_EQ((clock / 100000000).to_string(2), "1.00 Hz");
    EXPECT_EQ((clock / 300000000).to_string(2), "0.33 Hz");
    EXPECT_EQ(BIG_TIME("1500", "MHz", true).to_string(2), "1.50 GHz");
    EXPECT_EQ(BIG_TIME(".5", "MHz", true).to_string(3), "500.000 kHz");
}

TEST(BigTime, RoundsHalfUpToTheGivenDecimals)
{
    const BIG_TIME clock("100", "MHz", true);
    // 3.125 MHz exactly, and 2/3 MHz.
    EXPECT_EQ((clock / 32).to_string(2), "3.13 MHz");
    EXPECT_EQ((clock / 150).to_string(2), "666.67 kHz");
    EXPECT_EQ((clock / 3).to_string(0), "33 MHz");
    EXPECT_EQ((clock / 3).to_string(9), "33.333333333 MHz");
    EXPECT_EQ((clock / 3).to_string(40), "33.333333333 MHz");
    // 999.9999 kHz rounds into the next unit.
    EXPECT_EQ(BIG_TIME("999.9999", "kHz", true).to_string(2), "1.00 MHz");
    EXPECT_EQ(BIG_TIME("1.005", "MHz", true).to_string(2), "1.01 MHz");
}

TEST(BigTime, TimesUseTimeUnits)
{
    const BIG_TIME period("10", "ns", false);
    EXPECT_EQ(period.to_string(2), "10.00 ns");
    EXPECT_EQ((period / 4).to_string(2), "2.50 ns");
    EXPECT_EQ((period / 100000).to_string(1), "100.0 fs");
    EXPECT_EQ(BIG_TIME("2500", "ms", true).to_string(2), "2.50 s");
    EXPECT_EQ(BIG_TIME("0", "us", false).to_string(2), "0.00 fs");
    EXPECT_EQ(BIG_TIME("0", "GHz", true).to_string(2), "0.00 Hz");
}

TEST(BigTime, RefusedTextsAndDivisorsGiveAnInvalidValue)
{
    EXPECT_FALSE(BIG_TIME().is_valid());
    EXPECT_EQ(BIG_TIME().to_string(2), "");
    EXPECT_FALSE(BIG_TIME("100", "MHz", false).is_valid());
    EXPECT_FALSE(BIG_TIME("100", "mhz", true).is_valid());
    EXPECT_FALSE(BIG_TIME("100", "", true).is_valid());
    EXPECT_FALSE(BIG_TIME(nullptr, "MHz", true).is_valid());
    EXPECT_FALSE(BIG_TIME("100", nullptr, true).is_valid());
    for (const char* value : {"", ".", "1.2.3", "-1", "1e3", " 1", "1 ", "1234567890123"})
    {
        SCOPED_TRACE(value);
        EXPECT_FALSE(BIG_TIME(value, "MHz", true).is_valid());
    }
    EXPECT_TRUE(BIG_TIME("123456789012", "Hz", true).is_valid());

    const BIG_TIME clock("100", "MHz", true);
    EXPECT_EQ((clock / 0).to_string(2), "");
    EXPECT_EQ((clock / -2).to_string(2), "");
    EXPECT_EQ((BIG_TIME() / 2).to_string(2), "");
}

TEST(BigTime, QuotientTooFineToHoldIsInvalid)
{
    BIG_TIME value("1", "Hz", true);
    int divisions = 0;
    while (value.is_valid() && divisions < 100)
    {
        value = value / 3;
        ++divisions;
    }
    // 3^40 still fits 64 bits, 3^41 does not.
    EXPECT_EQ(divisions, 41);
    EXPECT_EQ(value.to_string(2), "");
}

TEST(DevAsmInfo, DieIsReachableOnlyAfterTheDataOfThePartIsLoaded)
{
    const DEV_PART part = static_cast<DEV_PART>(7);
    DEV_ASM_INFO info;
    auto die = std::make_unique<ASMDB_DIE>();
    ASMDB_DIE* die_address = die.get();
    info.set_asmdb_die(std::move(die));
    info.add_pdb_part(part);

    EXPECT_EQ(info.get_asmdb_die(), nullptr);
    EXPECT_FALSE(info.load_data_from_pdb(nullptr));
    const DEV_BASIC_INFO other(static_cast<DEV_PART>(8));
    EXPECT_FALSE(info.load_data_from_pdb(&other));
    EXPECT_EQ(info.get_asmdb_die(), nullptr);

    const DEV_BASIC_INFO basic(part);
    EXPECT_TRUE(info.load_data_from_pdb(&basic));
    EXPECT_EQ(info.get_asmdb_die(), die_address);

    // A failed load leaves nothing loaded.
    EXPECT_FALSE(info.load_data_from_pdb(&other));
    EXPECT_EQ(info.get_asmdb_die(), nullptr);
}

TEST(AsmdbDie, BlockTableIsOrderedByKeyAndALaterEntryReplaces)
{
    ASMDB_DIE die;
    die.set_block_info(9, ASMDB_BLOCK_INFO("v9", "nine"));
    die.set_block_info(-1, ASMDB_BLOCK_INFO("v-1", "minus one"));
    die.set_block_info(9, ASMDB_BLOCK_INFO("v9b", "nine again"));
    ASSERT_EQ(die.get_block_info_map().size(), 2u);
    EXPECT_EQ(die.get_block_info_map().begin()->first, -1);
    EXPECT_EQ(die.get_block_info_map().at(9).get_version_string(), "v9b");
    EXPECT_EQ(die.get_block_info_map().at(9).get_icd_block_name(), "nine again");
}
