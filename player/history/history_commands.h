// What the song history adds to the main window: "History..." and "Play last station at
// start" in its system menu, the keys Ctrl+H (History) and Ctrl+C (copy the song title), the
// History window's own keys, and the song heard. All on the window's thread.
#pragma once

#include <windows.h>

// Window's set-up: the system menu's items and the keys; removed again at destruction.
void add_history_items_to_system_menu(HMENU system_menu);
void install_history_keys(HWND main);
void remove_history_keys();
// WM_SYSCOMMAND: true when it was one of the items added here.
bool handle_history_system_command(HWND main, WPARAM command);

// Ctrl+C and the tray menu's Copy: the whole song title line onto the clipboard; nothing when
// it is empty.
void copy_song_title(HWND main);
// The song title line changed (WM_NOW_PLAYING_CHANGED): lists the song heard.
void history_title_changed(HWND main);
