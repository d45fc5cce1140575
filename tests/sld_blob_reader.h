// A reader of the SLD blob, written from its layout: packets back to back,
// each a 16-byte little-endian header (time stamp bits 0-31, bits 32-39,
// compressed flag, name length N with its NUL, 4 reserved bytes, stored
// length S), the name and the content, one zlib stream when compressed.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct SLD_PACKET
{
    uint64_t time_stamp = 0;  // the 40 bits of the header
    int compressed = -1;
    std::string name;         // without its NUL
    uint32_t stored_length = 0;
    std::string stored;       // the content bytes as stored
    std::string content;      // the file's bytes (inflated when compressed)
};

inline uint32_t sld_le32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<size_t>(i)));
    return value;
}

// Inflates one zlib stream to its end; throws when it is not one whole
// stream.
inline std::string sld_inflate(const std::string& stream)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw std::runtime_error("inflateInit");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::string out;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK)
    {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole)
        throw std::runtime_error("not one whole zlib stream");
    return out;
}

// Every packet of the blob; throws on a malformed blob (a header that runs
// past the end, a name without its NUL, a reserved field that is not 0).
inline std::vector<SLD_PACKET> read_sld_blob(const std::string& blob)
{
    std::vector<SLD_PACKET> packets;
    size_t at = 0;
    while (at < blob.size())
    {
        if (blob.size() - at < 16)
            throw std::runtime_error("truncated header");
        SLD_PACKET packet;
        packet.time_stamp = sld_le32(blob, at) | (static_cast<uint64_t>(static_cast<unsigned char>(blob[at + 4])) << 32);
        packet.compressed = static_cast<unsigned char>(blob[at + 5]);
        const size_t name_length =
            static_cast<unsigned char>(blob[at + 6]) | (static_cast<size_t>(static_cast<unsigned char>(blob[at + 7])) << 8);
        if (sld_le32(blob, at + 8) != 0)
            throw std::runtime_error("reserved field is not 0");
        packet.stored_length = sld_le32(blob, at + 12);
        at += 16;
        if (name_length == 0 || blob.size() - at < name_length + packet.stored_length || blob[at + name_length - 1] != '\0')
            throw std::runtime_error("bad name or content length");
        packet.name = blob.substr(at, name_length - 1);
        at += name_length;
        packet.stored = blob.substr(at, packet.stored_length);
        at += packet.stored_length;
        packet.content = packet.compressed == 1 ? sld_inflate(packet.stored) : packet.stored;
        packets.push_back(packet);
    }
    return packets;
}
