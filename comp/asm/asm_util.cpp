#include "asm_util.h"

#include "asm_common.h"

#include <cdb.h>
#include <cfg.h>
#include <mem.h>

#include <cinttypes>
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
