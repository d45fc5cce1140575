#include "asm_bitfield.h"

#include "pgmio.h"

namespace
{

uint8_t* bytes_of(SOF_IMAGE* image)
{
    if (image == nullptr || image->bit_count == 0)
        return nullptr;
    return reinterpret_cast<uint8_t*>(&image->bytes[0]);
}

uint32_t size_of(const SOF_IMAGE* image) { return image == nullptr ? 0 : image->bit_count; }

template <typename OPTIONAL>
auto optional_image(OPTIONAL& image) -> decltype(&*image)
{
    return image ? &*image : nullptr;
}

}  // namespace

ASM_BITFIELD::ASM_BITFIELD(PGMIO_BITFIELD* bitfield) : m_bitfield(bitfield) {}

ASM_BITFIELD::~ASM_BITFIELD() { delete m_bitfield; }

uint8_t* ASM_BITFIELD::get_base_address()
{
    return m_bitfield == nullptr ? nullptr : bytes_of(&m_bitfield->contents().cram);
}

uint8_t* ASM_BITFIELD::get_cff_base_address()
{
    return m_bitfield == nullptr ? nullptr : bytes_of(optional_image(m_bitfield->contents().cff));
}

uint8_t* ASM_BITFIELD::get_unvm_base_address()
{
    return m_bitfield == nullptr ? nullptr : bytes_of(optional_image(m_bitfield->contents().unvm));
}

uint8_t* ASM_BITFIELD::get_option_reg_base_address()
{
    return m_bitfield == nullptr ? nullptr : bytes_of(optional_image(m_bitfield->contents().option_register));
}

uint32_t ASM_BITFIELD::get_cram_size() const
{
    return m_bitfield == nullptr ? 0 : m_bitfield->contents().cram.bit_count;
}

uint32_t ASM_BITFIELD::get_cff_size() const
{
    return m_bitfield == nullptr ? 0 : size_of(optional_image(m_bitfield->contents().cff));
}

uint32_t ASM_BITFIELD::get_unvm_size() const
{
    return m_bitfield == nullptr ? 0 : size_of(optional_image(m_bitfield->contents().unvm));
}

uint32_t ASM_BITFIELD::get_option_reg_size() const
{
    return m_bitfield == nullptr ? 0 : size_of(optional_image(m_bitfield->contents().option_register));
}

uint32_t ASM_BITFIELD::get_option_reg() const
{
    if (m_bitfield == nullptr || !m_bitfield->contents().option_register_word)
        return 0;
    return *m_bitfield->contents().option_register_word;
}

void ASM_BITFIELD::set_option_reg(unsigned long value)
{
    if (m_bitfield != nullptr)
        m_bitfield->contents().option_register_word = static_cast<uint32_t>(value);
}

uint32_t ASM_BITFIELD::get_jtag_user_code() const
{
    return m_bitfield == nullptr ? 0xFFFFFFFFu : m_bitfield->contents().jtag_user_code;
}

void ASM_BITFIELD::set_jtag_user_code(unsigned long value)
{
    if (m_bitfield != nullptr)
        m_bitfield->contents().jtag_user_code = static_cast<uint32_t>(value);
}

void ASM_BITFIELD::silent_set_bits(std::vector<DB_BIT_SETTING>& settings)
{
    if (m_bitfield == nullptr)
    {
        m_unset_bits.insert(m_unset_bits.end(), settings.begin(), settings.end());
        return;
    }
    SOF_CONTENTS& contents = m_bitfield->contents();
    for (const DB_BIT_SETTING& setting : settings)
    {
        const uint32_t address = setting.address;
        SOF_IMAGE* image = nullptr;
        uint32_t index = address;
        if ((address & 0x80000000u) == 0)
            image = &contents.cram;
        else if ((address & 0xC0000000u) == 0xC0000000u)
            image = nullptr;
        else if ((address & 0xA0000000u) == 0xA0000000u)
            image = optional_image(contents.cff), index = address & ~0xA0000000u;
        else if ((address & 0x90000000u) == 0x90000000u)
            image = optional_image(contents.unvm), index = address & ~0x90000000u;
        else if ((address & 0x88000000u) == 0x88000000u)
            image = optional_image(contents.option_register), index = address & ~0x88000000u;
        if (image == nullptr || index >= image->bit_count)
        {
            m_unset_bits.push_back(setting);
            continue;
        }
        char& byte = image->bytes[index / 8];
        const char mask = static_cast<char>(1u << (index % 8));
        byte = setting.value != 0 ? static_cast<char>(byte | mask) : static_cast<char>(byte & ~mask);
    }
}
