// The security settings through the built host: the family 67 secure boot
// sample (key file, encryption, fuses, anti-tamper, attestation) with its
// OPTIONS.bin decoded by protoc, and variants that stop it.
#include "host_run.h"
#include "protoc_decode.h"

namespace fs = std::filesystem;

class HostSecureBoot : public HOST_RUN_TEST
{
protected:
    // A copy of the sample with one text of its design.json replaced.
    fs::path variant(const std::string& from, const std::string& to)
    {
        const fs::path design = copy_example("secure_boot", "variant");
        std::string text = read_text(design / "design.json");
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
        write_text(design / "design.json", text);
        return design;
    }

    std::string decoded_options() const
    {
        return protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    }
};

TEST_F(HostSecureBoot, SampleStoresTheKeyFileAndTheSecuritySettings)
{
    const HOST_RESULT result = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/secure_boot' --out out");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(has_line(result.output, "Messages: 0 errors, 0 warnings, 2 infos")) << result.output;
    EXPECT_TRUE(fs::exists(m_scratch / "out" / "secure_boot.sof"));

    const std::string key = read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "secure_boot" / "design.zky");
    ASSERT_EQ(key.size(), 64u);
    const std::string decoded = decoded_options();
    for (const std::string& field :
         {"design_zky: \"" + key + "\"", std::string("encryption: true"),
          std::string("encryption_key_select: IIDPUFWRAP"), std::string("disable_jtag: ON\n"),
          std::string("disable_hps_debug: ON_STICKY"), std::string("response: TYPEII"),
          std::string("frequency_range_detection_in_percentage: 40"),
          std::string("temperature_detection_upper_value: 100"), std::string("temperature_detection_lower_value: -40"),
          std::string("tcb_info_vendor: \"Example Vendor\""),
          std::string("crl_distribution_point: \"https://pki.example.com/crl/vault.crl\""),
          std::string("sub_alt_name_product: \"Vault Board\""), std::string("enable_fpga_tamper_detection: false")})
        EXPECT_NE(decoded.find(field), std::string::npos) << field << "\n" << decoded;
}

TEST_F(HostSecureBoot, MissingKeyFileStopsBeforeTheDeviceRun)
{
    const fs::path design = copy_example("secure_boot", "variant");
    fs::remove(design / "design.zky");
    const HOST_RESULT result = run_host("assemble variant --out out");
    EXPECT_EQ(result.status, 1) << result.output;
    const size_t missing = result.output.find("cannot be located");
    const size_t without = result.output.find("You must also enable authentication by specifying a valid ZKY file");
    ASSERT_NE(missing, std::string::npos) << result.output;
    EXPECT_NE(result.output.find((m_scratch / "out" / "design.zky").string()), std::string::npos) << result.output;
    EXPECT_GT(without, missing);
    EXPECT_FALSE(fs::exists(m_scratch / "out" / "secure_boot.sof"));
    EXPECT_EQ(decoded_options().find("design_zky"), std::string::npos);
}

TEST_F(HostSecureBoot, KeyFileNeedsFortyEightBytes)
{
    const fs::path design = copy_example("secure_boot", "short");
    const std::string key = read_text(design / "design.zky");
    write_text(design / "design.zky", key.substr(0, 47));
    HOST_RESULT result = run_host("assemble short --out out");
    EXPECT_EQ(result.status, 3) << result.output;
    EXPECT_NE(result.output.find("Incorrect formated ZKY file - must have at least 48 Bytes"), std::string::npos)
        << result.output;

    write_text(design / "design.zky", key.substr(0, 48));
    result = run_host("assemble short --out out48");
    EXPECT_EQ(result.status, 0) << result.output;
}

TEST_F(HostSecureBoot, RevisionsWithDifferentKeyStoresAreReportedOnce)
{
    const fs::path design = variant(R"("revisions": ["secure_boot"])", R"("revisions": ["secure_boot", "b", "c"])");
    write_text(design / "b.zsf", "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT BBRAM\n");
    write_text(design / "c.zsf", "9 PROGRAMMING_BITSTREAM_ENCRYPTION_KEY_SELECT EFUSE\n");
    const HOST_RESULT result = run_host("assemble variant --out out");
    EXPECT_EQ(result.status, 1) << result.output;
    const std::string text = "Encryption key storage location is not consistent across all revisions.";
    const size_t first = result.output.find(text);
    ASSERT_NE(first, std::string::npos) << result.output;
    EXPECT_EQ(result.output.find(text, first + 1), std::string::npos) << result.output;
    EXPECT_FALSE(fs::exists(m_scratch / "out" / "secure_boot.sof"));
}

TEST_F(HostSecureBoot, TamperSignalOfAnIpPartitionIsArmed)
{
    // A second partition, after the top one, carries the IP's generated option.
    variant("    }\n  ],\n  \"option_block\"", R"(    },
    { "name": "tamper_ip", "generated_options": [ { "id": 686, "type": "boolean", "value": true } ] }
  ],
  "option_block")");
    const HOST_RESULT result = run_host("assemble variant --out out");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(decoded_options().find("enable_fpga_tamper_detection: true"), std::string::npos) << decoded_options();
}
