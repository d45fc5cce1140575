// Assembler model library of the suite (stand-in): the bitstream wrapper
// ASM_BITFIELD over the programming-file library's bitfield, and the bit
// setting DB_BIT_SETTING handed to it.
#pragma once

#include <cstdint>
#include <vector>

class PGMIO_BITFIELD;

// One configuration bit to set: its address (an address-space tag OR a bit
// index) and its value (0 or 1).
struct DB_BIT_SETTING
{
    uint32_t address;
    uint8_t value;
};

// The images of an SRAM object file, as the assembler changes them. Address
// spaces, told by the top bits of an address: bit 31 clear is a CRAM bit
// index; bits 31 and 30 set is no readable bit; 0xA0000000 tags a CFF bit,
// 0x90000000 an UNVM bit and 0x88000000 an option-register bit (the index is
// the address with its tag bits cleared).
class ASM_BITFIELD
{
public:
    // Takes the bitfield (owned from now on; null gives a wrapper of no
    // images).
    explicit ASM_BITFIELD(PGMIO_BITFIELD* bitfield);
    ~ASM_BITFIELD();
    ASM_BITFIELD(const ASM_BITFIELD&) = delete;
    ASM_BITFIELD& operator=(const ASM_BITFIELD&) = delete;

    // The bytes of each image (bit i is bit i % 8 of byte i / 8); null when
    // the file has no such image or the image has no bits.
    uint8_t* get_base_address();
    uint8_t* get_cff_base_address();
    uint8_t* get_unvm_base_address();
    uint8_t* get_option_reg_base_address();

    // The number of bits of each image; 0 when there is none.
    uint32_t get_cram_size() const;
    uint32_t get_cff_size() const;
    uint32_t get_unvm_size() const;
    uint32_t get_option_reg_size() const;

    // The 32-bit option register (0 when the file holds none) and the JTAG
    // user code. Setting stores the low 32 bits of the value.
    uint32_t get_option_reg() const;
    void set_option_reg(unsigned long value);
    uint32_t get_jtag_user_code() const;
    void set_jtag_user_code(unsigned long value);

    // Sets each listed bit of its image to the listed value (any value other
    // than 0 sets the bit), in list order. A setting that no image holds (no
    // readable bit, an image the file does not have, an index past the
    // image's end) changes nothing and is kept in unset_bits().
    void silent_set_bits(std::vector<DB_BIT_SETTING>& settings);
    // The settings that the calls of silent_set_bits could not place.
    const std::vector<DB_BIT_SETTING>& unset_bits() const { return m_unset_bits; }

    // The wrapped bitfield (still owned by the wrapper).
    PGMIO_BITFIELD* get_pgmio_bitfield() { return m_bitfield; }

private:
    PGMIO_BITFIELD* m_bitfield;
    std::vector<DB_BIT_SETTING> m_unset_bits;
};
