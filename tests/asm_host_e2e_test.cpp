// The sample designs assembled end to end by the built host: the device run
// writes the SRAM object file and the report. The .sof is read back with the
// programming-file library and compared with what the example's design.json
// asks for, read here on its own with nlohmann-json; the report's texts are
// compared with the file read back.
#include "host_run.h"

#include <pgmio.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

namespace fs = std::filesystem;
using nlohmann::json;

namespace
{

// The SOF as the programming-file library reads it back.
struct READ_BACK
{
    bool ok = false;
    std::unique_ptr<PGMIO_BITFIELD> bitfield;
    std::string part_name;
};

READ_BACK read_back(const fs::path& sof)
{
    READ_BACK result;
    PGMIO_BITFIELD* bitfield = nullptr;
    result.ok = PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(sof.string()), &bitfield, nullptr, nullptr, nullptr,
                                                 result.part_name);
    result.bitfield.reset(bitfield);
    return result;
}

// The four bytes that end the file, least significant first.
uint32_t trailing_u32(const std::string& bytes)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[bytes.size() - 4 + i])) << (8 * i);
    return value;
}

std::string hex8(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string hex_bytes(const std::string& bytes)
{
    std::string text;
    char pair[3];
    for (unsigned char c : bytes)
    {
        std::snprintf(pair, sizeof pair, "%02X", c);
        text += pair;
    }
    return text;
}

// The string value of a namespace setting of the design; "" when absent.
std::string namespace_string_setting(const json& design, int id)
{
    for (const json& setting : design["settings"]["namespace"])
        if (setting["id"] == id)
            return setting["value"].get<std::string>();
    return "";
}

// The flat addresses of the bits set in an image.
std::set<uint32_t> set_bits(const SOF_IMAGE& image)
{
    std::set<uint32_t> bits;
    for (uint32_t i = 0; i < image.bit_count; ++i)
        if (image.get_bit(i))
            bits.insert(i);
    return bits;
}

}  // namespace

class HostEndToEnd : public HOST_RUN_TEST
{
protected:
    static json example_design(const std::string& name)
    {
        return json::parse(read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / name / "design.json"));
    }
};

