// The option block through the host: the design.json keys of "option_block"
// (read, refused, handed to the stand-ins) and the family 52 sample design
// assembled by the built host, its OPTIONS.bin decoded by protoc.
#include "design_error.h"
#include "host_run.h"
#include "protoc_decode.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace
{

const char* const MINIMAL = R"({
  "revision": "r", "compilation": "c", "family": 44, "part": 1, "device_name": "D",
  "programming_mode": 0, "crc_clock_divisor": 1,
  "parts": [ { "part": 1, "name": "P", "device": 10 } ],
  "devices": [ { "device": 10, "base_device": 10, "user_name": "d" } ],
  "die": { "device_data": [], "cram_bits": 8 },
  "netlist": { "atoms": [ { "name": "top", "type": "t", "children": { "atoms": [ { "name": "cb", "type": "MOVARSIXTEEN_CB_CORE" } ] } } ] },
  "option_block": OPTION_BLOCK
})";

std::string design_text(const std::string& option_block)
{
    std::string text = MINIMAL;
    text.replace(text.find("OPTION_BLOCK"), 12, option_block);
    return text;
}

std::string design_error(const std::string& option_block)
{
    return design_error_text(design_text(option_block));
}

// The usage texts of the pin-mux entries, in order.
std::vector<std::string> usages(const std::string& decoded)
{
    std::vector<std::string> list;
    std::istringstream in(decoded);
    for (std::string line; std::getline(in, line);)
    {
        const size_t at = line.find("usage: \"");
        if (at != std::string::npos)
            list.push_back(line.substr(at + 8, line.size() - at - 9));
    }
    return list;
}

}  // namespace

TEST(HostOptionBlockKeys, BadValuesNameTheirKey)
{
    EXPECT_EQ(design_error(R"({ "user_famly": 1 })"), "option_block.user_famly: unknown key");
    EXPECT_EQ(design_error(R"({ "revisions": ["a/b"] })"),
              "option_block.revisions[0]: a revision name names files of the project directory and cannot hold \"/\"");
    EXPECT_EQ(design_error(R"({ "enum_names": [ { "value": 70000, "name": "X" } ] })"),
              "option_block.enum_names[0].value: expected an integer from 0 to 65535");
    EXPECT_EQ(design_error(R"({ "atom_parameters": [ { "atom": "nowhere", "parameters": {} } ] })"),
              "option_block.atom_parameters[0].atom: no atom nowhere in the netlist");
}

class HostOptionBlockRun : public HOST_RUN_TEST
{
};

TEST_F(HostOptionBlockRun, Family52SampleStoresAFilledRecord)
{
    const HOST_RESULT result = run_host("assemble '" ASM_TEST_SOURCE_DIR "/examples/option_block' --out out");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(has_line(result.output, "Messages: 0 errors, 0 warnings, 2 infos")) << result.output;
    EXPECT_TRUE(fs::exists(m_scratch / "out" / "sdm_board.sof"));

    const std::string decoded =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    for (const char* field : {"device_init_clock_hz: 100000000", "active_serial_clock_hz: 125000000",
                              "configuration_scheme: Active_Serial_x4", "jtag_user_code: 1592590418",
                              "run_config_cpu_from_int_osc: true", "ed_crc_divisor: 0", "cram_hash: "})
        EXPECT_NE(decoded.find(field), std::string::npos) << field << "\n" << decoded;
    EXPECT_EQ(usages(decoded),
              (std::vector<std::string>{"INIT_DONE", "AS_DATA1", "AS_CLK", "AS_DATA2", "AS_DATA0", "AS_nCSO0",
                                        "AS_DATA3", "AS_nCSO2", "AS_nCSO3", "AS_nCSO1", "SEU_ERROR", "NA", "NA", "NA",
                                        "NA", "AS_RESET", "CONF_DONE"}));
    // The dump that the sample's zorvane.ini asks for shows the last save.
    const std::string dump = read_text(m_scratch / "out" / "asm_option_data_dump.txt");
    EXPECT_NE(dump.find("cram_hash: "), std::string::npos);
    EXPECT_EQ(usages(dump), usages(decoded));
}

TEST_F(HostOptionBlockRun, ManyAtomParametersAreReadAndSetInLinearTime)
{
    // The sample with n more atoms, each given a parameter, the last atom
    // first: the run's CPU time grows with n, not with n squared.
    const size_t n = 4000;
    for (size_t size : growth_sizes(n))
    {
        const fs::path design = copy_example("option_block", "design" + std::to_string(size));
        nlohmann::json data = nlohmann::json::parse(read_text(design / "design.json"));
        for (size_t i = 0; i < size; ++i)
        {
            data["netlist"]["atoms"].push_back({{"name", "atom_" + std::to_string(i)}, {"type", "la_lab"}});
            data["option_block"]["atom_parameters"].push_back(
                {{"atom", "atom_" + std::to_string(size - 1 - i)}, {"parameters", {{"p", "v"}}}});
        }
        write_text(design / "design.json", data.dump());
        write_text(design / "zorvane.ini", "skip_asm = on\n");
    }
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        const std::string name = std::to_string(size);
        // The sizes run again, and a project directory is never reused.
        fs::remove_all(m_scratch / ("out" + name));
        const HOST_RESULT run = run_host("assemble design" + name + " --out out" + name);
        EXPECT_EQ(run.status, 0) << run.output;
    }));
}

TEST_F(HostOptionBlockRun, PinConflictStopsBeforeTheDeviceRun)
{
    const fs::path design = copy_example("option_block", "conflict");
    // CONF_DONE on a pin of the active serial scheme: counted, so the run
    // stops after storing the record and writes no .sof.
    std::string text = read_text(design / "design.json");
    text.replace(text.find("SDM_IO16"), 8, "SDM_IO5");
    write_text(design / "design.json", text);
    const HOST_RESULT result = run_host("assemble conflict --out out");
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("SDM_IO 5 has conflicting assignments of CONF_DONE and AS_nCSO0"), std::string::npos)
        << result.output;
    EXPECT_FALSE(fs::exists(m_scratch / "out" / "sdm_board.sof"));
    const std::string decoded =
        protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    EXPECT_EQ(usages(decoded)[5], "AS_nCSO0");
    EXPECT_EQ(decoded.find("cram_hash"), std::string::npos);
}
