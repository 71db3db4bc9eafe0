// The titles on their way from the download to the listener. An ICY or HLS title is first
// known by its place in the downloaded bytes; once the decoder has passed that place, by the
// decoded sample its song starts with. A Windows Media script command is known by its sample
// at once: it comes with the decoded chunk it belongs to. Each takes effect when the mixer
// takes that sample, so that a title changes when its song is heard rather than when the
// download, seconds ahead, met it.
//
// Threads: add on the download thread, place_decoded, add_decoded and place_rest on the
// decode thread, crossed_in on the output thread. `lock_` guards both lists.
#pragma once

#include "tag_store.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace audio {

class title_timeline {
  public:
    // A title (of tag meta or wma_meta) whose song starts `offset` samples into the block
    // the mixer takes.
    struct change {
        size_t offset;
        tag_type tag;
        std::string text;
        uint64_t byte_position; // where its song begins in the download; unknown_position
    };
    static constexpr uint64_t unknown_position = UINT64_MAX;

    // Titles a station sends faster than they play are not kept without bound: past this
    // many waiting, a new title replaces the text of the last one waiting.
    static constexpr size_t max_waiting = 256;

    // Download thread: the META title `text` belongs at `byte_position` of the downloaded
    // audio.
    void add(uint64_t byte_position, std::string text);

    // Decode thread: the decoder has decoded the bytes before `decoded_bytes`; the samples it
    // hands on next start at `sample_position` (samples handed on so far). The titles it
    // has passed start there.
    void place_decoded(uint64_t decoded_bytes, uint64_t sample_position);
    // Decode thread, after place_decoded for the same samples: a title of `tag` that came
    // with the samples starting at `sample_position`.
    void add_decoded(uint64_t sample_position, tag_type tag, std::string text);
    // Decode thread: the decoding ended; the titles still waiting take effect after the last
    // sample, at `sample_position`.
    void place_rest(uint64_t sample_position);

    // Output thread: the titles whose song starts in the block of `block_samples` samples
    // that begins at `block_start` (samples taken so far), in order, each with its offset in
    // the block; they are removed. A title placed before the block starts at its offset 0.
    std::vector<change> crossed_in(uint64_t block_start, size_t block_samples);

  private:
    struct waiting_title {
        uint64_t position;
        tag_type tag;
        std::string text;
        uint64_t byte_position = unknown_position;
    };
    // lock_ held: false when the list is full and `text` replaced the last title's text.
    bool room_for(std::deque<waiting_title> &list, tag_type tag, std::string &text);

    std::mutex lock_;
    std::deque<waiting_title> by_byte_;   // not yet reached by the decoder, in order
    std::deque<waiting_title> by_sample_; // placed in the decoded samples, in order
};

} // namespace audio
