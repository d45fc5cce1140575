#include "dmgr.h"

namespace
{
DEV_DEVICE*& current_device()
{
    static DEV_DEVICE* device = nullptr;
    return device;
}
}  // namespace

DEV_DEVICE* DMGR_UTILITY::get_current_device() { return current_device(); }

void DMGR_UTILITY::set_current_device(DEV_DEVICE* device) { current_device() = device; }
