// The SRAM object file format of the programming-file library (stand-in):
// the one encoder and decoder of .sof files (and of the partial-
// reconfiguration mask files, which share the container). The assembler
// core library writes with it and the programming-file library reads with
// it. The layout is described in docs/sof-format.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A configuration image: bit_count bits, bit i in byte i / 8 at bit i % 8.
struct SOF_IMAGE
{
    uint32_t bit_count = 0;
    std::string bytes;  // exactly (bit_count + 7) / 8 bytes

    // An image of that many bits, all zero.
    static SOF_IMAGE zeros(uint32_t bit_count);
    bool get_bit(uint32_t address) const;
    // False (nothing changed) for an address outside the image.
    bool set_bit(uint32_t address, bool value);
    bool operator==(const SOF_IMAGE& other) const { return bit_count == other.bit_count && bytes == other.bytes; }
};

// One named section of the chip that the file carries.
struct SOF_SECTION
{
    std::string name;
    int32_t major = 0;
    int32_t minor = 0;
    std::string bytes;
    bool operator==(const SOF_SECTION& other) const
    {
        return name == other.name && major == other.major && minor == other.minor && bytes == other.bytes;
    }
};

// Everything an SRAM object file holds.
struct SOF_CONTENTS
{
    std::string part_name;
    uint32_t jtag_user_code = 0xFFFFFFFFu;
    uint32_t pof_id = 0;
    std::string design_hash;
    std::string sld_blob;
    std::vector<SOF_SECTION> sections;
    SOF_IMAGE cram;
    std::optional<SOF_IMAGE> cff;
    std::optional<SOF_IMAGE> unvm;
    std::optional<SOF_IMAGE> option_register;
    // The device's 32-bit option register; absent until a bit-settings run
    // forces it.
    std::optional<uint32_t> option_register_word;
};

// The format's 32-bit checksum of bytes (CRC-32, as zlib computes it).
uint32_t sof_checksum(const std::string& bytes);
// The same over size bytes at data, continuing the checksum of the bytes
// before them (0 to start): the checksum of a whole that is never copied
// together.
uint32_t sof_checksum(const char* data, size_t size, uint32_t checksum_before = 0);

// The whole file: header, fields and the trailing checksum. A caller that
// has the checksum of the CRAM image's bytes (sof_checksum) may pass it: the
// image's share of the file's checksum is then joined from it instead of
// read again.
std::string sof_encode(const SOF_CONTENTS& contents, const uint32_t* cram_checksum = nullptr);
// Decodes a whole file; false, with the reason, for anything that is not a
// complete, intact file of a known version (contents then unspecified).
bool sof_decode(const std::string& file, SOF_CONTENTS& contents, std::string* error = nullptr);

// Writes the file through a temporary file in the same directory that is
// renamed into place, so that the path holds either its old content or the
// whole new file. The file's checksum (its trailing checksum field, the
// CRC-32 of every byte before it) goes to *file_checksum. False, with the
// reason, when it cannot be written.
bool sof_write_file(const std::string& path, const SOF_CONTENTS& contents, uint32_t* file_checksum,
                    std::string* error = nullptr, const uint32_t* cram_checksum = nullptr);
// Reads and decodes a file; *file_checksum receives its trailing checksum
// field, as sof_write_file gives it for the file it wrote. False, with the
// reason, when it cannot be read or decoded.
bool sof_read_file(const std::string& path, SOF_CONTENTS& contents, uint32_t* file_checksum,
                   std::string* error = nullptr);
