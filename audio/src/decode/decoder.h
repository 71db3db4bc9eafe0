// Demuxes and decodes one stream's bytes with FFmpeg and converts them to the mixer's
// format: interleaved 32-bit float, two channels, at the output rate.
//
// Threads: one thread at a time drives a decoder (the creating thread, then the stream's
// decode thread). The read function runs on that thread.
#pragma once

#include "format_probe.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// Fills buffer with up to size bytes: returns how many, 0 at the end, -1 when cancelled.
using byte_source = std::function<long(uint8_t *buffer, size_t size)>;

class decoder {
  public:
    // Opens the demuxer the format names. Returns null and sets *error (BASS_ERROR_*) on
    // failure. Reads only what the demuxer needs for its header.
    static std::unique_ptr<decoder> open(const stream_format &format, byte_source source,
                                         int output_rate, int *error);
    virtual ~decoder() = default;

    struct chunk {
        std::vector<float> samples; // interleaved stereo at the output rate
        bool new_bitstream = false; // a new logical bitstream began (chained Ogg)
        bool new_header = false;    // a new ASF header began: comments() holds its tags
        std::vector<std::string> script_commands; // ASF TEXT / TITLE commands, in order
    };

    // Decodes the next frame into `out`. False at the end of the stream (or when the
    // source was cancelled). A damaged page, packet or frame is skipped and decoding
    // resynchronises on what follows: only a run of them that yields no audio for the
    // error time-out ends the stream.
    virtual bool decode(chunk &out) = 0;

    // Set before the first decode (the stream's network time-out).
    void set_error_time_out(std::chrono::milliseconds span) { error_time_out_ = span; }

    // Of the source, known after the first decoded frame.
    virtual int sample_rate() const = 0;
    virtual int channels() const = 0;
    // The stream's bitrate from its headers, or estimated from the frames decoded so far;
    // 0 while unknown.
    virtual uint32_t bitrate_kbps() const = 0;
    // The stream's comments as "name=value" (Vorbis comments of the current bitstream, or
    // the tags of the current ASF header).
    virtual std::vector<std::string> comments() const = 0;
    // Bytes taken from the source but not yet decoded: what the demuxer holds from the
    // start of the packet the codec has last been given (an Ogg page is read whole before
    // its first packet comes out). Those are still to play, as the buffer's are.
    virtual uint64_t held_bytes() const { return 0; }

  protected:
    std::chrono::milliseconds error_time_out_{5000};
};

// The FFmpeg decoder itself (ffmpeg_decoder.cpp); decoder::open picks it or a wrapper.
// On failure returns null with *error set to a BASS_ERROR_* code.
std::unique_ptr<decoder> open_ffmpeg_decoder(const stream_format &format, byte_source source,
                                             int output_rate, int *error);
// ASF, whose header may change mid-stream (asf_decoder.cpp).
std::unique_ptr<decoder> open_asf_decoder(const stream_format &format, byte_source source,
                                          int output_rate, int *error);

} // namespace audio
