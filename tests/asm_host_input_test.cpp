// The host on hostile design directories and arguments: every problem ends
// with exit status 2, a message naming the file and the key, and nothing left
// behind; nothing crashes, hangs or writes where it should not.
#include "host_run.h"
#include "project.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

using nlohmann::json;
namespace fs = std::filesystem;

namespace
{

// A change of design.json that sets one key to the value.
std::function<std::string(json&)> with_key(const char* key, json value)
{
    return [key, value](json& d) {
        d[key] = value;
        return d.dump();
    };
}

// "atoms": [ { ..., "children": { "atoms": [ ... ] } } ], depth levels deep.
std::string nested_netlist(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += R"({"atoms": [{"name": "a", "type": "t", "children": )";
    text += R"({"atoms": []})";
    for (int i = 0; i < depth; ++i)
        text += "}]}";
    return text;
}

std::string nested_blocks(int depth)
{
    std::string text = R"({"blocks": [{"type": "top")";
    for (int i = 0; i < depth; ++i)
        text += R"(, "children": [{"name": "b")";
    for (int i = 0; i < depth; ++i)
        text += "}]";
    return text + "}]}";
}

class HostInput : public HOST_RUN_TEST
{
protected:
    // The basic sample with the design.json text that change makes of it.
    fs::path design_with(const std::function<std::string(json&)>& change)
    {
        const fs::path design = copy_example("basic", "design");
        json document = json::parse(read_text(design / "design.json"));
        write_text(design / "design.json", change(document));
        return design;
    }

    // Runs the host on it and checks that it refused the input and left no
    // project behind; the output, for further checks.
    std::string refused(const std::string& arguments, const std::string& expected)
    {
        const HOST_RESULT run = run_host(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(expected), std::string::npos) << arguments << "\n" << run.output;
        EXPECT_FALSE(fs::exists(m_scratch / "project")) << arguments;
        EXPECT_FALSE(fs::exists(m_scratch / "asm_out")) << arguments;
        EXPECT_FALSE(fs::exists(m_scratch / "new")) << arguments;
        return run.output;
    }
};

}  // namespace

