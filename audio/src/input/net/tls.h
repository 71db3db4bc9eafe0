// TLS (mbedTLS) over an established transport: certificates verified against the system's
// trust roots (the CA bundle natively, the ROOT certificate store on Windows) and the host
// name checked. There is no unverified fallback.
#pragma once

#include "input/net/transport.h"

namespace audio {

// Performs the handshake for `host` (also sent as SNI). `ca_file`, when not empty, replaces
// the system's roots (tests use it to trust their own certificate authority). On failure
// returns null with *failure set: BASS_ERROR_SSL for a handshake or verification failure,
// BASS_ERROR_TIMEOUT for the deadline or a stop (which `inner` watches).
std::unique_ptr<transport> start_tls(std::unique_ptr<transport> inner, const std::string &host,
                                     const std::string &ca_file, clock_type::time_point deadline,
                                     connect_failure *failure);

} // namespace audio
