// The HPS sample design through the built host: its configuration strings,
// given as the top partition's generated options, reach the "HANDOFF" record
// (read back by protoc), the block file of the design's layout and the dumps.
#include "host_run.h"
#include "protoc_decode.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

class HpsHost : public HOST_RUN_TEST
{
};

TEST_F(HpsHost, SampleDesignStoresTheRecordAndWritesTheBlockOfItsLayout)
{
    const fs::path design = copy_example("hps_handoff", "hps");
    const HOST_RESULT result = run_host("assemble hps --out project");
    ASSERT_EQ(result.status, 0) << result.output;
    const fs::path project = m_scratch / "project";
    const std::string stored_size = std::to_string(fs::file_size(project / "HANDOFF.bin"));
    EXPECT_TRUE(has_line(result.output, "  HANDOFF (" + stored_size + " bytes) -> HANDOFF.bin")) << result.output;
    // Family 29 on a base device named vw8revb...: the VW layout's variant.
    const std::string bin = read_text(project / "hps_bootloader_handoff.bin");
    ASSERT_EQ(bin.size(), 1609u);
    EXPECT_EQ(bin.substr(0, 8), std::string("BOOT\0\x04\0\x01", 8));

    const std::string stored = read_text(project / "HANDOFF.bin");
    const std::string text = protoc_decode("PB.HANDOFF_HPS", "handoff_hps.proto", stored);
    EXPECT_EQ(text.find("(protoc failed)"), std::string::npos) << text;
    EXPECT_NE(text.find("clocks {\n  clcok_name: \"hps_clk\"\n  clock_hz: 25000000\n}"), std::string::npos);
    EXPECT_NE(text.find("peripherals {\n  peri_name: \"emac0\"\n  used: true\n}"), std::string::npos);
    EXPECT_NE(text.find("device {\n  handoff_binary: \"BOOT\\000\\004\\000\\001"), std::string::npos);

    // The INI switch of the design asks for the dumps; the record's dump is
    // protobuf's text form, which protoc gives back the same.
    EXPECT_EQ(read_text(project / "asm_hps_handoff_data_dump.txt"), text);
    EXPECT_EQ(read_text(project / "handoff_array.txt").rfind("file debug\n", 0), 0u);
    EXPECT_NE(read_text(project / "hps_handoff_array_formated.txt").find("--- Misc configuration ----\n0x634\t= "),
              std::string::npos);
}