TEST_F(HostEndToEnd, BasicSampleAssemblesToASofAndAReport)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "basic";
    const json design = example_design("basic");
    const HOST_RESULT run = run_host("assemble '" + example.string() + "' --out project");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 0")) << run.output;
    EXPECT_TRUE(has_line(run.output, "Result: 0")) << run.output;
    EXPECT_EQ(line_value(run.output, "Messages: ").rfind("0 errors", 0), 0u) << run.output;

    // The SRAM object file is named after the revision and written in the
    // project directory; the summary lists it with its size.
    const fs::path project = m_scratch / "project";
    const fs::path sof = project / (design["revision"].get<std::string>() + ".sof");
    ASSERT_TRUE(fs::is_regular_file(sof)) << run.output;
    const uintmax_t sof_size = fs::file_size(sof);
    EXPECT_TRUE(has_line(run.output, "  " + sof.filename().string() + " (" + std::to_string(sof_size) + " bytes)"))
        << run.output;

    // Read back: what the design asked for, and the file's own checksum.
    const READ_BACK read = read_back(sof);
    ASSERT_TRUE(read.ok);
    ASSERT_NE(read.bitfield, nullptr);
    const SOF_CONTENTS& contents = read.bitfield->contents();
    EXPECT_EQ(read.part_name, "zx15f256c8");  // the part's name, lower case
    const std::string user_code_text = namespace_string_setting(design, 1433);
    ASSERT_FALSE(user_code_text.empty()) << "the example sets a JTAG user code";
    const uint32_t user_code = static_cast<uint32_t>(std::stoul(user_code_text, nullptr, 16));
    EXPECT_EQ(contents.jtag_user_code, user_code);
    EXPECT_EQ(contents.pof_id, design["parts"][0]["pof_id"].get<uint32_t>());
    const std::string design_hash = design["partitions"][0]["design_hash"].get<std::string>();
    EXPECT_EQ(contents.design_hash, design_hash);
    EXPECT_EQ(contents.cram.bit_count, design["die"]["cram_bits"].get<uint32_t>());
    std::set<uint32_t> expected_bits;
    for (const json& bit : design["chip_bundle"]["config_bits"])
        expected_bits.insert(bit.get<uint32_t>());
    for (const json& bit : design["chip_bundle"]["borrowed_bits"])
        expected_bits.insert(bit.get<uint32_t>());
    EXPECT_FALSE(expected_bits.empty());
    EXPECT_EQ(set_bits(contents.cram), expected_bits);
    const std::string sof_bytes = read_text(sof);
    ASSERT_EQ(sof_bytes.size(), sof_size);
    const uint32_t checksum = read.bitfield->get_file_checksum();
    EXPECT_EQ(checksum, trailing_u32(sof_bytes));

    // The report: the file table and the .sof's settings table, whose rows
    // are the report line's items "JTAG usercode = ...", "Checksum = ..."
    // and "Design hash = ...".
    const fs::path report_file = project / "asm.rpt";
    ASSERT_TRUE(fs::is_regular_file(report_file)) << run.output;
    const std::string report = read_text(report_file);
    EXPECT_TRUE(has_line(run.output, "Report: asm.rpt (" + std::to_string(report.size()) + " bytes)")) << run.output;
    const std::vector<std::string> expected_tail = {
        "; Assembler Generated Files",
        "; File Name ;",
        "; " + fs::absolute(sof).lexically_normal().string() + " ;",
        "",
        "; Assembler Device Options: " + sof.filename().string(),
        "; Option ; Setting ;",
        "; JTAG usercode  ; " + hex8(user_code) + " ;",
        "; Checksum  ; " + hex8(checksum) + " ;",
        "; Design hash  ; " + hex_bytes(design_hash) + "  ;",
    };
    const std::vector<std::string> lines = lines_of(report);
    auto start = std::find(lines.begin(), lines.end(), expected_tail[0]);
    ASSERT_NE(start, lines.end()) << report;
    EXPECT_EQ(std::vector<std::string>(start, std::min(lines.end(), start + expected_tail.size())), expected_tail)
        << report;

    // The example itself is left as it was.
    EXPECT_FALSE(fs::exists(example / sof.filename()));
    EXPECT_FALSE(fs::exists(example / "asm.rpt"));
}

TEST_F(HostEndToEnd, Family54SampleTakesTheFlowHashAndTheLvdsJtagPofId)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "netlist_selection";
    const json design = example_design("netlist_selection");
    const HOST_RESULT run = run_host("assemble '" + example.string() + "' --out project");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(line_value(run.output, "Messages: ").rfind("0 errors", 0), 0u) << run.output;

    const fs::path sof = m_scratch / "project" / (design["revision"].get<std::string>() + ".sof");
    const READ_BACK read = read_back(sof);
    ASSERT_TRUE(read.ok) << run.output;
    const SOF_CONTENTS& contents = read.bitfield->contents();
    // No JTAG user code setting: all ones.
    EXPECT_TRUE(namespace_string_setting(design, 1433).empty());
    EXPECT_EQ(contents.jtag_user_code, 0xFFFFFFFFu);
    // The block tree drives an LVDS output over a GPIO-selected JTAG pin: the
    // part's POF id 4 is handed over as 8.
    ASSERT_EQ(design["parts"][0]["pof_id"].get<uint32_t>(), 4u);
    EXPECT_EQ(contents.pof_id, 8u);
    // Family 54 takes the flow's hash: second, then first, each least
    // significant byte first.
    std::string flow_hash;
    for (const char* half : {"second", "first"})
    {
        const uint64_t value = design["flow_design_hash"][half].get<uint64_t>();
        for (int i = 0; i < 8; ++i)
            flow_hash.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    EXPECT_EQ(contents.design_hash, flow_hash);
    EXPECT_EQ(contents.cram.bit_count, design["die"]["cram_bits"].get<uint32_t>());

    const std::string report = read_text(m_scratch / "project" / "asm.rpt");
    EXPECT_TRUE(has_line(report, "; Checksum  ; " + hex8(read.bitfield->get_file_checksum()) + " ;")) << report;
    EXPECT_TRUE(has_line(report, "; Design hash  ; " + hex_bytes(flow_hash) + "  ;")) << report;
    EXPECT_TRUE(has_line(report, "; JTAG usercode  ; 0xFFFFFFFF ;")) << report;
}

