// Recognises a stream's container and codec from its first bytes, as a live stream gives
// no file name and often a vague Content-Type: a few consecutive MPEG audio or ADTS frame
// headers, an Ogg page ("OggS", whose first packet names the codec), an MP4 box, a native
// FLAC stream ("fLaC") or an ASF header object. The table of formats is the one place that
// knows which demuxer and decoder read each format and what the API calls it.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

// Which of the stream's tags its comments or header fill.
enum class tag_source { none, ogg_comments, asf_header };

struct stream_format {
    const char *name;    // for messages
    const char *demuxer; // FFmpeg demuxer name, forced so that no probe reads ahead
    const char *decoder; // FFmpeg decoder name; null: the one the demuxer's codec names
    uint32_t ctype;      // BASS_CTYPE_STREAM_*
    tag_source tags;
};

struct probe_result {
    const stream_format *format = nullptr; // null: not recognised (yet)
    size_t offset = 0;                     // where the first frame starts
    bool need_more = false;                // more bytes could still decide
};

// `content_type` is lower case without parameters, possibly empty. `at_end` says no more
// bytes will come, so an undecided result becomes a refusal.
probe_result identify_format(const uint8_t *data, size_t size, const std::string &content_type,
                             bool at_end);

// How many bytes identify_format wants at most before it must decide.
constexpr size_t probe_window = 64 * 1024;

} // namespace audio
