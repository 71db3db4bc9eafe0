// HLS parsing on any bytes: master and media playlists (with the variant order and the live
// start, whose indexes must stay in range), a TS segment's audio and ID3, ID3 titles, and
// the codec of an MP4 initialisation section.
#include "input/hls/hls_mp4_init.h"
#include "input/hls/hls_playlist.h"
#include "input/hls/id3_title.h"
#include "input/hls/mpegts_audio.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::vector<audio::hls_variant> variants = audio::parse_hls_master_playlist(text);
    for (size_t index : audio::hls_variant_order(variants, 320000))
        if (index >= variants.size())
            __builtin_trap();
    if (std::optional<audio::hls_media_playlist> playlist = audio::parse_hls_media_playlist(text))
        if (audio::hls_live_start(*playlist) > playlist->segments.size())
            __builtin_trap();
    audio::mpegts_contents contents = audio::extract_mpegts_audio(data, size);
    if (contents.audio.size() > size)
        __builtin_trap();
    for (const std::string &tag : contents.id3)
        (void)audio::id3_stream_title(reinterpret_cast<const uint8_t *>(tag.data()), tag.size());
    (void)audio::id3_stream_title(data, size);
    (void)audio::mp4_init_carries_aac(data, size);
    return 0;
}
