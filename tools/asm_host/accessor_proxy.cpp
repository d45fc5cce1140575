#include "accessor_proxy.h"

HOST_ACCESSOR_PROXY::HOST_ACCESSOR_PROXY(const DESIGN_ACCESSOR& data, std::vector<DEVICE_SELECTION>* selections)
    : m_set_bits(data.set_bits.begin(), data.set_bits.end()),
      m_cram_address_width(data.cram_address_width),
      m_selections(selections)
{
}

// The design has one device, so the handle does not choose between devices.
bool HOST_ACCESSOR_PROXY::get_bit_value(uint32_t flat_bit_address, int)
{
    return m_set_bits.count(flat_bit_address) != 0;
}

void HOST_ACCESSOR_PROXY::select_device(DEV_DEVICE_ENUM device, DEV_PART part)
{
    if (m_selections != nullptr)
        m_selections->push_back(DEVICE_SELECTION{device, part});
}

uint32_t HOST_ACCESSOR_PROXY::get_cram_address_width(int, int, int) { return m_cram_address_width; }
