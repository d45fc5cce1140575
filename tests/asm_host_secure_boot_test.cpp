// The security settings through the built host: the family 67 secure boot
// sample with its OPTIONS.bin decoded by protoc, and a missing key file (its
// name printed escaped).
#include "host_run.h"
#include "protoc_decode.h"

#include <nlohmann/json.hpp>

#include <algorithm>

using nlohmann::json;

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
    struct CASE
    {
        const char* what;
        const char* key;      // setting 1519, or null for the sample's, removed
        const char* printed;  // the key file's name as the error prints it
    };
    const CASE cases[] = {
        {"the sample's key file removed", nullptr, "design.zky"},
        {"a key file named with control characters", "de\x1b[31msign\x7f.zky", "de\\x1b[31msign\\x7f.zky"},
    };
    int n = 0;
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string name = "variant" + std::to_string(n++);
        const fs::path design = copy_example("secure_boot", name);
        fs::remove(design / "design.zky");
        if (c.key != nullptr)
        {
            json document = json::parse(read_text(design / "design.json"));
            for (json& setting : document["partitions"][0]["settings"])
                if (setting["id"] == 1519)
                    setting["value"] = c.key;
            write_text(design / "design.json", document.dump());
        }
        const fs::path out = m_scratch / (name + "_out");
        const HOST_RESULT result = run_host("assemble " + name + " --out " + out.filename().string());
        EXPECT_EQ(result.status, 1) << result.output;
        const std::string missing = "Error (20588): The specified file \"" + (out / c.printed).string() +
                                    "\" for programming bitstream authentication cannot be located.";
        const std::vector<std::string> lines = lines_of(result.output);
        const auto at = std::find(lines.begin(), lines.end(), missing);
        ASSERT_NE(at, lines.end()) << result.output;
        EXPECT_NE(std::find_if(at, lines.end(),
                               [](const std::string& line) {
                                   return line.find("This design has enabled programming bitstream encryption.") !=
                                          std::string::npos;
                               }),
                  lines.end())
            << result.output;
        EXPECT_FALSE(fs::exists(out / "secure_boot.sof"));
    }
}
