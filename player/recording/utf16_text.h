// UTF-16 helpers for the recorder's names and tags, which must never split a character.
// Pure; any thread.
#pragma once

#include <cstddef>
#include <string>

inline bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
inline bool is_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// The first `limit` units of text, one fewer where the cut would split a surrogate pair.
inline std::u16string cut_to(const std::u16string &text, size_t limit) {
    if (text.size() <= limit)
        return text;
    if (limit > 0 && is_high_surrogate(text[limit - 1]))
        --limit;
    return text.substr(0, limit);
}

// Calls keep(unit) or keep(high, low) for each well-formed character; lone surrogates go to
// lone(unit). Text built from stations is well formed, but callers may hand anything.
template <typename Keep, typename Lone>
void for_each_character(const std::u16string &text, Keep keep, Lone lone) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            keep(unit);
            keep(text[++i]);
        } else if (is_surrogate(unit)) {
            lone(unit);
        } else {
            keep(unit);
        }
    }
}
