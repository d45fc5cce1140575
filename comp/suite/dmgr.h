// Device manager library of the suite (stand-in): the process's current
// device.
#pragma once

class DEV_DEVICE;

class DMGR_UTILITY
{
public:
    // The current device; null when there is none.
    static DEV_DEVICE* get_current_device();
    // Makes a device current (not owned; null: no current device).
    static void set_current_device(DEV_DEVICE* device);
};
