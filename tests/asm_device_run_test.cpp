// The device run: its checks, the whole run over the stand-in suite, the
// report lines, the .pmsf gathering and raw binary files, the programming-
// file settings check, the pin usage scan and the report data cache.
#include "asm_assemble_asmm.h"
#include "asm_option2.h"
#include "asm_util.h"
#include "entry_fixture.h"

#include <acf.h>
#include <dbcm.h>
#include <pgmio.h>
#include <pgmio_sof.h>
#include <rdb.h>

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <tuple>

class DeviceRun : public ENTRY_SUITE
{
protected:
    DEV_PART_MANAGER part_manager;

    std::string run_error(ASM_OPTION2* option2, int family)
    {
        return internal_error_of([&] { assemble_dev_device(&cmp, &chip, option2, family, &part_manager); });
    }
};

TEST_F(DeviceRun, NullFacadeIsAnInternalError)
{
    EXPECT_EQ(internal_error_of([&] { assemble_dev_device(nullptr, &chip, nullptr, 15, &part_manager); }),
              "cmp != NULL @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, NoCurrentDeviceIsAnInternalError)
{
    DMGR_UTILITY::set_current_device(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "dev_device != NULL @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, InvalidOrGenericPartIsAnInternalError)
{
    const std::string expected =
        "(dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC) @comp/asm/asm_assemble_asmm";
    chip.set_part(DEV_PART_INVALID);
    EXPECT_EQ(run_error(nullptr, 15), expected);
    chip.set_part(DEV_PART_GENERIC);
    EXPECT_EQ(run_error(nullptr, 15), expected);
    EXPECT_TRUE(device.get_die_info()->requested_kinds().empty());
}

TEST_F(DeviceRun, MissingBasicInfoIsAnInternalError)
{
    device.set_basic_info(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "basic_info != nullptr @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, MissingDieInfoIsAnInternalError)
{
    device.set_die_info(nullptr);
    EXPECT_EQ(run_error(nullptr, 15), "die_info != nullptr @comp/asm/asm_assemble_asmm");
}

TEST_F(DeviceRun, LoadsTheDeviceDataOfKindsFourTwoOne)
{
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);
    EXPECT_EQ(device.get_die_info()->requested_kinds(), (std::vector<int>{4, 2, 1}));
    EXPECT_EQ(device.get_die_info()->loaded_kinds(), (std::vector<int>{4, 2, 1}));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(DeviceRun, FirstFailedDeviceDataLoadStopsTheRun)
{
    auto die_info = std::make_unique<DEV_DIE_INFO>();
    die_info->add_device_data(4);
    die_info->add_device_data(1);
    device.set_die_info(std::move(die_info));
    EXPECT_EQ(run_error(nullptr, 15), "Unable to load device data @comp/asm/asm_assemble_asmm");
    EXPECT_EQ(device.get_die_info()->requested_kinds(), (std::vector<int>{4, 2}));
}

TEST_F(DeviceRun, Family44WithoutConfigurationBlockWarnsAndStops)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager), -1);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    ASSERT_EQ(MSG_REPORT::active().messages().size(), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].kind, MSG_POST_TYPE_WARNING);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id, 24392u);
    EXPECT_TRUE(device.get_die_info()->requested_kinds().empty());
}

TEST_F(DeviceRun, Family44SkipSwitchGoesOnAfterTheWarning)
{
    cfg_set_value("skip_cb_ip_presence_check", "on");
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    EXPECT_EQ(device.get_die_info()->loaded_kinds(), (std::vector<int>{4, 2, 1}));
}

TEST_F(DeviceRun, ConfigurationBlockCheckNeedsFamily44ABuilderAndNoBlockFound)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, nullptr, 44, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 29, &part_manager);
    option2.m_cb_ip_found = true;
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 0u);
    EXPECT_EQ(device.get_die_info()->loaded_kinds().size(), 9u);
}

TEST_F(DeviceRun, CompleteRunTakesTheBeginningAndTheCleanUpCheckpoints)
{
    cfg_set_value("asm_report_memory", "on");
    assemble_dev_device(&cmp, &chip, nullptr, 54, &part_manager);
    std::vector<std::string> memory_lines;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            memory_lines.push_back(line);
    ASSERT_EQ(memory_lines.size(), 2u);
    EXPECT_EQ(memory_lines[0].rfind("[beginning asm_bcm_device] ASM memory system current ", 0), 0u);
    EXPECT_EQ(memory_lines[1].rfind("[before assemble_dev_device clean up] ASM memory system current ", 0), 0u);
}

TEST_F(DeviceRun, RunStoppedAtTheConfigurationBlockCheckTakesNoCleanUpCheckpoint)
{
    cfg_set_value("asm_report_memory", "on");
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager);
    std::vector<std::string> memory_lines;
    for (const std::string& line : debug_texts())
        if (line.find("] ASM memory system current ") != std::string::npos)
            memory_lines.push_back(line);
    ASSERT_EQ(memory_lines.size(), 1u);
    EXPECT_EQ(memory_lines[0].rfind("[beginning asm_bcm_device] ", 0), 0u);
}

