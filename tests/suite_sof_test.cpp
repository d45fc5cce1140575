// The SRAM object file format, the programming-file library and the
// assembler core library of the stand-in suite, and the chip bundle
// database's block tree.
#include <asm2.h>
#include <dbcm.h>
#include <dev.h>
#include <msg.h>
#include <pgmio.h>
#include <pgmio_sof.h>
#include <zsym.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// zlib's CRC-32, computed here without the format's own helper.
uint32_t zlib_crc(const std::string& bytes)
{
    return static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

uint32_t le32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<size_t>(i)));
    return value;
}

SOF_CONTENTS sample_contents()
{
    SOF_CONTENTS contents;
    contents.part_name = "part_101";
    contents.jtag_user_code = 0x1234ABCD;
    contents.pof_id = 8;
    contents.design_hash = std::string("\x00\x01\xFE", 3);
    contents.sld_blob = "sld";
    contents.sections.push_back(SOF_SECTION{"OPTIONS", 1, 10, std::string("\x08\x00\x12", 3)});
    contents.sections.push_back(SOF_SECTION{"HANDOFF", 1, -2, ""});
    contents.cram = SOF_IMAGE::zeros(21);
    contents.cram.set_bit(0, true);
    contents.cram.set_bit(20, true);
    contents.unvm = SOF_IMAGE::zeros(8);
    contents.unvm->set_bit(7, true);
    return contents;
}

class TEMP_DIR : public testing::Test
{
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/asm_sof_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        msg_reset();
        pgmio_reset();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    std::string m_dir;
};

void expect_same(const SOF_CONTENTS& a, const SOF_CONTENTS& b)
{
    EXPECT_EQ(a.part_name, b.part_name);
    EXPECT_EQ(a.jtag_user_code, b.jtag_user_code);
    EXPECT_EQ(a.pof_id, b.pof_id);
    EXPECT_EQ(a.design_hash, b.design_hash);
    EXPECT_EQ(a.sld_blob, b.sld_blob);
    EXPECT_EQ(a.sections, b.sections);
    EXPECT_EQ(a.cram, b.cram);
    EXPECT_EQ(a.cff.has_value(), b.cff.has_value());
    EXPECT_EQ(a.unvm.has_value(), b.unvm.has_value());
    if (a.unvm && b.unvm)
    {
        EXPECT_EQ(*a.unvm, *b.unvm);
    }
    EXPECT_EQ(a.option_register.has_value(), b.option_register.has_value());
}

}  // namespace

using SofFormat = TEMP_DIR;

TEST_F(SofFormat, ImageBitsAreNumberedFromBitZeroOfByteZero)
{
    SOF_IMAGE image = SOF_IMAGE::zeros(12);
    EXPECT_EQ(image.bytes.size(), 2u);
    EXPECT_TRUE(image.set_bit(9, true));
    EXPECT_FALSE(image.set_bit(12, true));
    EXPECT_EQ(image.bytes, std::string("\x00\x02", 2));
    EXPECT_TRUE(image.get_bit(9));
    EXPECT_FALSE(image.get_bit(12));
}

TEST_F(SofFormat, WrittenFileReadsBackWithEveryFieldAndTheFilesChecksum)
{
    const SOF_CONTENTS written = sample_contents();
    uint32_t write_checksum = 0;
    ASSERT_TRUE(sof_write_file(path("a.sof"), written, &write_checksum));
    const std::string bytes = read_bytes(path("a.sof"));
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(write_checksum, zlib_crc(bytes.substr(0, bytes.size() - 4)));
    EXPECT_EQ(write_checksum, le32(bytes, bytes.size() - 4));

    SOF_CONTENTS read;
    uint32_t read_checksum = 0;
    ASSERT_TRUE(sof_read_file(path("a.sof"), read, &read_checksum));
    EXPECT_EQ(read_checksum, write_checksum);
    expect_same(read, written);
}

