// A new user's first designs through the built host: the minimal family 29
// and 52 samples (no fitter values, no pins) assemble, the fitter's clocks
// follow the design's settings unless the design states them, and a
// zorvane.ini switch that no one reads is named in a warning; the host's
// list of switches agrees with the module's reads and the documentation.
#include "host_run.h"
#include "ini_switches.h"
#include "protoc_decode.h"

#include <nlohmann/json.hpp>

#include <map>
#include <regex>
#include <set>

namespace fs = std::filesystem;
using nlohmann::json;

namespace
{

class FirstDesigns : public HOST_RUN_TEST
{
protected:
    // A copy of the minimal family 52 sample whose design.json the edit
    // changes; assembled into the scratch directory's "out".
    HOST_RESULT assemble_edited(const std::function<void(json&)>& edit, const std::string& settings_file = "")
    {
        fs::remove_all(m_scratch / "design");
        fs::remove_all(m_scratch / "out");
        const fs::path design = copy_example("minimal_52", "design");
        json document = json::parse(read_text(design / "design.json"));
        edit(document);
        write_text(design / "design.json", document.dump(2));
        if (!settings_file.empty())
            write_text(design / "first_yb.zsf", settings_file);
        return run_host("assemble design --out out");
    }

    std::string options_text() const
    {
        return protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / "out" / "OPTIONS.bin"));
    }

    static void set_top(json& document, int id, int value)
    {
        document["partitions"][0]["settings"].push_back({{"id", id}, {"type", "enumeration"}, {"value", value}});
    }
};

TEST_F(FirstDesigns, MinimalFamily29And52AssembleWithoutFitterValuesOrPins)
{
    for (const auto& [example, revision] : {std::pair{"minimal_29", "first_vr"}, std::pair{"minimal_52", "first_yb"}})
    {
        const HOST_RESULT result = run_host(std::string("assemble ") + ASM_TEST_SOURCE_DIR "/examples/" + example +
                                            " --out " + example);
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(line_value(result.output, "Messages: ").substr(0, 20), "0 errors, 0 warnings") << result.output;
        EXPECT_TRUE(fs::exists(m_scratch / example / (std::string(revision) + ".sof"))) << example;
        const std::string options =
            protoc_decode("PB.OPTIONS", "options.proto", read_text(m_scratch / example / "OPTIONS.bin"));
        EXPECT_NE(options.find("device_init_clock_hz: 25000000"), std::string::npos) << options;
        EXPECT_NE(options.find("active_serial_clock_hz: 100000000"), std::string::npos) << options;
    }
}

TEST_F(FirstDesigns, UnstatedFitterClocksFollowTheSettingsStatedOnesAreCompared)
{
    // 100 MHz initialisation clock, no fitter value: the fitter chose it too.
    HOST_RESULT result = assemble_edited([](json& d) { set_top(d, 831, 213); });
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(options_text().find("device_init_clock_hz: 100000000"), std::string::npos);

    // The active serial clock related to a 125 MHz initialisation clock.
    result = assemble_edited([](json& d) {
        set_top(d, 831, 214);
        d["option_block"] = {{"enum_names", {{{"value", 325}, {"name", "AS_FREQ_125MHZ"}}}},
                             {"related_defaults",
                              {{{"id", 1171}, {"other_id", 831}, {"other_value", 214}, {"name", "AS_FREQ_125MHZ"}}}}};
    });
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(options_text().find("active_serial_clock_hz: 125000000"), std::string::npos);

    // A written active serial clock; 166 MHz is code 13, not 12.
    result = assemble_edited([](json& d) { set_top(d, 1171, 327); }, "4 ACTIVE_SERIAL_CLOCK AS_FREQ_166MHZ\n");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(options_text().find("active_serial_clock_hz: 166000000"), std::string::npos);

    // A stated fitter value that the settings no longer match.
    result = assemble_edited([](json& d) { d["option_block"] = {{"initialization_clock", 4}}; });
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("does not match the setting found in fitter"), std::string::npos) << result.output;
    result = assemble_edited([](json& d) {
        set_top(d, 1171, 325);
        d["option_block"] = {{"active_serial_clock", 8}};
    }, "4 ACTIVE_SERIAL_CLOCK AS_FREQ_125MHZ\n");
    EXPECT_EQ(result.status, 1) << result.output;
}

