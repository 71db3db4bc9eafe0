// The History window: the songs heard, newest first (time, station, song), following the
// history while it is open; Copy (Ctrl+C) puts the selected songs' titles on the clipboard,
// one a line; Search opens the browser at the search address for the first selected title;
// Export... saves the history as a CSV file; Clear empties it after asking. Modeless, owned by
// the main window, one at a time. All on the window's thread.
#pragma once

#include <windows.h>

// Opens the window, or brings the open one forward (Ctrl+H, the system menu, the tray menu).
void open_history_window(HWND owner);
// The open window, or null.
HWND history_window();
