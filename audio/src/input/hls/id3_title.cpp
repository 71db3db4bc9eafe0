// ID3v2.3/2.4 frame walking for the title frames; everything else in a tag is skipped.
#include "input/hls/id3_title.h"

#include "input/text/text.h"
#include "input/text/unicode_text.h"

#include <cstring>

namespace audio {

namespace {

uint32_t syncsafe(const uint8_t *p) {
    return static_cast<uint32_t>((p[0] & 0x7f) << 21 | (p[1] & 0x7f) << 14 | (p[2] & 0x7f) << 7 |
                                 (p[3] & 0x7f));
}

// A text frame's value (its first string) in UTF-8.
std::string frame_text(const uint8_t *p, size_t size) {
    if (size == 0)
        return "";
    const uint8_t encoding = p[0];
    ++p, --size;
    if (encoding == 1 || encoding == 2) {
        bool big_endian = encoding == 2;
        if (size >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
            big_endian = p[0] == 0xFE;
            p += 2, size -= 2;
        }
        return utf16_to_utf8(p, size, big_endian);
    }
    size_t length = 0;
    while (length < size && p[length])
        ++length;
    if (encoding == 3)
        return std::string(reinterpret_cast<const char *>(p), length);
    std::string out; // ISO-8859-1
    for (size_t i = 0; i < length; ++i)
        append_utf8(out, p[i]);
    return out;
}

// "StreamTitle='...';" from a text that carries one, cut after its closing "';".
std::optional<std::string> carried_title(const std::string &text) {
    std::optional<std::string> title = text_after_key(text, "StreamTitle='");
    if (!title)
        return std::nullopt;
    return "StreamTitle='" + title->substr(0, title->find("';")) + "';";
}

} // namespace

size_t id3_tag_size(const uint8_t *data, size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0 || data[3] == 0xFF || data[4] == 0xFF)
        return 0;
    return 10 + syncsafe(data + 6) + ((data[5] & 0x10) ? 10 : 0);
}

std::optional<std::string> id3_stream_title(const uint8_t *data, size_t size) {
    const size_t tag_size = id3_tag_size(data, size);
    const uint8_t version = tag_size ? data[3] : 0;
    if (version != 3 && version != 4)
        return std::nullopt;
    const size_t end = std::min(size, tag_size);
    size_t at = 10;
    if (data[5] & 0x40) { // an extended header comes first
        if (at + 4 > end)
            return std::nullopt;
        const size_t extended = version == 4
                                    ? syncsafe(data + at)
                                    : 4 + (static_cast<size_t>(data[at]) << 24 |
                                           data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3]);
        if (extended > end - at)
            return std::nullopt;
        at += extended;
    }
    std::string artist, title;
    while (at + 10 <= end && data[at] != 0) {
        const uint8_t *frame = data + at;
        const size_t frame_size = version == 4 ? syncsafe(frame + 4)
                                               : static_cast<size_t>(frame[4]) << 24 |
                                                     frame[5] << 16 | frame[6] << 8 | frame[7];
        if (frame_size > end - at - 10)
            break;
        const uint8_t *body = frame + 10;
        if (std::memcmp(frame, "TIT2", 4) == 0) {
            title = frame_text(body, frame_size);
        } else if (std::memcmp(frame, "TPE1", 4) == 0) {
            artist = frame_text(body, frame_size);
        } else if (std::memcmp(frame, "TXXX", 4) == 0 || std::memcmp(frame, "PRIV", 4) == 0) {
            // The description or owner is a NUL-ended text before the value; a title may
            // stand in either.
            std::string whole(reinterpret_cast<const char *>(body), frame_size);
            if (std::optional<std::string> carried = carried_title(whole))
                return carried;
        }
        at += 10 + frame_size;
    }
    if (title.empty())
        return std::nullopt;
    return "StreamTitle='" + (artist.empty() ? title : artist + " - " + title) + "';";
}

} // namespace audio
