#include "history/song_history.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
constexpr std::string_view header_line = "time,station,title";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long days_from_civil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

// Exactly `digits` decimal digits at text[at], between low and high.
bool read_digits(std::string_view text, size_t at, size_t digits, int low, int high, int &value) {
    if (text.size() < at + digits)
        return false;
    for (size_t i = at; i < at + digits; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    std::from_chars(text.data() + at, text.data() + at + digits, value);
    return value >= low && value <= high;
}

bool needs_quotes(const std::string &field) {
    return field.find_first_of(",\"\r\n") != std::string::npos;
}

void append_field(std::string &line, const std::string &field) {
    if (!needs_quotes(field)) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field)
        line.append(c == '"' ? "\"\"" : std::string(1, c));
    line += '"';
}

// Where the reader stands within a field.
enum class field_state { start, unquoted, quoted, closed };

// One record of RFC 4180 text starting at `at`; moves `at` past its line end. False when the
// record is malformed; `ended` says whether a line end followed it.
bool read_record(std::string_view text, size_t &at, std::vector<std::string> &fields, bool &ended) {
    fields.assign(1, std::string());
    ended = false;
    field_state state = field_state::start;
    while (at < text.size()) {
        const char c = text[at++];
        if (state == field_state::quoted) {
            if (c != '"')
                fields.back() += c;
            else if (at < text.size() && text[at] == '"')
                fields.back() += text[at++];
            else
                state = field_state::closed;
        } else if (c == ',') {
            fields.emplace_back();
            state = field_state::start;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && at < text.size() && text[at] == '\n')
                ++at;
            ended = true;
            return true;
        } else if (c == '"' && state == field_state::start) {
            state = field_state::quoted;
        } else if (c == '"' || state == field_state::closed) {
            return false; // a quote inside a bare field, or text after a closing quote
        } else {
            fields.back() += c;
            state = field_state::unquoted;
        }
    }
    return state != field_state::quoted;
}

} // namespace

std::string format_history_time(const local_time &time) {
    const int offset = time.offset_minutes < 0 ? -time.offset_minutes : time.offset_minutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", time.year,
                  time.month, time.day, time.hour, time.minute, time.second,
                  time.offset_minutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

bool parse_history_time(std::string_view text, long long &utc_seconds) {
    int year, month, day, hour, minute, second, offset_hours = 0, offset_minutes = 0;
    if (!read_digits(text, 0, 4, 0, 9999, year) || text[4] != '-' ||
        !read_digits(text, 5, 2, 1, 12, month) || text[7] != '-' ||
        !read_digits(text, 8, 2, 1, 31, day) || text[10] != 'T' ||
        !read_digits(text, 11, 2, 0, 23, hour) || text[13] != ':' ||
        !read_digits(text, 14, 2, 0, 59, minute) || text[16] != ':' ||
        !read_digits(text, 17, 2, 0, 60, second) || text.size() < 20)
        return false;
    const std::string_view zone = text.substr(19);
    if (zone != "Z") {
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' ||
            !read_digits(zone, 1, 2, 0, 23, offset_hours) ||
            !read_digits(zone, 4, 2, 0, 59, offset_minutes))
            return false;
    }
    const long long offset = (offset_hours * 60LL + offset_minutes) * (zone[0] == '-' ? -1 : 1);
    utc_seconds =
        days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        hour * 3600LL + minute * 60LL + second - offset * 60;
    return true;
}

std::string shown_history_time(const std::string &time) {
    long long ignored = 0;
    if (!parse_history_time(time, ignored))
        return time;
    std::string shown = time.substr(0, 19);
    shown[10] = ' ';
    return shown;
}

std::string history_file_start() {
    return std::string(byte_order_mark) + std::string(header_line) + "\r\n";
}

std::string format_history_line(const heard_song &song) {
    std::string line;
    append_field(line, song.time);
    line += ',';
    append_field(line, song.station);
    line += ',';
    append_field(line, song.title);
    return line + "\r\n";
}

history_reading parse_history(std::string_view text) {
    history_reading reading;
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark)
        text.remove_prefix(byte_order_mark.size());
    // A crash can leave the end of a file as zeros where its last write should be.
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
        reading.torn_end = true;
    }
    if (text.empty()) {
        reading.readable = true;
        return reading;
    }
    size_t at = 0;
    std::vector<std::string> fields;
    bool ended = false;
    if (!read_record(text, at, fields, ended) || fields.size() != 3 ||
        fields[0] + "," + fields[1] + "," + fields[2] != header_line)
        return reading;
    while (at < text.size()) {
        const size_t start = at;
        long long time = 0;
        const bool whole = read_record(text, at, fields, ended) && fields.size() == 3 &&
                           parse_history_time(fields[0], time) &&
                           text.substr(start, at - start).find('\0') == std::string_view::npos;
        if (!ended && at == text.size()) { // the last line, cut short or without its line end
            if (whole)
                reading.songs.push_back({fields[0], fields[1], fields[2]});
            else
                reading.torn_end = true;
            break;
        }
        if (!whole)
            return history_reading{};
        reading.songs.push_back({fields[0], fields[1], fields[2]});
    }
    reading.readable = true;
    return reading;
}

bool worth_listing(const std::vector<heard_song> &songs, const std::string &station,
                   const std::string &title, long long now_utc_seconds) {
    if (title.find_first_not_of(" \t") == std::string::npos)
        return false;
    for (auto song = songs.rbegin(); song != songs.rend(); ++song) {
        long long heard = 0;
        if (!parse_history_time(song->time, heard) ||
            heard < now_utc_seconds - repeat_window_seconds)
            break;
        if (song->station == station && song->title == title)
            return false;
    }
    return true;
}
