#include "error.h"

#include "brevora_audio.h"

#include <new>

namespace audio {

namespace {
thread_local int thread_error = 0;
}

void set_error(int code) {
    thread_error = code;
}
int last_error() {
    return thread_error;
}

int error_of(const std::exception &failure) {
    return dynamic_cast<const std::bad_alloc *>(&failure) ? BASS_ERROR_MEM : BASS_ERROR_UNKNOWN;
}

} // namespace audio
