// SLD packets: each written packet decoded by the test's own reader, the
// compression threshold and its boundary, the synthesised files, and the
// files and sizes that are refused.
#include "asm_sld_utilities.h"
#include "sld_blob_reader.h"

#include <cfg.h>
#include <gen.h>
#include <msg.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace
{

// A content source in memory, whose reads can be made to fail.
class MEMORY_SOURCE : public ASM_SLD_FILESYS_INTERFACE
{
public:
    bool stat(const char*, FIO_STAT* record) override
    {
        record->st_size = static_cast<off_t>(size);
        record->st_ctime = static_cast<time_t>(time_stamp);
        ++stat_calls;
        return true;
    }
    bool read(const char*, uint8_t* buffer, uint64_t length) override
    {
        if (fail_read || length != content.size())
            return false;
        std::copy(content.begin(), content.end(), buffer);
        return true;
    }

    std::string content;
    uint64_t size = 0;
    uint64_t time_stamp = 0;
    bool fail_read = false;
    int stat_calls = 0;
};

// Bytes that compress poorly and others that compress well, as debug files
// mix both.
std::string mixed_bytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes;
    for (size_t i = 0; bytes.size() < size; ++i)
        bytes += (i % 2 == 0) ? std::string("node ") + std::to_string(i) + " type=tap\n"
                              : std::string(1, static_cast<char>(random() & 0xFF));
    return bytes.substr(0, size);
}

}  // namespace

class SldPacket : public testing::Test
{
protected:
    void SetUp() override
    {
        cfg_clear();
        msg_reset();
        char dir[] = "/tmp/asm_sld_packet_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        gen_set_project_output_directory(m_dir.string());
    }

    void TearDown() override
    {
        gen_set_project_output_directory("");
        fs::remove_all(m_dir);
    }

    fs::path write_file(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // The packet of one file on disk, decoded; empty when nothing was written.
    std::vector<SLD_PACKET> pack_file(const std::string& path, std::ostringstream& blob)
    {
        ASM_SLD_FILESYS_FIO_WRAPPER source;
        ASM_SLD_FILE_PACKET packet(&source, path.c_str());
        const std::string before = blob.str();
        if (!packet.write(blob))
        {
            EXPECT_EQ(blob.str(), before) << "a refused packet left bytes behind";
        }
        return read_sld_blob(blob.str());
    }

    fs::path m_dir;
};

TEST_F(SldPacket, TheDefaultThresholdKeepsTheBoundaryFileRawAndCompressesTheNext)
{
    const std::string raw = mixed_bytes(1024, 1);
    const std::string compressed = mixed_bytes(1025, 2);
    const fs::path raw_path = write_file(m_dir / "sld" / "at_threshold.bin", raw);
    const fs::path compressed_path = write_file(m_dir / "sld" / "above.bin", compressed);
    const fs::path empty_path = write_file(m_dir / "empty.txt", "");
    // A file outside the project directory keeps its full path.
    char outside_dir[] = "/tmp/asm_sld_outside_XXXXXX";
    ASSERT_NE(mkdtemp(outside_dir), nullptr);
    const fs::path outside = write_file(fs::path(outside_dir) / "far.txt", "far away");

    std::ostringstream blob;
    pack_file(raw_path.string(), blob);
    pack_file(compressed_path.string(), blob);
    pack_file(empty_path.string(), blob);
    const std::vector<SLD_PACKET> packets = pack_file(outside.string(), blob);
    fs::remove_all(outside_dir);
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(sld_compression_threshold(), 1024u);

    // Names are relative to the project directory.
    EXPECT_EQ(packets[0].name, "sld/at_threshold.bin");
    EXPECT_EQ(packets[0].compressed, 0);
    EXPECT_EQ(packets[0].stored_length, 1024u);
    EXPECT_EQ(packets[0].content, raw);

    EXPECT_EQ(packets[1].name, "sld/above.bin");
    EXPECT_EQ(packets[1].compressed, 1);
    EXPECT_EQ(packets[1].stored_length, packets[1].stored.size());
    EXPECT_NE(packets[1].stored, compressed);
    EXPECT_EQ(packets[1].content, compressed);

    EXPECT_EQ(packets[2].name, "empty.txt");
    EXPECT_EQ(packets[2].compressed, 0);
    EXPECT_EQ(packets[2].stored_length, 0u);
    EXPECT_EQ(packets[3].name, outside.string());
    EXPECT_EQ(packets[3].content, "far away");

    // The header carries the file's status-change time.
    struct stat status;
    ASSERT_EQ(::stat(raw_path.c_str(), &status), 0);
    EXPECT_EQ(packets[0].time_stamp, static_cast<uint64_t>(status.st_ctime) & 0xFFFFFFFFFFull);
    EXPECT_NE(packets[0].time_stamp, 0u);
}

TEST_F(SldPacket, TheIniThresholdIsReadOncePerProcess)
{
    cfg_set_value("sld_asm_file_size_req_for_compress", "100");
    const fs::path small = write_file(m_dir / "100.bin", mixed_bytes(100, 3));
    const fs::path large = write_file(m_dir / "101.bin", mixed_bytes(101, 4));
    std::ostringstream blob;
    pack_file(small.string(), blob);
    std::vector<SLD_PACKET> packets = pack_file(large.string(), blob);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].compressed, 0);
    EXPECT_EQ(packets[1].compressed, 1);
    EXPECT_EQ(packets[1].content, mixed_bytes(101, 4));

    // A later change of the switch does not reach this process.
    cfg_set_value("sld_asm_file_size_req_for_compress", "5000");
    packets = pack_file(large.string(), blob);
    EXPECT_EQ(packets.back().compressed, 1);
    EXPECT_EQ(sld_compression_threshold(), 100u);
}