TEST_F(HostEndToEnd, TwoDesignsGiveTwoChecksums)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "basic";
    const fs::path other = copy_example("basic", "other");
    json document = json::parse(read_text(other / "design.json"));
    document["chip_bundle"]["config_bits"].push_back(1);
    write_text(other / "design.json", document.dump(2));

    ASSERT_EQ(run_host("assemble '" + example.string() + "' --out first").status, 0);
    ASSERT_EQ(run_host("assemble other --out second").status, 0);
    const READ_BACK first = read_back(m_scratch / "first" / "blinky.sof");
    const READ_BACK second = read_back(m_scratch / "second" / "blinky.sof");
    ASSERT_TRUE(first.ok);
    ASSERT_TRUE(second.ok);
    EXPECT_TRUE(second.bitfield->contents().cram.get_bit(1));
    EXPECT_FALSE(first.bitfield->contents().cram.get_bit(1));
    EXPECT_NE(first.bitfield->get_file_checksum(), second.bitfield->get_file_checksum());
}

TEST_F(HostEndToEnd, AnOrdinaryUsersReadOnlyInputsAreRead)
{
    // Samples of an ordinary user whose files are all read-only, as the
    // project directories that the runs copy them into: the module opens the
    // key file, the assignments file, its include and its token file for
    // reading only. Root may open any file for writing, so the runs are the
    // other user's.
    std::string why;
    const OTHER_USER nobody = other_user(why);
    if (nobody.runner.empty())
        GTEST_SKIP() << why;
    copy_example("secure_boot", "secure");
    copy_example("basic", "basic");
    const fs::path bits = copy_example("bit_settings", "bits");
    std::string assignments = read_text(bits / "assignments.xml");
    assignments.insert(assignments.find("  <asm_assignments"), "  <include path=\"more.xml\"/>\n");
    write_text(bits / "assignments.xml", assignments);
    write_text(bits / "more.xml", "<?xml version=\"1.0\"?>\n<assembler_options/>\n");
    for (const char* samples : {"secure", "basic", "bits"})
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_scratch / samples))
        {
            ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
            if (entry.is_regular_file())
                fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
    fs::create_directory(m_scratch / "work");
    ASSERT_EQ(::chown((m_scratch / "work").c_str(), 65534, 65534), 0);
    const std::pair<const char*, const char*> runs[] = {
        {"a key file", "assemble secure --out work/secure"},
        {"a design", "assemble basic --out work/basic"},
        {"an assignments file, its include and its token file",
         "process-sof work/basic/blinky.sof bits/assignments.xml --write --out work/bits"},
    };
    for (const auto& [what, arguments] : runs)
    {
        const HOST_RESULT run = run_host(arguments, nobody.runner, nobody.host);
        EXPECT_EQ(run.status, 0) << what << "\n" << run.output;
    }
}

TEST_F(HostEndToEnd, ABitOutsideTheImageExitsOneAndWritesNoSof)
{
    const fs::path design = copy_example("basic", "too_far");
    json document = json::parse(read_text(design / "design.json"));
    const std::string size = std::to_string(document["die"]["cram_bits"].get<uint32_t>());
    // The first address beyond the image.
    document["chip_bundle"]["config_bits"].push_back(document["die"]["cram_bits"]);
    write_text(design / "design.json", document.dump(2));

    const HOST_RESULT run = run_host("assemble too_far --out project");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("configuration bit " + size + " lies outside the " + size + "-bit image"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(has_line(run.output, "Exit status: 1 (the run posted an error)")) << run.output;
    EXPECT_FALSE(fs::exists(m_scratch / "project" / "blinky.sof"));
}
