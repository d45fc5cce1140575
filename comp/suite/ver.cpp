#include "ver.h"

std::string ver_get_full_version(bool full)
{
    return full ? "Version 1.0.0 Build 100 Standard Edition" : "Version 1.0.0";
}
