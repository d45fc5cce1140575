// The host's accessor proxy: configuration bits and the CRAM address width
// from the design's data, and a record of the device the module selects.
#pragma once

#include "design.h"

#include <zasm.h>

#include <set>
#include <vector>

// One select_device call.
struct DEVICE_SELECTION
{
    DEV_DEVICE_ENUM device;
    DEV_PART part;
};

class HOST_ACCESSOR_PROXY : public ZASM_ACCESSOR_PROXY
{
public:
    // The selections are appended to the host's list, which outlives the
    // proxy (the module deletes the proxy it holds).
    HOST_ACCESSOR_PROXY(const DESIGN_ACCESSOR& data, std::vector<DEVICE_SELECTION>* selections);

    bool get_bit_value(uint32_t flat_bit_address, int device_handle) override;
    void select_device(DEV_DEVICE_ENUM device, DEV_PART part) override;
    uint32_t get_cram_address_width(int device_handle, int selector, int variant) override;

private:
    std::set<uint32_t> m_set_bits;
    uint32_t m_cram_address_width;
    std::vector<DEVICE_SELECTION>* m_selections;
};
