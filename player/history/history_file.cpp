#include "history/history_file.h"

#include "settings/whole_file.h"

#include <windows.h>

namespace {

// A thousand songs with the longest titles stations send stay far below this; a larger file
// is not a history.
constexpr size_t history_file_max = 16 << 20;

std::vector<heard_song> songs;
// False when the file could neither be read nor set aside, or a torn end could not be mended:
// writing to it then could destroy or garble what it holds, so this run keeps its songs in
// memory only.
bool file_usable = true;
void (*listener)(history_change) = nullptr;

void tell_listener(history_change change) {
    if (listener)
        listener(change);
}

// The local time now, with its offset from UTC, and the same moment in UTC seconds.
local_time time_now(long long &utc_seconds) {
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    const auto ticks = [](const FILETIME &time) {
        return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                      time.dwLowDateTime);
    };
    const long long ticks_per_second = 10000000;
    const long long seconds_1601_to_1970 = 11644473600LL;
    utc_seconds = ticks(utc) / ticks_per_second - seconds_1601_to_1970;
    SYSTEMTIME fields;
    FileTimeToSystemTime(&local, &fields);
    const long long offset_seconds = (ticks(local) - ticks(utc)) / ticks_per_second;
    return {fields.wYear,
            fields.wMonth,
            fields.wDay,
            fields.wHour,
            fields.wMinute,
            fields.wSecond,
            static_cast<int>(offset_seconds / 60)};
}

std::string file_text(std::vector<heard_song>::const_iterator first) {
    std::string text = history_file_start();
    for (auto song = first; song != songs.end(); ++song)
        text += format_history_line(*song);
    return text;
}

// The newest songs that fit, written whole.
bool rewrite_file() {
    const size_t dropped =
        songs.size() > history_songs_kept ? songs.size() - history_songs_kept : 0;
    return write_whole_file(history_file_path(), file_text(songs.begin() + dropped));
}

// A missing or empty file (one a crash left just made) gets its header first.
bool append_line(const std::string &line) {
    const std::wstring path = history_file_path();
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    const bool is_new = !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file) ||
                        (file.nFileSizeHigh == 0 && file.nFileSizeLow == 0);
    return append_to_file(path, is_new ? history_file_start() + line : line);
}

// history.csv.bad, or history.csv.bad.2 ... when older damaged files are still there.
bool set_damaged_file_aside(const std::wstring &path) {
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const std::wstring aside =
            path + L".bad" + (attempt == 1 ? L"" : L"." + std::to_wstring(attempt));
        if (MoveFileW(path.c_str(), aside.c_str()))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

} // namespace

std::wstring history_file_path() {
    return path_beside_program(L"history.csv");
}

void load_song_history() {
    songs.clear();
    file_usable = true;
    const std::wstring path = history_file_path();
    std::string text;
    const file_reading result = read_whole_file(path, history_file_max, text);
    if (result == file_reading::missing)
        return;
    if (result == file_reading::unreadable) { // locked or forbidden: not damaged
        file_usable = false;
        return;
    }
    history_reading reading = parse_history(text);
    if (result == file_reading::too_large || !reading.readable) {
        file_usable = set_damaged_file_aside(path);
        return;
    }
    songs = std::move(reading.songs);
    if (songs.size() > history_songs_kept)
        songs.erase(songs.begin(), songs.end() - history_songs_kept);
    // The next line would be glued to the torn one.
    if (reading.torn_end)
        file_usable = rewrite_file();
}

const std::vector<heard_song> &song_history() {
    return songs;
}

bool history_song_heard(const std::wstring &station, const std::wstring &title) {
    long long now = 0;
    heard_song song{format_history_time(time_now(now)), utf8_from_wide(station),
                    utf8_from_wide(title)};
    if (!worth_listing(songs, song.station, song.title, now))
        return false;
    songs.push_back(std::move(song));
    if (file_usable && (songs.size() <= history_songs_kept || !rewrite_file()))
        append_line(format_history_line(songs.back()));
    if (songs.size() > history_songs_kept)
        songs.erase(songs.begin());
    tell_listener(history_change::added);
    return true;
}

bool clear_song_history() {
    if (file_usable && !write_whole_file(history_file_path(), history_file_start()))
        return false;
    songs.clear();
    tell_listener(history_change::cleared);
    return true;
}

bool export_song_history(const std::wstring &path) {
    return write_whole_file(path, file_text(songs.begin()));
}

void set_song_history_listener(void (*changed)(history_change)) {
    listener = changed;
}
