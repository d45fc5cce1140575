// Device manager library of the suite (stand-in): the process's current
// device.
#pragma once

#include "dev.h"

class DMGR_UTILITY
{
public:
    // The current device; null when there is none.
    static DEV_DEVICE* get_current_device();
    // Makes a device current (not owned; null: no current device).
    static void set_current_device(DEV_DEVICE* device);

    // Opens the device of a part and makes it current (owned by the device
    // manager until destroy_device): the device builder (below) makes it.
    // False, changing nothing, for a part the part table does not know, when
    // no builder is set or when the builder makes none.
    static bool create_device(DEV_PART part);
    // Ends the current device: deletes it when the device manager made it;
    // either way no device is current afterwards.
    static void destroy_device();
};

#include <functional>
#include <memory>

// Population: what the device database opens for a part (null: the part has
// no device data). An empty function removes the builder. dmgr_reset ends
// the device the manager made and removes the builder.
void dmgr_set_device_builder(std::function<std::unique_ptr<DEV_DEVICE>(DEV_PART)> builder);
void dmgr_reset();