TEST_F(SldPacket, FilesAndSizesThatCannotBePackedWriteNothing)
{
    std::ostringstream blob;
    blob << "earlier";
    ASM_SLD_FILESYS_FIO_WRAPPER files;
    const std::string missing = (m_dir / "missing.txt").string();
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&files, missing.c_str()).write(blob));
    EXPECT_EQ(blob.str(), "earlier");

    // A name that is not valid UTF-8.
    const fs::path bad_name = write_file(m_dir / "bad\xC3(.txt", "x");
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&files, bad_name.c_str()).write(blob));
    EXPECT_EQ(blob.str(), "earlier");

    // A content read that fails, raw or compressed, and the status is asked
    // once per packet.
    MEMORY_SOURCE source;
    source.content = mixed_bytes(2000, 5);
    source.size = source.content.size();
    source.fail_read = true;
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&source, "unreadable.bin").write(blob));
    source.content = "tiny";
    source.size = 4;
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&source, "unreadable.txt").write(blob));
    EXPECT_EQ(blob.str(), "earlier");
    source.fail_read = false;
    source.stat_calls = 0;
    // A time stamp keeps its low 40 bits.
    source.time_stamp = (1ull << 40) + 0x12345678ABull;
    std::ostringstream stamped;
    EXPECT_TRUE(ASM_SLD_FILE_PACKET(&source, "readable.txt").write(stamped));
    EXPECT_EQ(source.stat_calls, 1);
    EXPECT_EQ(read_sld_blob(stamped.str()).at(0).time_stamp, 0x12345678ABull);

    // Content above 32 bits is refused before any read.
    source.size = 0x100000000ull;
    source.content.clear();
    std::ostringstream empty;
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&source, "huge.bin").write(empty));
    EXPECT_TRUE(empty.str().empty());

    // The name field holds at most 65,535 bytes with the NUL.
    source.content = "n";
    source.size = 1;
    const std::string longest(65534, 'n');
    const std::string too_long(65535, 'n');
    EXPECT_FALSE(ASM_SLD_FILE_PACKET(&source, too_long.c_str()).write(empty));
    EXPECT_TRUE(empty.str().empty());
    ASSERT_TRUE(ASM_SLD_FILE_PACKET(&source, longest.c_str()).write(empty));
    const std::vector<SLD_PACKET> packets = read_sld_blob(empty.str());
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].name, longest);
}

TEST(SldHexText, DecodesPairsAndIgnoresTheUnpairedLast)
{
    EXPECT_EQ(sld_decode_hex_text("0a1B"), (std::vector<uint8_t>{0x0A, 0x1B}));
    EXPECT_EQ(sld_decode_hex_text("abc"), (std::vector<uint8_t>{0xAB}));
    EXPECT_EQ(sld_decode_hex_text("zF"), (std::vector<uint8_t>{0x0F}));
    EXPECT_TRUE(sld_decode_hex_text("").empty());
}
