#include "put.h"

#include <algorithm>
#include <thread>

int PUT_PROCESSOR_MANAGER::get_max_threads(int requested)
{
    const unsigned hardware = std::thread::hardware_concurrency();
    const int available = hardware == 0 ? 1 : static_cast<int>(std::min(hardware, 1024u));
    return std::max(1, std::min(requested, available));
}
