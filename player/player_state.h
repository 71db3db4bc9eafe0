// The player's process-wide state. Written and read on the window's thread unless a field
// says otherwise.
#pragma once

#include "brevora_audio.h"

#include <windows.h>

#include <atomic>

constexpr int station_table_size = 2048; // rows the menu can offer (identifiers 2000..4047)
constexpr int menu_table_size = 64;      // the Stations menu and up to 63 group sub-menus
constexpr int record_target_size = 260;  // wide characters, terminator included
constexpr int proxy_setting_size = 200;
constexpr int encoder_options_size = 128;

extern HWND main_window;
extern char **station_urls; // station_table_size owned strings; the first station_total used
extern int station_total;
extern HMENU *station_menus; // menu_table_size entries; the first menu_count used
extern int menu_count;
extern int current_station;

// Connection workers and library threads read these without a lock; stream_lock guards
// the increment of request_serial and the store of current_stream.
extern std::atomic<int> request_serial;
extern std::atomic<HSTREAM> current_stream;
extern std::atomic<bool> stream_is_wma;
extern CRITICAL_SECTION stream_lock;

extern wchar_t *record_target; // record_target_size wide characters
extern HENCODE encoder_handle;
// A recording was started and its file not yet named, whether or not its encoder still runs.
extern bool recording_started;
extern char proxy_setting[proxy_setting_size]; // the library keeps reading it: lives forever
extern char encoder_options[encoder_options_size];

// Posted after the song title line changed: the window's thread tells screen readers and the
// system's media controls.
#define WM_NOW_PLAYING_CHANGED (WM_APP + 5)

// Replaces a control's text; the window's thread carries it out, other threads wait for it.
void set_line_text(int control_id, const char *text);
void set_line_wide(int control_id, const wchar_t *text);
