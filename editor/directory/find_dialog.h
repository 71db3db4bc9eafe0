// The "Find stations" dialog: searches the station directory off the window's thread and
// adds the chosen results to the editor's list, as an M3U import adds rows (nothing is
// written until Save). Everything here runs on the editor's thread.
#pragma once

#include <windows.h>

// The Find... command: runs the dialog modally, owned by the editor window.
void find_stations(HWND editor);

INT_PTR CALLBACK find_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
