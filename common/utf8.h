// UTF-8 one character at a time, read strictly (overlong forms, surrogates, values beyond
// U+10FFFF and sequences cut short are not characters) and written. Pure; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

constexpr char32_t replacement_character = 0xFFFD;

struct utf8_character {
    char32_t code_point; // replacement_character when not well_formed
    // Bytes taken: the whole sequence; for a malformed one, the bytes up to where it broke
    // (at least one), so that a reader that goes on resumes at the byte that broke it.
    size_t length;
    bool well_formed;
};

// The character at the start of text, which must not be empty. A caller that needs the
// whole text to be UTF-8 stops at the first malformed character (and may read the text in
// another encoding instead); one that shows what it can uses replacement_character.
utf8_character next_utf8_character(std::string_view text);

// Appends code_point (at most U+10FFFF, not a surrogate) to text as UTF-8.
void append_utf8(std::string &text, char32_t code_point);