TEST_F(SofFormat, FilesOfOtherContentsHaveOtherChecksums)
{
    // The CRC-32 of a whole file, trailer included, is one constant for every
    // intact file: the file's checksum must not be that.
    SOF_CONTENTS first = sample_contents();
    SOF_CONTENTS second = sample_contents();
    second.jtag_user_code ^= 1;
    uint32_t first_checksum = 0;
    uint32_t second_checksum = 0;
    ASSERT_TRUE(sof_write_file(path("a.sof"), first, &first_checksum));
    ASSERT_TRUE(sof_write_file(path("b.sof"), second, &second_checksum));
    EXPECT_NE(first_checksum, second_checksum);
    EXPECT_NE(first_checksum, zlib_crc(read_bytes(path("a.sof"))));

    SOF_CONTENTS read;
    uint32_t read_checksum = 0;
    ASSERT_TRUE(sof_read_file(path("b.sof"), read, &read_checksum));
    EXPECT_EQ(read_checksum, second_checksum);
}

TEST_F(SofFormat, LayoutIsTheDocumentedOne)
{
    SOF_CONTENTS contents;
    contents.part_name = "p";
    contents.jtag_user_code = 0xA1B2C3D4;
    contents.pof_id = 4;
    contents.cram = SOF_IMAGE::zeros(9);
    const std::string bytes = sof_encode(contents);
    EXPECT_EQ(bytes.substr(0, 4), "ZSOF");
    EXPECT_EQ(bytes[4], 1);  // version 1, little-endian
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(le32(bytes, 8), 1u);  // part name length
    EXPECT_EQ(bytes[12], 'p');
    EXPECT_EQ(le32(bytes, 13), 0xA1B2C3D4u);
    EXPECT_EQ(le32(bytes, 17), 4u);
    EXPECT_EQ(le32(bytes, 21), 0u);  // design hash length
    EXPECT_EQ(le32(bytes, 25), 0u);  // SLD blob length
    EXPECT_EQ(le32(bytes, 29), 0u);  // section count
    EXPECT_EQ(le32(bytes, 33), 9u);  // CRAM bits
    EXPECT_EQ(le32(bytes, 37), 2u);  // CRAM bytes
    EXPECT_EQ(le32(bytes, 43), 0u);  // optional image flags
    ASSERT_EQ(bytes.size(), 51u);
    EXPECT_EQ(le32(bytes, 47), zlib_crc(bytes.substr(0, 47)));
}

TEST_F(SofFormat, EveryTruncationIsRejected)
{
    const std::string bytes = sof_encode(sample_contents());
    for (size_t length = 0; length < bytes.size(); ++length)
    {
        SOF_CONTENTS read;
        std::string error;
        EXPECT_FALSE(sof_decode(bytes.substr(0, length), read, &error)) << length;
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(SofFormat, EveryFlippedByteIsRejected)
{
    const std::string bytes = sof_encode(sample_contents());
    for (size_t at = 0; at < bytes.size(); ++at)
    {
        std::string corrupt = bytes;
        corrupt[at] = static_cast<char>(corrupt[at] ^ 0x40);
        SOF_CONTENTS read;
        EXPECT_FALSE(sof_decode(corrupt, read)) << at;
    }
}

TEST_F(SofFormat, ConsistentFilesWithBadFieldsAreRejected)
{
    // A body whose checksum is right but whose fields do not add up.
    auto resealed = [](std::string body) {
        const uint32_t crc = zlib_crc(body);
        for (int i = 0; i < 4; ++i)
            body.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
        return body;
    };
    const std::string good = sof_encode(sample_contents());
    const std::string body = good.substr(0, good.size() - 4);
    SOF_CONTENTS read;
    std::string error;

    EXPECT_TRUE(sof_decode(resealed(body), read));
    EXPECT_FALSE(sof_decode(resealed(body + "x"), read, &error));
    EXPECT_EQ(error, "unexpected bytes after the last field");

    std::string version = body;
    version[4] = 2;
    EXPECT_FALSE(sof_decode(resealed(version), read, &error));
    EXPECT_EQ(error, "unknown version 2");

    std::string huge_length = body;
    huge_length[8] = '\xFF';
    huge_length[11] = '\x7F';
    EXPECT_FALSE(sof_decode(resealed(huge_length), read, &error));
    EXPECT_EQ(error, "truncated");
}

TEST_F(SofFormat, FailedWriteLeavesTheOldFileAndNoTemporary)
{
    ASSERT_TRUE(sof_write_file(path("a.sof"), sample_contents(), nullptr));
    const std::string before = read_bytes(path("a.sof"));
    // A directory where the file should go: the rename fails.
    fs::create_directory(path("b.sof"));
    std::string error;
    EXPECT_FALSE(sof_write_file(path("b.sof"), sample_contents(), nullptr, &error));
    EXPECT_NE(error.find("b.sof"), std::string::npos);
    EXPECT_FALSE(sof_write_file(path("missing/c.sof"), sample_contents(), nullptr));
    EXPECT_EQ(read_bytes(path("a.sof")), before);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(m_dir))
        entries += entry.path().filename().string()[0] == '.' ? 100 : 1;
    EXPECT_EQ(entries, 2u);
}

using ProgrammingFiles = TEMP_DIR;

TEST_F(ProgrammingFiles, ReadPofGivesTheBitfieldThePartAndNoMasks)
{
    ASSERT_TRUE(sof_write_file(path("a.sof"), sample_contents(), nullptr));
    PGMIO_BITFIELD* bitfield = nullptr;
    PGMIO_SENSITIVITY_MAP* map = reinterpret_cast<PGMIO_SENSITIVITY_MAP*>(1);
    PGMIO_PR_MASK* pr_mask = reinterpret_cast<PGMIO_PR_MASK*>(1);
    PGMIO_REGION_MASK* region_mask = reinterpret_cast<PGMIO_REGION_MASK*>(1);
    std::string part;
    ASSERT_TRUE(PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(path("a.sof")), &bitfield, &map, &pr_mask, &region_mask, part));
    std::unique_ptr<PGMIO_BITFIELD> owned(bitfield);
    EXPECT_EQ(part, "part_101");
    EXPECT_EQ(map, nullptr);
    EXPECT_EQ(pr_mask, nullptr);
    EXPECT_EQ(region_mask, nullptr);
    const std::string bytes = read_bytes(path("a.sof"));
    EXPECT_EQ(bitfield->get_file_checksum(), zlib_crc(bytes.substr(0, bytes.size() - 4)));
    expect_same(bitfield->contents(), sample_contents());
}