TEST(ReportDataCache, HoldsTheDivisorTakenAtConstructionWhateverHappensToTheChipLater)
{
    CDB_CHIP_DB_ENTRY chip;
    chip.set_crc_clock_divisor(3);
    ASM_RPT_DATA_CACHE cache(chip);
    chip.set_crc_clock_divisor(7);
    EXPECT_EQ(cache.m_crc_clock_divisor, 3u);
}

// ---------------------------------------------------------------------------
// The whole run over the stand-in suite

namespace
{

std::string file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

uint32_t zlib_crc(const std::string& bytes)
{
    return static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The library's hash of an image under a tag, computed here from its
// description: eight upper-case hexadecimal digits of the CRC-32 of the tag
// followed by the image's bytes.
std::string expected_hash(const std::string& tag, const std::string& image_bytes)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", zlib_crc(tag + image_bytes));
    return text;
}

// Wires an LVDS output of a tile: lane wrapper, buffer pair k, its LVDS
// buffer (source) and output (on/off).
void wire_lvds_output(DBCM_INSTANCE_NODE* tile, int lane, int k, const char* output, const char* source)
{
    DBCM_INSTANCE_NODE* wrapper = tile->add_child(("xio_lane_lvds_wrapper_" + std::to_string(lane)).c_str());
    DBCM_INSTANCE_NODE* buffer =
        wrapper->add_child(("xio_lvdsio_buf_x2_" + std::to_string(k)).c_str())->add_child("xio_lvds_buf");
    buffer->set_setting("a_iob_lvdsout_source", source);
    buffer->add_child("xlvdsout")->set_setting("a_iob_lvdsout", output);
}

// The GPIO register of GPIO wrapper g of I/O register block k in a lane.
DBCM_INSTANCE_NODE* gpio_register(DBCM_INSTANCE_NODE* tile, int lane, int k, int g)
{
    return tile->add_child(("xio_lane_lvds_wrapper_" + std::to_string(lane)).c_str())
        ->add_child("xio_12_lane")
        ->add_child(("ioereg_top_" + std::to_string(k) + "_").c_str())
        ->add_child(("gpio_wrapper_" + std::to_string(g)).c_str())
        ->add_child("gpio_reg");
}

// A tile whose lane 0, buffer 0 drives an LVDS output from the I/O register
// with the JTAG block of GPIO wrapper 0 selecting GPIO.
void add_matching_tile(DBCM_CHIP* chip, const char* type = "io_48_lvds_tile")
{
    DBCM_INSTANCE_NODE* tile = chip->add_top_block(type);
    wire_lvds_output(tile, 0, 0, "A_IOB_LVDSOUT_ON", "A_IOB_LVDSOUT_SOURCE_IOREG");
    gpio_register(tile, 0, 0, 0)->add_child("xio_jtag")->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");
}

size_t count_lines(const std::vector<std::string>& lines, const std::string& text)
{
    size_t n = 0;
    for (const std::string& line : lines)
        n += line == text ? 1 : 0;
    return n;
}

SOF_CONTENTS read_sof(const std::string& path)
{
    PGMIO_BITFIELD* bitfield = nullptr;
    std::string part;
    EXPECT_TRUE(PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(path), &bitfield, nullptr, nullptr, nullptr, part));
    std::unique_ptr<PGMIO_BITFIELD> owned(bitfield);
    return owned ? owned->contents() : SOF_CONTENTS();
}

}  // namespace

class WholeRun : public DeviceRun
{
protected:
    std::string sof_path() const { return m_project_dir + "/rev1.sof"; }
};

