#include "stream_title.h"

#include "tag_entries.h"
#include "title_text.h"

#include "brevora_audio.h"

namespace {

// The title line's room for "artist - title", terminator included.
constexpr size_t joined_title_room = 100;

std::u16string decoded(std::string_view bytes) {
    return decode_station_text(bytes.data(), bytes.size());
}

std::optional<std::u16string> title_from_icy_metadata(std::string_view metadata) {
    constexpr std::string_view prefix = "StreamTitle='";
    const size_t start = metadata.find(prefix);
    if (start == std::string_view::npos)
        return std::nullopt;
    const size_t text_start = start + prefix.size();
    const size_t end = metadata.find("';", text_start);
    if (end == std::string_view::npos)
        return std::nullopt;
    return decoded(metadata.substr(text_start, end - text_start));
}

// Ogg comments are UTF-8: a text cut to fit loses the character the cut split, which would
// otherwise make the whole text invalid UTF-8 (and read as Windows-1252).
void drop_cut_character(std::string &text) {
    size_t start = text.size();
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return;
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (text.size() - (start - 1) < needed)
        text.resize(start - 1);
}

// The last of each key counts.
std::optional<std::u16string> title_from_ogg_comments(const char *comments) {
    const char *artist = nullptr;
    const char *title = nullptr;
    for (const char *entry = comments; *entry; entry = next_entry(entry)) {
        if (const char *value = value_after_key(entry, "artist="))
            artist = value;
        else if (const char *value = value_after_key(entry, "title="))
            title = value;
    }
    if (!title)
        return std::nullopt;
    if (!artist)
        return decoded(title);
    std::string joined = std::string(artist) + " - " + title;
    if (joined.size() >= joined_title_room) {
        joined.resize(joined_title_room - 1);
        drop_cut_character(joined);
    }
    // Decoded as one text, so one Windows-1252 part makes the whole line Windows-1252.
    return decoded(joined);
}

} // namespace

std::optional<std::u16string> stream_title(unsigned tag_type, const char *tags) {
    if (!tags)
        return std::nullopt;
    switch (tag_type) {
    case BASS_TAG_META:
        return title_from_icy_metadata(tags);
    case BASS_TAG_OGG:
        return title_from_ogg_comments(tags);
    case BASS_TAG_WMA_META:
        return decoded(tags);
    default:
        return std::nullopt;
    }
}
