#include "asm_assemble_asmm.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_option2.h"
#include "asm_root.h"
#include "asm_sld_utilities.h"
#include "asm_trace.h"
#include "asm_util.h"

#include <acf.h>
#include <asm_model.h>
#include <cdb.h>
#include <cfg.h>
#include <cmp.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <fio.h>
#include <flow.h>
#include <gen.h>
#include <hdb.h>
#include <pgmio.h>
#include <put.h>
#include <zasm.h>
#include <zexe.h>
#include <zhd.h>
#include <zpr.h>
#include <zsym.h>

#include <cctype>
#include <sstream>
#include <string>

#define ASM_SOURCE_TAG "comp/asm/asm_assemble_asmm"

namespace
{

const int FAMILY_WITH_CB_IP_CHECK = 44;
const int FAMILY_WITH_FLOW_DESIGN_HASH = 54;

// The die's device data is loaded in this order.
const int DEVICE_DATA_KINDS[] = {4, 2, 1};

const uint32_t POF_ID_WITHOUT_LVDS_JTAG = 4;
const uint32_t POF_ID_WITH_LVDS_JTAG = 8;

const uint32_t FLAG_OPTION_1424 = 1u << 0;
const uint32_t FLAG_PR_RAW_BINARY_FILES = 1u << 1;

// Project settings of the programming-file step.
const int OPTION_FLAG_BIT0 = 1424;
const int OPTION_PR_RAW_BINARY_FILES = 1487;
const int OPTION_PR_ENCRYPTION = 1559;
const int OPTION_KEY_FILE = 1519;
const int LEGACY_OPTIONS_BEFORE_PR[] = {1485, 1486};
const int LEGACY_OPTIONS_AFTER_PR[] = {1488, 1441, 1674, 1675, 1673, 1672};

// Project settings of the adapter.
const int OPTION_DEVICE_OPTION_FLAG = 1439;
const int OPTION_FLAG_1556 = 1556;

const uint32_t UNSET_32 = 0xFFFFFFFFu;

// The adapter's construction checks report these lines.
const int LINE_DEV_DEVICE = 737;
const int LINE_CMP = 738;
const int LINE_CHIP = 739;
const int LINE_DBCM_DB_MANAGER = 742;
const int LINE_DBCM_CHIP = 745;
const int LINE_DBCM_DEVICE = 748;
const int LINE_BASIC_INFO = 763;
const int LINE_SFL_VERSION = 562;

std::string to_lower_copy(const char* text)
{
    std::string lower = text != nullptr ? text : "";
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The JTAG user code text as hexadecimal: leading white space and a "0x"
// prefix are skipped, reading stops at the first character that is not a
// hexadecimal digit. False (value untouched) for a text without a leading
// digit and for a value that does not fit 32 bits.
bool scan_hexadecimal(const std::string& text, uint32_t& value)
{
    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        pos + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos + 2])))
        pos += 2;
    uint64_t scanned = 0;
    size_t digits = 0;
    for (; pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos])); ++pos, ++digits)
    {
        const int digit = hex_digit_value(text[pos]);
        scanned = scanned * 16 + static_cast<uint64_t>(digit);
        if (scanned > UNSET_32)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<uint32_t>(scanned);
    return true;
}

bool bool_setting_on(const HDB_NAMESPACE* cap_inst, const HDB_CHIP* hdb_chip, int id)
{
    const auto* option = asmcc_get_bool_option(cap_inst, hdb_chip, id);
    return option != nullptr && option->get_value();
}

// The user name of a setting; its id when the assignment library has none.
std::string setting_user_name(int id)
{
    const char* name = acf_get_variable_user_name(id);
    return name != nullptr ? std::string(name) : std::to_string(id);
}

bool programming_mode_known(uint32_t mode)
{
    return mode <= 6 || (mode >= 8 && mode <= 12) || (mode >= 14 && mode <= 17);
}

// The symbol of a name in the chip bundle database's namespace.
ZSYM dbcm_symbol(const std::string& name)
{
    ZSYM symbol;
    symbol.use(ZSYM_NAMESPACE_NAME, name.c_str());
    return symbol;
}

ZSYM dbcm_symbol(const char* format, int index) { return dbcm_symbol(safe_sprintf(format, index)); }