TEST_F(HostInput, BadDesignJsonExitsTwoNamingFileAndKey)
{
    // The partial-reconfiguration sample with its second region renamed.
    const auto pr_region = [](const std::string& name) {
        return [name](json&) {
            json d = json::parse(read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "partial_reconfig" /
                                           "design.json"));
            d["chip_bundle"]["regions"][0]["names"][1] = name;
            return d.dump();
        };
    };
    struct CASE
    {
        const char* what;
        std::function<std::string(json&)> change;
        std::string message;
        std::string ending = "";
    };
    const CASE cases[] = {
        {"netlists 30000 levels deep",
         [](json& d) {
             d.erase("netlist");
             std::string text = d.dump();
             return text.substr(0, text.size() - 1) + ", \"netlist\": " + nested_netlist(30000) + "}";
         },
         "design/design.json: netlist.atoms[0].children.atoms[0].children", "netlists nest more than 100 levels deep"},
        {"blocks 30000 levels deep",
         [](json& d) {
             d.erase("chip_bundle");
             std::string text = d.dump();
             return text.substr(0, text.size() - 1) + ", \"chip_bundle\": " + nested_blocks(30000) + "}";
         },
         "design/design.json: chip_bundle.blocks[0].children[0].children[0]", "blocks nest more than 100 levels deep"},
        {"arrays 200000 levels deep under an unknown key",
         [](json& d) {
             std::string text = d.dump();
             return text.substr(0, text.size() - 1) + ", \"deep\": " + std::string(200000, '[') +
                    std::string(200000, ']') + "}";
         },
         "design/design.json: deep: unknown key"},
        {"a number beyond a double",
         [](json& d) {
             d.erase("crc_clock_divisor");
             std::string text = d.dump();
             return text.substr(0, text.size() - 1) + ", \"crc_clock_divisor\": 1e400}";
         },
         "design/design.json: not valid JSON: "},
        {"a duplicate key",
         [](json& d) {
             std::string text = d.dump();
             return text.substr(0, text.size() - 1) + ", \"part\": 1501}";
         },
         "design/design.json: the key \"part\" is given twice in one object"},
        {"a line end in the revision",
         with_key("revision", "blinky\nError: forged"),
         "design/design.json: revision: a revision name names files of the project directory and cannot hold "
         "control characters"},
        {"a NUL in the revision",
         with_key("revision", std::string("blinky\0.txt", 11)),
         "design/design.json: revision: a revision name names files of the project directory and cannot hold "
         "control characters"},
        {"a chip name that leads out of the project directory",
         with_key("chip_name", "../victim"),
         "design/design.json: chip_name: a chip name names files of the project directory and cannot hold \"/\""},
        {"a revision that names the parent directory",
         with_key("revision", ".."),
         "design/design.json: revision: a revision name names files of the project directory and cannot be \"..\""},
        {"a chip name with a line end",
         with_key("chip_name", "chip\nError: forged"),
         "design/design.json: chip_name: a chip name names files of the project directory and cannot hold control "
         "characters"},
        {"a compile instance with a tab",
         with_key("compile_instance", "top\tlevel"),
         "design/design.json: compile_instance: a compile instance name names files of the project directory and "
         "cannot hold control characters"},
        {"text after a NUL byte",
         [](json& d) { return d.dump() + std::string("\0{\"revision\": 1}", 16); },
         "design/design.json: not valid JSON: a NUL byte at offset "},
        {"a revision too long to name a file",
         with_key("revision", std::string(237, 'r')),
         "design/design.json: revision: a revision name names files of the project directory and cannot be longer "
         "than 236 bytes"},
        {"a revision too long to name a partial-reconfiguration region's mask file",
         [](json&) {
             json d = json::parse(read_text(fs::path(ASM_TEST_SOURCE_DIR) / "examples" / "partial_reconfig" /
                                            "design.json"));
             d["revision"] = std::string(229, 'r');
             return d.dump();
         },
         "design/design.json: revision: a revision name names files of the project directory and cannot be longer "
         "than 228 bytes with the partial-reconfiguration region \"root.pr_blink\""},
        {"a partial-reconfiguration region that names no partition", pr_region("root.pr_blonk"),
         "design/design.json: chip_bundle.regions[0].names[1]: the partial-reconfiguration region \"root.pr_blonk\" "
         "names no partition"},
        {"a partial-reconfiguration region that ends in a dot", pr_region("root."),
         "design/design.json: chip_bundle.regions[0].names[1]: the partial-reconfiguration region \"root.\" names no "
         "partition"},
        {"an empty partial-reconfiguration region", pr_region(""),
         "design/design.json: chip_bundle.regions[0].names[1]: the partial-reconfiguration region \"\" names no "
         "partition"},
        {"a compile instance too long to name a file",
         with_key("compile_instance", std::string(244, 'c')),
         "design/design.json: compile_instance: a compile instance name names files of the project directory and "
         "cannot be longer than 243 bytes"},
        {"an unknown key with control characters",
         with_key("\x1b[2J\xc2\x9b""0m\xe2\x80\x94", 1),
         "design/design.json: \\x1b[2J\\xc2\\x9b0m\xe2\x80\x94: unknown key"},
        {"a part missing from the part table",
         with_key("part", 1599),
         "design/design.json: part: part 1599 is not in the part table (parts)"},
    };
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.what);
        design_with(c.change);
        const std::string output = refused("assemble design --out project", c.message);
        if (!c.ending.empty())
        {
            EXPECT_NE(output.find(c.ending + "\n"), std::string::npos) << output.substr(0, 400);
        }
        fs::remove_all(m_scratch / "design");
    }

    // The routing dump is named after the chip: nothing is written outside
    // the project directory.
    const fs::path routed = copy_example("routed", "design");
    json document = json::parse(read_text(routed / "design.json"));
    document["chip_name"] = "../victim";
    write_text(routed / "design.json", document.dump());
    refused("dump-re-network design pre_asm mcfs --out project",
            "design/design.json: chip_name: a chip name names files of the project directory and cannot hold \"/\"");
    EXPECT_FALSE(fs::exists(m_scratch / "victim.asmre"));
    // The longest chip name whose dump's temporary is a file name, and one
    // byte more.
    document["chip_name"] = std::string(237, 'c');
    write_text(routed / "design.json", document.dump());
    refused("dump-re-network design pre_asm mcfd --out project",
            "design/design.json: chip_name: a chip name names files of the project directory and cannot be longer "
            "than 236 bytes");
    document["chip_name"] = std::string(236, 'c');
    write_text(routed / "design.json", document.dump());
    const HOST_RESULT longest = run_host("dump-re-network design pre_asm mcfd --out project");
    EXPECT_EQ(longest.status, 0) << longest.output;
    EXPECT_TRUE(fs::exists(m_scratch / "project" / (std::string(236, 'c') + ".mcfd.asmre"))) << longest.output;
}

