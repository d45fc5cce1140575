// XML text encoding utility of the suite (stand-in).
#pragma once

#include <cstddef>

// Converts the NUL-terminated text, in the platform's narrow character set,
// to UTF-8 in the buffer of the given size, followed by a NUL. On Linux the
// narrow set is UTF-8: valid sequences are copied, and an invalid sequence
// (a stray continuation byte, a truncated or overlong sequence, a surrogate
// or a value above U+10FFFF) fails. Returns the number of UTF-8 bytes
// written (without the NUL), or -1 on failure or when the buffer is too
// small; the buffer then holds no partial text (it starts with a NUL).
long xml_encode_to_utf8(const char* text, char* buffer, size_t buffer_size);
