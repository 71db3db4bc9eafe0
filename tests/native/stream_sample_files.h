// The sound files the stream tests play, one of each format the library decodes, each a
// tone (1000 Hz unless its name says otherwise) with the title its name says. Made once per
// test process (encode_tone keeps them in the build tree's tone cache).
#pragma once

#include "stream_test_support.h"

#include <algorithm>
#include <cmath>

namespace stream_test {

// No ffmpeg encoder writes MPEG-1 Layer I, so its frames are written here: mono, 44.1 kHz,
// 64 kbps (68-byte frames). Only `subband` carries samples, a sequence of period four that
// the decoder's synthesis filter bank turns into a tone at that band's centre,
// (2 * subband + 1) * 44100 / 128 Hz.
inline std::vector<uint8_t> layer1_tone(int subband, int frames) {
    const size_t frame_bytes = 68;
    std::vector<uint8_t> out;
    uint64_t bits = 0;
    int pending = 0;
    auto put = [&](uint32_t value, int count) {
        bits = bits << count | value;
        for (pending += count; pending >= 8; pending -= 8)
            out.push_back(static_cast<uint8_t>(bits >> (pending - 8)));
    };
    long sample = 0;
    for (int frame = 0; frame < frames; ++frame) {
        size_t start = out.size();
        put(0xFFFF20C0u, 32); // sync, MPEG-1, Layer I, no CRC, 64 kbps, 44.1 kHz, mono
        for (int band = 0; band < 32; ++band)
            put(band == subband ? 14 : 0, 4); // allocation 14: 15-bit samples
        put(6, 6);                            // scale factor 0.5
        for (int i = 0; i < 12; ++i, ++sample) {
            double value = std::cos(M_PI / 2 * (2 * subband + 1) * sample + M_PI / 4);
            put(static_cast<uint32_t>(std::lround(value * 16383) + 16383), 15); // 16383 is 0
        }
        put(0, (8 - pending) % 8);
        out.resize(start + frame_bytes, 0);
    }
    return out;
}

struct format_files {
    std::vector<uint8_t> mp3, mp2, mp1, aac, mp4, fragmented_mp4, ogg, ogg_chain, flac,
        flac_24bit_96k, ogg_flac, ogg_flac_chain, opus, opus_chain, wmav2, wmav1, mp3_low, mp3_high,
        aac_high;
};

// Two files made with the same options, one after the other: a chained Ogg stream.
inline std::vector<uint8_t> joined(std::vector<uint8_t> first, const std::vector<uint8_t> &second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline const format_files &sample_files() {
    static const format_files made = [] {
        format_files f;
        f.mp3 = encode_tone("tone.mp3", 1000, 8, "-c:a libmp3lame -b:a 128k");
        f.mp2 = encode_tone("tone.mp2", 1000, 3, "-c:a mp2 -b:a 192k -f mp2");
        f.mp1 = layer1_tone(2, 345);
        f.aac = encode_tone("tone.aac", 1000, 8, "-c:a aac -b:a 128k -f adts");
        f.mp4 = encode_tone("tone.m4a", 1000, 3, "-c:a aac -b:a 128k -movflags +faststart -f mp4");
        f.fragmented_mp4 = encode_tone(
            "tone.mp4", 1000, 3, "-c:a aac -b:a 128k -movflags frag_keyframe+empty_moov -f mp4");
        f.ogg = encode_tone("first.ogg", 1000, 2, "-c:a libvorbis -b:a 96k", "First Song");
        f.ogg_chain = joined(
            f.ogg, encode_tone("second.ogg", 1000, 2, "-c:a libvorbis -b:a 96k", "Second Song"));
        f.flac = encode_tone("tone.flac", 1000, 3, "-c:a flac -f flac", "Native");
        f.flac_24bit_96k = encode_tone("tone96.flac", 1000, 3,
                                       "-c:a flac -ar 96000 -sample_fmt s32 -f flac", "Deep");
        f.ogg_flac = encode_tone("tone.oga", 1000, 3, "-c:a flac -f ogg", "Ogg One");
        f.ogg_flac_chain =
            joined(f.ogg_flac, encode_tone("second.oga", 1000, 2, "-c:a flac -f ogg", "Ogg Two"));
        f.opus = encode_tone("first.opus", 1000, 2, "-c:a libopus -b:a 96k -f ogg", "Opus One");
        f.opus_chain = joined(f.opus, encode_tone("second.opus", 1000, 2,
                                                  "-c:a libopus -b:a 96k -f ogg", "Opus Two"));
        f.wmav2 = encode_tone("tone.wma", 1000, 3,
                              "-c:a wmav2 -b:a 128k -metadata author=Brevora -f asf", "WMA Two");
        f.wmav1 = encode_tone("tone1.wma", 1000, 3, "-c:a wmav1 -b:a 128k -f asf", "WMA One");
        f.mp3_low = encode_tone("low.mp3", 500, 2, "-c:a libmp3lame -b:a 128k -f mp3");
        f.mp3_high = encode_tone("high.mp3", 1500, 2, "-c:a libmp3lame -b:a 128k -f mp3");
        f.aac_high = encode_tone("high.aac", 1500, 2, "-c:a aac -b:a 128k -f adts");
        return f;
    }();
    return made;
}

// Whether a block of NUL-separated tag lines holds this line.
inline bool has_line(const char *block, const std::string &wanted) {
    std::vector<std::string> lines = lines_of(block);
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

} // namespace stream_test
