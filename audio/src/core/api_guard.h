// The one exception guard at the C boundary: every extern "C" entry point runs its body
// through guarded_call, so no exception ever crosses into the caller (a C or Delphi
// program, for which it would end the process). An escaping exception becomes the call's
// error code (BASS_ERROR_MEM when memory ran out, else BASS_ERROR_UNKNOWN) and its
// documented failure value.
//
// Any thread; costs one try block, nothing when no exception is thrown.
#pragma once

#include "brevora_audio.h"
#include "error.h"

#include <exception>

namespace audio {

template <typename T, typename Body> T guarded_call(T failure_value, Body &&body) noexcept {
    try {
        return body();
    } catch (const std::exception &failure) {
        return fail(error_of(failure), failure_value);
    } catch (...) {
        return fail(BASS_ERROR_UNKNOWN, failure_value);
    }
}

} // namespace audio