TEST_F(HostInput, NestingUpToTheBoundIsRead)
{
    design_with([](json& d) {
        d.erase("chip_bundle");
        d.erase("netlist");
        std::string text = d.dump();
        return text.substr(0, text.size() - 1) + ", \"chip_bundle\": " + nested_blocks(99) +
               ", \"netlist\": " + nested_netlist(99) + "}";
    });
    const HOST_RESULT run = run_host("assemble design --out project");
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(HostInput, ArgumentAndPathProblemsAreFoundBeforeTheProjectIsMade)
{
    copy_example("basic", "design");
    const std::string design_json = read_text(m_scratch / "design" / "design.json");

    // The debug log may not overwrite the design's files or the project's.
    refused("assemble design --out project --debug-log design/design.json",
            "asm_host: design/design.json: the debug log cannot lie inside the design directory");
    refused("assemble design --out new/project --debug-log new/project/blinky.sof",
            "asm_host: new/project/blinky.sof: the debug log cannot lie inside the project directory");
    refused("assemble design --debug-log asm_out/design-1/log.txt",
            "asm_host: asm_out/design-1/log.txt: the debug log cannot lie inside the project directory");
    refused("assemble design --out x/../project", "asm_host: x/../project: x does not exist");
    refused("assemble design --out project --debug-log missing/log.txt",
            "asm_host: missing/log.txt: cannot write the debug log: its directory does not exist");
    fs::create_directories(m_scratch / "a_directory");
    refused("assemble design --out project --debug-log a_directory",
            "asm_host: a_directory: exists and is not a debug log; remove it or name another file");
    ASSERT_EQ(mkfifo((m_scratch / "unread.log").c_str(), 0600), 0);
    refused("assemble design --out project --debug-log unread.log",
            "asm_host: unread.log: a FIFO that no process reads; the debug log never waits for a reader");
    EXPECT_EQ(read_text(m_scratch / "design" / "design.json"), design_json);

    // A symbolic link or a pipe in the design directory would lead the run's
    // writes elsewhere or hang the copy.
    fs::create_symlink("/etc/hostname", m_scratch / "design" / "link.txt");
    refused("assemble design --out new/project", "asm_host: design/link.txt: a symbolic link");
    fs::remove(m_scratch / "design" / "link.txt");
    ASSERT_EQ(mkfifo((m_scratch / "design" / "pipe").c_str(), 0600), 0);
    refused("assemble design --out project", "asm_host: design/pipe: not a regular file");
    // Into an asm_out of earlier runs: the start takes back its own
    // asm_out/design-2 and nothing else.
    fs::create_directories(m_scratch / "asm_out" / "design-1");
    const HOST_RESULT into_asm_out = run_host("assemble design");
    EXPECT_EQ(into_asm_out.status, 2) << into_asm_out.output;
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_scratch / "asm_out"))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"design-1"}) << into_asm_out.output;
    fs::remove_all(m_scratch / "asm_out");
    fs::remove(m_scratch / "design" / "pipe");

    // zorvane.ini is read before the copy: one that is a FIFO or leads to a
    // device is refused as what it is, and never read.
    const fs::path ini = m_scratch / "design" / "zorvane.ini";
    const std::function<void()> not_files[] = {
        [&] { ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0); },
        [&] { fs::create_symlink("/dev/zero", ini); },
    };
    for (const std::function<void()>& make : not_files)
    {
        fs::remove(ini);
        make();
        const std::string output = refused("assemble design --out project", "");
        EXPECT_TRUE(has_line(output, "asm_host: design/zorvane.ini: not a regular file")) << output;
    }
}