TEST_F(ProgrammingFiles, ReadPofRejectsTruncatedCorruptAndMissingFilesWithAnError)
{
    const std::string bytes = sof_encode(sample_contents());
    write_bytes(path("short.sof"), bytes.substr(0, bytes.size() - 1));
    std::string corrupt = bytes;
    corrupt[20] = static_cast<char>(corrupt[20] + 1);
    write_bytes(path("corrupt.sof"), corrupt);
    for (const char* name : {"short.sof", "corrupt.sof", "none.sof"})
    {
        PGMIO_BITFIELD* bitfield = reinterpret_cast<PGMIO_BITFIELD*>(1);
        std::string part = "stale";
        EXPECT_FALSE(
            PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(path(name)), &bitfield, nullptr, nullptr, nullptr, part));
        EXPECT_EQ(bitfield, nullptr);
        EXPECT_EQ(part, "");
    }
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 3u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].kind, MSG_POST_TYPE_ERROR);
    EXPECT_NE(MSG_REPORT::active().messages()[1].text.find("checksum mismatch"), std::string::npos);
}

TEST_F(ProgrammingFiles, WriteAllFilesWritesWhatTheOptionsAskAndReportsEachFile)
{
    PGMIO_BITFIELD bitfield(sample_contents(), 0);
    PGMIO_FILE_OPTIONS options;
    options.set_option(PGMIO_OPTION_SOF);
    options.set_option(PGMIO_OPTION_RBF);
    std::vector<std::string> lines{"kept"};
    ASSERT_TRUE(PGMIO_ASSEMBLER_SCRIBE::write_all_files(FIO_PATH(path("out.sof")), &bitfield, "other_part", &options,
                                                        nullptr, nullptr, nullptr, &lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"kept", "SRAM Object File ; " + path("out.sof"),
                                               "Raw Binary File ; " + path("out.rbf")}));
    SOF_CONTENTS read;
    ASSERT_TRUE(sof_read_file(path("out.sof"), read, nullptr));
    EXPECT_EQ(read.part_name, "other_part");
    EXPECT_EQ(read.cram, sample_contents().cram);
    EXPECT_EQ(read_bytes(path("out.rbf")), sample_contents().cram.bytes);
    EXPECT_FALSE(fs::exists(path("out.ttf")));

    EXPECT_FALSE(PGMIO_ASSEMBLER_SCRIBE::write_all_files(FIO_PATH(path("x.sof")), nullptr, "p", &options, nullptr,
                                                         nullptr, nullptr, nullptr));
    EXPECT_FALSE(fs::exists(path("x.sof")));
}

