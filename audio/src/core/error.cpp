#include "error.h"

namespace audio {

namespace {
thread_local int thread_error = 0;
}

void set_error(int code) { thread_error = code; }
int last_error() { return thread_error; }

} // namespace audio
