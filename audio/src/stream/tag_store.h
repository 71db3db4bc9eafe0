// The texts behind a stream's tag pointers. Each tag keeps its current text and the one
// before it: a pointer handed out stays valid until the same tag has been replaced twice
// (or the store is destroyed with its stream), so a caller that reads a tag in its META
// sync still has it when the next title arrives, and a station that changes its title
// every few seconds for a week holds two titles, not all of them.
//
// Threads: any; one lock guards every tag.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio {

// The text of a tag of several lines: NUL-terminated lines ended by an empty one.
inline std::string line_block(const std::string *first, const std::vector<std::string> &lines) {
    std::string block;
    if (first)
        block.append(*first).push_back('\0');
    for (const auto &line : lines)
        block.append(line).push_back('\0');
    block.push_back('\0');
    return block;
}

// The tags a stream keeps; the API's BASS_TAG_* names map onto these (api/).
enum class tag_type { http, icy, meta, ogg, wma, wma_meta };

class tag_store {
  public:
    // Stores `value` as the tag's new text; frees the text it replaced the time before.
    void replace(tag_type type, std::string value) {
        auto text = std::make_unique<std::string>(std::move(value));
        std::lock_guard<std::mutex> guard(lock_);
        kept_texts &texts = tags_[static_cast<size_t>(type)];
        texts.previous = std::move(texts.current);
        texts.current = std::move(text);
    }

    // The tag's current text; null while it has none.
    const char *text(tag_type type) const {
        std::lock_guard<std::mutex> guard(lock_);
        const kept_texts &texts = tags_[static_cast<size_t>(type)];
        return texts.current ? texts.current->c_str() : nullptr;
    }

    // The bytes of text kept (for the memory test).
    size_t stored_bytes() const {
        std::lock_guard<std::mutex> guard(lock_);
        size_t total = 0;
        for (const kept_texts &texts : tags_)
            total += (texts.current ? texts.current->size() : 0) +
                     (texts.previous ? texts.previous->size() : 0);
        return total;
    }

  private:
    struct kept_texts {
        std::unique_ptr<std::string> current;
        std::unique_ptr<std::string> previous;
    };
    static constexpr size_t tag_types = static_cast<size_t>(tag_type::wma_meta) + 1;

    mutable std::mutex lock_; // guards tags_
    kept_texts tags_[tag_types];
};

} // namespace audio
