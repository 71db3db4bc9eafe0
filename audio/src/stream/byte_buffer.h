// The download buffer: bytes written by a stream's download thread and read by its
// decoder. Bounded: a writer waits while it is full, which holds the download rate to the
// rate the decoder consumes once playback runs. The bytes come in parts, one per
// connection: a reader never gets bytes of two parts from one call, and meets the start of
// each later part, so that it can look at what the new connection sends before decoding it.
//
// Threads: one writer (download thread), one reader (creating thread, then decode thread);
// any thread may query or cancel. `lock_` guards every field.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
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
    // Writer: the bytes written from now on are a new part, described by `label`. A part
    // that got no bytes is replaced by the next one.
    void begin_part(std::string label);

    using deadline = std::optional<std::chrono::steady_clock::time_point>;

    // Reader: waits for data (until `until`, if given). Returns 1..size bytes of the current
    // part, 0 at the end, or one of these.
    static constexpr long read_cancelled = -1;
    static constexpr long read_timed_out = -2; // `until` passed first
    // The next byte begins a part that take_part_start has not taken yet.
    static constexpr long at_part_start = -3;
    long read(uint8_t *data, size_t size, deadline until = std::nullopt);
    // Reader, after read returned at_part_start: the part's label; reading goes on in it.
    std::string take_part_start();
    // Waits until `size` bytes of the part at the read position are buffered, that part has
    // ended (the writer finished or began another part), the buffer was cancelled or `until`
    // passed, then copies up to `size` of them without consuming them. `*part_ended` (if
    // given) tells whether the part has ended.
    size_t peek(uint8_t *data, size_t size, deadline until = std::nullopt,
                bool *part_ended = nullptr);

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

    struct part_start {
        uint64_t position; // in total bytes written
        std::string label;
    };
    // lock_ held: the first part start after the read position (null if none), and the
    // bytes buffered before it.
    const part_start *next_part_start() const;
    size_t bytes_of_current_part() const;

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
    // Not yet taken, in order. At most one per position, so no more than the bytes
    // buffered, plus one.
    std::deque<part_start> parts_;
};

} // namespace audio
