// The input opener in use: a test's stand-in, or the library's own (the network input,
// with the decoder judging HLS variants).
#include "input_opener.h"

#include "decode/decoder.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace audio {

namespace {
std::mutex opener_lock; // guards replacement
input_opener replacement;

// Any rate will do: only whether a frame decodes matters.
constexpr int check_output_rate = 44100;

// Whether the decoder recognises the bytes, opens them and decodes a frame from them, as a
// stream's start would: the judge of HLS variants. Runs on the download thread, on a
// decoder of its own.
bool decoder_plays(const std::string &audio) {
    const auto *data = reinterpret_cast<const uint8_t *>(audio.data());
    probe_result probe = identify_format(data, audio.size(), "", true);
    if (!probe.format)
        return false;
    size_t at = probe.offset;
    byte_source source = [&](uint8_t *buffer, size_t size) {
        const size_t count = std::min(size, audio.size() - at);
        std::memcpy(buffer, data + at, count);
        at += count;
        return static_cast<long>(count);
    };
    int error = 0;
    std::unique_ptr<decoder> opened =
        decoder::open(*probe.format, source, check_output_rate, &error);
    if (!opened)
        return false;
    decoder::chunk chunk;
    while (opened->sample_rate() == 0 && opened->decode(chunk)) {
    }
    return opened->sample_rate() > 0;
}

std::unique_ptr<network_input> open_checked_network_input(const std::string &url,
                                                          const connect_options &options,
                                                          input_listener &listener,
                                                          const std::atomic<bool> &cancelled,
                                                          int *error) {
    connect_options checked = options;
    checked.hls_audio_check = decoder_plays;
    return open_network_input(url, checked, listener, cancelled, error);
}
} // namespace

void set_input_opener(input_opener opener) {
    std::lock_guard<std::mutex> guard(opener_lock);
    replacement = std::move(opener);
}

input_opener current_input_opener() {
    std::lock_guard<std::mutex> guard(opener_lock);
    if (replacement)
        return replacement;
    return open_checked_network_input;
}

} // namespace audio
