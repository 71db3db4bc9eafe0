// The song history's file and its rules. history.csv is UTF-8 with a byte-order mark (so
// spreadsheet programs read it as UTF-8), a header line "time,station,title", then one line
// per song heard, oldest first, fields quoted as RFC 4180 says. Times are local ISO 8601 with
// their offset from UTC ("2026-12-09T18:04:05+01:00"), so a reader needs no time zone and
// the repeat rule still holds across a change of summer time. Pure; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct heard_song {
    std::string time;    // as format_history_time writes it
    std::string station; // UTF-8
    std::string title;   // UTF-8
};

// The file keeps the newest songs only.
constexpr size_t history_songs_kept = 1000;
// The same title on the same station within this many seconds is one song heard (a reconnect,
// an announcement between two halves of it).
constexpr long long repeat_window_seconds = 600;

struct local_time {
    int year, month, day, hour, minute, second;
    int offset_minutes; // local time minus UTC
};

std::string format_history_time(const local_time &time);
// Seconds since 1970-01-01 UTC of a time as format_history_time writes it ("Z" also read as
// the offset); false for any other text.
bool parse_history_time(std::string_view text, long long &utc_seconds);
// The time as the History window shows it: "2026-12-09 18:04:05".
std::string shown_history_time(const std::string &time);

// Byte-order mark and header line: the whole of an empty history.
std::string history_file_start();
// One song's line, CRLF ended.
std::string format_history_line(const heard_song &song);

struct history_reading {
    bool readable = false; // false: not a history at all; set the file aside
    // The last line was cut short (a crash in the middle of writing it): it is left out, and
    // the file must be written again before anything is appended to it.
    bool torn_end = false;
    std::vector<heard_song> songs; // oldest first
};
// Reads a whole file. An empty text is an empty history.
history_reading parse_history(std::string_view text);

// Whether a title heard now on station is listed: it has some text, and the same title was
// not heard on the same station within repeat_window_seconds before now.
bool worth_listing(const std::vector<heard_song> &songs, const std::string &station,
                   const std::string &title, long long now_utc_seconds);