// The switch names that the sources read with cfg_is_on, cfg_get_value,
// cfg_get_int_value or cfg_has_value, by literal or by a named constant of
// the same file.
std::set<std::string> switches_read_by(const fs::path& directory)
{
    const std::regex read(R"re(cfg_(?:is_on|get_value|get_int_value|has_value)\(\s*("([^"]*)"|([A-Z_0-9]+)))re");
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory))
    {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
            continue;
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::sregex_iterator it(text.begin(), text.end(), read), end; it != end; ++it)
        {
            if ((*it)[2].matched)
            {
                names.insert((*it)[2].str());
                continue;
            }
            std::smatch constant;
            const std::regex definition((*it)[3].str() + R"re(\s*=\s*"([^"]*)")re");
            EXPECT_TRUE(std::regex_search(text, constant, definition))
                << entry.path() << ": " << (*it)[3].str() << " is no string constant of the file";
            names.insert(constant[1].str());
        }
    }
    return names;
}

TEST(IniSwitches, HostListAgreesWithTheModulesReadsAndTheDocumentation)
{
    const fs::path source(ASM_TEST_SOURCE_DIR);
    std::set<std::string> read;
    for (const char* directory : {"comp/asm", "comp/sld_kovx", "tools/asm_host"})
        read.merge(switches_read_by(source / directory));
    const std::set<std::string> listed(known_ini_switches().begin(), known_ini_switches().end());
    EXPECT_EQ(listed, read);

    // The rows of the documentation's switch table: "| `name` | default |".
    std::ifstream docs(source / "docs" / "design-format.md");
    std::set<std::string> documented;
    bool in_section = false;
    const std::regex row(R"(^\| `([a-z_0-9]+)` \| [^|]+ \| [^|]+ \| .+ \|$)");
    for (std::string line; std::getline(docs, line);)
    {
        if (line.rfind("## ", 0) == 0)
            in_section = line == "## INI switches (zorvane.ini)";
        std::smatch match;
        if (in_section && std::regex_match(line, match, row))
            documented.insert(match[1].str());
    }
    EXPECT_EQ(documented, listed);
}

class IniWarning : public HOST_RUN_TEST
{
};

TEST_F(IniWarning, SwitchNoOneReadsIsNamedOnceAndTheRunGoesOn)
{
    const fs::path design = copy_example("basic", "design");
    // A name with control characters is printed escaped, not sent to the
    // terminal.
    write_text(design / "zorvane.ini", "# mine\natribute_coverage_check_asm = off\nsdm_dump_option_data = on\n"
                                       "atribute_coverage_check_asm = on\n\x1b]0;title\x07skip\x9b" "2J = on\n");
    const HOST_RESULT result = run_host("assemble design --out out");
    EXPECT_EQ(result.status, 0) << result.output;
    std::vector<std::string> warnings;
    for (const std::string& line : lines_of(result.output))
        if (line.rfind("asm_host: warning: ", 0) == 0)
            warnings.push_back(line);
    EXPECT_EQ(warnings, (std::vector<std::string>{"asm_host: warning: design/zorvane.ini: no one reads the INI switch "
                                                  "\"atribute_coverage_check_asm\"; it is ignored",
                                                  "asm_host: warning: design/zorvane.ini: no one reads the INI switch "
                                                  "\"\\x1b]0;title\\x07skip\\x9b2J\"; it is ignored"}));
}

TEST_F(IniWarning, ManySwitchesAreWarnedAboutInTheirOrderInLinearTime)
{
    // n unread switches in a scrambled order, each given again in reverse
    // order, among switches that are read: each is named once, in the order
    // of its first line, and the run's CPU time grows with n, not n squared.
    const size_t n = 4000;
    std::map<size_t, std::vector<std::string>> expected;
    for (size_t size : growth_sizes(n))
    {
        const fs::path design = copy_example("basic", "design" + std::to_string(size));
        std::vector<std::string> names;
        for (size_t i = 0; i < size; ++i)
            names.push_back("unread_switch_" + std::to_string(i * 7919 % size));
        std::string ini = "skip_asm = on\n";
        for (const std::string& name : names)
            ini += name + " = on\nsdm_dump_option_data = off\n";
        for (auto name = names.rbegin(); name != names.rend(); ++name)
            ini += *name + " = off\n";
        write_text(design / "zorvane.ini", ini);
        for (const std::string& name : names)
            expected[size].push_back("asm_host: warning: design" + std::to_string(size) +
                                     "/zorvane.ini: no one reads the INI switch \"" + name + "\"; it is ignored");
    }
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        const std::string name = std::to_string(size);
        // The sizes run again, and a project directory is never reused.
        fs::remove_all(m_scratch / ("out" + name));
        const HOST_RESULT result = run_host("assemble design" + name + " --out out" + name);
        EXPECT_EQ(result.status, 0) << result.output.substr(0, 2000);
        std::vector<std::string> warnings;
        for (const std::string& line : lines_of(result.output))
            if (line.rfind("asm_host: warning: ", 0) == 0)
                warnings.push_back(line);
        EXPECT_TRUE(warnings == expected[size]) << warnings.size() << " warnings, " << expected[size].size()
                                                << " expected";
    }));
}

}  // namespace
