// Vorbis comment blocks and Ogg FLAC packet kinds; every length is checked against what is
// left.
#include "vorbis_comment.h"

#include <cstring>

namespace audio {

namespace {

bool read_length(const uint8_t *data, size_t size, size_t *offset, size_t *length) {
    if (size - *offset < 4)
        return false;
    const uint8_t *p = data + *offset;
    *length =
        static_cast<size_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    *offset += 4;
    return *length <= size - *offset;
}

} // namespace

std::vector<std::string> parse_vorbis_comment(const uint8_t *data, size_t size) {
    std::vector<std::string> comments;
    size_t offset = 0, length = 0, count = 0;
    if (!read_length(data, size, &offset, &length))
        return comments;
    offset += length; // the vendor string
    if (size - offset < 4)
        return comments;
    const uint8_t *p = data + offset;
    count = static_cast<size_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    offset += 4;
    for (size_t i = 0; i < count && read_length(data, size, &offset, &length); ++i) {
        std::string comment(reinterpret_cast<const char *>(data + offset), length);
        offset += length;
        size_t equals = comment.find('=');
        if (equals == std::string::npos || equals == 0)
            continue;
        // Names are case-insensitive; FFmpeg's demuxer gives them in lower case too.
        for (size_t c = 0; c < equals; ++c)
            if (comment[c] >= 'A' && comment[c] <= 'Z')
                comment[c] = static_cast<char>(comment[c] - 'A' + 'a');
        comments.push_back(comment);
    }
    return comments;
}

ogg_flac_packet classify_ogg_flac_packet(const uint8_t *data, size_t size) {
    if (size >= 5 && std::memcmp(data,
                                 "\x7f"
                                 "FLAC",
                                 5) == 0)
        return ogg_flac_packet::link_start;
    if (size == 0 || data[0] == 0xff) // frames start with their sync code
        return ogg_flac_packet::audio;
    // A metadata block header: last-block flag, 7-bit type, 24-bit length.
    return (data[0] & 0x7f) == 4 && size >= 4 ? ogg_flac_packet::comments
                                              : ogg_flac_packet::other_metadata;
}

} // namespace audio