TEST_F(ProgrammingFiles, PmsfCompanionIsTheRawImageAndItsTextForm)
{
    SOF_CONTENTS pmsf;
    pmsf.cram = SOF_IMAGE::zeros(8 * 17);
    for (uint32_t byte = 0; byte < 17; ++byte)
        for (uint32_t bit = 0; bit < 8; ++bit)
            pmsf.cram.set_bit(byte * 8 + bit, ((byte * 7 + 3) >> bit) & 1);
    ASSERT_TRUE(sof_write_file(path("r.pmsf"), pmsf, nullptr));
    PGMIO_FILE_OPTIONS options;
    options.set_option(PGMIO_OPTION_RBF);
    options.set_option(PGMIO_OPTION_TTF);
    ASSERT_TRUE(
        PGMIO_ASSEMBLER_SCRIBE::write_pmsf_secondary_file(FIO_PATH(path("r.pmsf")), path("r.rbf"), &options, true, false));
    EXPECT_EQ(read_bytes(path("r.rbf")), pmsf.cram.bytes);
    std::string expected;
    for (uint32_t byte = 0; byte < 17; ++byte)
        expected += std::to_string((byte * 7 + 3) & 0xFF) + (byte == 15 ? ",\n" : byte == 16 ? "\n" : ", ");
    EXPECT_EQ(read_bytes(path("r.ttf")), expected);
    ASSERT_EQ(pgmio_calls().size(), 1u);
    EXPECT_EQ(pgmio_calls()[0].options, 12u);
    EXPECT_TRUE(pgmio_calls()[0].first_flag);
    EXPECT_FALSE(pgmio_calls()[0].second_flag);

    EXPECT_FALSE(PGMIO_ASSEMBLER_SCRIBE::write_pmsf_secondary_file(FIO_PATH(path("none.pmsf")), path("none.rbf"),
                                                                   &options, false, false));
    EXPECT_FALSE(fs::exists(path("none.rbf")));
}

namespace
{

// A revision description as the module hands it to the library.
class REVISION : public ASM2_IPROJECT_REVISION_INFO
{
public:
    REVISION(std::string directory, std::string file, size_t count)
        : m_directory(std::move(directory)), m_file(std::move(file)), m_records(count)
    {
    }
    const char* get_output_directory() override { return m_directory.c_str(); }
    const char* get_file_name() override { return m_file.c_str(); }
    const REGION_REVISION& get_region_revision(int index) override { return m_records.at(static_cast<size_t>(index)); }
    std::vector<std::string>* get_string_list() override { return &m_lines; }

    std::string m_directory;
    std::string m_file;
    std::vector<REGION_REVISION> m_records;
    std::vector<std::string> m_lines;
};

}  // namespace

using CoreLibrary = TEMP_DIR;

TEST_F(CoreLibrary, RouteInfoAndPartitionsKeepWhatTheyWereMadeFrom)
{
    DYGR_DIE_INFO die;
    die.set_cram_bit_count(96);
    std::unique_ptr<ASM2_IROUTE_INFO> route(stage_asm2_create_iroute_info(&die, "fam", nullptr));
    EXPECT_EQ(route->get_cram_bit_count(), 96u);
    EXPECT_STREQ(route->get_family_name(), "fam");
    EXPECT_EQ(stage_asm2_create_iroute_info(nullptr, "fam", nullptr), nullptr);

    DBCM_REGIONS regions;
    regions.add_region("top");
    regions.add_region("a.b.pr1");
    REVISION revision(m_dir, "rev.pmsf", 2);
    revision.m_records[1].design_hash = "h1";
    std::unique_ptr<ASM2_IPARTITIONS> partitions(
        stage_asm2_create_ipartitions(regions, ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION, revision));
    revision.m_records[1].design_hash = "changed after the call";
    EXPECT_EQ(partitions->get_count(), 2);
    ASM2_IPROJECT_REVISION_INFO* info = partitions->get_revision_info();
    EXPECT_NE(info, &revision);
    EXPECT_STREQ(info->get_file_name(), "rev.pmsf");
    EXPECT_EQ(info->get_region_revision(1).design_hash, "h1");
    EXPECT_THROW(info->get_region_revision(2), std::out_of_range);
    EXPECT_TRUE(info->get_string_list()->empty());

    ASM2_IPARTITIONS* empty = stage_asm2_get_empty_partitions();
    EXPECT_EQ(empty, stage_asm2_get_empty_partitions());
    EXPECT_EQ(empty->get_count(), 0);
    EXPECT_TRUE(empty->get_revision_info()->get_string_list()->empty());
}