TEST_F(WholeRun, WritesTheSofThatReadPofReadsBackWithTheSameChecksum)
{
    cap_inst.set_string_option(1433, "0xBEEF");
    dev_set_pof_id(PART, 5);
    flow_set_design_hash(&cap_inst, 0x0A, 0x0B);
    dbcm_chip->set_config_bit(5);
    dbcm_chip->add_borrowed_bit(63);
    dbcm_chip->create_section_store()->add_section("HANDOFF", 1, 3, "hand", true);

    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);

    const std::string bytes = file_bytes(sof_path());
    ASSERT_FALSE(bytes.empty());
    PGMIO_BITFIELD* bitfield = nullptr;
    std::string part;
    ASSERT_TRUE(PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(sof_path()), &bitfield, nullptr, nullptr, nullptr, part));
    std::unique_ptr<PGMIO_BITFIELD> owned(bitfield);
    // The file's checksum is the CRC-32 of every byte before its trailer.
    const uint32_t body_crc = zlib_crc(bytes.substr(0, bytes.size() - 4));
    EXPECT_EQ(bitfield->get_file_checksum(), body_crc);
    EXPECT_EQ(asm2_get_iscripting0()->get_checksum(0), body_crc);

    const SOF_CONTENTS& sof = bitfield->contents();
    EXPECT_EQ(part, "part_101");
    EXPECT_EQ(sof.jtag_user_code, 0xBEEFu);
    EXPECT_EQ(sof.pof_id, 5u);
    EXPECT_EQ(sof.design_hash, std::string("\x0B\0\0\0\0\0\0\0\x0A\0\0\0\0\0\0\0", 16));
    // The packed debug files, design_hash.bin first.
    ASSERT_GT(sof.sld_blob.size(), 32u);
    EXPECT_EQ(sof.sld_blob.compare(16, 16, std::string("design_hash.bin\0", 16)), 0);
    ASSERT_EQ(sof.sections.size(), 1u);
    EXPECT_EQ(sof.sections[0].name, "HANDOFF");
    EXPECT_EQ(sof.sections[0].bytes, "hand");
    ASSERT_EQ(sof.cram.bit_count, CRAM_BITS);
    for (uint32_t bit = 0; bit < CRAM_BITS; ++bit)
        EXPECT_EQ(sof.cram.get_bit(bit), bit == 5 || bit == 63) << bit;
    // Without an option block the hashes go nowhere.
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(WholeRun, ReportTablesShowTheSofWithItsCodeChecksumAndHash)
{
    cap_inst.set_string_option(1433, "0xBEEF");
    flow_set_design_hash(&cap_inst, 0x0A, 0x0B);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);

    // The checksum as read from the file itself: the CRC-32 of every byte
    // before its trailer.
    const std::string bytes = file_bytes(sof_path());
    ASSERT_GT(bytes.size(), 4u);
    char checksum[11];
    std::snprintf(checksum, sizeof checksum, "0x%08X", zlib_crc(bytes.substr(0, bytes.size() - 4)));

    const RDB_FOLDER_OBJECT& folder = *cmp.get_report()->get_current_folder();
    ASSERT_EQ(folder.table_count(), 2u);
    const RDB_TABLE_OBJECT& files = folder.table(0);
    EXPECT_EQ(files.name(), RDB_ASSEMBLER_FILES_TABLE_NAME);
    ASSERT_EQ(files.row_count(), 2u);
    EXPECT_EQ(files.row(1).texts(), (std::vector<std::string>{sof_path()}));

    const RDB_TABLE_OBJECT& settings = folder.table(1);
    EXPECT_EQ(settings.name(), std::string(RDB_ASSEMBLER_FILE_SETTINGS) + "rev1.sof");
    ASSERT_EQ(settings.row_count(), 4u);
    EXPECT_EQ(settings.row(1).texts(), (std::vector<std::string>{"JTAG usercode ", "0x0000BEEF"}));
    EXPECT_EQ(settings.row(2).texts(), (std::vector<std::string>{"Checksum ", checksum}));
    // The flow's hash: the second half, then the first, each least
    // significant byte first.
    EXPECT_EQ(settings.row(3).texts(),
              (std::vector<std::string>{"Design hash ", "0B000000000000000A00000000000000 "}));
}

TEST_F(WholeRun, LibraryQueriesTheAdapterThroughItsOperations)
{
    assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager);
    EXPECT_EQ(asm2_get_iscripting0()->called_operations(0),
              (std::vector<std::string>{"get_part_name", "device_specific_tcl", "route_info_op9", "get_dbcm_chip",
                                        "get_jtag_user_code", "get_pof_id", "get_design_hash", "get_sld_info",
                                        "set_cram_hash", "set_cvp_hash", "set_io_hash", "get_route_info",
                                        "get_pr_partitions", "get_dbcm_chip", "get_pr_partitions",
                                        "get_error_detection_partitions"}));
}

TEST_F(WholeRun, DieWithHpsIoAsksTheOptionBlockForItsSectors)
{
    device.get_die_info()->get_dygr_die_info()->set_hps_io(true);
    set_base_device_name("vw8_base");
    chip.set_base_family(29);
    // The HPS on the SDM's DDR interface with two HPS I/O banks.
    top_settings->add_generated_option(
        182, std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, "SDM DDR 1"));
    top_settings->add_generated_option(
        183, std::make_unique<HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>>(false, 0, "MODE x32 HPS_IO_NUM 2"));
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    assemble_dev_device(&cmp, &chip, &option2, 29, &part_manager);
    const std::vector<std::string> called = asm2_get_iscripting0()->called_operations(0);
    EXPECT_EQ(count_lines(called, "get_hpio_sectors"), 1u);
    EXPECT_EQ(count_lines(called, "set_hpio_hash"), 1u);
    std::string image(CRAM_BITS / 8, '\0');
    PB::OPTIONS stored;
    ASSERT_TRUE(stored.ParseFromString(dbcm_chip->get_section_store()->find_section("OPTIONS")->bytes));
    EXPECT_EQ(stored.device().hpio_hash(), expected_hash("HPIO:65538,-1:65539,-1", image));
}

