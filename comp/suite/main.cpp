#include "main.h"

#include <cstdlib>
#include <cstring>

namespace
{

// -1: follow the environment; 0 or 1: set by main_set_eh_enabled.
std::atomic<int> eh_setting{-1};
std::atomic<bool> terminate_called{false};

static_assert(std::atomic<bool>::is_always_lock_free, "the termination flag is read in signal handlers");
static_assert(std::atomic<MAIN_SEH_CALLBACK>::is_always_lock_free, "callbacks are read in signal handlers");

}  // namespace

std::atomic<MAIN_SEH_CALLBACK> main_seh_callback{nullptr};
std::atomic<MAIN_TERMINATOR_CALLBACK> main_terminator_callback{nullptr};

bool main_eh_enabled()
{
    int setting = eh_setting.load();
    if (setting >= 0)
        return setting != 0;
    const char* value = std::getenv("ZORVANE_MAIN_EH");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void main_set_eh_enabled(bool enabled) { eh_setting.store(enabled ? 1 : 0); }

bool main_terminate_called(bool set)
{
    if (!set)
        return terminate_called.load();
    return terminate_called.exchange(true);
}

void main_reset()
{
    eh_setting.store(-1);
    terminate_called.store(false);
    main_seh_callback.store(nullptr);
    main_terminator_callback.store(nullptr);
}
