// The SLD processing of a device run: the SLD file made through the
// extension library and rewritten only when its content changes, and the
// blob of design_hash.bin, the SLD file, jtag_id.txt and the partitions'
// sld_sysconfiles files, decoded by the tests' own reader.
#include "asm_sld_utilities.h"
#include "entry_fixture.h"
#include "sld_blob_reader.h"

#include <sci.h>
#include <zdb.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

class RECORDING_SINK : public ASM_ISLD
{
public:
    void set_sld_blob(uint32_t length, const uint8_t* data) override
    {
        blobs.emplace_back(reinterpret_cast<const char*>(data), length);
    }
    uint32_t get_jtag_user_code() override { return 0; }
    void set_pfl_present(bool) override {}
    void set_zpfl_present(bool) override {}
    void set_sfl_present(bool) override {}
    void set_sfl_version(int32_t) override {}
    void set_crc_info(uint32_t, const uint8_t*) override {}

    std::vector<std::string> blobs;
};

// A model of the project database that is not a directory.
class OTHER_MODEL : public ZDB_MODEL
{
public:
    const char* get_model_type_string() const override { return "ZDB_FILE_MODEL"; }
};

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every posted message as "id: text", in order.
std::vector<std::string> posted()
{
    std::vector<std::string> messages;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        messages.push_back(std::to_string(record.id) + ": " + record.text);
    return messages;
}

std::string not_embedded(const fs::path& path)
{
    return "12914: The file, " + path.string() +
           ", is not embedded into sof file as expected.  Some tools, such as Tracewell, may not function fully.";
}

std::string failed_to_open(const fs::path& path) { return "22183: Error: Failed to open file " + path.string(); }

// The names in the directory, sorted.
std::vector<std::string> entries_of(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> names_of(const std::vector<SLD_PACKET>& packets)
{
    std::vector<std::string> names;
    for (const SLD_PACKET& packet : packets)
        names.push_back(packet.name);
    return names;
}

}  // namespace

class SldProcessor : public ENTRY_SUITE
{
protected:
    void SetUp() override
    {
        ENTRY_SUITE::SetUp();
        SCI_INSTANCE_BUILDER::reset();
        cap_inst.set_name_string("top_inst");
        SCI_INSTANCE_BUILDER::add_instance(SCI_INSTANCE{"auto_tap", "signal_tap", 1, 6});
        dev_set_device_jtag_ids(PART, {"0x0A", "0x0B"});
        m_base = FIO_PATH(m_project_dir, "rev1", "");
        m_sld_file = fs::path(m_project_dir) / "top_inst.sld";
    }

    // A partition's sld_sysconfiles directory (created) in the project
    // database.
    fs::path add_sysconfiles(ZHD_PARTITION* partition, const std::string& directory)
    {
        const fs::path path = fs::path(m_project_dir) / directory;
        fs::create_directories(path);
        ZDB_PATH model_path = partition->get_db_directory_path(ZHD_PARTITION::s_unspecified);
        model_path.set_model_name("sld_sysconfiles");
        ZHD_ROOT::get()->add_project_database()->add_model(model_path,
                                                           std::make_unique<ZDB_DIRECTORY_MODEL>(FIO_PATH(path.string())));
        return path;
    }

    void write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // One processing run; the blob the sink received, decoded.
    std::vector<SLD_PACKET> run(RECORDING_SINK& sink)
    {
        ASM_SLD_PROCESSOR processor(&cmp, &chip, &sink, &m_device_name, &m_base);
        processor.process();
        EXPECT_EQ(processor.get_sld_file_path().fullpath(), m_sld_file.string());
        return sink.blobs.empty() ? std::vector<SLD_PACKET>() : read_sld_blob(sink.blobs.back());
    }

    // The hash that the SLD file's last line gives.
    std::string hash_of_sld_file() const
    {
        const std::string text = read_file(m_sld_file);
        const size_t at = text.find("DESIGN_HASH ");
        return at == std::string::npos ? "" : text.substr(at + 12, text.find('\n', at) - at - 12);
    }

    FIO_PATH m_base;
    std::string m_device_name = "part_101";
    fs::path m_sld_file;
};

