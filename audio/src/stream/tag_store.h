// The texts behind a stream's tag pointers. Each tag keeps its current text and the one
// before it: a pointer handed out stays valid until the same tag has been replaced twice
// (or the store is destroyed with its stream), so a caller that reads a tag in its META
// sync still has it when the next title arrives, and a station that changes its title
// every few seconds for a week holds two titles, not all of them.
//
// Threads: not locked; the stream guards it with tags_lock_.
#pragma once

#include <cstddef>
#include <memory>
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

class tag_store {
  public:
    // Stores `value` as the new text of the tag named by `key` (any address that stays the
    // same for that tag); frees the text it replaced the time before. Returns the new text.
    const std::string *replace(const void *key, std::string value) {
        kept_texts *texts = find(key);
        if (!texts) {
            tags_.push_back({key, nullptr, nullptr});
            texts = &tags_.back();
        }
        texts->previous = std::move(texts->current);
        texts->current = std::make_unique<std::string>(std::move(value));
        return texts->current.get();
    }

    // The bytes of text kept (for the memory test).
    size_t stored_bytes() const {
        size_t total = 0;
        for (const kept_texts &texts : tags_)
            total += (texts.current ? texts.current->size() : 0) +
                     (texts.previous ? texts.previous->size() : 0);
        return total;
    }

  private:
    struct kept_texts {
        const void *key;
        std::unique_ptr<std::string> current;
        std::unique_ptr<std::string> previous;
    };
    kept_texts *find(const void *key) {
        for (kept_texts &texts : tags_)
            if (texts.key == key)
                return &texts;
        return nullptr;
    }

    std::vector<kept_texts> tags_;
};

} // namespace audio