TEST_F(WholeRun, Family44WithoutConfigurationBlockWritesNoSof)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager), -1);
    EXPECT_FALSE(std::filesystem::exists(sof_path()));
    EXPECT_TRUE(asm2_get_iscripting0()->called_operations(0).empty());
}

TEST_F(WholeRun, Family44OverrideCompletesTheRunAfterTheWarning)
{
    cfg_set_value("skip_cb_ip_presence_check", "on");
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager), 0);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 1u);
    EXPECT_EQ(MSG_REPORT::active().messages()[0].id_name, "WASM_ASM_LTM_MISSING_CB_IP");
    EXPECT_TRUE(std::filesystem::exists(sof_path()));
}

TEST_F(WholeRun, Family44WithConfigurationBlockStoresTheHashesAndTheSofCarriesThem)
{
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    option2.m_cb_ip_found = true;
    option2.save_options_into_dbcm();
    dbcm_chip->set_config_bit(1);
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, &option2, 44, &part_manager), 0);
    EXPECT_EQ(count_posted("WASM_ASM_LTM_MISSING_CB_IP"), 0u);

    std::string image(CRAM_BITS / 8, '\0');
    image[0] = 2;
    const std::string cram = expected_hash("CRAM", image);
    const std::string cvp = expected_hash("CVP", image);
    const std::string io = expected_hash("IO", image);
    std::vector<std::string> infos;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        if (record.id_name == "IASM_ASM_REPORT_HASH")
            infos.push_back(record.text);
    EXPECT_EQ(infos, (std::vector<std::string>{"Using CRAM Hash " + cram, "Using CVP Hash " + cvp}));

    const SOF_CONTENTS sof = read_sof(sof_path());
    ASSERT_EQ(sof.sections.size(), 1u);
    ASSERT_EQ(sof.sections[0].name, "OPTIONS");
    EXPECT_EQ(sof.sections[0].major, 1);
    EXPECT_EQ(sof.sections[0].minor, 10);
    PB::OPTIONS stored;
    ASSERT_TRUE(stored.ParseFromString(sof.sections[0].bytes));
    EXPECT_EQ(stored.device().cram_hash(), cram);
    EXPECT_EQ(stored.device().cvp_hash(), cvp);
    EXPECT_EQ(stored.device().io_hash(), io);
}

class PofId : public DeviceRun, public testing::WithParamInterface<std::tuple<uint32_t, bool, uint32_t>>
{
};

TEST_P(PofId, FourBecomesEightOnlyWhenTheScanFindsTheLvdsJtagUse)
{
    const uint32_t part_pof_id = std::get<0>(GetParam());
    dev_set_pof_id(PART, part_pof_id);
    if (std::get<1>(GetParam()))
        add_matching_tile(dbcm_chip);
    assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager);
    EXPECT_EQ(read_sof(m_project_dir + "/rev1.sof").pof_id, std::get<2>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Rule, PofId,
                         testing::Values(std::make_tuple(4u, true, 8u), std::make_tuple(4u, false, 4u),
                                         std::make_tuple(8u, true, 8u), std::make_tuple(0u, true, 0u),
                                         std::make_tuple(5u, true, 5u), std::make_tuple(5u, false, 5u)));

TEST_F(WholeRun, WithoutTheCompileInstancesChipNoSettingsAreReportedButTheSofIsWritten)
{
    cap_inst.set_chip(nullptr);
    cap_inst.set_bool_option(1485, true);
    chip.set_programming_mode(13);  // would be an internal error if checked
    EXPECT_EQ(assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager), 0);
    EXPECT_TRUE(std::filesystem::exists(sof_path()));
    EXPECT_EQ(count_posted("WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED"), 0u);
}

TEST_F(WholeRun, IgnoredLegacySettingsAreNamedInOneWarning)
{
    cap_inst.set_bool_option(1441, true);
    cap_inst.set_bool_option(1485, true);
    acf_set_variable_user_name(1485, "GENERATE_TTF_FILE");
    acf_set_variable_user_name(1441, "GENERATE_RBF_FILE");
    assemble_dev_device(&cmp, &chip, nullptr, 15, &part_manager);
    ASSERT_EQ(count_posted("WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED"), 1u);
    const MSG_RECORD& warning = MSG_REPORT::active().messages().back();
    EXPECT_EQ(warning.id, 20536u);
    EXPECT_NE(warning.text.find("have been ignored: GENERATE_TTF_FILE, GENERATE_RBF_FILE. Use"), std::string::npos)
        << warning.text;
}

// ---------------------------------------------------------------------------
// Report lines, .pmsf gathering and raw binary files

