#include "pgmio_sof.h"

#include "fio.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace
{

const char MAGIC[4] = {'Z', 'S', 'O', 'F'};
const uint16_t VERSION = 1;

const uint32_t HAS_CFF = 1u << 0;
const uint32_t HAS_UNVM = 1u << 1;
const uint32_t HAS_OPTION_REGISTER = 1u << 2;
const uint32_t HAS_OPTION_REGISTER_WORD = 1u << 3;

void put_u16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put_u32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void put_bytes(std::string& out, const std::string& bytes)
{
    put_u32(out, static_cast<uint32_t>(bytes.size()));
    out += bytes;
}

void put_image(std::string& out, const SOF_IMAGE& image)
{
    put_u32(out, image.bit_count);
    put_bytes(out, image.bytes);
}

size_t image_byte_count(uint32_t bit_count) { return (static_cast<size_t>(bit_count) + 7) / 8; }

// Reads the fields of a file in order; every read checks what is left.
class READER
{
public:
    READER(const std::string& data, size_t end) : m_data(data), m_end(end) {}

    bool u16(uint16_t& value)
    {
        if (m_end - m_pos < 2)
            return fail("truncated");
        value = static_cast<uint16_t>(byte(0) | (byte(1) << 8));
        m_pos += 2;
        return true;
    }

    bool u32(uint32_t& value)
    {
        if (m_end - m_pos < 4)
            return fail("truncated");
        value = byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24);
        m_pos += 4;
        return true;
    }

    bool bytes(std::string& value)
    {
        uint32_t length = 0;
        if (!u32(length))
            return false;
        if (m_end - m_pos < length)
            return fail("truncated");
        value.assign(m_data, m_pos, length);
        m_pos += length;
        return true;
    }

    bool image(SOF_IMAGE& image)
    {
        if (!u32(image.bit_count) || !bytes(image.bytes))
            return false;
        if (image.bytes.size() != image_byte_count(image.bit_count))
            return fail("image size does not match its bit count");
        return true;
    }

    bool raw(size_t count, std::string& value)
    {
        if (m_end - m_pos < count)
            return fail("truncated");
        value.assign(m_data, m_pos, count);
        m_pos += count;
        return true;
    }

    bool at_end() const { return m_pos == m_end; }
    bool fail(const std::string& reason)
    {
        if (m_error.empty())
            m_error = reason;
        return false;
    }
    const std::string& error() const { return m_error; }

private:
    uint32_t byte(size_t offset) const { return static_cast<unsigned char>(m_data[m_pos + offset]); }

    const std::string& m_data;
    size_t m_end;
    size_t m_pos = 0;
    std::string m_error;
};

bool set_error(std::string* error, const std::string& reason)
{
    if (error != nullptr)
        *error = reason;
    return false;
}

}  // namespace

SOF_IMAGE SOF_IMAGE::zeros(uint32_t bit_count)
{
    SOF_IMAGE image;
    image.bit_count = bit_count;
    image.bytes.assign(image_byte_count(bit_count), '\0');
    return image;
}

bool SOF_IMAGE::get_bit(uint32_t address) const
{
    if (address >= bit_count)
        return false;
    return (static_cast<unsigned char>(bytes[address / 8]) >> (address % 8)) & 1u;
}

bool SOF_IMAGE::set_bit(uint32_t address, bool value)
{
    if (address >= bit_count)
        return false;
    unsigned char byte = static_cast<unsigned char>(bytes[address / 8]);
    const unsigned char mask = static_cast<unsigned char>(1u << (address % 8));
    byte = value ? static_cast<unsigned char>(byte | mask) : static_cast<unsigned char>(byte & ~mask);
    bytes[address / 8] = static_cast<char>(byte);
    return true;
}

uint32_t sof_checksum(const std::string& bytes) { return sof_checksum(bytes.data(), bytes.size()); }