TEST_F(SldProcessor, FirstRunWritesTheSldFileAndPacksTheDebugFilesInOrder)
{
    const fs::path directory = add_sysconfiles(ZHD_ROOT::get()->get_design("")->get_top_partition(), "sysconf");
    write(directory / "hub.cfg", "hub_version=6\n");
    write(directory / ".hidden", "not packed");
    write(directory / "sub" / "inner.txt", "not packed either");

    RECORDING_SINK sink;
    const std::vector<SLD_PACKET> packets = run(sink);
    ASSERT_EQ(sink.blobs.size(), 1u);
    EXPECT_EQ(names_of(packets),
              (std::vector<std::string>{"design_hash.bin", "top_inst.sld", "jtag_id.txt", "sysconf/hub.cfg"}));

    const std::string sld_text = read_file(m_sld_file);
    EXPECT_NE(sld_text.find("INSTANCE 1 signal_tap 6 auto_tap\n"), std::string::npos) << sld_text;
    EXPECT_EQ(packets[1].content, sld_text);
    // design_hash.bin holds the hash that the extension library returned.
    const std::string hex = hash_of_sld_file();
    ASSERT_EQ(hex.size(), 32u);
    const std::vector<uint8_t> hash = sld_decode_hex_text(hex);
    EXPECT_EQ(packets[0].content, std::string(2, '\0') + std::string(hash.begin(), hash.end()) + std::string(4, '\0'));
    EXPECT_EQ(packets[2].content, "0x0A,0x0B");
    EXPECT_EQ(packets[3].content, "hub_version=6\n");

    // No temporary file was needed: the SLD file did not exist.
    EXPECT_FALSE(fs::exists(m_sld_file.string() + "tmp"));
    for (const std::string& line : debug_texts())
        EXPECT_EQ(line.find("removed"), std::string::npos) << line;
    EXPECT_EQ(MSG_REPORT::active().messages().size(), 0u);
}

TEST_F(SldProcessor, TheSldFileIsRewrittenOnlyWhenItsContentChanges)
{
    RECORDING_SINK sink;
    run(sink);
    const std::string first_text = read_file(m_sld_file);
    const std::string first_hash = hash_of_sld_file();
    const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(m_sld_file, old_time);

    // Same content: untouched, and the design hash comes from the temporary run.
    std::vector<SLD_PACKET> packets = run(sink);
    EXPECT_EQ(fs::last_write_time(m_sld_file), old_time);
    EXPECT_EQ(read_file(m_sld_file), first_text);
    EXPECT_FALSE(fs::exists(m_sld_file.string() + "tmp"));
    EXPECT_TRUE(has_debug_line("File " + m_sld_file.string() + "tmp removed"));
    const std::vector<uint8_t> hash = sld_decode_hex_text(first_hash);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets[0].content.substr(2, 16), std::string(hash.begin(), hash.end()));

    // A new debug instance changes the text: the file is rewritten.
    SCI_INSTANCE_BUILDER::add_instance(SCI_INSTANCE{"uart", "virtual_jtag", 2, 1});
    packets = run(sink);
    EXPECT_NE(fs::last_write_time(m_sld_file), old_time);
    EXPECT_NE(read_file(m_sld_file).find("INSTANCE 2 virtual_jtag 1 uart\n"), std::string::npos);
    EXPECT_NE(hash_of_sld_file(), first_hash);
    ASSERT_GE(packets.size(), 2u);
    EXPECT_EQ(packets[1].content, read_file(m_sld_file));

    // So is a file whose content was changed by hand.
    write(m_sld_file, "stale");
    run(sink);
    EXPECT_NE(read_file(m_sld_file), "stale");
    EXPECT_FALSE(fs::exists(m_sld_file.string() + "tmp"));
    EXPECT_EQ(MSG_REPORT::active().messages().size(), 0u);
}

TEST_F(SldProcessor, OmittedDebugFilesReachNoSink)
{
    cfg_set_value("sld_sof_omit_debug_files", "on");
    RECORDING_SINK sink;
    run(sink);
    EXPECT_TRUE(sink.blobs.empty());
    EXPECT_TRUE(fs::exists(m_sld_file));
}

