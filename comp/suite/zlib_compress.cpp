#include "zlib_compress.h"

#include <zlib.h>

int zlib_compress(uint8_t* destination, uint32_t* destination_length, const uint8_t* source,
                  uint32_t source_length)
{
    if (destination == nullptr || destination_length == nullptr || (source == nullptr && source_length != 0))
        return Z_STREAM_ERROR;
    uLongf length = *destination_length;
    const int result = compress2(destination, &length, source, source_length, Z_DEFAULT_COMPRESSION);
    if (result == Z_OK)
        *destination_length = static_cast<uint32_t>(length);
    return result;
}
