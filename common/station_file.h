// stations.ini: where it lives, its sections and keys, and typed reads of its values.
// Both programs read it through station_file_contents, which answers as the platform's
// profile functions do; the file is read once and again only when it has changed.
#pragma once

#include "station_file_reader.h"

#include <cstddef>
#include <memory>

// The executable path is at most 259 characters; the result replaces its file name with
// "stations.ini", one character longer than "brevora.exe", so allow a little room.
constexpr size_t ini_path_size = 272;
constexpr size_t setting_buffer_size = 200; // values from the file and from edit fields
constexpr size_t path_buffer_size = 260;
constexpr size_t lame_options_size = 128;
// A larger stations.ini is not a station list (10,000 rows take about 5 MiB): it is not read.
constexpr size_t station_file_size_limit = 256u << 20;

extern const char stations_section[];    // "stations"
extern const char config_section[];      // "config"
extern const char station_count_key[];   // "station_count"
extern const char station_name_prefix[]; // "station_name_"
extern const char station_url_prefix[];  // "station_url_"
extern const char use_proxy_key[];       // "use_proxy"
extern const char proxy_key[];           // "proxy"
extern const char lame_options_key[];    // "lame_options"
extern const char record_history_key[];  // "record_history": minutes, default 10
extern const char record_split_key[];    // "record_split": "on" for one file per song
extern const char group_marker[];        // "null": the URL of a group row
// "null": what a setting or a name reads as when the file does not give it, and what the
// editor writes back for a setting that was never given.
extern const char unset_setting_value[];
extern const char default_lame_options[]; // "-b 128"

// Full path of stations.ini for this process, filled by locate_station_file.
extern char ini_path[ini_path_size];

// Replaces the file name of module_path (everything after its last backslash, and the
// backslash) with "\stations.ini". A path without a backslash gives "\stations.ini".
// The result is cut to fit result_size, terminator included.
void station_file_for_module(const char *module_path, char *result, size_t result_size);

// Builds a row key such as "station_url_12" from a prefix and a 1-based row number.
void row_key(char *key, size_t key_size, const char *prefix, int row_number);

// True when url is exactly the group marker "null" (case-sensitive).
bool is_group_url(const char *url);

#ifdef _WIN32
// Computes ini_path from the running executable's path.
void locate_station_file();

// The system's ANSI code page, for reading files.
const ansi_code_page &system_code_page();
// The contents of the file at path, read in one pass: empty (every key missing) when it is
// missing, unreadable or larger than station_file_size_limit. Any thread.
station_file_contents read_station_file(const char *path);
// ini_path's contents as they are now: read again only when the file's size or times have
// changed since the last call. For many reads at once (a whole list). Any thread.
std::shared_ptr<const station_file_contents> current_station_file();

// The reads below each look at current_station_file().
int read_setting_int(const char *section, const char *key, int default_value);
// Reads a string value into buffer; a longer value is cut to buffer_size - 1 characters.
void read_setting_text(const char *section, const char *key, const char *default_value,
                       char *buffer, size_t buffer_size);
#endif
