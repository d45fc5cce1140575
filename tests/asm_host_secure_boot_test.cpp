// The security settings through the built host: the family 67 secure boot
// sample with its OPTIONS.bin decoded by protoc, and a missing key file.
#include "host_run.h"
#include "protoc_decode.h"

namespace fs = std::filesystem;

class HostSecureBoot : public HOST_RUN_TEST
{
};

TEST_F(HostSecureBoot, SampleStoresTheKeyFileAndTheSecuritySettings)
{
    const HOST_RESULT result = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/secure_boot' --out out");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(has_line(result.output, "Messages: 0 errors, 0 warnings, 2 infos")) << result.output;
    EXPECT_TRUE(fs::exists(m_scratch / "out" / "secure_boot.sof"));

    const std::string key = read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "secure_boot" / "design.zky");
    ASSERT_EQ(key.size(), 64u);
    const std::string decoded =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    for (const std::string& field : std::vector<std::string>
         {"design_zky: \"" + key + "\"", "encryption: true", "encryption_key_select: IIDPUFWRAP", "disable_jtag: ON\n",
          "disable_hps_debug: ON_STICKY", "response: TYPEII", "frequency_range_detection_in_percentage: 40",
          "temperature_detection_upper_value: 100", "temperature_detection_lower_value: -40",
          "tcb_info_vendor: \"Example Vendor\"", "crl_distribution_point: \"https://pki.example.com/crl/vault.crl\"",
          "sub_alt_name_product: \"Vault Board\""})
        EXPECT_NE(decoded.find(field), std::string::npos) << field << "\n" << decoded;
}

TEST_F(HostSecureBoot, MissingKeyFileStopsBeforeTheDeviceRun)
{
    const fs::path design = copy_example("secure_boot", "variant");
    fs::remove(design / "design.zky");
    const HOST_RESULT result = run_host("assemble variant --out out");
    EXPECT_EQ(result.status, 1) << result.output;
    const size_t missing = result.output.find((m_scratch / "out" / "design.zky").string() + "\" for programming");
    ASSERT_NE(missing, std::string::npos) << result.output;
    const size_t without = result.output.find("This design has enabled programming bitstream encryption.");
    EXPECT_TRUE(without != std::string::npos && without > missing) << result.output;
    EXPECT_FALSE(fs::exists(m_scratch / "out" / "secure_boot.sof"));
}
