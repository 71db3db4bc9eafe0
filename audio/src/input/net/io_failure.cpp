#include "input/net/io_failure.h"

#include "brevora_audio.h"

namespace audio {

bool wait_ended(io_status status) {
    return status == io_status::timeout || status == io_status::stopped;
}

connect_failure wait_failure(io_status status, const std::string &doing) {
    return {BASS_ERROR_TIMEOUT, (status == io_status::stopped ? "stopped " : "timed out ") + doing};
}

connect_failure io_failure(io_status status, const std::string &doing, const std::string &reason,
                           const std::string &status_line) {
    connect_failure failure = wait_ended(status) ? wait_failure(status, doing)
                                                 : connect_failure{BASS_ERROR_FILEOPEN, reason};
    failure.status_line = status_line;
    return failure;
}

} // namespace audio
