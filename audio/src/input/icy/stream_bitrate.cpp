#include "input/icy/stream_bitrate.h"

#include "input/text/text.h"

namespace audio {

namespace {

// Above any real bitrate: a larger number is a broken header, not a fast stream.
constexpr uint32_t max_kbps = 999999;

uint32_t kbps_from(const std::string &text) {
    uint32_t kbps = leading_number<uint32_t>(text).value_or(0);
    return kbps <= max_kbps ? kbps : 0;
}

} // namespace

uint32_t stream_bitrate_kbps(const response_head &head) {
    if (std::optional<std::string> icy_br = head.header("icy-br"))
        return kbps_from(*icy_br);
    std::optional<std::string> info = head.header("ice-audio-info");
    std::optional<std::string> bitrate = info ? text_after_key(*info, "bitrate=") : std::nullopt;
    return bitrate ? kbps_from(*bitrate) : 0;
}

} // namespace audio
