// What a fragmented MP4 variant's initialisation section (#EXT-X-MAP) says about its audio:
// whether that audio is AAC, so that the stream is named after its codec, as MPEG-TS and
// packed-audio variants are, and not after its container. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// True when the first audio track (handler 'soun') of the MP4 boxes in data ('moov' down
// to 'stsd') has an 'mp4a' sample entry with an AAC object type. Reads only within data;
// false for anything it cannot follow.
bool mp4_init_carries_aac(const uint8_t *data, size_t size);

} // namespace audio
