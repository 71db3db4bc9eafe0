#include "title_timeline.h"

#include <algorithm>

namespace audio {

bool title_timeline::room_for(std::deque<waiting_title> &list, tag_type tag, std::string &text) {
    if (by_byte_.size() + by_sample_.size() < max_waiting || list.empty() || list.back().tag != tag)
        return true;
    list.back().text = std::move(text);
    return false;
}

void title_timeline::add(uint64_t byte_position, std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!room_for(by_byte_, tag_type::meta, text))
        return;
    // Positions only grow; a smaller one (never expected) must not overtake a waiting title.
    if (!by_byte_.empty())
        byte_position = std::max(byte_position, by_byte_.back().position);
    by_byte_.push_back({byte_position, tag_type::meta, std::move(text), byte_position});
}

void title_timeline::place_decoded(uint64_t decoded_bytes, uint64_t sample_position) {
    std::lock_guard<std::mutex> guard(lock_);
    while (!by_byte_.empty() && by_byte_.front().position <= decoded_bytes) {
        by_sample_.push_back({sample_position, tag_type::meta, std::move(by_byte_.front().text),
                              by_byte_.front().byte_position});
        by_byte_.pop_front();
    }
}

void title_timeline::add_decoded(uint64_t sample_position, tag_type tag, std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (room_for(by_sample_, tag, text))
        by_sample_.push_back({sample_position, tag, std::move(text)});
}

void title_timeline::place_rest(uint64_t sample_position) {
    place_decoded(UINT64_MAX, sample_position);
}

std::vector<title_timeline::change> title_timeline::crossed_in(uint64_t block_start,
                                                               size_t block_samples) {
    std::vector<change> crossed;
    std::lock_guard<std::mutex> guard(lock_);
    while (!by_sample_.empty() && by_sample_.front().position < block_start + block_samples) {
        waiting_title &first = by_sample_.front();
        uint64_t starts = std::max(first.position, block_start);
        crossed.push_back({static_cast<size_t>(starts - block_start), first.tag,
                           std::move(first.text), first.byte_position});
        by_sample_.pop_front();
    }
    return crossed;
}

} // namespace audio
