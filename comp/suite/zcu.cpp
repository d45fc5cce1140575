#include "zcu.h"

ZCU_FACADE_UTIL* ZCU_FACADE_UTIL::get_instance()
{
    static ZCU_FACADE_UTIL instance;
    return &instance;
}
