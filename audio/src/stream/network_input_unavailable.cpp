// Built only while the tree has no network input implementation: every URL fails to open,
// so the library still links and the stream core runs on stand-in inputs.
#include "brevora_audio.h"
#include "input/network_input.h"

namespace audio {

std::unique_ptr<network_input> open_network_input(const std::string &, const connect_options &,
                                                  input_listener &, const std::atomic<bool> &,
                                                  int *error) {
    *error = BASS_ERROR_NOTAVAIL;
    return nullptr;
}

} // namespace audio
