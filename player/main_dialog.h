// The player's main window (dialog 101): set-up, dispatch, volume, About, close, destroy.
#pragma once

#include <windows.h>

INT_PTR CALLBACK player_dialog(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The stream volume for a slider position of 0 to 100: 0 to 10000.
DWORD volume_for_slider(int position);