TEST_F(HostInput, AnOutDirectoryWithATrailingSlashIsMade)
{
    copy_example("basic", "design");
    const HOST_RESULT run = run_host("assemble design --out new/project/ --debug-log log.txt");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(m_scratch / "new" / "project" / "blinky.sof")) << run.output;
    EXPECT_TRUE(fs::exists(m_scratch / "new" / "project" / "asm.rpt"));
    EXPECT_NE(read_text(m_scratch / "log.txt").find("ASM: ASM Begin"), std::string::npos);
}

TEST_F(HostInput, FileDigestsAreTheXxh64OfTheWholeFile)
{
    // Known answers of the algorithm; the large file spans several read
    // blocks and ends in a partial stripe.
    std::string large(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    const std::pair<std::string, uint64_t> files[] = {
        {"", 0xEF46DB3751D8E999ull},
        {"abc", 0x44BC2CF5AD770999ull},
        {"Nobody inspects the spammish repetition", 0xFBCEA83C8A378BF1ull},
        {large, 0xAC226F113166B206ull},
    };
    for (size_t i = 0; i < std::size(files); ++i)
        write_text(m_scratch / ("f" + std::to_string(i)), files[i].first);
    const DIRECTORY_SNAPSHOT snapshot = snapshot_directory(m_scratch);
    ASSERT_EQ(snapshot.size(), std::size(files));
    for (size_t i = 0; i < std::size(files); ++i)
    {
        const FILE_STATE& state = snapshot.at("f" + std::to_string(i));
        EXPECT_EQ(state.size, files[i].first.size()) << i;
        EXPECT_EQ(state.digest, files[i].second) << i;
    }
}

TEST_F(HostInput, IncludesOfTheAssignmentsFileAreTakenFromTheProjectDirectory)
{
    // The top file includes options/inner.xml, which names its own include
    // by its path from the project directory, not from options/.
    const fs::path design = copy_example("netlist_selection", "design");
    const std::string top = read_text(design / "assembler_options.xml");
    const size_t first_block = top.find("  <asm_assignments");
    const size_t end = top.find("</assembler_options>");
    ASSERT_NE(first_block, std::string::npos);
    fs::create_directories(design / "options" / "deeper");
    write_text(design / "assembler_options.xml",
               top.substr(0, first_block) + "  <include path=\"options/inner.xml\"/>\n</assembler_options>\n");
    write_text(design / "options" / "inner.xml",
               "<?xml version=\"1.0\"?>\n<assembler_options>\n  <include path=\"options/deeper/blocks.xml\"/>\n"
               "</assembler_options>\n");
    write_text(design / "options" / "deeper" / "blocks.xml",
               "<?xml version=\"1.0\"?>\n<assembler_options>\n" + top.substr(first_block, end - first_block) +
                   "</assembler_options>\n");

    const HOST_RESULT run = run_host("assemble design --out project --debug-log debug.log");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string log = read_text(m_scratch / "debug.log");
    for (const char* file : {"assembler_options.xml", "options/inner.xml", "options/deeper/blocks.xml"})
        EXPECT_NE(log.find("ASM: Successfully parsed XML file " + (m_scratch / "project" / file).string() + "\n"),
                  std::string::npos)
            << file << "\n" << log;
    EXPECT_NE(log.find("ASM: source_netlist -> early_timing_estimate\n"), std::string::npos) << log;
}