uint32_t sof_checksum(const char* bytes, size_t size, uint32_t checksum_before)
{
    uLong crc = checksum_before;
    const Bytef* data = reinterpret_cast<const Bytef*>(bytes);
    size_t left = size;
    // zlib takes lengths of type uInt: feed large inputs in pieces.
    while (left > 0)
    {
        const uInt piece = static_cast<uInt>(left > 0x40000000u ? 0x40000000u : left);
        crc = crc32(crc, data, piece);
        data += piece;
        left -= piece;
    }
    return static_cast<uint32_t>(crc);
}

namespace
{

size_t encoded_image_size(const SOF_IMAGE& image) { return 4 + 4 + image.bytes.size(); }

// The size of the whole file, computed before it is encoded.
size_t encoded_size(const SOF_CONTENTS& contents)
{
    size_t size = sizeof MAGIC + 2 + 2;
    size += 4 + contents.part_name.size() + 4 + 4 + 4 + contents.design_hash.size() + 4 + contents.sld_blob.size();
    size += 4;
    for (const SOF_SECTION& section : contents.sections)
        size += 4 + section.name.size() + 4 + 4 + 4 + section.bytes.size();
    size += encoded_image_size(contents.cram) + 4;
    for (const std::optional<SOF_IMAGE>* image : {&contents.cff, &contents.unvm, &contents.option_register})
        size += *image ? encoded_image_size(**image) : 0;
    return size + 4;
}

}  // namespace

std::string sof_encode(const SOF_CONTENTS& contents, const uint32_t* cram_checksum)
{
    // The buffer is sized once: an image of many megabytes is copied into it
    // once and never moved again.
    std::string out;
    out.reserve(encoded_size(contents));
    out.append(MAGIC, sizeof MAGIC);
    put_u16(out, VERSION);
    put_u16(out, 0);
    put_bytes(out, contents.part_name);
    put_u32(out, contents.jtag_user_code);
    put_u32(out, contents.pof_id);
    put_bytes(out, contents.design_hash);
    put_bytes(out, contents.sld_blob);
    put_u32(out, static_cast<uint32_t>(contents.sections.size()));
    for (const SOF_SECTION& section : contents.sections)
    {
        put_bytes(out, section.name);
        put_u32(out, static_cast<uint32_t>(section.major));
        put_u32(out, static_cast<uint32_t>(section.minor));
        put_bytes(out, section.bytes);
    }
    // The checksum covers every byte before the trailer: the fields so far,
    // the image (its own checksum joined on when the caller has it), the
    // rest.
    put_u32(out, contents.cram.bit_count);
    put_u32(out, static_cast<uint32_t>(contents.cram.bytes.size()));
    uint32_t checksum = sof_checksum(out.data(), out.size());
    if (cram_checksum != nullptr)
        checksum = static_cast<uint32_t>(
            crc32_combine(checksum, *cram_checksum, static_cast<z_off_t>(contents.cram.bytes.size())));
    else
        checksum = sof_checksum(contents.cram.bytes.data(), contents.cram.bytes.size(), checksum);
    out += contents.cram.bytes;
    const size_t rest = out.size();
    uint32_t flags = 0;
    flags |= contents.cff ? HAS_CFF : 0;
    flags |= contents.unvm ? HAS_UNVM : 0;
    flags |= contents.option_register ? HAS_OPTION_REGISTER : 0;
    flags |= contents.option_register_word ? HAS_OPTION_REGISTER_WORD : 0;
    put_u32(out, flags);
    if (contents.cff)
        put_image(out, *contents.cff);
    if (contents.unvm)
        put_image(out, *contents.unvm);
    if (contents.option_register)
        put_image(out, *contents.option_register);
    if (contents.option_register_word)
        put_u32(out, *contents.option_register_word);
    put_u32(out, sof_checksum(out.data() + rest, out.size() - rest, checksum));
    return out;
}

