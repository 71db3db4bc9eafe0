// How the main window meets the system's conventions beyond its controls: a dark title bar
// when the user chose dark apps, names screen readers cannot take from a control's text,
// and the announcement of a new song title. All on the window's thread.
#pragma once

#include <windows.h>

// Set-up; also again when the system's colours change (WM_SETTINGCHANGE).
void follow_system_dark_mode(HWND window);
// Set-up: names and live-region marks for assistive technology.
void annotate_for_screen_readers(HWND window);
// The title line changed: screen readers announce it.
void announce_title_change(HWND window);
// Window's destruction.
void remove_screen_reader_annotations(HWND window);
