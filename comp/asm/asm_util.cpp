#include "asm_util.h"

#include "asm_assemble_asmm.h"
#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_util_tools.h"

#include <acf.h>
#include <asm2.h>
#include <big_time.h>
#include <cdb.h>
#include <cfg.h>
#include <cmp.h>
#include <mem.h>
#include <rdb.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstring>
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

bool write_dump_file(const FIO_PATH& path, const std::string& text)
{
    const std::string full_path = path.fullpath();
    asm_io::kestil_atomic_ofstream out(full_path.c_str(), std::ios_base::out | std::ios_base::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (out.commit())
        return true;
    post_message(msg_EASM_FILE_OPEN_FAILURE(full_path, "file", "writing"));
    return false;
}

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

// ---------------------------------------------------------------------------
// External programming-file tools

namespace
{

const int LINE_READ_LOCK = 673;
const int LINE_SOF_PATH = 703;
const int LINE_RBF_PATH = 704;

const int OPTION_RUN_PROGRAMMING_FILE_TOOLS = 1575;
const int OPTION_PFG_COMMANDS_FILE = 1576;

// A tool's standard output reaches pfg.log in pieces of at most this many
// characters, each ending at a line feed when one comes first.
const size_t OUTPUT_PIECE_SIZE = 254;

// The shell that runs a line of the command file.
const char* const SHELL = "/bin/sh";

// One command: its text, as the messages show it, and the words it runs.
struct TOOL_COMMAND
{
    std::string text;
    std::vector<std::string> argv;
};

// The statuses with which a shell tells that it could not start a command.
const int SHELL_COMMAND_NOT_FOUND = 127;
const int SHELL_COMMAND_NOT_EXECUTABLE = 126;

// What pfg.log says of a failed command beyond its output, "" when nothing:
// why the process could not be made, or, for a command-file line, that it
// ended with a status the shell gives when it cannot find or execute a
// command. A tool that ran may end so itself: the line says no more than
// that.
std::string failure_note_of(const TOOL_COMMAND& command, const TOOL_RUN& run)
{
    if (!run.start_failure.empty() || command.argv.empty() || command.argv[0] != SHELL)
        return run.start_failure;
    if (run.exit_status == SHELL_COMMAND_NOT_FOUND)
        return command.text + ": exit status 127, which the shell gives for a command it cannot find";
    if (run.exit_status == SHELL_COMMAND_NOT_EXECUTABLE)
        return command.text + ": exit status 126, which the shell gives for a command it cannot execute";
    return std::string();
}

// The output in the pieces in which it reaches pfg.log.
std::vector<std::string> output_pieces(const std::string& output)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < output.size())
    {
        // A piece ends after its first line feed; only the piece's own bytes
        // are looked through, so that a long line costs no more than a short.
        size_t length = std::min(OUTPUT_PIECE_SIZE, output.size() - start);
        const void* line_feed = std::memchr(output.data() + start, '\n', length);
        if (line_feed != nullptr)
            length = static_cast<size_t>(static_cast<const char*>(line_feed) - (output.data() + start)) + 1;
        pieces.push_back(output.substr(start, length));
        start += length;
    }
    return pieces;
}

// A path as the message of a command shows it: as it is when it holds only
// characters that a shell takes literally, else in single quotes.
std::string shown_path(const std::string& path)
{
    const std::string plain = "_./+-:@%,=";
    bool quote = path.empty();
    for (char c : path)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && plain.find(c) == std::string::npos)
            quote = true;
    }
    if (!quote)
        return path;
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The full path of a path; an empty path has none.
std::string full_path_of(const FIO_PATH& path) { return path.empty() ? std::string() : path.fullpath(); }

std::string join_directory(const char* directory, const char* file_name)
{
    const std::string dir = directory != nullptr ? directory : "";
    const std::string name = file_name != nullptr ? file_name : "";
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Releases the revision's read lock on the way out when it was taken here.
class READ_LOCK_RELEASE
{
public:
    READ_LOCK_RELEASE(ACF_REVISION_MANAGER* revisions, bool taken) : m_revisions(revisions), m_taken(taken) {}
    ~READ_LOCK_RELEASE()
    {
        if (m_taken)
            m_revisions->read_unlock();
    }
    READ_LOCK_RELEASE(const READ_LOCK_RELEASE&) = delete;
    READ_LOCK_RELEASE& operator=(const READ_LOCK_RELEASE&) = delete;

private:
    ACF_REVISION_MANAGER* m_revisions;
    bool m_taken;
};

// pfg.log, opened by its bare name: emptied first, then appended to. A
// failure at any step (either open, a write, a flush, the close) is kept, so
// that a lost log is reported once at its close.
class PFG_LOG
{
public:
    PFG_LOG()
    {
        m_stream.open(NAME, std::ios_base::out | std::ios_base::trunc, asm_io::kestil_share_deny_none);
        m_stream.close();
        m_written = !m_stream.fail();
        m_stream.open(NAME, std::ios_base::out | std::ios_base::app, asm_io::kestil_share_deny_none);
        m_written = m_written && m_stream.is_open();
    }
    PFG_LOG(const PFG_LOG&) = delete;
    PFG_LOG& operator=(const PFG_LOG&) = delete;

    void append(const std::string& piece) { m_stream.write(piece.data(), static_cast<std::streamsize>(piece.size())); }
    void flush() { m_stream.flush(); }

    // Closes the log; a log that did not receive everything is the error of
    // a file that cannot be written (the tools' messages send the user to it).
    void close()
    {
        m_stream.close();
        if (!m_written || m_stream.fail())
            post_message(msg_EASM_FILE_OPEN_FAILURE(fio_get_unc_full_path(NAME), "file", "writing"));
    }

private:
    static constexpr const char* NAME = "pfg.log";
    asm_io::kestil_fstream m_stream;
    bool m_written = false;
};

}  // namespace

