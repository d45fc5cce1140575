// Compression library of the suite (stand-in): zlib's compress contract.
#pragma once

#include <cstdint>

// Compresses source_length bytes into one zlib stream (RFC 1950) at zlib's
// default level, as zlib's compress does. On entry *destination_length is
// the capacity of the destination; on success it is the stream's length.
// Returns 0 on success, zlib's error code otherwise (Z_BUF_ERROR when the
// destination is too small).
int zlib_compress(uint8_t* destination, uint32_t* destination_length, const uint8_t* source,
                  uint32_t source_length);
