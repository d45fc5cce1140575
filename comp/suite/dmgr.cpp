#include "dmgr.h"

namespace
{
DEV_DEVICE*& current_device()
{
    static DEV_DEVICE* device = nullptr;
    return device;
}
std::unique_ptr<DEV_DEVICE>& owned_device()
{
    static std::unique_ptr<DEV_DEVICE> device;
    return device;
}

std::function<std::unique_ptr<DEV_DEVICE>(DEV_PART)>& device_builder()
{
    static std::function<std::unique_ptr<DEV_DEVICE>(DEV_PART)> builder;
    return builder;
}
}  // namespace

DEV_DEVICE* DMGR_UTILITY::get_current_device() { return current_device(); }

void DMGR_UTILITY::set_current_device(DEV_DEVICE* device) { current_device() = device; }

bool DMGR_UTILITY::create_device(DEV_PART part)
{
    if (DEV_PART_MANAGER().get_device_of(part) == DEV_DEVICE_INVALID || !device_builder())
        return false;
    std::unique_ptr<DEV_DEVICE> device = device_builder()(part);
    if (device == nullptr)
        return false;
    owned_device() = std::move(device);
    current_device() = owned_device().get();
    return true;
}

void DMGR_UTILITY::destroy_device()
{
    if (current_device() != nullptr && current_device() == owned_device().get())
        owned_device().reset();
    current_device() = nullptr;
}

void dmgr_set_device_builder(std::function<std::unique_ptr<DEV_DEVICE>(DEV_PART)> builder)
{
    device_builder() = std::move(builder);
}

void dmgr_reset()
{
    if (current_device() == owned_device().get())
        current_device() = nullptr;
    owned_device().reset();
    device_builder() = nullptr;
}
