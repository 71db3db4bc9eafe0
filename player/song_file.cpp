#include "song_file.h"

#include "brevora_audio.h"
#include "title_text.h"

#include <cstring>
#include <string_view>

namespace {

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
bool is_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// The first `limit` units of text, one fewer where the cut would split a surrogate pair.
std::u16string cut_to(const std::u16string &text, size_t limit) {
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

// --- Titles from tags ---

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// An entry matches a key (lower case) when it begins with it, letter case aside.
bool starts_with_key(const char *entry, std::string_view key) {
    for (size_t i = 0; i < key.size(); ++i)
        if (ascii_lower(entry[i]) != key[i]) // a shorter entry stops at its NUL
            return false;
    return true;
}

std::u16string decoded(std::string_view bytes) {
    return decode_station_text(bytes.data(), bytes.size());
}

std::u16string title_from_icy_metadata(std::string_view metadata) {
    constexpr std::string_view prefix = "StreamTitle='";
    const size_t start = metadata.find(prefix);
    if (start == std::string_view::npos)
        return u"";
    const size_t text_start = start + prefix.size();
    const size_t end = metadata.find("';", text_start);
    if (end == std::string_view::npos)
        return u"";
    return decoded(metadata.substr(text_start, end - text_start));
}

// NUL-terminated "key=value" entries ended by an empty one; the last of each key counts.
std::u16string title_from_ogg_comments(const char *comments) {
    constexpr std::string_view artist_key = "artist=", title_key = "title=";
    const char *artist = nullptr;
    const char *title = nullptr;
    for (const char *entry = comments; *entry; entry += std::strlen(entry) + 1) {
        if (starts_with_key(entry, artist_key))
            artist = entry + artist_key.size();
        else if (starts_with_key(entry, title_key))
            title = entry + title_key.size();
    }
    if (!title)
        return u"";
    // Decoded as one text, as the title line does.
    return decoded(artist ? std::string(artist) + " - " + title : std::string(title));
}

// --- File names ---

bool is_blank_or_dot(char16_t unit) {
    return unit == u' ' || unit == u'.';
}

// Control characters (C0, DEL, C1) and the characters Windows forbids in a file name.
bool is_unfit_for_file_name(char16_t unit) {
    constexpr std::u16string_view forbidden = u"\\/:*?\"<>|";
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) ||
           forbidden.find(unit) != std::u16string_view::npos;
}

void trim_trailing_blanks_and_dots(std::u16string &text) {
    while (!text.empty() && is_blank_or_dot(text.back()))
        text.pop_back();
}

std::u16string cleaned_title(const std::u16string &title) {
    std::u16string clean;
    for_each_character(
        title,
        [&](char16_t unit) {
            if (!is_unfit_for_file_name(unit))
                clean += unit;
        },
        [](char16_t) {});
    clean.erase(0, clean.find_first_not_of(u' ')); // all of it when only blanks
    trim_trailing_blanks_and_dots(clean);
    return clean;
}

// Windows opens a device, not a file, for these names, with any extension: "NUL.mp3" would
// swallow the recording.
bool is_device_name(std::u16string name) {
    name = name.substr(0, name.find(u'.'));
    while (!name.empty() && name.back() == u' ')
        name.pop_back();
    for (char16_t &unit : name)
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
    static const std::u16string_view devices[] = {u"CON", u"PRN",    u"AUX",
                                                  u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : devices)
        if (name == device)
            return true;
    const bool numbered_port =
        name.size() == 4 && (name.rfind(u"COM", 0) == 0 || name.rfind(u"LPT", 0) == 0);
    return numbered_port && ((name[3] >= u'0' && name[3] <= u'9') || name[3] == u'\u00B9' ||
                             name[3] == u'\u00B2' || name[3] == u'\u00B3');
}

// The clean title cut to `limit` units and ending as a file name may.
std::u16string fitted_title(const std::u16string &clean, size_t limit) {
    std::u16string fitted = cut_to(clean, limit);
    trim_trailing_blanks_and_dots(fitted);
    if (!fitted.empty() && is_device_name(fitted)) {
        fitted = cut_to(u"_" + clean, limit);
        trim_trailing_blanks_and_dots(fitted);
    }
    return fitted;
}

std::u16string name_suffix(bool part, int number) {
    std::u16string suffix = part ? u" (part)" : u"";
    if (number > 1) {
        const std::string digits = std::to_string(number);
        suffix += u" (" + std::u16string(digits.begin(), digits.end()) + u")";
    }
    return suffix + u".mp3";
}

// --- ID3v2.3 ---

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

std::u16string song_title_from_tags(unsigned tag_type, const char *tags) {
    if (!tags)
        return u"";
    switch (tag_type) {
    case BASS_TAG_META:
        return title_from_icy_metadata(tags);
    case BASS_TAG_OGG:
        return title_from_ogg_comments(tags);
    case BASS_TAG_WMA_META:
        return decoded(tags);
    default:
        return u"";
    }
}

song_fields split_song_title(const std::u16string &shown) {
    song_fields fields;
    const size_t separator = shown.find(u" - ");
    if (separator == std::u16string::npos) {
        fields.title = shown;
        return fields;
    }
    fields.artist = shown.substr(0, separator);
    fields.title = shown.substr(separator + 3);
    return fields;
}

std::u16string song_file_name(const std::u16string &title, bool part,
                              const std::function<bool(const std::u16string &)> &exists,
                              size_t room) {
    const std::u16string clean = cleaned_title(title);
    if (clean.empty())
        return u"";
    for (int number = 1; number <= 999; ++number) {
        const std::u16string suffix = name_suffix(part, number);
        if (room < suffix.size() + 2) // one character of title and the terminator
            return u"";
        const std::u16string fitted = fitted_title(clean, room - 1 - suffix.size());
        if (fitted.empty())
            return u"";
        const std::u16string name = fitted + suffix;
        if (!exists || !exists(name))
            return name;
    }
    return u"";
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