bool setting_is(const DBCM_INSTANCE& instance, const ZSYM& setting, const ZSYM& value)
{
    return instance.get_symbol(setting) == value;
}

bool ends_with(const std::string& text, const char* suffix)
{
    const std::string tail(suffix);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Programming-file settings check

void apply_programming_mode(CDB_CHIP_DB_ENTRY* chip, CMP_FACADE* cmp, uint32_t& flags,
                            std::vector<std::string>& ignored_settings)
{
    HDB_NAMESPACE* cap_inst = cmp->get_cap_inst();
    const HDB_CHIP* hdb_chip = cap_inst != nullptr ? cap_inst->get_chip() : nullptr;

    flags = bool_setting_on(cap_inst, hdb_chip, OPTION_FLAG_BIT0) ? FLAG_OPTION_1424 : 0;
    for (int id : LEGACY_OPTIONS_BEFORE_PR)
        if (bool_setting_on(cap_inst, hdb_chip, id))
            ignored_settings.push_back(setting_user_name(id));

    if (bool_setting_on(cap_inst, hdb_chip, OPTION_PR_RAW_BINARY_FILES))
    {
        flags |= FLAG_PR_RAW_BINARY_FILES;
        const auto* key_file = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(
            top_partition_settings(), OPTION_KEY_FILE, true);
        if (bool_setting_on(cap_inst, hdb_chip, OPTION_PR_ENCRYPTION))
        {
            flags &= ~FLAG_PR_RAW_BINARY_FILES;
            post_message(msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ENCRYPTION());
        }
        if (key_file != nullptr && FIO_FILE_SYSTEM::exists(FIO_PATH(key_file->get_value())))
        {
            flags &= ~FLAG_PR_RAW_BINARY_FILES;
            post_message(msg_WASM_ASM_PR_RBF_NOT_GENERATED_WITH_ZKY());
        }
    }

    for (int id : LEGACY_OPTIONS_AFTER_PR)
        if (bool_setting_on(cap_inst, hdb_chip, id))
            ignored_settings.push_back(setting_user_name(id));

    if (!programming_mode_known(static_cast<uint32_t>(chip->get_programming_mode())))
        internal_error("Unrecognized Programming mode", ASM_SOURCE_TAG, __LINE__);
}

// ---------------------------------------------------------------------------
// LVDS and JTAG pin usage scan

bool scan_lvds_jtag_usage(DBCM_CHIP* chip)
{
    ASM_REQUIRE(chip != NULL);
    static const ZSYM name_space = zsym_namespace_symbol(ZSYM_NAMESPACE_NAME);
    const ZSYM tile_types[] = {dbcm_symbol("io_48_lvds_tile"), dbcm_symbol("io_48_lvds_tile_hps"),
                               dbcm_symbol("io_48_lvds_tile_edge")};
    const ZSYM lane_block_name = dbcm_symbol("xio_12_lane");
    const ZSYM lvds_buf_name = dbcm_symbol("xio_lvds_buf");
    const ZSYM lvds_out_name = dbcm_symbol("xlvdsout");
    const ZSYM gpio_reg_name = dbcm_symbol("gpio_reg");
    const ZSYM jtag_name = dbcm_symbol("xio_jtag");
    const ZSYM lvdsout = dbcm_symbol("a_iob_lvdsout");
    const ZSYM lvdsout_on = dbcm_symbol("A_IOB_LVDSOUT_ON");
    const ZSYM lvdsout_source = dbcm_symbol("a_iob_lvdsout_source");
    const ZSYM lvdsout_source_ioreg = dbcm_symbol("A_IOB_LVDSOUT_SOURCE_IOREG");
    const ZSYM gpio_or_ddr_sel = dbcm_symbol("a_rb_gpio_or_ddr_sel");
    const ZSYM gpio_sel = dbcm_symbol("GPIO_SEL");

    bool found = false;
    const DBCM_TREE* tree = chip->get_tree();
    if (tree == nullptr)
        return found;
    for (int node : tree->get_children())
    {
        if (found)
            break;
        const ZSYM type = tree->get_type(node);
        if (!type.is_null() && type.get_namespace() != ZSYM_NAMESPACE_NAME)
            report_symbol_not_in_namespace(type.full_name().c_str(), name_space.cname());
        bool lvds_tile = false;
        for (const ZSYM& tile_type : tile_types)
            lvds_tile = lvds_tile || type == tile_type;
        if (!lvds_tile)
            continue;

        for (int lane = 0; lane < 4 && !found; ++lane)
        {
            const DBCM_INSTANCE tile = chip->get_instance(node);
            const DBCM_INSTANCE wrapper = tile.get_child_instance(dbcm_symbol("xio_lane_lvds_wrapper_%d", lane));
            const DBCM_INSTANCE lane_block = wrapper.get_child_instance(lane_block_name);
            for (int k = 0; k < 6 && !found; ++k)
            {
                const DBCM_INSTANCE ioreg = lane_block.get_child_instance(dbcm_symbol("ioereg_top_%d_", k));
                const DBCM_INSTANCE buffer_pair = wrapper.get_child_instance(dbcm_symbol("xio_lvdsio_buf_x2_%d", k));
                const DBCM_INSTANCE lvds_buf = buffer_pair.get_child_instance(lvds_buf_name);
                const DBCM_INSTANCE output = lvds_buf.get_child_instance(lvds_out_name);
                const bool on = setting_is(output, lvdsout, lvdsout_on);
                const bool from_register = setting_is(lvds_buf, lvdsout_source, lvdsout_source_ioreg);
                if (!on || !from_register)
                    continue;
                for (int g = 0; g < 2 && !found; ++g)
                {
                    const DBCM_INSTANCE gpio_wrapper = ioreg.get_child_instance(dbcm_symbol("gpio_wrapper_%d", g));
                    const DBCM_INSTANCE gpio_reg = gpio_wrapper.get_child_instance(gpio_reg_name);
                    const DBCM_INSTANCE jtag = gpio_reg.get_child_instance(jtag_name);
                    if (jtag.has_setting(gpio_or_ddr_sel))
                    {
                        asm_debug_log(2, "%s", "JTAG\n");
                        found = setting_is(jtag, gpio_or_ddr_sel, gpio_sel);
                    }
                    else if (gpio_reg.has_setting(gpio_or_ddr_sel))
                    {
                        asm_debug_log(2, "%s", "GPIO_REG\n");
                        found = setting_is(gpio_reg, gpio_or_ddr_sel, gpio_sel);
                    }
                }
            }
        }
    }
    return found;
}

// ---------------------------------------------------------------------------
// Report lines and raw binary files

std::string jtag_user_code_report_line(uint32_t jtag_user_code, uint32_t checksum, const std::string& design_hash,
                                       const std::string& sof_path)
{
    // Formatted into a string that grows to the line's length: a long SOF
    // path reaches the report whole.
    return safe_sprintf("JTAG usercode = 0x%08X,Checksum = 0x%08X,Design hash = %s ; %s", jtag_user_code, checksum,
                        format_hash_text(design_hash).c_str(), sof_path.c_str());
}

std::string partition_line_file(const std::string& line)
{
    const size_t semicolon = line.rfind(';');
    if (semicolon == std::string::npos)
        return std::string();
    // The file text starts two characters after the ";" (a blank between);
    // a line that ends before that has none.
    if (semicolon + 2 >= line.size())
        return std::string();
    return line.substr(semicolon + 2);
}

void gather_partition_lines(ASM2_IPARTITIONS* pr_partitions, ASM2_IPARTITIONS* error_detection_partitions,
                            ASM_OPTION2* option2, uint32_t flags, std::vector<std::string>& report_lines,
                            std::vector<std::string>& pmsf_files)
{
    ASM2_IPARTITIONS* pr = pr_partitions != nullptr ? pr_partitions : stage_asm2_get_empty_partitions();
    if (pr->get_count() > 0)
    {
        const std::vector<std::string>* lines = pr->get_revision_info()->get_string_list();
        if (lines != nullptr)
            report_lines.insert(report_lines.end(), lines->begin(), lines->end());
        if (option2 != nullptr && option2->m_pr_info != nullptr && option2->m_pr_info->m_pr_security)
        {
            post_message(msg_IASM_ASM_PR_SMSF_IS_REQUIRED_FOR_BITSREAM_GENERATION());
        }
        else if ((flags & FLAG_PR_RAW_BINARY_FILES) != 0 && lines != nullptr)
        {
            for (const std::string& line : *lines)
            {
                const std::string file = partition_line_file(line);
                // A bare ".pmsf" names no file to take a companion from.
                if (file.size() > 5 && ends_with(file, ".pmsf"))
                    pmsf_files.push_back(file);
            }
        }
    }

    ASM2_IPARTITIONS* error_detection =
        error_detection_partitions != nullptr ? error_detection_partitions : stage_asm2_get_empty_partitions();
    if (error_detection->get_count() > 0)
    {
        const std::vector<std::string>* lines = error_detection->get_revision_info()->get_string_list();
        if (lines != nullptr)
            report_lines.insert(report_lines.end(), lines->begin(), lines->end());
    }
}

void write_pmsf_raw_binary_files(const std::vector<std::string>& pmsf_files, uint32_t flags)
{
    for (const std::string& pmsf_rbf : pmsf_files)
    {
        if (!(pmsf_rbf.size() > 5 && gen_stricmp(pmsf_rbf.substr(pmsf_rbf.size() - 5).c_str(), ".pmsf") == 0))
            internal_error(
                "pmsf_rbf.size() > 5 && stricmp(pmsf_rbf.substr(pmsf_rbf.size() - 5).c_str(), \".pmsf\") == 0",
                ASM_SOURCE_TAG, __LINE__);
        const std::string rbf_name = pmsf_rbf.substr(0, pmsf_rbf.size() - 4) + "rbf";
        auto options = std::make_unique<PGMIO_FILE_OPTIONS>();
        options->set_option(PGMIO_OPTION_RBF);
        if (gen_stricmp(cfg_get_value("pgmio_write_pr_text_file").c_str(), "ttf") == 0)
            options->set_option(PGMIO_OPTION_TTF);
        PGMIO_ASSEMBLER_SCRIBE::write_pmsf_secondary_file(FIO_PATH(pmsf_rbf), rbf_name, options.get(),
                                                          (flags & FLAG_OPTION_1424) != 0,
                                                          cfg_is_on("enhanced_bitstream_compression"));
    }
}

// ---------------------------------------------------------------------------
// Device assembly run

int assemble_dev_device(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_OPTION2* option2, int family,
                        DEV_PART_MANAGER* part_manager)
{
    if (asm_tracing())
        asm_trace(safe_sprintf("run assemble_dev_device %d %s", family,
                               option2 != nullptr ? "with option block" : "without option block"));
    ASM_REQUIRE(cmp != NULL);
    ASM_REQUIRE(chip != NULL);
    ASM_REQUIRE(part_manager != NULL);

    DEV_DEVICE* dev_device = DMGR_UTILITY::get_current_device();
    // The run reads the device's information below; without a current
    // device there is nothing to assemble.
    ASM_REQUIRE(dev_device != NULL);
    ASM_RPT_DATA_CACHE rpt_data_cache(*chip);
    asm_memory_checkpoint("beginning asm_bcm_device");

    const DEV_PART dev_part_enum = chip->get_part_enum();
    ASM_REQUIRE((dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC));

    DEV_BASIC_INFO* basic_info = dev_device->get_basic_info();
    ASM_REQUIRE(basic_info != nullptr);

    if (family == FAMILY_WITH_CB_IP_CHECK && option2 != nullptr && !option2->m_cb_ip_found)
    {
        post_message(msg_WASM_ASM_LTM_MISSING_CB_IP());
        if (!cfg_is_on("skip_cb_ip_presence_check"))
            return -1;
    }

    DEV_DIE_INFO* die_info = dev_device->get_die_info();
    ASM_REQUIRE(die_info != nullptr);
    for (int kind : DEVICE_DATA_KINDS)
    {
        std::string text;
        if (!die_info->load_device_data(kind, text))
            internal_error("Unable to load device data", ASM_SOURCE_TAG, __LINE__);
    }

    ASM_MY_PROJECT asm_project(cmp, dev_device, part_manager, chip, -1, option2);

    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    uint32_t pof_id = part_manager->get_pof_id_of(basic_info->get_part_enum());
    const bool lvds_jtag_used = scan_lvds_jtag_usage(asm_project.m_dbcm_chip);
    if (lvds_jtag_used && pof_id == POF_ID_WITHOUT_LVDS_JTAG)
        pof_id = POF_ID_WITH_LVDS_JTAG;
    asm_project.set_pof_id(pof_id);

    const int sof_index = scripting->add_project(&asm_project);
    ASM_REQUIRE(sof_index >= 0);
    scripting->assemble(sof_index);
    ASM_REQUIRE(asm_project.get_sof_path() != nullptr);
    scripting->write_sof(sof_index, asm_project.get_sof_path());

    HDB_NAMESPACE* cap_inst = cmp->get_cap_inst();
    if (cap_inst != nullptr && cap_inst->get_chip() != nullptr)
    {
        uint32_t flags = 0;
        std::vector<std::string> ignored_settings;
        apply_programming_mode(chip, cmp, flags, ignored_settings);
        if (!ignored_settings.empty())
            post_message(msg_WASM_ASM_PGM_FILE_GEN_NOT_SUPPORTED(join_strings(ignored_settings, ", ")));

        std::vector<std::string> report_lines;
        report_lines.push_back(jtag_user_code_report_line(asm_project.m_jtag_user_code,
                                                          scripting->get_checksum(sof_index),
                                                          asm_project.m_design_hash, asm_project.m_sof_path));
        std::vector<std::string> pmsf_files;
        gather_partition_lines(asm_project.m_pr_partitions.get(), asm_project.m_error_detection_partitions.get(),
                               option2, flags, report_lines, pmsf_files);
        write_pmsf_raw_binary_files(pmsf_files, flags);
        create_asm_report_tables(cmp, report_lines, &rpt_data_cache, chip);
    }

    asm_memory_checkpoint("before assemble_dev_device clean up");
    // A failed tool has posted its messages; the run's result stays the SOF index.
    run_programming_file_tools(family, asm_project);
    return sof_index;
}

// ---------------------------------------------------------------------------
// Project adapter

ASM_MY_PROJECT::ASM_MY_PROJECT(CMP_FACADE* cmp, DEV_DEVICE* dev_device, DEV_PART_MANAGER* part_manager,
                               CDB_CHIP_DB_ENTRY* chip, int construction_int, ASM_OPTION2* option2)
    : m_cmp(cmp),
      m_dbcm_chip(nullptr),
      m_dbcm_device(nullptr),
      m_crf_re_network(nullptr),
      m_jtag_user_code(UNSET_32),
      m_device_option_flag(false),
      m_option2(option2),
      m_pof_id(UNSET_32),
      m_construction_int(construction_int),
      m_user_pr_pof_id(UNSET_32),
      m_option_flag_1556(false)
{
    if (dev_device == NULL)
        internal_error("dev_device != NULL", ASM_SOURCE_TAG, LINE_DEV_DEVICE);
    if (cmp == NULL)
        internal_error("cmp != NULL", ASM_SOURCE_TAG, LINE_CMP);
    if (chip == NULL)
        internal_error("chip != NULL", ASM_SOURCE_TAG, LINE_CHIP);
    ASM_REQUIRE(part_manager != NULL);

    DBCM_DB_MANAGER* dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    if (dbcm_db_manager == NULL)
        internal_error("dbcm_db_manager != NULL", ASM_SOURCE_TAG, LINE_DBCM_DB_MANAGER);
    m_dbcm_chip = dbcm_db_manager->get_chip(0);
    if (m_dbcm_chip == NULL)
        internal_error("m_dbcm_chip != NULL", ASM_SOURCE_TAG, LINE_DBCM_CHIP);
    m_dbcm_device = m_dbcm_chip->get_device();
    if (m_dbcm_device == NULL)
        internal_error("m_dbcm_device != NULL", ASM_SOURCE_TAG, LINE_DBCM_DEVICE);

    if (DBCM_BUNDLE_SINGLETON::get_bundle() == nullptr)
        DBCM_BUNDLE_SINGLETON::create_instance(new DBCM_BUNDLE(m_dbcm_chip, nullptr, nullptr));
    dbcm_db_manager->load_asm_data();

    asm_debug_log(2, "%s", "Copying borrowed bits to lent bits");
    dbcm_db_manager->get_chip(0)->copy_borrowed_bits_to_lent_bits(PUT_PROCESSOR_MANAGER::get_max_threads(0x7FFFFFFF));

    DEV_BASIC_INFO* basic_info = dev_device->get_basic_info();
    if (basic_info == NULL)
        internal_error("basic_info != NULL", ASM_SOURCE_TAG, LINE_BASIC_INFO);

    DEV_DEVICE_ENUM device = basic_info->get_device_enum();
    const DEV_DEVICE_ENUM base_device = part_manager->get_base_device_of(device);
    // The device database gives no base device as 0 (the stand-in as
    // DEV_DEVICE_INVALID): the device then stands for itself.
    if (base_device != 0 && base_device != DEV_DEVICE_INVALID)
        device = base_device;
    m_base_device_name = to_lower_copy(dstr_get_debug_string(device));

    const DEV_PART part = basic_info->get_part_enum();
    const std::string part_name = to_lower_copy(dstr_get_user_string(part));

    const DEV_FAMILY family = part_manager->get_family_of(device);
    const std::string family_name = to_lower_copy(dstr_get_debug_string(family));

    ZASM_ACCESSOR_PROXY* zasm_accessor = set_and_get_asm_zasm_accessor(nullptr, false);
    ASM_REQUIRE(zasm_accessor != NULL);
    zasm_accessor->select_device(device, part);

    DEV_DIE_INFO* die_info = dev_device->get_die_info();
    ASM_REQUIRE(die_info != NULL);
    m_route_info.reset(stage_asm2_create_iroute_info(die_info->get_dygr_die_info(), family_name, dev_device));

    HDB_NAMESPACE* cap_inst = cmp->get_cap_inst();
    const int jtag_option_id = cmp->get_jtag_user_code_option_id();
    if (jtag_option_id != 0)
    {
        const HDB_CHIP* hdb_chip = cap_inst != nullptr ? cap_inst->get_chip() : nullptr;
        const auto* jtag_option = asmcc_get_string_option(cap_inst, hdb_chip, jtag_option_id);
        if (jtag_option != nullptr)
            scan_hexadecimal(jtag_option->get_value(), m_jtag_user_code);
        if (acf_variable_includes_family(OPTION_DEVICE_OPTION_FLAG, family))
            m_device_option_flag = bool_setting_on(cap_inst, hdb_chip, OPTION_DEVICE_OPTION_FLAG);
    }
    if (acf_variable_includes_family(OPTION_FLAG_1556, family))
        m_option_flag_1556 = asmcc_get_bool_option(cap_inst, OPTION_FLAG_1556, true);

    FIO_PATH sof(gen_get_project_output_directory(), cmp->get_revision_name(), "");
    sof.extension("sof", "");
    m_sof_path = sof.fullpath();
    m_crf_re_network = chip->get_crf_re_network();
    m_part_name = part_name;

    // The SLD processing makes the SLD file, packs the design's debug files
    // into one blob and hands it to the sink. Sink and processor live until
    // the constructor ends: the partition computation uses the processor.
    const FIO_PATH sld_path(gen_get_project_output_directory(), cmp->get_revision_name(), "");
    MY_SLD sld(this);
    ASM_SLD_PROCESSOR sld_processor(cmp, chip, &sld, &m_part_name, &sld_path);
    sld_processor.process();
    // The partitions of the partial-reconfiguration regions, then of the
    // error-detection regions; a chip without a kind leaves it null.
    if (DBCM_REGIONS* regions = m_dbcm_chip->get_regions(ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION))
        m_pr_partitions.reset(
            compute_partitions(cmp, regions, ASM2_IPARTITIONS::TYPE_PARTIAL_RECONFIGURATION, &sld_processor));
    if (DBCM_REGIONS* regions = m_dbcm_chip->get_regions(ASM2_IPARTITIONS::TYPE_ERROR_DETECTION))
        m_error_detection_partitions.reset(
            compute_partitions(cmp, regions, ASM2_IPARTITIONS::TYPE_ERROR_DETECTION, nullptr));

    const std::string design_hash = ZPR::UTILS::get_design_hash(top_partition_settings());
    if (family == FAMILY_WITH_FLOW_DESIGN_HASH || design_hash.empty())
    {
        const std::pair<uint64_t, uint64_t> flow_hash = flow_get_design_hash(cap_inst);
        std::string bytes;
        for (uint64_t half : {flow_hash.second, flow_hash.first})
            for (int i = 0; i < 8; ++i)
                bytes.push_back(static_cast<char>((half >> (8 * i)) & 0xFF));
        m_design_hash = bytes;
    }
    else
    {
        m_design_hash = design_hash;
    }
}

ASM_MY_PROJECT::~ASM_MY_PROJECT() = default;

ASM2_IPARTITIONS* ASM_MY_PROJECT::get_pr_partitions()
{
    return m_pr_partitions ? m_pr_partitions.get() : stage_asm2_get_empty_partitions();
}

ASM2_IPARTITIONS* ASM_MY_PROJECT::get_error_detection_partitions()
{
    return m_error_detection_partitions ? m_error_detection_partitions.get() : stage_asm2_get_empty_partitions();
}

std::string read_file_into_string(const std::string& path)
{
    asm_io::kestil_ifstream in;
    in.open(path.c_str(), std::ios_base::in | std::ios_base::binary);
    if (!in.is_open())
        return std::string();
    std::ostringstream content;
    content << in.rdbuf();
    return in.bad() ? std::string() : content.str();
}

void ASM_MY_PROJECT::device_specific_tcl()
{
    const int option_device_specific_tcl = 658;
    const auto* option = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(
        m_cmp != nullptr ? m_cmp->get_cap_inst() : nullptr, option_device_specific_tcl, true);
    if (option == nullptr || !option->get_value())
        return;

    FIO_PATH script_path;
    script_path.cd(gen_get_tcl_internal_fullpath());
    script_path.cd("zasm");
    script_path.base(m_base_device_name);
    script_path.extension(FIO_EXTENSION_TCL, FIO_EXTENSION_NONE);
    const std::string full_path = script_path.fullpath();

    if (!FIO_FILE_SYSTEM::exists(script_path))
    {
        asm_debug_log(2, "%s", safe_sprintf("device_specific_tcl: Not found %s", full_path.c_str()).c_str());
        return;
    }
    asm_debug_log(2, "%s", safe_sprintf("device_specific_tcl: Found %s", full_path.c_str()).c_str());

    const std::string tcl_value = read_file_into_string(full_path);
    if (tcl_value.empty())
    {
        asm_debug_log(2, "%s", "device_specific_tcl: Empty tcl_value");
        return;
    }
    if (zexe_evaluate_tcl_command(tcl_value.c_str()))
        asm_debug_log(2, "%s", "device_specific_tcl: TCL_OK ");
    else
        asm_debug_log(2, "%s", "device_specific_tcl: TCL_FAIL ");
}

uint32_t ASM_MY_PROJECT::route_info_op9()
{
    ASM_REQUIRE(m_route_info != nullptr);
    return m_route_info->get_cram_bit_count();
}

const char* ASM_MY_PROJECT::route_info_op10()
{
    ASM_REQUIRE(m_route_info != nullptr);
    return m_route_info->get_family_name();
}

template <typename STORE>
void ASM_MY_PROJECT::forward_hash(const std::string& tag, const std::string* kind_text, const char* hash,
                                  STORE store)
{
    const std::string hash_text = hash != nullptr ? hash : "";
    asm_debug_log(2, "%s", (tag + " begin...").c_str());
    if (m_option2 != nullptr)
    {
        asm_debug_log(2, "%s", ("  " + tag + " to call asm_option2 object").c_str());
        if (kind_text != nullptr)
        {
            post_message(msg_IASM_ASM_REPORT_HASH(*kind_text, hash_text));
        }
        store(hash_text.c_str());
    }
    asm_debug_log(2, "%s", (tag + " end...").c_str());
}

void ASM_MY_PROJECT::set_cram_hash(const char* hash)
{
    const std::string kind = "CRAM";
    forward_hash("CRAM_HASH:ASM_MY_PROJECT::set_cram_hash", &kind, hash,
                 [this](const char* h) { m_option2->add_cram_hash_into_dbcm(h); });
}

void ASM_MY_PROJECT::set_cvp_hash(const char* hash)
{
    const std::string kind = "CVP";
    forward_hash("CVP_HASH:ASM_MY_PROJECT::set_cvp_hash", &kind, hash,
                 [this](const char* h) { m_option2->add_cvp_hash_into_dbcm(h); });
}

void ASM_MY_PROJECT::set_io_hash(const char* hash)
{
    forward_hash("IO_HASH:ASM_MY_PROJECT::set_io_hash", nullptr, hash,
                 [this](const char* h) { m_option2->add_io_hash_into_dbcm(h); });
}

void ASM_MY_PROJECT::set_static_region_hash(const char* hash)
{
    const std::string kind = "Static Region Mask";
    forward_hash("STATIC_REGION_HASH:ASM_MY_PROJECT::set_static_region_hash", &kind, hash,
                 [this](const char* h) { m_option2->add_static_region_hash_into_dbcm(h); });
}

void ASM_MY_PROJECT::set_pr_region_hash(const char* region, const char* hash)
{
    const char* name = region != nullptr ? region : "";
    const std::string kind = std::string("PR Region: ") + name;
    forward_hash(safe_sprintf("PR_REGION_HASH:ASM_MY_PROJECT::%s::set_pr_region_hash", name), &kind, hash,
                 [this, name](const char* h) { m_option2->add_pr_region_hash_into_dbcm(name, h); });
}

void ASM_MY_PROJECT::set_hpio_hash(const char* hash)
{
    if (m_option2 != nullptr)
        m_option2->add_hpio_hash_into_dbcm(hash != nullptr ? hash : "");
}

ASM2_HPIO_SECTORS ASM_MY_PROJECT::get_hpio_sectors(bool* hps_boot_from_hbm)
{
    if (m_option2 == nullptr)
        return ASM2_HPIO_SECTORS();
    return m_option2->get_hpio_sectors(hps_boot_from_hbm);
}

bool ASM_MY_PROJECT::has_mailbox_abort_feature()
{
    return m_option2 != nullptr && m_option2->has_mailbox_abort_feature();
}

void ASM_MY_PROJECT::MY_SLD::set_sld_blob(uint32_t length, const uint8_t* data)
{
    if (length == 0 || data == nullptr)
        m_project->m_sld_blob.clear();
    else
        m_project->m_sld_blob.assign(reinterpret_cast<const char*>(data), length);
    m_project->m_sld_info.sld_blob = &m_project->m_sld_blob;
}

uint32_t ASM_MY_PROJECT::MY_SLD::get_jtag_user_code() { return m_project->m_jtag_user_code; }

void ASM_MY_PROJECT::MY_SLD::set_pfl_present(bool present) { m_project->m_sld_info.pfl_present = present ? 1 : 0; }

void ASM_MY_PROJECT::MY_SLD::set_zpfl_present(bool present) { m_project->m_sld_info.zpfl_present = present ? 1 : 0; }

void ASM_MY_PROJECT::MY_SLD::set_sfl_present(bool present) { m_project->m_sld_info.sfl_present = present ? 1 : 0; }

void ASM_MY_PROJECT::MY_SLD::set_sfl_version(int32_t version)
{
    if (!(version < 16))
        internal_error("version < 16", ASM_SOURCE_TAG, LINE_SFL_VERSION);
    m_project->m_sld_info.sfl_version = static_cast<uint8_t>(version & 0x0F);
}

void ASM_MY_PROJECT::MY_SLD::set_crc_info(uint32_t length, const uint8_t* data)
{
    if (length == 0 || data == nullptr)
        m_project->m_crc_info.clear();
    else
        m_project->m_crc_info.assign(reinterpret_cast<const char*>(data), length);
    m_project->m_sld_info.crc_info = &m_project->m_crc_info;
}

void ASM_MY_PROJECT::MY_REVISION::set_sld_blob(uint32_t length, const uint8_t* data)
{
    if (length == 0 || data == nullptr)
        m_target->clear();
    else
        m_target->assign(reinterpret_cast<const char*>(data), length);
}
