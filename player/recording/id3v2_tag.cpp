#include "id3v2_tag.h"

#include "utf16_text.h"

#include <string_view>

namespace {

constexpr size_t field_limit = 1000; // UTF-16 units: bounds what a stranger's title adds

void append_big_endian(std::vector<uint8_t> &out, uint32_t value, int bits_per_byte) {
    const uint32_t mask = (1u << bits_per_byte) - 1;
    for (int shift = 3 * bits_per_byte; shift >= 0; shift -= bits_per_byte)
        out.push_back(static_cast<uint8_t>((value >> shift) & mask));
}

void append_utf16_unit(std::vector<uint8_t> &out, char16_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

// Little-endian UTF-16 after its byte order mark, cut to the field limit; a lone surrogate
// becomes U+FFFD and a NUL is dropped, since readers end the text there.
void append_tag_text(std::vector<uint8_t> &out, const std::u16string &text) {
    append_utf16_unit(out, 0xFEFF);
    for_each_character(
        cut_to(text, field_limit),
        [&](char16_t unit) {
            if (unit != 0)
                append_utf16_unit(out, unit);
        },
        [&](char16_t) { append_utf16_unit(out, 0xFFFD); });
}

void append_frame(std::vector<uint8_t> &tag, const char (&id)[5],
                  const std::vector<uint8_t> &body) {
    tag.insert(tag.end(), id, id + 4);
    append_big_endian(tag, static_cast<uint32_t>(body.size()), 8); // v2.3: not syncsafe
    tag.push_back(0);                                              // flags
    tag.push_back(0);
    tag.insert(tag.end(), body.begin(), body.end());
}

constexpr uint8_t utf16_with_bom = 1;

void append_text_frame(std::vector<uint8_t> &tag, const char (&id)[5], const std::u16string &text) {
    if (text.empty())
        return;
    std::vector<uint8_t> body{utf16_with_bom};
    append_tag_text(body, text);
    append_frame(tag, id, body);
}

void append_comment_frame(std::vector<uint8_t> &tag, const std::u16string &text) {
    if (text.empty())
        return;
    // Language, then an empty description (its mark and terminator), then the text.
    std::vector<uint8_t> body{utf16_with_bom, 'e', 'n', 'g'};
    append_tag_text(body, u"");
    append_utf16_unit(body, 0);
    append_tag_text(body, text);
    append_frame(tag, "COMM", body);
}

} // namespace

song_fields split_song_title(const std::u16string &shown) {
    constexpr std::u16string_view separator = u" - ";
    song_fields fields;
    const size_t at = shown.find(separator);
    if (at == std::u16string::npos) {
        fields.title = shown;
        return fields;
    }
    fields.artist = shown.substr(0, at);
    fields.title = shown.substr(at + separator.size());
    return fields;
}

std::vector<uint8_t> id3v2_tag(const song_fields &fields) {
    std::vector<uint8_t> frames;
    append_text_frame(frames, "TIT2", fields.title);
    append_text_frame(frames, "TPE1", fields.artist);
    append_text_frame(frames, "TALB", fields.album);
    append_comment_frame(frames, fields.comment);
    if (frames.empty())
        return {}; // a tag needs at least one frame
    std::vector<uint8_t> tag{'I', 'D', '3', 3, 0, 0};
    append_big_endian(tag, static_cast<uint32_t>(frames.size()), 7); // syncsafe
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}
