// The network input of an HTTP or ICY answer that plays: the ICY filter over its body, and
// for a live stream the reconnection when it drops.
//
// Threads: read() runs on the stream's download thread; interrupt() on any thread.
#pragma once

#include "input/http/http_connection.h"
#include "input/network_input.h"

#include <functional>

namespace audio {

// Requests the stream's URL again for a reconnect (a plain GET, or a Windows Media session).
using stream_request = std::function<std::optional<http_answer>(
    const url &target, clock_type::time_point deadline, connect_failure *failure)>;

// Plays `answer`, whose first body bytes `start` were already read to recognise it. `stop`
// is the one the answer's connection watches; the input keeps it alive. Reports the answer
// to the listener's on_response.
std::unique_ptr<network_input> play_http_answer(std::unique_ptr<stop_signal> stop,
                                                http_answer answer, std::string start,
                                                const connect_options &options,
                                                input_listener &listener,
                                                stream_request request_again);

} // namespace audio
