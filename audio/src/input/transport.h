// Byte streams a request runs over: a TCP socket, or TLS on top of one.
//
// Threads: one thread uses a transport; stop_signal may be set from any thread. Every
// blocking call waits in slices of at most 50 ms and returns `stopped` soon after the
// signal is set, and `timeout` when its deadline passes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

using clock_type = std::chrono::steady_clock;

struct stop_signal {
    explicit stop_signal(const std::atomic<bool> &cancelled) : cancelled(cancelled) {}
    const std::atomic<bool> &cancelled; // the library's release; owned by the caller
    std::atomic<bool> interrupted{false};
    bool requested() const { return cancelled.load() || interrupted.load(); }
};

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

// Why connecting failed, as the library reports it (a BASS_ERROR_* code).
struct connect_failure {
    int error = 0;
    std::string text;
};

// Resolves host and connects to the first address that answers. On failure returns null
// and fills *failure: BASS_ERROR_FILEOPEN (refused, unreachable host, unknown name),
// BASS_ERROR_NONET (no network route), BASS_ERROR_TIMEOUT (deadline or stop_signal).
std::unique_ptr<transport> connect_tcp(const std::string &host, unsigned port,
                                       clock_type::time_point deadline, const stop_signal &stop,
                                       connect_failure *failure);

} // namespace audio
