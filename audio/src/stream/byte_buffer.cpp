#include "byte_buffer.h"

#include <algorithm>
#include <cstring>

namespace audio {

byte_buffer::byte_buffer(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void byte_buffer::grow_storage(size_t at_least) {
    std::vector<uint8_t> bigger(at_least);
    for (size_t i = 0; i < size_; ++i)
        bigger[i] = storage_[(start_ + i) % storage_.size()];
    storage_.swap(bigger);
    start_ = 0;
}

bool byte_buffer::write(const uint8_t *data, size_t size) {
    std::unique_lock<std::mutex> guard(lock_);
    while (size > 0) {
        changed_.wait(guard, [&] { return cancelled_ || size_ < capacity_; });
        if (cancelled_)
            return false;
        if (storage_.size() < capacity_)
            grow_storage(capacity_);
        size_t room = std::min(capacity_ - size_, storage_.size() - size_);
        size_t count = std::min(room, size);
        for (size_t copied = 0; copied < count;) {
            size_t end = (start_ + size_) % storage_.size();
            size_t run = std::min(count - copied, storage_.size() - end);
            std::memcpy(&storage_[end], data + copied, run);
            size_ += run;
            copied += run;
        }
        data += count;
        size -= count;
        written_ += count;
        changed_.notify_all();
    }
    return true;
}

bool byte_buffer::rest_above(size_t level, std::chrono::milliseconds at_most) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, at_most, [&] { return cancelled_ || size_ <= level; });
    return !cancelled_;
}

void byte_buffer::finish() {
    std::lock_guard<std::mutex> guard(lock_);
    finished_ = true;
    changed_.notify_all();
}

void byte_buffer::begin_part(std::string label) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!parts_.empty() && parts_.back().position == written_)
        parts_.back().label = std::move(label);
    else
        parts_.push_back({written_, std::move(label)});
    changed_.notify_all();
}

const byte_buffer::part_start *byte_buffer::next_part_start() const {
    for (const part_start &part : parts_)
        if (part.position > read_)
            return &part;
    return nullptr;
}

size_t byte_buffer::bytes_of_current_part() const {
    const part_start *next = next_part_start();
    return next ? static_cast<size_t>(next->position - read_) : size_;
}

long byte_buffer::read(uint8_t *data, size_t size, deadline until) {
    std::unique_lock<std::mutex> guard(lock_);
    auto at_part = [&] { return !parts_.empty() && parts_.front().position == read_; };
    bool ready =
        wait(guard, until, [&] { return cancelled_ || size_ > 0 || finished_ || at_part(); });
    if (cancelled_)
        return read_cancelled;
    if (!ready)
        return read_timed_out;
    if (at_part())
        return at_part_start;
    size_t count = std::min(size, bytes_of_current_part());
    for (size_t copied = 0; copied < count;) {
        size_t run = std::min(count - copied, storage_.size() - start_);
        std::memcpy(data + copied, &storage_[start_], run);
        start_ = (start_ + run) % storage_.size();
        size_ -= run;
        copied += run;
    }
    read_ += count;
    changed_.notify_all();
    return static_cast<long>(count);
}

std::string byte_buffer::take_part_start() {
    std::lock_guard<std::mutex> guard(lock_);
    if (parts_.empty() || parts_.front().position != read_)
        return {};
    std::string label = std::move(parts_.front().label);
    parts_.pop_front();
    return label;
}

size_t byte_buffer::peek(uint8_t *data, size_t size, deadline until, bool *part_ended) {
    std::unique_lock<std::mutex> guard(lock_);
    // Room for the whole request, so a writer can always get there.
    if (capacity_ < size)
        capacity_ = size;
    auto ended = [&] { return finished_ || next_part_start() != nullptr; };
    wait(guard, until, [&] { return cancelled_ || ended() || size_ >= size; });
    size_t count = std::min(size, bytes_of_current_part());
    for (size_t i = 0; i < count; ++i)
        data[i] = storage_[(start_ + i) % storage_.size()];
    if (part_ended)
        *part_ended = ended();
    return count;
}

void byte_buffer::cancel() {
    std::lock_guard<std::mutex> guard(lock_);
    cancelled_ = true;
    changed_.notify_all();
}

void byte_buffer::set_capacity(size_t capacity) {
    std::lock_guard<std::mutex> guard(lock_);
    capacity_ = std::max<size_t>(capacity, 1);
    changed_.notify_all();
}

size_t byte_buffer::capacity() const {
    std::lock_guard<std::mutex> guard(lock_);
    return capacity_;
}

size_t byte_buffer::buffered() const {
    std::lock_guard<std::mutex> guard(lock_);
    return size_;
}

uint64_t byte_buffer::total_written() const {
    std::lock_guard<std::mutex> guard(lock_);
    return written_;
}

uint64_t byte_buffer::total_read() const {
    std::lock_guard<std::mutex> guard(lock_);
    return read_;
}

bool byte_buffer::finished() const {
    std::lock_guard<std::mutex> guard(lock_);
    return finished_;
}

} // namespace audio
