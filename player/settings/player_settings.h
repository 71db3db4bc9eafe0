// What the player remembers between runs, in brevora.ini beside the program (section
// [player]): tray options, song notifications, sleep-timer choices, resuming the last
// station, and the song search address. The player is the file's only writer; stations.ini
// stays the editor's. Parsing and formatting are pure (any thread); loading and saving run on
// the window's thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr int sleep_minutes_min = 1;
constexpr int sleep_minutes_max = 720;
constexpr size_t sleep_choices_max = 16;
// Station names and addresses fit the same buffers as in stations.ini.
constexpr size_t remembered_station_text_max = 199;
constexpr size_t search_url_max = 2048;

struct player_settings {
    bool minimize_to_tray = false;
    bool close_to_tray = false;
    bool notify_songs = false;
    std::vector<int> sleep_choices = {15, 30, 45, 60, 90, 120}; // minutes, as listed
    bool resume = false;
    int volume = 100; // percent
    std::string last_station_name;
    std::string last_station_url;
    std::string search_url = "https://duckduckgo.com/?q=%s"; // %s: the title, percent-encoded
    // Keys of [player] this version does not know, and every line outside [player], kept as
    // read so that a newer version's settings survive a save by this one.
    std::vector<std::pair<std::string, std::string>> unknown_player_keys;
    std::vector<std::string> other_lines;
};

// Reads the file's text; whatever cannot be understood keeps its default. Never fails.
player_settings parse_player_settings(std::string_view text);
// The whole file's text, CRLF line ends, readable by parse_player_settings.
std::string format_player_settings(const player_settings &settings);

#ifdef _WIN32
// "brevora.ini" beside the running program.
std::wstring player_settings_path();
// A missing, unreadable or damaged file gives the defaults, without a message.
player_settings load_player_settings(const std::wstring &path);
// Writes the whole file to PATH.tmp and replaces PATH with it only once every byte is on
// disk, so a crash leaves either the old file or the new one. False when it could not.
bool save_player_settings(const std::wstring &path, const player_settings &settings);

// This run's settings: loaded once at start-up (before the window opens), then read, changed
// and saved only on the window's thread.
player_settings &current_player_settings();
void load_current_player_settings();
// Saves current_player_settings() whole; a failure keeps them for this run only, silently.
bool save_current_player_settings();
#endif