bool sof_decode(const std::string& file, SOF_CONTENTS& contents, std::string* error)
{
    const size_t header_size = sizeof MAGIC + 4;
    if (file.size() < header_size + 4)
        return set_error(error, "truncated");
    if (std::memcmp(file.data(), MAGIC, sizeof MAGIC) != 0)
        return set_error(error, "not an SRAM object file");

    // The last four bytes are the checksum of everything before them.
    const size_t body_end = file.size() - 4;
    uint32_t stored_checksum = 0;
    for (size_t i = 0; i < 4; ++i)
        stored_checksum |= static_cast<uint32_t>(static_cast<unsigned char>(file[body_end + i])) << (8 * i);

    READER in(file, body_end);
    std::string magic;
    uint16_t version = 0;
    uint16_t reserved = 0;
    in.raw(sizeof MAGIC, magic);
    in.u16(version);
    in.u16(reserved);
    if (version != VERSION)
        return set_error(error, "unknown version " + std::to_string(version));
    if (sof_checksum(file.data(), body_end) != stored_checksum)
        return set_error(error, "checksum mismatch");

    SOF_CONTENTS read;
    uint32_t section_count = 0;
    bool ok = in.bytes(read.part_name) && in.u32(read.jtag_user_code) && in.u32(read.pof_id) &&
              in.bytes(read.design_hash) && in.bytes(read.sld_blob) && in.u32(section_count);
    for (uint32_t i = 0; ok && i < section_count; ++i)
    {
        SOF_SECTION section;
        uint32_t major = 0;
        uint32_t minor = 0;
        ok = in.bytes(section.name) && in.u32(major) && in.u32(minor) && in.bytes(section.bytes);
        section.major = static_cast<int32_t>(major);
        section.minor = static_cast<int32_t>(minor);
        if (ok)
            read.sections.push_back(std::move(section));
    }
    uint32_t flags = 0;
    ok = ok && in.image(read.cram) && in.u32(flags);
    if (ok && (flags & ~(HAS_CFF | HAS_UNVM | HAS_OPTION_REGISTER | HAS_OPTION_REGISTER_WORD)) != 0)
        ok = in.fail("unknown image flags");
    const std::pair<uint32_t, std::optional<SOF_IMAGE>*> optional_images[] = {
        {HAS_CFF, &read.cff}, {HAS_UNVM, &read.unvm}, {HAS_OPTION_REGISTER, &read.option_register}};
    for (const auto& entry : optional_images)
    {
        if (!ok || (flags & entry.first) == 0)
            continue;
        SOF_IMAGE image;
        ok = in.image(image);
        *entry.second = std::move(image);
    }
    if (ok && (flags & HAS_OPTION_REGISTER_WORD) != 0)
    {
        uint32_t word = 0;
        ok = in.u32(word);
        read.option_register_word = word;
    }
    if (ok && !in.at_end())
        ok = in.fail("unexpected bytes after the last field");
    if (!ok)
        return set_error(error, in.error());
    contents = std::move(read);
    return true;
}

namespace
{

// The checksum a whole file carries in its last four bytes: the CRC-32 of
// every byte before them. (The CRC-32 of a whole file, trailer included, is
// the same constant for every intact file, so it tells no two files apart.)
uint32_t stored_checksum(const std::string& file)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < file.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(file[file.size() - 4 + i])) << (8 * i);
    return value;
}

}  // namespace

bool sof_write_file(const std::string& path, const SOF_CONTENTS& contents, uint32_t* file_checksum, std::string* error,
                    const uint32_t* cram_checksum)
{
    const std::string file = sof_encode(contents, cram_checksum);
    if (!fio_write_file_atomically(path, file, error))
        return false;
    if (file_checksum != nullptr)
        *file_checksum = stored_checksum(file);
    return true;
}

bool sof_read_file(const std::string& path, SOF_CONTENTS& contents, uint32_t* file_checksum, std::string* error)
{
    // Read whole from the regular file that was opened (a directory or
    // device has no end to go by, a FIFO would hold the run).
    std::string file;
    if (!fio_read_regular_file(path, file, error))
        return false;
    if (!sof_decode(file, contents, error))
        return false;
    if (file_checksum != nullptr)
        *file_checksum = stored_checksum(file);
    return true;
}
