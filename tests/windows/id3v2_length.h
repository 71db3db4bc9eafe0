// The length of the ID3v2 tag that begins an MP3 file (its 10-byte header included; the size
// is syncsafe, 7 bits a byte), or 0 when the file begins with no tag.
#pragma once

#include <cstddef>

inline size_t id3v2_length(const unsigned char *bytes, size_t size) {
    if (size < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3')
        return 0;
    size_t length = 10;
    for (int at = 6; at < 10; ++at)
        length += static_cast<size_t>(bytes[at] & 0x7F) << (7 * (9 - at));
    return length;
}
