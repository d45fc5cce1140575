// The host's accessor proxy (stand-in declaration): the host object through
// which the assembler reaches configuration bits of the current bitstream.
// The host implements it and hands it to set_and_get_asm_zasm_accessor.
#pragma once

#include <cstdint>

#include "dev.h"

class ZASM_ACCESSOR_PROXY
{
public:
    virtual ~ZASM_ACCESSOR_PROXY() = default;

    // The value of one configuration bit, by its flat bit address, on the
    // device of the handle.
    virtual bool get_bit_value(uint32_t flat_bit_address, int device_handle) = 0;

    // Makes the device of the part the one the host's accessors work on.
    virtual void select_device(DEV_DEVICE_ENUM device, DEV_PART part) = 0;

    // The CRAM address width of the device of the handle; the assembler asks
    // with the selector 2 and the variant 1.
    virtual uint32_t get_cram_address_width(int device_handle, int selector, int variant) = 0;
};