TEST_F(CoreLibrary, UnknownProjectsAreRefused)
{
    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    scripting->reset();
    EXPECT_EQ(scripting->add_project(nullptr), -1);
    EXPECT_FALSE(scripting->assemble(0));
    EXPECT_EQ(scripting->get_last_error(), "no project of index 0");
    EXPECT_FALSE(scripting->write_sof(3, path("x.sof").c_str()));
    EXPECT_EQ(scripting->get_checksum(0), 0u);
    EXPECT_TRUE(scripting->called_operations(0).empty());
    EXPECT_FALSE(fs::exists(path("x.sof")));
}

TEST(ChipBundleTree, InstancesAndSettingsAreFoundBySymbolOnly)
{
    DBCM_CHIP chip;
    EXPECT_EQ(chip.get_tree(), nullptr);
    EXPECT_TRUE(chip.get_instance(0).is_null());
    DBCM_INSTANCE_NODE* tile = chip.add_top_block("io_48_lvds_tile");
    chip.add_top_block(ZSYM());
    tile->add_child("lane")->set_setting("mode", "ON");

    ASSERT_NE(chip.get_tree(), nullptr);
    EXPECT_EQ(chip.get_tree()->get_children(), (std::vector<int>{0, 1}));
    EXPECT_STREQ(chip.get_tree()->get_type(0).cname(), "io_48_lvds_tile");
    EXPECT_EQ(chip.get_tree()->get_type(0).get_namespace(), ZSYM_NAMESPACE_NAME);
    EXPECT_TRUE(chip.get_tree()->get_type(1).is_null());
    EXPECT_TRUE(chip.get_tree()->get_type(5).is_null());

    const DBCM_INSTANCE lane = chip.get_instance(0).get_child_instance(ZSYM("lane"));
    ASSERT_FALSE(lane.is_null());
    EXPECT_TRUE(lane.has_setting(ZSYM("mode")));
    EXPECT_EQ(lane.get_symbol(ZSYM("mode")), ZSYM("ON"));
    EXPECT_TRUE(lane.get_symbol(ZSYM("other")).is_null());
    // The same text in another namespace is another symbol.
    ZSYM elsewhere;
    elsewhere.use(ZSYM_NAMESPACE_LOCATION_ELEMENT, "lane");
    EXPECT_TRUE(chip.get_instance(0).get_child_instance(elsewhere).is_null());
    const DBCM_INSTANCE missing = lane.get_child_instance(ZSYM("none"));
    EXPECT_TRUE(missing.is_null());
    EXPECT_FALSE(missing.has_setting(ZSYM("mode")));
    EXPECT_TRUE(missing.get_child_instance(ZSYM("lane")).is_null());
    EXPECT_EQ(elsewhere.full_name(), "location_element::lane");
}

TEST(ChipBundle, BorrowedBitsBecomeConfigurationBitsWithAThreadCap)
{
    DBCM_CHIP chip;
    chip.set_config_bit(3);
    chip.add_borrowed_bit(9);
    EXPECT_FALSE(chip.copy_borrowed_bits_to_lent_bits(0));
    EXPECT_EQ(chip.config_bits(), (std::set<uint32_t>{3}));
    EXPECT_TRUE(chip.copy_borrowed_bits_to_lent_bits(2));
    EXPECT_EQ(chip.config_bits(), (std::set<uint32_t>{3, 9}));
    EXPECT_EQ(chip.last_copy_thread_cap(), 2);
}
