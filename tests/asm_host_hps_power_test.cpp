// The sector and HPS keys of design.json (read and refused) and the family
// 29 HPS and power-management sample assembled by the built host, its
// OPTIONS.bin decoded by protoc.
#include "design_error.h"
#include "host_run.h"
#include "protoc_decode.h"

namespace fs = std::filesystem;

namespace
{

const char* const MINIMAL = R"({
  "revision": "r", "compilation": "c", "family": 29, "part": 1, "device_name": "D",
  "programming_mode": 0, "crc_clock_divisor": 1,
  "parts": [ { "part": 1, "name": "P", "device": 10 } ],
  "devices": [ { "device": 10, "base_device": 10, "user_name": "vw8d" } ],
  "die": { "device_data": [], "cram_bits": 8 },
  "chip_bundle": BUNDLE
})";

std::string bundle_error(const std::string& bundle)
{
    std::string text = MINIMAL;
    text.replace(text.find("BUNDLE"), 6, bundle);
    return design_error_text(text);
}

}  // namespace

TEST(HostSectorKeys, BadBlocksAndSectorsNameTheirKey)
{
    EXPECT_EQ(bundle_error(R"({ "blocks": [ { "type": "lab", "name": "a", "location": { "x": 1, "y": 2 } } ],
                                "sectors": [ { "name": "CORE_0_0", "type": "CORE", "blocks": [ { "name": "a" } ] } ] })"),
              "");
    EXPECT_EQ(bundle_error(R"({ "blocks": [ { "type": "lab", "location": { "x": 1, "y": 2 } } ] })"),
              "chip_bundle.blocks[0].name: a block with a location or a global id needs a name");
    EXPECT_EQ(bundle_error(R"({ "blocks": [ { "type": "lab", "name": "a", "location": { "x": 1, "y": 2, "w": 3 } } ] })"),
              "chip_bundle.blocks[0].location.w: unknown key");
    EXPECT_EQ(bundle_error(R"({ "blocks": [ { "type": "lab", "name": "a", "location": { "x": 1, "y": 2 } } ],
                                "sectors": [ { "name": "CORE_0_0", "type": "CORE", "blocks": [ { "name": "a" } ] },
                                             { "name": "CORE_0_1", "type": "CORE", "blocks": [ { "name": "a" } ] } ] })"),
              "chip_bundle.sectors[1].blocks[0].name: sector block a is given twice");
}

class HostHpsPowerRun : public HOST_RUN_TEST
{
};

TEST_F(HostHpsPowerRun, Family29SampleStoresHpsPowerSeuAndSectors)
{
    const HOST_RESULT result =
        run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/hps_power' --out out --debug-log debug.txt");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(has_line(result.output, "Messages: 0 errors, 0 warnings, 2 infos")) << result.output;

    const std::string decoded =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    for (const char* field :
         {"HPS_PRESENT: true", "HPS_DDR_MODE: DDR_40", "hps_wachdog_expiration: COLD_RESET_WITH_RSU",
          "l3_cache_size: FULL_ON", "HPS_IO_NUM: HPS_IO_2", "vout_format: DIRECT", "vout_min: 679", "vout_max: 927",
          "seu_enable: true", "enable_status_byte: true", "hpio_hash: ",
          "sectors {\n  x0: 2\n  x1: 0\n  type: CORE\n  blacklisted: true\n}",
          "sectors {\n  x0: 0\n  x1: 1\n  type: CORE\n  seu_priority: true\n}",
          "sectors {\n  x0: 1\n  x1: 1\n  type: CORE\n  seu_priority: true\n}",
          "features {\n  id: 0\n  name: \"SOF FEATURE TRACKING\"\n}"})
        EXPECT_NE(decoded.find(field), std::string::npos) << field << "\n" << decoded;

    const std::string debug = read_text(m_scratch / "debug.txt");
    EXPECT_NE(debug.find("SECTOR_SEU: Sector CORE_2_0 is blacklisted, SEU priority will not be set"),
              std::string::npos);
    EXPECT_NE(debug.find("PWRMGT_SLAVE_ADDRESS PWRMGT_DEVICE2_SLAVE_ADDRESS = 00 l= 0 slave_index = 2"),
              std::string::npos);
}
