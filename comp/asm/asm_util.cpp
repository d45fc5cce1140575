#include "asm_util.h"

#include "asm_common.h"

#include <big_time.h>
#include <cdb.h>
#include <cfg.h>
#include <cmp.h>
#include <mem.h>
#include <rdb.h>

#include <cinttypes>
#include <memory>
#include <mutex>

#define ASM_SOURCE_TAG "comp/asm/asm_util"

namespace
{

bool report_memory_switch()
{
    static std::once_flag once;
    static bool on = false;
    std::call_once(once, [] { on = cfg_is_on("asm_report_memory"); });
    return on;
}

}  // namespace

void asm_memory_checkpoint(const char* label)
{
    if (!report_memory_switch())
        return;
    const uint64_t current = MEM_MANAGER::current_total_memory();
    const uint64_t peak = MEM_MANAGER::peak_total_memory();
    // The totals are unsigned 64-bit numbers and print as such.
    std::string line = safe_sprintf("[%s] ASM memory system current %" PRIu64 ", system peak %" PRIu64, label,
                                    current, peak);
    asm_debug_log(2, "%s", line.c_str());
}

bool log_oops(const char* text)
{
    std::string line = safe_sprintf("Oops: %s ", text);
    return asm_debug_log(2, "%s", line.c_str());
}

bool post_message(MSG_BASE* message, MSG_REPORT* report)
{
    if (message == nullptr)
        return false;
    message->set_report(report);
    bool posted = message->post();
    delete message;
    return posted;
}

std::ostream& operator<<(std::ostream& out, const FIO_PATH& path) { return out << path.fullpath(); }

ASM_RPT_DATA_CACHE::ASM_RPT_DATA_CACHE(const CDB_CHIP_DB_ENTRY& chip)
    : m_crc_clock_divisor(chip.get_crc_clock_divisor())
{
}

ASM_RPT_DATA_CACHE::~ASM_RPT_DATA_CACHE() = default;

namespace
{

typedef std::unique_ptr<RDB_TABLE_OBJECT> TABLE_PTR;

// The report tables' checks report these lines.
const int LINE_FACADE = 856;
const int LINE_CHIP = 857;
const int LINE_FILES_TABLE = 875;
const int LINE_CRC_TABLE = 901;
const int LINE_UNHANDLED_REPORT_DATA = 963;
const int LINE_SETTINGS_TABLE = 987;

// The families whose report lines may carry a CRC line, and the internal
// families whose CRC clock runs at 80 MHz rather than 100 MHz.
bool is_crc_family(DEV_FAMILY base_family)
{
    return base_family == 76 || base_family == 17 || base_family == 14 || base_family == 62;
}

bool has_80_mhz_crc_clock(DEV_FAMILY internal_family)
{
    return internal_family == 14 || internal_family == 17 || internal_family == 62 || internal_family == 72;
}

// The text that starts two characters after the separator at pos (the
// separator and the blank behind it); empty when the text ends before.
std::string text_after_separator(const std::string& text, size_t pos)
{
    return pos + 2 <= text.size() ? text.substr(pos + 2) : std::string();
}

// The row of "option = setting", or (text, " ") for a text without '='.
RDB_ROW* option_setting_row(const std::string& text)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return rdb_create_row(text, " ");
    return rdb_create_row(text.substr(0, equals), text_after_separator(text, equals));
}

