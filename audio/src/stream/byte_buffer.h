// The download buffer: bytes written by a stream's download thread and read by its
// decoder. Bounded: a writer waits while it is full, which holds the download rate to the
// rate the decoder consumes once playback runs.
//
// Threads: one writer (download thread), one reader (creating thread, then decode thread);
// any thread may query or cancel. `lock_` guards every field.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace audio {

class byte_buffer {
  public:
    explicit byte_buffer(size_t capacity);

    // Writer: stores all of data, waiting for room. False once cancelled.
    bool write(const uint8_t *data, size_t size);
    // Writer: waits while more than `level` bytes are buffered, for at most `at_most`.
    // False once cancelled.
    bool rest_above(size_t level, std::chrono::milliseconds at_most);
    // Writer: no more data will come; the reader drains what is left, then sees the end.
    void finish();

    using deadline = std::optional<std::chrono::steady_clock::time_point>;

    // Reader: waits for data (until `until`, if given). Returns 1..size bytes, 0 at the
    // end, -1 when cancelled, -2 when `until` passed first.
    long read(uint8_t *data, size_t size, deadline until = std::nullopt);
    // Waits until `size` bytes are buffered, the writer finished, the buffer was cancelled
    // or `until` passed, then copies up to `size` bytes without consuming them.
    size_t peek(uint8_t *data, size_t size, deadline until = std::nullopt);

    // Any thread: wakes both sides for good.
    void cancel();
    // Any thread: a new limit. Data already buffered beyond it is kept.
    void set_capacity(size_t capacity);

    size_t capacity() const;
    size_t buffered() const;
    uint64_t total_written() const;
    uint64_t total_read() const;
    bool finished() const;

  private:
    // lock_ held: waits for `ready`, or until `until`; false when `until` passed first.
    template <typename Predicate>
    bool wait(std::unique_lock<std::mutex> &guard, deadline until, Predicate ready) {
        if (!until) {
            changed_.wait(guard, ready);
            return true;
        }
        return changed_.wait_until(guard, *until, ready);
    }
    void grow_storage(size_t at_least); // lock_ held

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<uint8_t> storage_; // ring; may be larger than capacity_
    size_t capacity_;
    size_t start_ = 0;
    size_t size_ = 0;
    uint64_t written_ = 0;
    uint64_t read_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
};

} // namespace audio
