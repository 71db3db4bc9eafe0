// The player's main window (dialog 101): every message it receives, handed to the room that
// answers it. The player's own messages are listed in playback/window_messages.h.
#pragma once

#include <windows.h>

INT_PTR CALLBACK player_dialog(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