TEST(ReportLine, FormatsCodeChecksumHashAndPath)
{
    EXPECT_EQ(jtag_user_code_report_line(0x12, 0xABC, std::string("\x01\xAB\x00", 3), "/p/a.sof"),
              "JTAG usercode = 0x00000012,Checksum = 0x00000ABC,Design hash = 01AB00 ; /p/a.sof");
    EXPECT_EQ(jtag_user_code_report_line(0xFFFFFFFF, 0, "", "x"),
              "JTAG usercode = 0xFFFFFFFF,Checksum = 0x00000000,Design hash =  ; x");
}

TEST(ReportLine, LongSofPathReachesTheLineWhole)
{
    const std::string path = "/" + std::string(3000, 'd') + "/rev.sof";
    const std::string line = jtag_user_code_report_line(1, 2, "h", path);
    ASSERT_GT(line.size(), 3000u);
    EXPECT_EQ(line.substr(line.size() - path.size()), path);
    EXPECT_EQ(line.rfind("JTAG usercode = 0x00000001,Checksum = 0x00000002,Design hash = 68 ; ", 0), 0u);
}

TEST(PartitionLine, FileTextStartsTwoCharactersAfterTheLastSemicolon)
{
    EXPECT_EQ(partition_line_file("Region = a ; out/a.pmsf"), "out/a.pmsf");
    EXPECT_EQ(partition_line_file("x ; y ; z.pmsf"), "z.pmsf");
    EXPECT_EQ(partition_line_file("no semicolon"), "");
    EXPECT_EQ(partition_line_file("ends ;"), "");
    EXPECT_EQ(partition_line_file("ends ; "), "");
    EXPECT_EQ(partition_line_file(";"), "");
    EXPECT_EQ(partition_line_file("a ;xy"), "y");
}

namespace
{

class LINES_REVISION : public ASM2_IPROJECT_REVISION_INFO
{
public:
    const char* get_output_directory() override { return ""; }
    const char* get_file_name() override { return ""; }
    const REGION_REVISION& get_region_revision(int) override { throw std::out_of_range("invalid vector subscript"); }
    std::vector<std::string>* get_string_list() override { return &lines; }
    std::vector<std::string> lines;
};

// Partitions whose revision info reports the given lines.
class LINES_PARTITIONS : public ASM2_IPARTITIONS
{
public:
    LINES_PARTITIONS(int count, std::vector<std::string> lines) : m_count(count) { m_info.lines = std::move(lines); }
    int get_count() override { return m_count; }
    ASM2_IPROJECT_REVISION_INFO* get_revision_info() override { return &m_info; }

private:
    int m_count;
    LINES_REVISION m_info;
};

}  // namespace

class Gathering : public DeviceRun
{
protected:
    std::vector<std::string> report_lines{"JTAG line"};
    std::vector<std::string> pmsf;
};

