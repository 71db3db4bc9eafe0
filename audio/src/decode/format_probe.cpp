#include "format_probe.h"

#include "brevora_audio.h"
#include "input/hls/id3_title.h"
#include "input/wms/asf_header.h"

#include <cstring>

namespace audio {

namespace {

enum class verdict { no, yes, need_more };

enum class family { mpeg_audio, adts, ogg, mp4, flac, asf };

const stream_format mp1_format{"MP1", "mp3", "mp1float", BASS_CTYPE_STREAM_MP1, tag_source::none};
const stream_format mp2_format{"MP2", "mp3", "mp2float", BASS_CTYPE_STREAM_MP2, tag_source::none};
const stream_format mp3_format{"MP3", "mp3", "mp3float", BASS_CTYPE_STREAM_MP3, tag_source::none};
const stream_format aac_format{"AAC", "aac", "aac", BASS_CTYPE_STREAM_AAC, tag_source::none};
const stream_format ogg_format{"Ogg", "ogg", nullptr, BASS_CTYPE_STREAM_OGG,
                               tag_source::ogg_comments};
const stream_format ogg_flac_format{"Ogg FLAC", "ogg", nullptr, BASS_CTYPE_STREAM_OGG_FLAC,
                                    tag_source::ogg_comments};
const stream_format opus_format{"Opus", "ogg", nullptr, BASS_CTYPE_STREAM_OPUS,
                                tag_source::ogg_comments};
const stream_format mp4_format{"MP4", "mp4", nullptr, BASS_CTYPE_STREAM_MP4, tag_source::none};
// MP4 declared as AAC (how an HLS input declares fragments it knows carry AAC): named after
// its codec, as the AAC in other containers is.
const stream_format aac_mp4_format{"AAC", "mp4", nullptr, BASS_CTYPE_STREAM_AAC, tag_source::none};
const stream_format flac_format{"FLAC", "flac", nullptr, BASS_CTYPE_STREAM_FLAC,
                                tag_source::ogg_comments};
const stream_format asf_format{"WMA", "asf", nullptr, BASS_CTYPE_STREAM_WMA,
                               tag_source::asf_header};

// The codec of an Ogg page that begins a logical bitstream, from its first packet; Vorbis
// (or anything else FFmpeg's Ogg demuxer reads) otherwise.
verdict ogg_codec(const uint8_t *p, size_t left, bool at_end, const stream_format **format) {
    const size_t page_header = 27;
    size_t body = left < page_header ? left : page_header + p[26];
    if (left < body + 8) {
        // A stream this short is only the demuxer's to judge.
        *format = &ogg_format;
        return at_end ? verdict::yes : verdict::need_more;
    }
    const uint8_t *packet = p + body;
    if (std::memcmp(packet,
                    "\x7f"
                    "FLAC",
                    5) == 0)
        *format = &ogg_flac_format;
    else if (std::memcmp(packet, "OpusHead", 8) == 0)
        *format = &opus_format;
    else
        *format = &ogg_format;
    return verdict::yes;
}

// Consecutive frame headers needed before a sync pattern counts as a stream.
constexpr int frames_to_confirm = 3;

struct frame_header {
    bool valid = false;
    size_t length = 0;
    uint32_t kind = 0; // what must stay equal from frame to frame
    const stream_format *format = nullptr;
};

frame_header mpeg_audio_header(const uint8_t *p) {
    static const uint16_t bitrates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 L1
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 L2
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 L3
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 L1
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 L2, L3
    };
    static const uint32_t rates[3] = {44100, 48000, 32000};
    frame_header header;
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return header;
    int version = (p[1] >> 3) & 3;     // 0: 2.5, 1: reserved, 2: 2, 3: 1
    int layer = 4 - ((p[1] >> 1) & 3); // 4: reserved
    int bitrate_index = p[2] >> 4;
    int rate_index = (p[2] >> 2) & 3;
    if (version == 1 || layer == 4 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return header;
    bool mpeg1 = version == 3;
    int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    uint32_t bitrate = bitrates[table][bitrate_index] * 1000u;
    uint32_t rate = rates[rate_index] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    uint32_t padding = (p[2] >> 1) & 1;
    if (layer == 1)
        header.length = (12 * bitrate / rate + padding) * 4;
    else if (layer == 3 && !mpeg1)
        header.length = 72 * bitrate / rate + padding;
    else
        header.length = 144 * bitrate / rate + padding;
    header.kind = static_cast<uint32_t>(version << 4 | layer << 2 | rate_index);
    header.format = layer == 1 ? &mp1_format : layer == 2 ? &mp2_format : &mp3_format;
    header.valid = header.length > 4;
    return header;
}

frame_header adts_header(const uint8_t *p) {
    frame_header header;
    if (p[0] != 0xff || (p[1] & 0xf6) != 0xf0)
        return header;
    int rate_index = (p[2] >> 2) & 15;
    if (rate_index > 12)
        return header;
    header.length = static_cast<size_t>((p[3] & 3) << 11 | p[4] << 3 | p[5] >> 5);
    header.kind = static_cast<uint32_t>(rate_index << 4 | (p[3] >> 6 | (p[2] & 1) << 2));
    header.format = &aac_format;
    header.valid = header.length > 7;
    return header;
}

// Follows frames_to_confirm headers from `offset`. A stream that ends after fewer complete
// frames still counts, as long as every header seen agreed.
verdict frame_chain(frame_header (*parse)(const uint8_t *), const uint8_t *data, size_t size,
                    size_t offset, bool at_end, const stream_format **format) {
    const size_t header_bytes = 7;
    uint32_t kind = 0;
    for (int frame = 0; frame < frames_to_confirm; ++frame) {
        if (offset + header_bytes > size) {
            if (frame > 0 && at_end && offset == size)
                return verdict::yes;
            return at_end ? verdict::no : verdict::need_more;
        }
        frame_header header = parse(data + offset);
        if (!header.valid || (frame > 0 && header.kind != kind))
            return verdict::no;
        kind = header.kind;
        *format = header.format;
        offset += header.length;
    }
    return verdict::yes;
}

verdict match_at(family which, const uint8_t *data, size_t size, size_t offset, bool at_end,
                 const stream_format **format) {
    const uint8_t *p = data + offset;
    size_t left = size - offset;
    switch (which) {
    case family::ogg:
        // A page header: capture pattern, then stream structure version 0.
        if (left < 5)
            return at_end ? verdict::no : verdict::need_more;
        if (std::memcmp(p, "OggS", 4) != 0 || p[4] != 0)
            return verdict::no;
        return ogg_codec(p, left, at_end, format);
    case family::flac:
        // The stream marker, which the demuxer needs before the first metadata block.
        if (left < 4)
            return at_end ? verdict::no : verdict::need_more;
        if (std::memcmp(p, "fLaC", 4) != 0)
            return verdict::no;
        *format = &flac_format;
        return verdict::yes;
    case family::asf:
        // An ASF stream opens with its header object.
        if (offset != 0)
            return verdict::no;
        if (left < sizeof asf_header_object_guid)
            return at_end ? verdict::no : verdict::need_more;
        if (std::memcmp(p, asf_header_object_guid, sizeof asf_header_object_guid) != 0)
            return verdict::no;
        *format = &asf_format;
        return verdict::yes;
    case family::mp4:
        // An MP4 file opens with its 'ftyp' box.
        if (offset != 0)
            return verdict::no;
        if (left < 8)
            return at_end ? verdict::no : verdict::need_more;
        if (std::memcmp(p + 4, "ftyp", 4) != 0)
            return verdict::no;
        *format = &mp4_format;
        return verdict::yes;
    case family::mpeg_audio:
        if (left < 2 || p[0] != 0xff)
            return left < 2 && !at_end ? verdict::need_more : verdict::no;
        return frame_chain(mpeg_audio_header, data, size, offset, at_end, format);
    case family::adts:
        if (left < 2 || p[0] != 0xff)
            return left < 2 && !at_end ? verdict::need_more : verdict::no;
        return frame_chain(adts_header, data, size, offset, at_end, format);
    }
    return verdict::no;
}

// The family a Content-Type declares, tried first; the bytes still have to confirm it.
bool declared_family(const std::string &content_type, family *which) {
    static const struct {
        const char *type;
        family which;
    } known[] = {
        {"audio/mpeg", family::mpeg_audio},
        {"audio/mp3", family::mpeg_audio},
        {"audio/aac", family::adts},
        {"audio/aacp", family::adts},
        {"audio/x-aac", family::adts},
        {"application/ogg", family::ogg},
        {"audio/ogg", family::ogg},
        {"audio/mp4", family::mp4},
        {"audio/opus", family::ogg},
        {"audio/flac", family::flac},
        {"audio/x-flac", family::flac},
        {"video/x-ms-asf", family::asf},
        {"audio/x-ms-wma", family::asf},
        {"application/vnd.ms.wms-hdr.asfv1", family::asf},
        {"application/x-mms-framed", family::asf},
    };
    for (const auto &entry : known)
        if (content_type == entry.type) {
            *which = entry.which;
            return true;
        }
    return false;
}

} // namespace

probe_result identify_format(const uint8_t *data, size_t size, const std::string &content_type,
                             bool at_end) {
    probe_result result;
    // Some servers send an ID3v2 tag before the first frame.
    size_t start = id3_tag_size(data, size);
    if (start > probe_window)
        return result; // a tag this large is not worth waiting for
    if (start >= size) {
        result.need_more = !at_end;
        return result;
    }
    if (size > probe_window) {
        size = probe_window;
        at_end = true;
    }
    const family all[] = {family::ogg,  family::mp4,        family::asf,
                          family::flac, family::mpeg_audio, family::adts};
    family declared = family::mpeg_audio;
    bool has_declared = declared_family(content_type, &declared);
    for (int pass = has_declared ? 0 : 1; pass < 2; ++pass) {
        bool undecided = false;
        for (size_t offset = start; offset < size; ++offset) {
            for (family which : all) {
                if (pass == 0 && which != declared)
                    continue;
                const stream_format *format = nullptr;
                verdict v = match_at(which, data, size, offset, at_end, &format);
                if (v == verdict::yes) {
                    const bool declared_aac = has_declared && declared == family::adts;
                    result.format =
                        format == &mp4_format && declared_aac ? &aac_mp4_format : format;
                    result.offset = offset;
                    return result;
                }
                if (v == verdict::need_more)
                    undecided = true;
            }
            // A candidate that needs more bytes must be settled before a later one wins.
            // (The declared family's pass only looks for a confirmed match.)
            if (undecided && pass == 1) {
                result.need_more = true;
                return result;
            }
        }
    }
    return result;
}

} // namespace audio
