// The Import m3u command: rows from an extended M3U playlist go into the list after the
// selected row. Runs on the dialog's thread.
#pragma once

#include <windows.h>

#include "station_file.h"

// The file chosen last; the file dialog opens with it from the second import on.
extern char import_path[path_buffer_size];

// Lets the user pick a playlist and imports it; a file without the "#EXTM3U" marker is
// refused with a message. Cancelling the file dialog does nothing.
void import_playlist(HWND dialog);

// Adds the playlist's entries after the selected row (at the end when none is selected),
// rebuilds the list and selects the row after the anchor. Returns 0, or -1 with nothing
// changed when the file cannot be opened.
int import_m3u(const char *path);
