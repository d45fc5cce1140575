#include "xml.h"

#include <cstring>

namespace
{

// The length of the valid UTF-8 sequence at text, 0 when it is invalid.
size_t sequence_length(const unsigned char* text)
{
    const unsigned char lead = text[0];
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned long value = 0;
    unsigned long minimum = 0;
    if ((lead & 0xE0) == 0xC0)
    {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    }
    else if ((lead & 0xF0) == 0xE0)
    {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    }
    else if ((lead & 0xF8) == 0xF0)
    {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    }
    else
    {
        return 0;
    }
    for (size_t i = 1; i < length; ++i)
    {
        // A NUL ends the text: the sequence is truncated.
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

long xml_encode_to_utf8(const char* text, char* buffer, size_t buffer_size)
{
    if (buffer == nullptr || buffer_size == 0)
        return -1;
    buffer[0] = '\0';
    if (text == nullptr)
        return -1;
    const unsigned char* source = reinterpret_cast<const unsigned char*>(text);
    const size_t total = std::strlen(text);
    for (size_t pos = 0; pos < total;)
    {
        const size_t length = sequence_length(source + pos);
        if (length == 0)
            return -1;
        pos += length;
    }
    if (total + 1 > buffer_size)
        return -1;
    std::memcpy(buffer, text, total + 1);
    return static_cast<long>(total);
}