bool run_programming_file_tools(int family, ASM_MY_PROJECT& project)
{
    ASM2_IPARTITIONS* partitions = project.get_pr_partitions();
    ACF_MANAGER* acf_manager = ACF_MANAGER::get_acf_manager();
    ASM_REQUIRE(acf_manager != NULL);
    ACF_REVISION_MANAGER* revisions = acf_manager->get_revision_manager();
    ASM_REQUIRE(revisions != NULL);

    bool locked_here = false;
    if (!revisions->is_read_locked() && !revisions->is_write_locked())
    {
        if (!revisions->read_lock(true))
            internal_error("Could not open ZSF for assignment query.", ASM_SOURCE_TAG, LINE_READ_LOCK);
        locked_here = true;
    }
    const READ_LOCK_RELEASE release(revisions, locked_here);
    // The caller holds the write lock: the assignments cannot be read now.
    if (!revisions->is_read_locked())
        return true;

    const bool run_tools = acf_get_value(acf_manager, OPTION_RUN_PROGRAMMING_FILE_TOOLS, false, nullptr, nullptr,
                                         nullptr);
    const std::string commands_file = acf_get_value(acf_manager, OPTION_PFG_COMMANDS_FILE, std::string(), nullptr,
                                                    nullptr, nullptr);
    if (!run_tools)
        return true;

    FIO_PATH sof_path;
    FIO_PATH rbf_path;
    if (partitions == nullptr || partitions->get_count() < 1)
    {
        sof_path = FIO_PATH(project.get_sof_path());
        rbf_path = sof_path;
        rbf_path.no_extension();
    }
    else
    {
        ASM2_IPROJECT_REVISION_INFO* revision_info = partitions->get_revision_info();
        ASM_REQUIRE(revision_info != NULL);
        for (int i = 0; i < partitions->get_count(); ++i)
        {
            if (revision_info->get_region_revision(i).no_output_files)
                continue;
            FIO_PATH mask_file(
                join_directory(revision_info->get_output_directory(), revision_info->get_file_name()));
            mask_file.no_extension();
            sof_path = mask_file;
            rbf_path = mask_file;
        }
    }
    if (full_path_of(sof_path).empty())
        internal_error("!sof_path.fullpath().empty()", ASM_SOURCE_TAG, LINE_SOF_PATH);
    if (full_path_of(rbf_path).empty())
        internal_error("!rbf_path.fullpath().empty()", ASM_SOURCE_TAG, LINE_RBF_PATH);
    if (sof_path.extension().empty())
        sof_path.extension("sof", "");
    if (rbf_path.extension().empty())
        rbf_path.extension("rbf", "");

    const bool pfg_family = family == 29 || family == 52 || family == 67;
    const std::string tool = pfg_family ? "zorvane_pfg" : "zorvane_cpf";
    const std::string tool_word = tool + " ";
    const std::string sof_full = sof_path.fullpath();
    const std::string rbf_full = rbf_path.fullpath();
    std::vector<TOOL_COMMAND> commands;
    commands.push_back(TOOL_COMMAND{tool_word + " -c " + shown_path(sof_full) + " " + shown_path(rbf_full),
                                    {tool, "-c", sof_full, rbf_full}});

    if (!commands_file.empty())
    {
        asm_io::kestil_ifstream in;
        in.open(commands_file.c_str(), std::ios_base::in, asm_io::kestil_share_deny_none);
        if (!in.is_open())
        {
            post_message(msg_EASM_INVALID_PFG_COMMANDS_PATH(commands_file));
        }
        else
        {
            bool first = true;
            for (std::string line; std::getline(in, line);)
            {
                // A file written in Windows text mode ends its lines with "\r\n".
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.empty())
                    continue;
                if (first)
                    commands.clear();
                first = false;
                // The line is the user's own command tail: a shell runs it, as
                // the suite's command processor does.
                const std::string text = tool_word + line;
                commands.push_back(TOOL_COMMAND{text, {SHELL, "-c", text}});
            }
            in.close();
        }
    }

    PFG_LOG log;
    TOOL_REAPER reaper;

    for (const TOOL_COMMAND& command : commands)
    {
        const TOOL_RUN run = run_tool(command.argv, reaper);
        if (run.succeeded)
        {
            post_message(msg_IASM_SUCCESSFULL_CALLING_SUBPROCESS(command.text));
            for (const std::string& piece : output_pieces(run.output))
                log.append(piece);
            log.flush();
            continue;
        }
        post_message(msg_EASM_UNSUCCESSFULL_CALLING_SUBPROCESS(command.text));
        for (const std::string& piece : output_pieces(run.output))
        {
            if (piece.find("Error (") != std::string::npos)
                post_message(msg_EASM_UNSUCCESSFULL_CALLING_SUBPROCESS(piece));
            log.append(piece);
        }
        // The message sends the user to pfg.log: a tool that never ran leaves
        // the reason there.
        const std::string note = failure_note_of(command, run);
        if (!note.empty())
            log.append(note + "\n");
        log.close();
        return false;
    }
    log.close();
    return true;
}
