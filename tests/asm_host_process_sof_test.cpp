// asm_host process-sof on the .sof that the host's device run writes for
// examples/basic: the bits that examples/bit_settings forces by every address
// form, checked with this test's own reader of docs/sof-format.md; the
// compare and read listings; and bad assignments files, after which nothing
// is written.
#include "host_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace
{

// The fields of an SRAM object file, read by the layout of
// docs/sof-format.md (little-endian; images as bit count and bytes).
struct SOF_FILE
{
    std::string part_name;
    uint32_t jtag_user_code = 0;
    uint32_t pof_id = 0;
    std::string design_hash;
    std::string sld_blob;
    std::vector<std::string> sections;  // name and content of each, joined
    std::string cram;
    uint32_t cram_bits = 0;
    uint32_t flags = 0;
    std::vector<std::string> optional_images;
    std::optional<uint32_t> option_register_word;
};

class SOF_READER
{
public:
    explicit SOF_READER(const std::string& bytes) : m_bytes(bytes) {}

    uint32_t u32()
    {
        need(4);
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(static_cast<unsigned char>(m_bytes[m_at + i])) << (8 * i);
        m_at += 4;
        return value;
    }
    std::string raw(size_t count)
    {
        need(count);
        std::string text = m_bytes.substr(m_at, count);
        m_at += count;
        return text;
    }
    std::string bytes() { return raw(u32()); }
    std::string image(uint32_t& bit_count)
    {
        bit_count = u32();
        std::string data = bytes();
        EXPECT_EQ(data.size(), (static_cast<size_t>(bit_count) + 7) / 8);
        return data;
    }
    size_t left() const { return m_bytes.size() - m_at; }

private:
    void need(size_t count)
    {
        if (m_bytes.size() - m_at < count)
            throw std::runtime_error("truncated SRAM object file");
    }
    const std::string& m_bytes;
    size_t m_at = 0;
};

SOF_FILE read_sof(const std::string& bytes)
{
    SOF_READER in(bytes);
    SOF_FILE sof;
    EXPECT_EQ(in.raw(4), "ZSOF");
    EXPECT_EQ(in.raw(4), std::string("\x01\x00\x00\x00", 4));
    sof.part_name = in.bytes();
    sof.jtag_user_code = in.u32();
    sof.pof_id = in.u32();
    sof.design_hash = in.bytes();
    sof.sld_blob = in.bytes();
    for (uint32_t count = in.u32(); count > 0; --count)
    {
        const std::string name = in.bytes();
        const uint32_t major = in.u32();
        const uint32_t minor = in.u32();
        sof.sections.push_back(name + "/" + std::to_string(major) + "/" + std::to_string(minor) + "/" + in.bytes());
    }
    sof.cram = in.image(sof.cram_bits);
    sof.flags = in.u32();
    for (uint32_t flag = 1; flag <= 4; flag <<= 1)
    {
        uint32_t bit_count = 0;
        if (sof.flags & flag)
            sof.optional_images.push_back(in.image(bit_count));
    }
    if (sof.flags & 8)
        sof.option_register_word = in.u32();
    in.u32();  // checksum
    EXPECT_EQ(in.left(), 0u);
    return sof;
}

bool bit_of(const std::string& image, uint32_t index) { return (image[index / 8] >> (index % 8)) & 1; }

void set_bit(std::string& image, uint32_t index, bool value)
{
    const char mask = static_cast<char>(1 << (index % 8));
    image[index / 8] = value ? static_cast<char>(image[index / 8] | mask) : static_cast<char>(image[index / 8] & ~mask);
}

class ProcessSofHost : public HOST_RUN_TEST
{
protected:
    void SetUp() override
    {
        HOST_RUN_TEST::SetUp();
        const HOST_RESULT assembled = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/basic' --out project");
        ASSERT_EQ(assembled.status, 0) << assembled.output;
        m_sof = m_scratch / "project" / "blinky.sof";
        m_original = read_text(m_sof);
    }

    fs::path m_sof;
    std::string m_original;
};

TEST_F(ProcessSofHost, EveryAddressFormForcesExactlyItsBits)
{
    const HOST_RESULT run = run_host("process-sof project/blinky.sof '" ASM_TEST_SOURCE_DIR
                                     "/examples/bit_settings/assignments.xml' --write --out applied");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("JTAG user code: 0x00C0FFEE -> 0x0BADC0DE"), std::string::npos) << run.output;
    // The original is left alone; the copy is rewritten.
    EXPECT_EQ(read_text(m_sof), m_original);

    const SOF_FILE before = read_sof(m_original);
    const SOF_FILE after = read_sof(read_text(m_scratch / "applied" / "blinky.sof"));

    // The bits the example forces, as the example's forms and the basic
    // design (64 CRAM columns, a LUT_MUX group of 4-bit elements at 3072)
    // define them.
    std::map<uint32_t, bool> forced = {{7, false}};
    for (uint32_t k = 0; k < 8; ++k)  // 200:207 = A5
        forced[200 + k] = (0xA5 >> k) & 1;
    for (uint32_t k = 0; k < 4; ++k)  // row 10, columns 0:3 = F
        forced[640 + k] = true;
    forced[300] = forced[301] = true;  // LED_MODE = 3
    forced[310] = true;  // LED_LANES = 5 over LANE0..2
    forced[311] = false;
    forced[312] = true;
    for (uint32_t k = 0; k < 4; ++k)  // the nibble package (5) at 1024
        forced[1024 + k] = (5 >> k) & 1;
    forced[20 * 64 + 8] = forced[21 * 64 + 8] = true;  // base row 20, column 8
    for (uint32_t k = 0; k < 4; ++k)  // element 1 of the group, argument 9
        forced[3072 + 4 + k] = (9 >> k) & 1;

    std::string expected = before.cram;
    for (const auto& [index, value] : forced)
        set_bit(expected, index, value);
    EXPECT_EQ(after.cram_bits, before.cram_bits);
    EXPECT_EQ(after.cram, expected);
    EXPECT_FALSE(bit_of(after.cram, 7));
    EXPECT_TRUE(bit_of(before.cram, 7));

    EXPECT_EQ(after.jtag_user_code, 0x0BADC0DEu);
    EXPECT_EQ(after.part_name, before.part_name);
    EXPECT_EQ(after.pof_id, before.pof_id);
    EXPECT_EQ(after.design_hash, before.design_hash);
    EXPECT_EQ(after.sld_blob, before.sld_blob);
    EXPECT_EQ(after.sections, before.sections);
    EXPECT_EQ(after.optional_images, before.optional_images);
    EXPECT_FALSE(after.option_register_word.has_value());

    // Compare lists 1 where the file differs from the request; read lists
    // the file as it was before the forcing.
    EXPECT_EQ(read_text(m_scratch / "applied" / "compare.txt"),
              "$CRAM\n100 : 0 : a design bit, expected set\n2047 : 1 : a design bit, expected clear\n\n");
    EXPECT_NE(run.output.find("  compare.txt (84 bytes)\n    | $CRAM\n    | 100 : 0 : a design bit, expected set\n"
                              "    | 2047 : 1 : a design bit, expected clear\n    | \n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(read_text(m_scratch / "applied" / "read.txt"),
              "$CRAM\n6 : 0\n7 : 1\n\n\n$JTAG_USER_CODE : 110000001111111111101110\n");
    const std::vector<std::string> override_lines = lines_of(read_text(m_scratch / "applied" / "override.txt"));
    ASSERT_GE(override_lines.size(), 3u);
    EXPECT_EQ(override_lines[0], "$CRAM");
    EXPECT_EQ(override_lines[1], "0 7 : 0 : clear a design bit");
    EXPECT_EQ(override_lines.back(), "$JTAG_USER_CODE : 1011101011011100000011011110");
}

TEST_F(ProcessSofHost, WithoutWriteTheFileStaysAsItWas)
{
    // The copies of the .sof and of the assignments file's directory keep
    // their bytes and permission bits.
    const fs::path bits = copy_example("bit_settings", "bits");
    fs::create_directories(bits / "more");
    write_text(bits / "more" / "notes.txt", "kept\n");
    const fs::perms sof_mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const fs::perms notes_mode = sof_mode | fs::perms::owner_exec | fs::perms::others_read;
    fs::permissions(m_sof, sof_mode);
    fs::permissions(bits / "more" / "notes.txt", notes_mode);
    const HOST_RESULT run = run_host("process-sof project/blinky.sof bits/assignments.xml --out dry");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(read_text(m_scratch / "dry" / "blinky.sof"), m_original);
    EXPECT_TRUE(fs::exists(m_scratch / "dry" / "read.txt"));
    EXPECT_EQ(read_text(m_scratch / "dry" / "more" / "notes.txt"), "kept\n");
    const auto mode = [](const fs::path& file) { return static_cast<unsigned>(fs::status(file).permissions()); };
    EXPECT_EQ(mode(m_scratch / "dry" / "blinky.sof"), static_cast<unsigned>(sof_mode));
    EXPECT_EQ(mode(m_scratch / "dry" / "more" / "notes.txt"), static_cast<unsigned>(notes_mode));
}

TEST_F(ProcessSofHost, BadFilesStopTheRunBeforeAnythingIsWritten)
{
    struct CASE
    {
        const char* body;
        const char* message;
    };
    const CASE cases[] = {
        {"<token_file filename='blinky.tok'/><bit_settings action='override'><cram>"
         "<token_1d name='NO_SUCH_TOKEN' value='1'/></cram></bit_settings>",
         "Token \"NO_SUCH_TOKEN\" was not found in the token file(s)"},
        {"<bit_settings action='override'><jtag_user_code value='1'/><cram><address_1d addr='1' value='1'/></cram>"
         "</bit_settings><bit_settings action='override'><jtag_user_code value='2'/></bit_settings>",
         "Found repeated JTAG user code settings"},
        {"<bit_settings action='override'><option_register index='4' value='1'/></bit_settings>"
         "<bit_settings action='override'><option_register index='36' value='0'/></bit_settings>",
         "Found repeated forced bit settings for option register index 36 in the Assembler assignments file"},
        {"<bit_settings action='override'><cram><address_1d addr='4094:4097' value='F'/></cram></bit_settings>",
         "Forced bit index 4096 is outside the CRAM image of 4096 bits in the Assembler assignments file"},
        // The report quotes the token's name with its C1 control escaped.
        {"<token_file filename='blinky.tok'/><bit_settings action='override'><cram>"
         "<token_1d name='LED\xc2\x9b" "31mQ' value='1'/></cram></bit_settings>",
         "Token \"LED\\xc2\\x9b31mQ\" was not found in the token file(s)"},
    };
    int n = 0;
    for (const CASE& bad : cases)
    {
        const fs::path dir = m_scratch / ("bad" + std::to_string(n));
        fs::create_directories(dir);
        fs::copy_file(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "bit_settings" / "blinky.tok", dir / "blinky.tok");
        write_text(dir / "bad.xml", std::string("<?xml version='1.0'?><assembler_options><asm_assignments>") +
                                        bad.body + "</asm_assignments></assembler_options>");
        const std::string out = "out" + std::to_string(n++);
        const HOST_RESULT run = run_host("process-sof project/blinky.sof '" + (dir / "bad.xml").string() +
                                         "' --write --out " + out);
        EXPECT_EQ(run.status, 3) << run.output;
        // The internal-error report's condition, a line of its own.
        EXPECT_TRUE(has_line(run.output, bad.message)) << run.output;
        EXPECT_EQ(read_text(m_scratch / out / "blinky.sof"), m_original);
        EXPECT_NE(run.output.find("Files written: none"), std::string::npos) << run.output;
    }

    const HOST_RESULT usage = run_host("process-sof project/blinky.sof");
    EXPECT_EQ(usage.status, 2) << usage.output;
}

// An include that names a directory, listed before another include, and a
// token file that is a device: each is the failure of a file that cannot be
// opened, and the file is not rewritten.
TEST_F(ProcessSofHost, AnIncludeOrTokenFileThatIsNoRegularFileFailsLikeOneThatCannotBeOpened)
{
    const fs::path dir = m_scratch / "assignments";
    fs::create_directories(dir / "sub");
    write_text(dir / "more.xml", "<?xml version='1.0'?><assembler_options><asm_assignments>"
                                 "<bit_settings action='override'><cram><address_1d addr='2' value='1'/></cram>"
                                 "</bit_settings></asm_assignments></assembler_options>");
    write_text(dir / "main.xml", "<?xml version='1.0'?><assembler_options><include path='sub/'/>"
                                 "<include path='more.xml'/><asm_assignments><bit_settings action='override'>"
                                 "<cram><address_1d addr='1' value='1'/></cram></bit_settings></asm_assignments>"
                                 "</assembler_options>");
    const HOST_RESULT run =
        run_host("process-sof project/blinky.sof '" + (dir / "main.xml").string() + "' --write --out included");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has_line(run.output, "Result: done")) << run.output;
    EXPECT_TRUE(has_line(run.output, "Messages: 1 errors")) << run.output;
    EXPECT_NE(run.output.find("/included/sub/\", line 0, column 0: unable to open primary document entity '"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(read_text(m_scratch / "included" / "blinky.sof"), m_original);

    write_text(dir / "device.xml", "<?xml version='1.0'?><assembler_options><asm_assignments>"
                                   "<token_file filename='/dev/null'/></asm_assignments></assembler_options>");
    const HOST_RESULT device =
        run_host("process-sof project/blinky.sof '" + (dir / "device.xml").string() + "' --write --out device");
    EXPECT_EQ(device.status, 3) << device.output;
    EXPECT_NE(device.output.find("Cannot open TOKEN file /dev/null specified in ASM assignment file"),
              std::string::npos)
        << device.output;
    EXPECT_EQ(read_text(m_scratch / "device" / "blinky.sof"), m_original);
}

}  // namespace
