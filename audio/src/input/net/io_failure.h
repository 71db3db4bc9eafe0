// The one place where a transport's io_status becomes the library's error code: a wait that
// ended before its event (the deadline passed, or a stop was asked for) is BASS_ERROR_TIMEOUT;
// a connection that closed or failed is BASS_ERROR_FILEOPEN.
#pragma once

#include "input/net/transport.h"

#include <string>

namespace audio {

// True for timeout and stopped.
bool wait_ended(io_status status);

// For a wait that ended: BASS_ERROR_TIMEOUT, "stopped <doing>" or "timed out <doing>".
connect_failure wait_failure(io_status status, const std::string &doing);

// For any status but ok: wait_failure() for a wait that ended, otherwise BASS_ERROR_FILEOPEN
// with `reason`.
connect_failure io_failure(io_status status, const std::string &doing, const std::string &reason,
                           const std::string &status_line = "");

} // namespace audio
