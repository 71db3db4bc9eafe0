#include "title_timeline.h"

#include <algorithm>

namespace audio {

void title_timeline::add(uint64_t byte_position, std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (by_byte_.size() + by_sample_.size() >= max_waiting && !by_byte_.empty()) {
        by_byte_.back().text = std::move(text);
        return;
    }
    // Positions only grow; a smaller one (never expected) must not overtake a waiting title.
    if (!by_byte_.empty())
        byte_position = std::max(byte_position, by_byte_.back().position);
    by_byte_.push_back({byte_position, std::move(text)});
}

void title_timeline::place_decoded(uint64_t decoded_bytes, uint64_t sample_position) {
    std::lock_guard<std::mutex> guard(lock_);
    while (!by_byte_.empty() && by_byte_.front().position <= decoded_bytes) {
        by_sample_.push_back({sample_position, std::move(by_byte_.front().text)});
        by_byte_.pop_front();
    }
}

void title_timeline::place_rest(uint64_t sample_position) {
    place_decoded(UINT64_MAX, sample_position);
}

std::vector<title_timeline::change> title_timeline::crossed_in(uint64_t block_start,
                                                               size_t block_samples) {
    std::vector<change> crossed;
    std::lock_guard<std::mutex> guard(lock_);
    while (!by_sample_.empty() && by_sample_.front().position < block_start + block_samples) {
        uint64_t starts = std::max(by_sample_.front().position, block_start);
        crossed.push_back(
            {static_cast<size_t>(starts - block_start), std::move(by_sample_.front().text)});
        by_sample_.pop_front();
    }
    return crossed;
}

} // namespace audio
