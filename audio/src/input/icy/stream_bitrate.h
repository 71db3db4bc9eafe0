// A stream's bitrate as SHOUTcast and Icecast announce it in their answer's headers.
// Pure; any thread.
#pragma once

#include "input/http/http_response.h"

#include <cstdint>

namespace audio {

// From icy-br, else from ice-audio-info's "bitrate="; 0 when neither gives one.
uint32_t stream_bitrate_kbps(const response_head &head);

} // namespace audio
