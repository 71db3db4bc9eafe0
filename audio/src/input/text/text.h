// Small text helpers shared by the input's parsers: case, trimming, lines, the value after
// a key, and numbers as the network and playlists write them (never locale-dependent).
#pragma once

#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

// ASCII lower case; header names, schemes and hosts compare this way.
inline std::string to_lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// text without the leading and trailing characters found in blanks.
inline std::string trim(const std::string &text, const char *blanks) {
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// text without a leading UTF-8 byte order mark.
inline std::string without_bom(const std::string &text) {
    return text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text;
}

// The lines of a text file (a UTF-8 byte order mark dropped), each trimmed of blanks and
// line ends.
std::vector<std::string> lines_of(const std::string &text);

enum class key_place { anywhere, at_start };

// What follows the first `key` in text ("bitrate=", or at a line's start a tag such as
// "#EXT-X-TARGETDURATION:"); nullopt when the key is not there.
inline std::optional<std::string> text_after_key(const std::string &text, std::string_view key,
                                                 key_place place = key_place::anywhere) {
    size_t at = place == key_place::at_start ? (text.rfind(key, 0) == 0 ? 0 : std::string::npos)
                                             : text.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    return text.substr(at + key.size());
}

// The number text starts with (decimal digits; for a floating type also a fraction and an
// exponent), ignoring what follows it; nullopt when text starts with none or it does not
// fit the type.
template <class Number> std::optional<Number> leading_number(std::string_view text) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return value;
}

// The whole of text as a number; nullopt when anything else is in it.
template <class Number> std::optional<Number> whole_number(std::string_view text, int base = 10) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || text.empty() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace audio