// The file name of a path: the text after its last backslash or slash.
std::string file_name_of(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

TABLE_PTR make_crc_table(const std::string& line, const ASM_RPT_DATA_CACHE* cache, const CDB_CHIP_DB_ENTRY* chip)
{
    TABLE_PTR table_object_for_crc(rdb_create_table(RDB_ASSEMBLER_CRC_TABLE_NAME));
    if (table_object_for_crc == NULL)
        internal_error("table_object_for_crc != NULL", ASM_SOURCE_TAG, LINE_CRC_TABLE);
    table_object_for_crc->add_row(rdb_create_row(RDB_OPTION, RDB_SETTING));
    table_object_for_crc->add_row(option_setting_row(line));

    ASM_REQUIRE(cache != NULL);
    BIG_TIME crc_clock;
    if (has_80_mhz_crc_clock(chip->get_internal_family_view().get_internal_family_enum()))
        crc_clock = BIG_TIME("80", "MHz", true);
    else
        crc_clock = BIG_TIME("100", "MHz", true);
    int64_t divisor = static_cast<int64_t>(static_cast<uint64_t>(cache->m_crc_clock_divisor));
    if (divisor == 0)
    {
        // A clock cannot be divided by 0: show it undivided.
        asm_debug_log(2, "%s", "CRC clock divisor is 0; the CRC clock rate is shown undivided");
        divisor = 1;
    }
    const BIG_TIME crc_clock_rate = crc_clock / divisor;
    table_object_for_crc->add_row(rdb_create_row(RDB_CRC_CLOCK_RATE, crc_clock_rate.to_string(2)));
    return table_object_for_crc;
}

TABLE_PTR make_file_settings_table(const std::string& line, size_t semicolon)
{
    std::string settings = line.substr(0, semicolon);
    const std::string file_name = file_name_of(text_after_separator(line, semicolon));

    const std::string table_name = std::string(RDB_ASSEMBLER_FILE_SETTINGS) + file_name;
    TABLE_PTR table_object(rdb_create_table(table_name.c_str()));
    if (table_object == NULL)
        internal_error("table_object != NULL", ASM_SOURCE_TAG, LINE_SETTINGS_TABLE);
    table_object->add_row(rdb_create_row(RDB_OPTION, RDB_SETTING));

    while (!settings.empty())
    {
        std::string item;
        const size_t comma = settings.find(',');
        if (comma != std::string::npos)
        {
            item = settings.substr(0, comma);
            settings.erase(0, comma + 1);
        }
        else
        {
            item.swap(settings);
        }
        table_object->add_row(option_setting_row(item));
    }
    return table_object;
}

}  // namespace

void create_asm_report_tables(CMP_FACADE* cmp, std::vector<std::string> report_lines, const ASM_RPT_DATA_CACHE* cache,
                              CDB_CHIP_DB_ENTRY* chip)
{
    if (cmp == nullptr)
        internal_error("facade != NULL", ASM_SOURCE_TAG, LINE_FACADE);
    if (chip == NULL)
        internal_error("chip != NULL", ASM_SOURCE_TAG, LINE_CHIP);

    RDB_REPORT* report = cmp->get_report();
    ASM_REQUIRE(report != NULL);
    RDB_FOLDER_OBJECT* folder = report->get_current_folder();
    ASM_REQUIRE(folder != NULL);
    asm_debug_log(2, "%s", " Creating the asm.rpt tables...");

    TABLE_PTR table_object(rdb_create_table(RDB_ASSEMBLER_FILES_TABLE_NAME));
    if (table_object == NULL)
        internal_error("table_object != NULL", ASM_SOURCE_TAG, LINE_FILES_TABLE);
    table_object->add_row(rdb_create_row(std::vector<std::string>{RDB_ASSEMBLER_FILENAME}));

    // A later CRC line supersedes the table of an earlier one.
    TABLE_PTR table_object_for_crc;
    for (const std::string& line : report_lines)
    {
        const size_t semicolon = line.find(';');
        if (semicolon != std::string::npos)
            table_object->add_row(rdb_create_row(std::vector<std::string>{text_after_separator(line, semicolon)}));
        else if (is_crc_family(chip->get_base_family_enum()))
            table_object_for_crc = make_crc_table(line, cache, chip);
    }

    folder->add_table(table_object.release());
    if (table_object_for_crc)
        folder->add_table(table_object_for_crc.release());

    for (const std::string& line : report_lines)
    {
        const size_t semicolon = line.find(';');
        if (semicolon == std::string::npos)
        {
            if (is_crc_family(chip->get_base_family_enum()))
                continue;
            log_oops(line.c_str());
            internal_error("Unhandled report data", ASM_SOURCE_TAG, LINE_UNHANDLED_REPORT_DATA);
        }
        folder->add_table(make_file_settings_table(line, semicolon).release());
    }
}
