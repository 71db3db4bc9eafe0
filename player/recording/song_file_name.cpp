#include "song_file_name.h"

#include "utf16_text.h"

#include <string_view>

namespace {

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

} // namespace

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