TEST_F(Gathering, PmsfFilesOfThePrLinesAreGatheredWhenAllowed)
{
    LINES_PARTITIONS pr(2, {"Region = a ; out/a.pmsf", "Region = b ; out/b.PMSF", "Region = c ; out/c.msf",
                            "no semicolon out/d.pmsf", "ends ;", "ends ; ", "bare ; .pmsf", "Region = e ; e.pmsf"});
    LINES_PARTITIONS error_detection(1, {"Error detection ; out/x.pmsf"});
    gather_partition_lines(&pr, &error_detection, nullptr, 2, report_lines, pmsf);
    EXPECT_EQ(pmsf, (std::vector<std::string>{"out/a.pmsf", "e.pmsf"}));
    ASSERT_EQ(report_lines.size(), 10u);
    EXPECT_EQ(report_lines[0], "JTAG line");
    EXPECT_EQ(report_lines[1], "Region = a ; out/a.pmsf");
    EXPECT_EQ(report_lines[4], "no semicolon out/d.pmsf");
    EXPECT_EQ(report_lines[9], "Error detection ; out/x.pmsf");
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(Gathering, NothingIsGatheredWithoutBitOneOrWithoutPartitions)
{
    LINES_PARTITIONS pr(1, {"Region = a ; out/a.pmsf"});
    gather_partition_lines(&pr, nullptr, nullptr, 1, report_lines, pmsf);
    EXPECT_TRUE(pmsf.empty());
    EXPECT_EQ(report_lines.size(), 2u);

    // A count of 0 reports nothing, whatever the list holds.
    LINES_PARTITIONS none(0, {"Region = a ; out/a.pmsf"});
    gather_partition_lines(&none, &none, nullptr, 3, report_lines, pmsf);
    gather_partition_lines(nullptr, nullptr, nullptr, 3, report_lines, pmsf);
    EXPECT_TRUE(pmsf.empty());
    EXPECT_EQ(report_lines.size(), 2u);
}

TEST_F(Gathering, BitstreamVerificationPostsTheInfoAndGathersNothing)
{
    dbcm_chip->add_regions(0)->add_region("top");
    top_settings->set_bool_option(1254, true);
    ASM_OPTION2 option2(&cmp, &chip, 0, &part_manager);
    ASSERT_NE(option2.m_pr_info, nullptr);
    LINES_PARTITIONS pr(1, {"Region = a ; out/a.pmsf"});
    gather_partition_lines(&pr, nullptr, &option2, 2, report_lines, pmsf);
    EXPECT_TRUE(pmsf.empty());
    EXPECT_EQ(report_lines.size(), 2u);
    EXPECT_EQ(count_posted("IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION"), 1u);

    top_settings->set_bool_option(1254, false);
    ASM_OPTION2 without_verification(&cmp, &chip, 0, &part_manager);
    gather_partition_lines(&pr, nullptr, &without_verification, 2, report_lines, pmsf);
    EXPECT_EQ(pmsf, (std::vector<std::string>{"out/a.pmsf"}));
}

TEST_F(Gathering, RawBinaryFileIsWrittenBesideEachPmsf)
{
    SOF_CONTENTS contents;
    contents.cram = SOF_IMAGE::zeros(16);
    contents.cram.set_bit(3, true);
    const std::string pmsf_path = m_project_dir + "/r.a.pmsf";
    ASSERT_TRUE(sof_write_file(pmsf_path, contents, nullptr));
    cfg_set_value("enhanced_bitstream_compression", "on");
    write_pmsf_raw_binary_files({pmsf_path}, 1);
    EXPECT_EQ(file_bytes(m_project_dir + "/r.a.rbf"), std::string("\x08\x00", 2));
    EXPECT_FALSE(std::filesystem::exists(m_project_dir + "/r.a.ttf"));
    ASSERT_EQ(pgmio_calls().size(), 1u);
    EXPECT_EQ(pgmio_calls()[0].second_path, m_project_dir + "/r.a.rbf");
    EXPECT_EQ(pgmio_calls()[0].options, 8u);
    EXPECT_TRUE(pgmio_calls()[0].first_flag);
    EXPECT_TRUE(pgmio_calls()[0].second_flag);

    cfg_set_value("pgmio_write_pr_text_file", "TtF");
    cfg_set_value("enhanced_bitstream_compression", "off");
    write_pmsf_raw_binary_files({pmsf_path}, 2);
    EXPECT_EQ(pgmio_calls()[1].options, 12u);
    EXPECT_FALSE(pgmio_calls()[1].first_flag);
    EXPECT_FALSE(pgmio_calls()[1].second_flag);
    EXPECT_EQ(file_bytes(m_project_dir + "/r.a.ttf"), "8, 0\n");
}

TEST_F(Gathering, AnEntryThatIsNoPmsfIsAnInternalError)
{
    EXPECT_EQ(internal_error_of([] { write_pmsf_raw_binary_files({"a.msf"}, 0); }),
              "pmsf_rbf.size() > 5 && stricmp(pmsf_rbf.substr(pmsf_rbf.size() - 5).c_str(), \".pmsf\") == 0"
              " @comp/asm/asm_assemble_asmm");
    EXPECT_EQ(internal_error_of([] { write_pmsf_raw_binary_files({".pmsf"}, 0); }).substr(0, 16), "pmsf_rbf.size() ");
    // The test is case-insensitive here.
    EXPECT_EQ(internal_error_of([] { write_pmsf_raw_binary_files({"missing.PMSF"}, 0); }), "");
}

namespace
{

// A revision description of the PR regions, as the partition computation
// will hand it to the library.
class PR_REVISION : public ASM2_IPROJECT_REVISION_INFO
{
public:
    PR_REVISION(std::string directory, size_t count) : m_directory(std::move(directory)), m_records(count) {}
    const char* get_output_directory() override { return m_directory.c_str(); }
    const char* get_file_name() override { return "rev1.pmsf"; }
    const REGION_REVISION& get_region_revision(int index) override { return m_records.at(static_cast<size_t>(index)); }
    std::vector<std::string>* get_string_list() override { return &m_lines; }

    std::string m_directory;
    std::vector<REGION_REVISION> m_records;
    std::vector<std::string> m_lines;
};

}  // namespace

TEST_F(Gathering, LibraryPartitionFilesGetTheirRawBinaryCompanions)
{
    DBCM_REGIONS* regions = dbcm_chip->add_regions(0);
    regions->add_region("root");
    regions->add_region("top.u_pr1");
    // The adapter finds the partition of each PR region.
    ZHD_ROOT::get()->get_design("")->add_partition("u_pr1");
    PR_REVISION revision(m_project_dir, 2);
    dbcm_chip->set_config_bit(9);

    ASM_MY_PROJECT project(&cmp, &device, &part_manager, &chip, -1, nullptr);
    project.m_pr_partitions.reset(
        stage_asm2_create_ipartitions(*regions, ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION, revision));
    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    const int index = scripting->add_project(&project);
    ASSERT_TRUE(scripting->assemble(index));
    ASSERT_TRUE(scripting->write_sof(index, project.get_sof_path()));
    const std::vector<std::string> called = scripting->called_operations(index);
    EXPECT_EQ(count_lines(called, "set_pr_region_hash"), 1u);
    EXPECT_EQ(count_lines(called, "set_static_region_hash"), 1u);

    gather_partition_lines(project.m_pr_partitions.get(), nullptr, nullptr, 2, report_lines, pmsf);
    const std::vector<std::string> expected = {m_project_dir + "/rev1.root.pmsf", m_project_dir + "/rev1.top_u_pr1.pmsf"};
    EXPECT_EQ(pmsf, expected);
    EXPECT_EQ(report_lines, (std::vector<std::string>{"JTAG line", "Region = root ; " + expected[0],
                                                      "Region = top.u_pr1 ; " + expected[1]}));
    write_pmsf_raw_binary_files(pmsf, 0);
    std::string image(CRAM_BITS / 8, '\0');
    image[1] = 2;
    EXPECT_EQ(file_bytes(m_project_dir + "/rev1.root.rbf"), image);
    EXPECT_EQ(file_bytes(m_project_dir + "/rev1.top_u_pr1.rbf"), image);
}

// ---------------------------------------------------------------------------
// Programming-file settings check

class SettingsCheck : public DeviceRun
{
protected:
    uint32_t flags = 0xFFFF;
    std::vector<std::string> ignored{"earlier"};

    void run() { apply_programming_mode(&chip, &cmp, flags, ignored); }
    void key_file(const std::string& path) { top_settings->set_string_option(1519, path); }
};

TEST_F(SettingsCheck, NoSettingGivesNoFlagsNoNamesNoMessage)
{
    run();
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(ignored, (std::vector<std::string>{"earlier"}));
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(SettingsCheck, AllLegacySettingsAreNamedInTheirOrder)
{
    const int ids[] = {1672, 1673, 1675, 1674, 1441, 1488, 1486, 1485};
    for (int id : ids)
    {
        cap_inst.set_bool_option(id, true);
        acf_set_variable_user_name(id, "N" + std::to_string(id));
    }
    cap_inst.set_bool_option(1424, true);
    run();
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(ignored, (std::vector<std::string>{"earlier", "N1485", "N1486", "N1488", "N1441", "N1674", "N1675",
                                                 "N1673", "N1672"}));
}

TEST_F(SettingsCheck, SettingOffOrUnnamedCountsAsItIs)
{
    cap_inst.set_bool_option(1485, false);
    cap_inst.set_bool_option(1486, true);
    run();
    EXPECT_EQ(ignored, (std::vector<std::string>{"earlier", "1486"}));
}

TEST_F(SettingsCheck, EncryptionAndAnExistingKeyFileEachClearBitOne)
{
    const std::string key = m_project_dir + "/design.zky";
    std::ofstream(key) << "key";
    cap_inst.set_bool_option(1424, true);
    cap_inst.set_bool_option(1487, true);
    const char* const ENCRYPTION = "WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION";
    const char* const ZKY = "WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY";
    const struct
    {
        bool encryption;
        bool key;
        std::vector<std::string> warnings;
    } cases[] = {{true, false, {ENCRYPTION}}, {false, true, {ZKY}}, {true, true, {ENCRYPTION, ZKY}}};
    for (const auto& c : cases)
    {
        msg_reset();
        cap_inst.set_bool_option(1559, c.encryption);
        if (c.key)
            key_file(key);
        else
            top_settings->remove_option(1519);
        run();
        EXPECT_EQ(flags, 1u) << c.encryption << c.key;
        std::vector<std::string> posted;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            posted.push_back(record.id_name);
        EXPECT_EQ(posted, c.warnings);
    }
}

TEST_F(SettingsCheck, MissingKeyFileKeepsBitOne)
{
    cap_inst.set_bool_option(1487, true);
    key_file(m_project_dir + "/missing.zky");
    run();
    EXPECT_EQ(flags, 2u);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(SettingsCheck, EncryptionAndKeyFileAloneAreNotRead)
{
    const std::string key = m_project_dir + "/design.zky";
    std::ofstream(key) << "key";
    cap_inst.set_bool_option(1559, true);
    key_file(key);
    run();
    EXPECT_EQ(flags, 0u);
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
}

TEST_F(SettingsCheck, ProgrammingModesOutsideTheKnownOnesAreInternalErrors)
{
    for (int mode : {0, 6, 8, 12, 14, 17})
    {
        chip.set_programming_mode(mode);
        EXPECT_EQ(internal_error_of([&] { run(); }), "") << mode;
    }
    for (int mode : {7, 13, 18, -1})
    {
        chip.set_programming_mode(mode);
        EXPECT_EQ(internal_error_of([&] { run(); }), "Unrecognized Programming mode @comp/asm/asm_assemble_asmm")
            << mode;
    }
}

// ---------------------------------------------------------------------------
// LVDS and JTAG pin usage scan

class PinScan : public DeviceRun
{
protected:
    std::vector<std::string> scan_lines() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : debug_texts())
            if (line == "JTAG\n" || line == "GPIO_REG\n")
                lines.push_back(line);
        return lines;
    }
};

TEST_F(PinScan, ChipWithoutLvdsTilesFindsNothingAndLogsNothing)
{
    EXPECT_FALSE(scan_lvds_jtag_usage(dbcm_chip));
    DBCM_INSTANCE_NODE* other = dbcm_chip->add_top_block("io_48_tile");
    wire_lvds_output(other, 0, 0, "A_IOB_LVDSOUT_ON", "A_IOB_LVDSOUT_SOURCE_IOREG");
    gpio_register(other, 0, 0, 0)->add_child("xio_jtag")->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");
    dbcm_chip->add_top_block(ZSYM());
    EXPECT_FALSE(scan_lvds_jtag_usage(dbcm_chip));
    EXPECT_TRUE(scan_lines().empty());
}

TEST_F(PinScan, EachLvdsTileTypeMatchesAndTheWalkStopsAtTheFirstMatch)
{
    for (const char* type : {"io_48_lvds_tile", "io_48_lvds_tile_hps", "io_48_lvds_tile_edge"})
    {
        msg_reset();
        DBCM_DB_MANAGER::get_or_create_instance()->reset();
        DBCM_CHIP* chip_with_tile = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
        add_matching_tile(chip_with_tile, type);
        add_matching_tile(chip_with_tile, type);
        EXPECT_TRUE(scan_lvds_jtag_usage(chip_with_tile)) << type;
        EXPECT_EQ(scan_lines(), (std::vector<std::string>{"JTAG\n"})) << type;
    }
}

TEST_F(PinScan, OutputsOffOrFromAnotherSourceLookAtNoGpioWrapper)
{
    DBCM_INSTANCE_NODE* tile = dbcm_chip->add_top_block("io_48_lvds_tile");
    wire_lvds_output(tile, 0, 0, "A_IOB_LVDSOUT_OFF", "A_IOB_LVDSOUT_SOURCE_IOREG");
    wire_lvds_output(tile, 0, 1, "A_IOB_LVDSOUT_ON", "A_IOB_LVDSOUT_SOURCE_CORE");
    for (int k = 0; k < 2; ++k)
        gpio_register(tile, 0, k, 0)->add_child("xio_jtag")->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");
    EXPECT_FALSE(scan_lvds_jtag_usage(dbcm_chip));
    EXPECT_TRUE(scan_lines().empty());

    // The walk goes on to a later buffer of a later lane.
    wire_lvds_output(tile, 3, 5, "A_IOB_LVDSOUT_ON", "A_IOB_LVDSOUT_SOURCE_IOREG");
    gpio_register(tile, 3, 5, 1)->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");
    EXPECT_TRUE(scan_lvds_jtag_usage(dbcm_chip));
    EXPECT_EQ(scan_lines(), (std::vector<std::string>{"GPIO_REG\n"}));
}

TEST_F(PinScan, JtagSelectOtherThanGpioTriesTheSecondWrapperWithoutTheRegistersSelect)
{
    DBCM_INSTANCE_NODE* tile = dbcm_chip->add_top_block("io_48_lvds_tile");
    wire_lvds_output(tile, 0, 0, "A_IOB_LVDSOUT_ON", "A_IOB_LVDSOUT_SOURCE_IOREG");
    DBCM_INSTANCE_NODE* first = gpio_register(tile, 0, 0, 0);
    first->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");  // not looked at: the JTAG block carries the select
    first->add_child("xio_jtag")->set_setting("a_rb_gpio_or_ddr_sel", "DDR_SEL");
    gpio_register(tile, 0, 0, 1)->set_setting("a_rb_gpio_or_ddr_sel", "DDR_SEL");
    EXPECT_FALSE(scan_lvds_jtag_usage(dbcm_chip));
    EXPECT_EQ(scan_lines(), (std::vector<std::string>{"JTAG\n", "GPIO_REG\n"}));

    msg_reset();
    gpio_register(tile, 0, 0, 1)->set_setting("a_rb_gpio_or_ddr_sel", "GPIO_SEL");
    EXPECT_TRUE(scan_lvds_jtag_usage(dbcm_chip));
    EXPECT_EQ(scan_lines(), (std::vector<std::string>{"JTAG\n", "GPIO_REG\n"}));
}

TEST_F(PinScan, TypeOfAnotherNamespaceIsAnInternalError)
{
    ZSYM foreign;
    foreign.use(ZSYM_NAMESPACE_LOCATION_ELEMENT, "io_48_lvds_tile");
    dbcm_chip->add_top_block(foreign);
    EXPECT_EQ(internal_error_of([&] { scan_lvds_jtag_usage(dbcm_chip); }),
              "Symbol location_element::io_48_lvds_tile does not belong to namespace name @comp/asm/asm_common");
}
