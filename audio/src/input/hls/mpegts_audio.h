// The audio inside an MPEG transport stream segment (HLS): the elementary stream of its
// first AAC (ADTS) or MPEG audio track, and the payloads of its timed ID3 metadata track.
// Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

struct mpegts_contents {
    std::string audio;            // ADTS or MPEG audio frames, as the PES packets carry them
    std::vector<std::string> id3; // one ID3 tag per metadata PES packet
};

// True when data starts with transport stream packets (sync bytes 188 bytes apart).
bool looks_like_mpegts(const uint8_t *data, size_t size);

// Reads one segment; it carries its own PAT and PMT, as HLS requires. Broken packets are
// skipped; a segment without a known audio track gives no audio.
mpegts_contents extract_mpegts_audio(const uint8_t *data, size_t size);

} // namespace audio
