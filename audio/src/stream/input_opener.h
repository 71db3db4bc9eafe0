// Where streams get their network input. Tests put a stand-in here that serves bytes
// from a file; the library itself uses open_network_input, with the decoder judging the
// variants of HLS master playlists (the input layer cannot reach the decoder itself).
#pragma once

#include "input/network_input.h"

#include <functional>

namespace audio {

using input_opener = std::function<std::unique_ptr<network_input>(
    const std::string &url, const connect_options &options, input_listener &listener,
    const std::atomic<bool> &cancelled, int *error)>;

// Null restores the library's own opener. Affects streams created afterwards.
void set_input_opener(input_opener opener);
input_opener current_input_opener();

} // namespace audio
