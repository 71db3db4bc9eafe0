#include "settings/player_settings.h"

#include <algorithm>
#include <charconv>

#ifdef _WIN32
#include "settings/whole_file.h"
#endif

namespace {

constexpr std::string_view player_section = "player";
constexpr std::string_view minimize_to_tray_key = "minimize_to_tray";
constexpr std::string_view close_to_tray_key = "close_to_tray";
constexpr std::string_view notify_songs_key = "notify_songs";
constexpr std::string_view sleep_choices_key = "sleep_choices";
constexpr std::string_view resume_key = "resume";
constexpr std::string_view volume_key = "volume";
constexpr std::string_view last_station_name_key = "last_station_name";
constexpr std::string_view last_station_url_key = "last_station_url";
constexpr std::string_view search_url_key = "search_url";
// A settings file is a few hundred bytes; anything far larger is not one.
constexpr size_t settings_file_max = 1 << 20;

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_without_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ascii_lower(x) == ascii_lower(y);
           });
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// As the platform's profile functions read a value: one pair of enclosing quotes removed,
// and nothing after a NUL byte.
std::string_view value_text(std::string_view raw) {
    std::string_view value = trimmed(raw.substr(0, raw.find('\0')));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

void read_switch(std::string_view value, bool &setting) {
    if (same_without_case(value, "on"))
        setting = true;
    else if (same_without_case(value, "off"))
        setting = false;
}

bool read_number(std::string_view text, int low, int high, int &number) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    number = parsed;
    return true;
}

// Comma-separated minutes; entries out of range are left out, the rest sorted and each kept
// once. A list with none left keeps the default.
void read_sleep_choices(std::string_view value, std::vector<int> &choices) {
    std::vector<int> read;
    while (!value.empty() && read.size() < sleep_choices_max) {
        const size_t comma = value.find(',');
        int minutes = 0;
        if (read_number(trimmed(value.substr(0, comma)), sleep_minutes_min, sleep_minutes_max,
                        minutes))
            read.push_back(minutes);
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
    }
    std::sort(read.begin(), read.end());
    read.erase(std::unique(read.begin(), read.end()), read.end());
    if (!read.empty())
        choices = std::move(read);
}

bool is_web_address(std::string_view text) {
    return same_without_case(text.substr(0, 7), "http://") ||
           same_without_case(text.substr(0, 8), "https://");
}

// A value that fits and would not change the file's shape, or nothing.
void read_text(std::string_view value, size_t limit, std::string &setting) {
    if (value.size() <= limit)
        setting = std::string(value);
}

// True when the key is one this version knows; its value is then taken (or left at its
// default when unusable).
bool read_known_key(std::string_view key, std::string_view value, player_settings &settings) {
    if (same_without_case(key, minimize_to_tray_key))
        read_switch(value, settings.minimize_to_tray);
    else if (same_without_case(key, close_to_tray_key))
        read_switch(value, settings.close_to_tray);
    else if (same_without_case(key, notify_songs_key))
        read_switch(value, settings.notify_songs);
    else if (same_without_case(key, resume_key))
        read_switch(value, settings.resume);
    else if (same_without_case(key, sleep_choices_key))
        read_sleep_choices(value, settings.sleep_choices);
    else if (same_without_case(key, volume_key))
        read_number(value, 0, 100, settings.volume);
    else if (same_without_case(key, last_station_name_key))
        read_text(value, remembered_station_text_max, settings.last_station_name);
    else if (same_without_case(key, last_station_url_key))
        read_text(value, remembered_station_text_max, settings.last_station_url);
    else if (same_without_case(key, search_url_key)) {
        // Handed to the shell to open: only a web address, never a program to run.
        if (is_web_address(value))
            read_text(value, search_url_max, settings.search_url);
    } else
        return false;
    return true;
}

std::string one_line(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

void append_key(std::string &text, std::string_view key, std::string_view value) {
    text.append(key).append("=").append(one_line(value)).append("\r\n");
}

const char *switch_text(bool on) {
    return on ? "on" : "off";
}

} // namespace

player_settings parse_player_settings(std::string_view text) {
    player_settings settings;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool in_player = false;
    std::vector<std::string> seen; // the platform's reader takes a key's first line
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        const std::string_view raw_line = text.substr(0, end);
        text.remove_prefix(end);
        if (text.substr(0, 2) == "\r\n")
            text.remove_prefix(2);
        else if (!text.empty())
            text.remove_prefix(1);
        const std::string_view line = trimmed(raw_line);
        if (line.size() >= 2 && line.front() == '[') {
            const size_t close = line.find(']');
            in_player = close != std::string_view::npos &&
                        same_without_case(trimmed(line.substr(1, close - 1)), player_section);
            if (in_player)
                continue;
        }
        const size_t equals = line.find('=');
        if (!in_player || equals == std::string_view::npos) {
            if (!in_player && !line.empty())
                settings.other_lines.emplace_back(raw_line);
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        const bool repeated = std::any_of(seen.begin(), seen.end(), [&](const std::string &s) {
            return same_without_case(s, key);
        });
        if (key.empty() || repeated)
            continue;
        seen.emplace_back(key);
        const std::string_view value = value_text(line.substr(equals + 1));
        if (!read_known_key(key, value, settings))
            settings.unknown_player_keys.emplace_back(key, value);
    }
    return settings;
}

std::string format_player_settings(const player_settings &settings) {
    std::string text = "[player]\r\n";
    append_key(text, minimize_to_tray_key, switch_text(settings.minimize_to_tray));
    append_key(text, close_to_tray_key, switch_text(settings.close_to_tray));
    append_key(text, notify_songs_key, switch_text(settings.notify_songs));
    std::string choices;
    for (const int minutes : settings.sleep_choices)
        choices.append(choices.empty() ? "" : ",").append(std::to_string(minutes));
    append_key(text, sleep_choices_key, choices);
    append_key(text, resume_key, switch_text(settings.resume));
    append_key(text, volume_key, std::to_string(settings.volume));
    append_key(text, last_station_name_key, settings.last_station_name);
    append_key(text, last_station_url_key, settings.last_station_url);
    append_key(text, search_url_key, settings.search_url);
    for (const auto &[key, value] : settings.unknown_player_keys)
        append_key(text, key, value);
    for (const std::string &line : settings.other_lines)
        text.append(line).append("\r\n");
    return text;
}

#ifdef _WIN32

std::wstring player_settings_path() {
    return path_beside_program(L"brevora.ini");
}

player_settings load_player_settings(const std::wstring &path) {
    std::string text;
    if (read_whole_file(path, settings_file_max, text) != file_reading::read)
        return player_settings{};
    return parse_player_settings(text);
}

bool save_player_settings(const std::wstring &path, const player_settings &settings) {
    return write_whole_file(path, format_player_settings(settings));
}

player_settings &current_player_settings() {
    static player_settings settings;
    return settings;
}

void load_current_player_settings() {
    current_player_settings() = load_player_settings(player_settings_path());
}

bool save_current_player_settings() {
    return save_player_settings(player_settings_path(), current_player_settings());
}

#endif
