// The sample design with debug files through the built host: the .sof,
// read with the layout of docs/sof-format.md, carries the packed debug
// files; a bad debug key stops the host.
#include "host_run.h"
#include "sld_blob_reader.h"

#include <zlib.h>

namespace fs = std::filesystem;

namespace
{

// The leading fields of an SRAM object file up to its SLD blob, read as
// docs/sof-format.md lays them out.
struct SOF_HEAD
{
    std::string part_name;
    uint32_t jtag_user_code = 0;
    uint32_t pof_id = 0;
    std::string design_hash;
    std::string sld_blob;
};

SOF_HEAD read_sof_head(const std::string& file)
{
    if (file.size() < 12 || file.compare(0, 4, "ZSOF") != 0)
        throw std::runtime_error("not an SRAM object file");
    // The trailer is the CRC-32 of every byte before it.
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(file.size() - 4));
    if (sld_le32(file, file.size() - 4) != static_cast<uint32_t>(crc))
        throw std::runtime_error("checksum mismatch");
    size_t at = 8;
    auto bytes = [&]() {
        const uint32_t length = sld_le32(file, at);
        at += 4;
        if (file.size() - at < length)
            throw std::runtime_error("length past the end");
        const std::string value = file.substr(at, length);
        at += length;
        return value;
    };
    SOF_HEAD head;
    head.part_name = bytes();
    head.jtag_user_code = sld_le32(file, at);
    head.pof_id = sld_le32(file, at + 4);
    at += 8;
    head.design_hash = bytes();
    head.sld_blob = bytes();
    return head;
}

}  // namespace

class HostSld : public HOST_RUN_TEST
{
};

TEST_F(HostSld, TheDebugFilesSampleCarriesItsPacketsInTheSof)
{
    const fs::path example = fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "debug_files";
    const HOST_RESULT run = run_host("assemble '" + example.string() + "' --out project");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has_line(run.output, "Messages: 0 errors, 0 warnings, 0 infos")) << run.output;
    const fs::path project = m_scratch / "project";
    ASSERT_TRUE(fs::is_regular_file(project / "probe_top.sld")) << run.output;
    EXPECT_FALSE(fs::exists(project / "probe_top.sldtmp"));

    const SOF_HEAD head = read_sof_head(read_text(project / "probe.sof"));
    EXPECT_EQ(head.part_name, "zx15f256c8");
    const std::vector<SLD_PACKET> packets = read_sld_blob(head.sld_blob);
    std::vector<std::string> names;
    for (const SLD_PACKET& packet : packets)
        names.push_back(packet.name);
    // The dot file and the nested directory's file stay out.
    ASSERT_EQ(names, (std::vector<std::string>{"design_hash.bin", "probe_top.sld", "jtag_id.txt",
                                               "sld_sysconfiles/hub.cfg", "sld_sysconfiles/instances.map"}));

    const std::string sld_text = read_text(project / "probe_top.sld");
    EXPECT_NE(sld_text.find("INSTANCE 1 signal_tap 6 auto_tap_0\n"), std::string::npos) << sld_text;
    EXPECT_NE(sld_text.find("INSTANCE 2 virtual_jtag 1 vjtag_uart\n"), std::string::npos) << sld_text;
    const size_t hash_at = sld_text.find("DESIGN_HASH ");
    ASSERT_NE(hash_at, std::string::npos);
    std::string hash_bytes;
    for (size_t i = hash_at + 12; i + 1 < sld_text.size() && sld_text[i] != '\n'; i += 2)
        hash_bytes.push_back(static_cast<char>(std::stoi(sld_text.substr(i, 2), nullptr, 16)));
    EXPECT_EQ(hash_bytes.size(), 16u);
    EXPECT_EQ(packets[0].content, std::string(2, '\0') + hash_bytes + std::string(4, '\0'));
    EXPECT_EQ(packets[1].content, sld_text);
    EXPECT_EQ(packets[2].content, "0x02D120DD,0x02D020DD");
    EXPECT_EQ(packets[3].compressed, 0);
    EXPECT_EQ(packets[3].content, read_text(project / "sld_sysconfiles" / "hub.cfg"));
    // The large map is stored compressed and inflates to the file.
    EXPECT_EQ(packets[4].compressed, 1);
    EXPECT_LT(packets[4].stored.size(), packets[4].content.size());
    EXPECT_EQ(packets[4].content, read_text(project / "sld_sysconfiles" / "instances.map"));
    // Files on disk carry their time stamps; the synthesised ones 0.
    for (size_t i = 0; i < packets.size(); ++i)
    {
        if (i == 0 || i == 2)
            EXPECT_EQ(packets[i].time_stamp, 0u) << packets[i].name;
        else
            EXPECT_NE(packets[i].time_stamp, 0u) << packets[i].name;
    }
}

TEST_F(HostSld, ABadDebugKeyStopsTheHostBeforeTheRun)
{
    const fs::path design = copy_example("debug_files", "mine");
    std::string text = read_text(design / "design.json");
    const std::string directory = "\"directory\": \"sld_sysconfiles\"";
    ASSERT_NE(text.find(directory), std::string::npos);
    text.replace(text.find(directory), directory.size(), "\"directory\": \"no_such_dir\"");
    std::ofstream(design / "design.json") << text;
    const HOST_RESULT run = run_host("assemble mine --out project");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("design.json: debug.sysconfiles[0].directory: not a directory of the design directory"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(m_scratch / "project"));
}

TEST_F(HostSld, ADirectoryInTheSldFilesPlaceIsReportedAndTheRunGoesOn)
{
    const fs::path design = copy_example("debug_files", "mine");
    fs::create_directory(design / "probe_top.sld");
    std::ofstream(design / "probe_top.sld" / "kept.txt") << "kept";
    const HOST_RESULT run = run_host("assemble mine --out project");
    const fs::path sld = m_scratch / "project" / "probe_top.sld";
    // The present content cannot be read (the error) and the new one cannot
    // take its place (the warning); the .sof is written without it.
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has_line(run.output, "Error (22183): Error: Failed to open file " + sld.string())) << run.output;
    EXPECT_TRUE(has_line(run.output, "Warning (12914): The file, " + sld.string() +
                                         ", is not embedded into sof file as expected.  Some tools, such as "
                                         "Tracewell, may not function fully."))
        << run.output;
    EXPECT_TRUE(has_line(run.output, "Messages: 1 errors, 1 warnings, 0 infos")) << run.output;
    const SOF_HEAD head = read_sof_head(read_text(m_scratch / "project" / "probe.sof"));
    std::vector<std::string> names;
    for (const SLD_PACKET& packet : read_sld_blob(head.sld_blob))
        names.push_back(packet.name);
    EXPECT_EQ(names, (std::vector<std::string>{"design_hash.bin", "jtag_id.txt", "sld_sysconfiles/hub.cfg",
                                               "sld_sysconfiles/instances.map"}));
    EXPECT_EQ(read_text(sld / "kept.txt"), "kept");
}