TEST_F(SldProcessor, ThePartitionWalkSkipsReconfigurableSubtreesAndStopsADirectoryAtItsFirstFailure)
{
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    ZHD_PARTITION* top = design->get_top_partition();
    ZHD_PARTITION* pr = design->add_partition("pr");
    ZHD_PARTITION* inside_pr = design->add_partition("inside_pr");
    ZHD_PARTITION* side = design->add_partition("side");
    ZHD_PARTITION* unlisted = design->add_partition("unlisted");
    ZHD_PARTITION* other_model = design->add_partition("other_model");
    pr->set_parent(top);
    pr->set_pr_partition(true);
    inside_pr->set_parent(pr);
    side->set_parent(top);
    unlisted->set_parent(side);
    other_model->set_parent(top);

    const fs::path top_dir = add_sysconfiles(top, "top_sys");
    // The first entry has no status (a dangling link): it and every later
    // entry of the directory stay out; the first gets the warning.
    fs::create_symlink(top_dir / "nowhere", top_dir / "a_dangling");
    write(top_dir / "b_after.txt", "not packed");
    write(add_sysconfiles(pr, "pr_sys") / "pr.txt", "reconfigurable");
    write(add_sysconfiles(inside_pr, "inside_sys") / "inside.txt", "below reconfigurable");
    write(add_sysconfiles(side, "side_sys") / "side.txt", "side");
    ZDB_PATH model_path = other_model->get_db_directory_path(ZHD_PARTITION::s_unspecified);
    model_path.set_model_name("sld_sysconfiles");
    ZHD_ROOT::get()->get_project_database()->add_model(model_path, std::make_unique<OTHER_MODEL>());

    RECORDING_SINK sink;
    const std::vector<SLD_PACKET> packets = run(sink);
    EXPECT_EQ(names_of(packets), (std::vector<std::string>{"design_hash.bin", "top_inst.sld", "jtag_id.txt",
                                                            "side_sys/side.txt"}));
    ASSERT_EQ(count_posted("WASM_SLD_EMBEDDED_FILE_ERROR"), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].text,
              "The file, " + (top_dir / "a_dangling").string() +
                  ", is not embedded into sof file as expected.  Some tools, such as Tracewell, may not function "
                  "fully.");
    EXPECT_TRUE(has_debug_line("Creating content for file: " + (top_dir / "b_after.txt").string()));
    size_t awry = 0;
    for (const std::string& line : debug_texts())
        awry += line == "Something has gone awry, unable to locate debug files.  Tracewell support will be limited."
                    ? 1
                    : 0;
    // The unlisted partition and the model that is not a directory.
    EXPECT_EQ(awry, 2u);
}

TEST_F(SldProcessor, AnExtensionLibraryWithoutTheEntryPointIsAnInternalError)
{
    gen_set_module_path(ASM_KOVX_WITHOUT_ENTRY_DIR);
    RECORDING_SINK sink;
    const std::string error = internal_error_of([&] { run(sink); });
    gen_set_module_path("");
    EXPECT_NE(error.find("kovx_create_sld_file"), std::string::npos) << error;
    EXPECT_NE(error.find("@comp/asm/asm_sld_utilities"), std::string::npos) << error;
    EXPECT_TRUE(sink.blobs.empty());
}

TEST_F(SldProcessor, AnSldFileThatCannotBeWrittenIsReportedOnceAndNotPacked)
{
    // Its directory is a plain file: the file cannot be opened.
    write(fs::path(m_project_dir) / "plain", "a file, not a directory");
    m_base = FIO_PATH(m_project_dir + "/plain", "rev1", "");
    m_sld_file = fs::path(m_project_dir) / "plain" / "top_inst.sld";
    RECORDING_SINK sink;
    std::vector<SLD_PACKET> packets = run(sink);
    EXPECT_EQ(posted(), std::vector<std::string>{not_embedded(m_sld_file)});
    EXPECT_EQ(names_of(packets), (std::vector<std::string>{"design_hash.bin", "jtag_id.txt"}));

    // A directory in its place: opened (the temporary file lies beside it)
    // but not written; the present content cannot be read either. The run
    // goes on, and leaves the directory and nothing else behind.
    MSG_REPORT::active().clear();
    m_base = FIO_PATH(m_project_dir, "rev1", "");
    m_sld_file = fs::path(m_project_dir) / "top_inst.sld";
    fs::create_directory(m_sld_file);
    write(m_sld_file / "kept.txt", "kept");
    const std::vector<std::string> before = entries_of(m_project_dir);
    packets = run(sink);
    EXPECT_EQ(posted(), (std::vector<std::string>{failed_to_open(m_sld_file), not_embedded(m_sld_file)}));
    EXPECT_EQ(names_of(packets), (std::vector<std::string>{"design_hash.bin", "jtag_id.txt"}));
    EXPECT_EQ(entries_of(m_project_dir), before);
    EXPECT_EQ(read_file(m_sld_file / "kept.txt"), "kept");
}

TEST_F(SldProcessor, ATemporaryFileThatCannotBeOpenedIsAnErrorAndTheSldFileIsRewritten)
{
    // An SLD file emptied since: the failed temporary run's empty text does
    // not count as the same content.
    RECORDING_SINK sink;
    run(sink);
    write(m_sld_file, "");
    const fs::path temp = m_sld_file.string() + "tmp";
    fs::create_directory(temp);

    const std::vector<SLD_PACKET> packets = run(sink);
    // Opened neither for the text nor for reading it back.
    EXPECT_EQ(posted(), (std::vector<std::string>{failed_to_open(temp), failed_to_open(temp)}));
    const std::string text = read_file(m_sld_file);
    EXPECT_NE(text.find("INSTANCE 1 signal_tap 6 auto_tap\n"), std::string::npos) << text;
    ASSERT_EQ(names_of(packets),
              (std::vector<std::string>{"design_hash.bin", "top_inst.sld", "jtag_id.txt"}));
    EXPECT_EQ(packets[1].content, text);
    // The directory was not made here: it stays.
    EXPECT_TRUE(fs::is_directory(temp));
}
