// Walks an MP4 initialisation section's boxes down to the audio sample entry and its
// elementary stream descriptor. Pure; any thread.
#include "input/hls/hls_mp4_init.h"

#include <cstring>

namespace audio {

namespace {

struct byte_range {
    const uint8_t *data;
    size_t size;
};

uint32_t read_be(const uint8_t *p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | p[i];
    return value;
}

// Calls visit(type, body) for each box in range until it returns true; true if one did.
template <typename visitor> bool each_box(byte_range range, visitor visit) {
    size_t at = 0;
    while (range.size - at >= 8) {
        const uint8_t *head = range.data + at;
        uint64_t size = read_be(head, 4);
        size_t header = 8;
        if (size == 1) { // a 64-bit size follows the type
            if (range.size - at < 16)
                return false;
            size = static_cast<uint64_t>(read_be(head + 8, 4)) << 32 | read_be(head + 12, 4);
            header = 16;
        } else if (size == 0) { // to the end of its parent
            size = range.size - at;
        }
        if (size < header || size > range.size - at)
            return false;
        const char *type = reinterpret_cast<const char *>(head + 4);
        if (visit(type, byte_range{head + header, static_cast<size_t>(size) - header}))
            return true;
        at += static_cast<size_t>(size);
    }
    return false;
}

// The body of the first child box of the given type.
bool child(byte_range parent, const char *wanted, byte_range *found) {
    return each_box(parent, [&](const char *type, byte_range body) {
        if (std::memcmp(type, wanted, 4) != 0)
            return false;
        *found = body;
        return true;
    });
}

// An MPEG-4 descriptor header: its tag and its length in up to four 7-bit groups. Leaves
// range at the descriptor's body, cut to its length.
bool descriptor(byte_range *range, uint8_t wanted_tag) {
    if (range->size < 2 || range->data[0] != wanted_tag)
        return false;
    size_t at = 1, length = 0;
    for (int i = 0; i < 4; ++i) {
        if (at == range->size)
            return false;
        const uint8_t byte = range->data[at++];
        length = length << 7 | (byte & 0x7F);
        if (!(byte & 0x80))
            break;
    }
    if (length > range->size - at)
        return false;
    *range = {range->data + at, length};
    return true;
}

bool skip(byte_range *range, size_t count) {
    if (count > range->size)
        return false;
    *range = {range->data + count, range->size - count};
    return true;
}

// The 'esds' box body: ES_Descriptor, then its DecoderConfigDescriptor's object type and,
// for MPEG-4 audio, the audio object type of the AudioSpecificConfig.
bool esds_is_aac(byte_range esds) {
    if (!skip(&esds, 4) || !descriptor(&esds, 0x03) || esds.size < 3)
        return false;
    const uint8_t flags = esds.data[2];
    if (!skip(&esds, 3))
        return false;
    if ((flags & 0x80) && !skip(&esds, 2)) // depends on another stream
        return false;
    if (flags & 0x40) { // a URL, with its length first
        if (esds.size < 1 || !skip(&esds, 1 + static_cast<size_t>(esds.data[0])))
            return false;
    }
    if ((flags & 0x20) && !skip(&esds, 2)) // OCR stream
        return false;
    if (!descriptor(&esds, 0x04) || esds.size < 13)
        return false;
    const uint8_t object_type = esds.data[0];
    if (object_type >= 0x66 && object_type <= 0x68) // MPEG-2 AAC Main, LC, SSR
        return true;
    if (object_type != 0x40) // MPEG-4 audio; anything else (MP3 is 0x6B) is not AAC
        return false;
    byte_range config = esds;
    if (!skip(&config, 13) || !descriptor(&config, 0x05) || config.size < 1)
        return true; // no AudioSpecificConfig to tell otherwise
    uint32_t audio_object_type = config.data[0] >> 3;
    if (audio_object_type == 31 && config.size >= 2)
        audio_object_type = 32 + ((config.data[0] & 7) << 3 | config.data[1] >> 5);
    return audio_object_type < 32 || audio_object_type > 34; // 32 to 34: MPEG layers 1 to 3
}

// A sound sample entry's body: after its fixed fields (longer in QuickTime's versions 1
// and 2) come its boxes, among them 'esds'.
bool sample_entry_is_aac(byte_range entry) {
    if (entry.size < 28)
        return false;
    const uint32_t version = read_be(entry.data + 8, 2);
    const size_t fixed = 28 + (version == 1 ? 16 : version == 2 ? 36 : 0);
    byte_range esds;
    return skip(&entry, fixed) && child(entry, "esds", &esds) && esds_is_aac(esds);
}

} // namespace

bool mp4_init_carries_aac(const uint8_t *data, size_t size) {
    byte_range moov;
    if (!child({data, size}, "moov", &moov))
        return false;
    bool aac = false;
    // The first track whose handler is 'soun' is the audio the decoder plays.
    each_box(moov, [&](const char *type, byte_range trak) {
        byte_range mdia, hdlr, minf, stbl, stsd;
        if (std::memcmp(type, "trak", 4) != 0 || !child(trak, "mdia", &mdia) ||
            !child(mdia, "hdlr", &hdlr) || hdlr.size < 12 ||
            std::memcmp(hdlr.data + 8, "soun", 4) != 0)
            return false;
        aac = child(mdia, "minf", &minf) && child(minf, "stbl", &stbl) &&
              child(stbl, "stsd", &stsd) && skip(&stsd, 8) &&
              each_box(stsd, [&](const char *entry_type, byte_range entry) {
                  return std::memcmp(entry_type, "mp4a", 4) == 0 && sample_entry_is_aac(entry);
              });
        return true;
    });
    return aac;
}

} // namespace audio
