// The player's process-wide state that playing a station needs: the window, the station
// table behind the Stations menu, and the stream playing. Written and read on the window's
// thread unless a field says otherwise.
#pragma once

#include "brevora_audio.h"

#include <windows.h>

#include <atomic>

constexpr int station_table_size = 2048; // rows the menu can offer (identifiers 2000..4047)
constexpr int menu_table_size = 64;      // the Stations menu and up to 63 group sub-menus

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

// Replaces a control's text; the window's thread carries it out, other threads wait for it.
// A new song title line is also posted to the window (WM_NOW_PLAYING_CHANGED).
void set_line_text(int control_id, const char *text);
void set_line_wide(int control_id, const wchar_t *text);
