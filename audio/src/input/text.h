// Small text helpers shared by the input's parsers.
#pragma once

#include <cctype>
#include <string>

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

} // namespace audio
