// Byte streams a request runs over: a TCP socket, or TLS on top of one.
//
// Threads: one thread uses a transport; its stop_signal may be set from any thread. Every
// blocking call waits in slices of stop_check_interval and returns `stopped` soon after the
// signal is set, and `timeout` when its deadline passes.
#pragma once

#include "input/net/stop_signal.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

struct addrinfo; // from the system's socket headers

namespace audio {

enum class io_status { ok, closed, timeout, stopped, failed };

struct io_result {
    io_status status;
    size_t bytes = 0;
};

class transport {
  public:
    virtual ~transport() = default;
    // Waits for at least one byte (ok), the peer's orderly close (closed) or a failure.
    virtual io_result read_some(uint8_t *buffer, size_t size, clock_type::time_point deadline) = 0;
    virtual io_result write_all(const uint8_t *data, size_t size,
                                clock_type::time_point deadline) = 0;
};

// Why connecting failed: the code the library reports (a BASS_ERROR_* code), and for the
// debug log the reason and the status line of the answer that failed, if there was one.
struct connect_failure {
    connect_failure() = default;
    connect_failure(int error, std::string reason, std::string status_line = "")
        : error(error), reason(std::move(reason)), status_line(std::move(status_line)) {}
    int error = 0;
    std::string reason;
    std::string status_line;
};

// The name look-up connect_tcp() uses, with getaddrinfo's contract (the list it returns is
// released with freeaddrinfo). Tests set their own so that none depends on the machine's
// DNS; null restores getaddrinfo. Thread-safe: a look-up uses the one set when it starts.
using address_lookup = int (*)(const char *host, const char *service, const addrinfo *hints,
                               addrinfo **found);
void set_address_lookup(address_lookup lookup);

// Resolves host and connects to the first address that answers. On failure returns null
// and fills *failure: BASS_ERROR_FILEOPEN (refused, unreachable host, unknown name),
// BASS_ERROR_NONET (no network route), BASS_ERROR_TIMEOUT (deadline or stop_signal).
std::unique_ptr<transport> connect_tcp(const std::string &host, unsigned port,
                                       clock_type::time_point deadline, const stop_signal &stop,
                                       connect_failure *failure);

} // namespace audio
