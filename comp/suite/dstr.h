// Device string library of the suite (stand-in): user names of devices.
#pragma once

#include "dev.h"

// The device's user name; null for an unknown device.
const char* dstr_get_user_string(DEV_DEVICE_ENUM device);
