// The calling thread's last error code, as BASS_ErrorGetCode reports it.
#pragma once

#include <exception>

namespace audio {

void set_error(int code);
int last_error();

// Sets the error code and returns the failure value, so a failing call reads
// `return fail(BASS_ERROR_HANDLE, FALSE);`.
template <typename T> T fail(int code, T failure_value) {
    set_error(code);
    return failure_value;
}

// The code for a call that caught `failure`: BASS_ERROR_MEM when memory ran out, else
// BASS_ERROR_UNKNOWN (a thread that could not start, for one).
int error_of(const std::exception &failure);

// Clears the error code and returns the result of a successful call.
template <typename T> T succeed(T value) {
    set_error(0);
    return value;
}

} // namespace audio
