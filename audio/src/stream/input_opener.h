// Where streams get their network input. Tests put a stand-in here that serves bytes
// from a file; the library itself always uses open_network_input.
#pragma once

#include "input/network_input.h"

#include <functional>

namespace audio {

using input_opener = std::function<std::unique_ptr<network_input>(
    const std::string &url, const connect_options &options, input_listener &listener,
    const std::atomic<bool> &cancelled, int *error)>;

// Null restores open_network_input. Affects streams created afterwards.
void set_input_opener(input_opener opener);
input_opener current_input_opener();

} // namespace audio
