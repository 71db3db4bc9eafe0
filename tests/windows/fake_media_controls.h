// What the stand-in for the system's media transport controls (fake_media_controls.dll)
// last saw from the player. The test registers the DLL as the Windows Runtime class
// Windows.Media.SystemMediaTransportControls, which Wine does not have.
#pragma once

#include <windows.h>

struct fake_media_controls_state {
    HWND window = nullptr; // given to GetForWindow
    bool enabled = false;
    int status = -1; // the MediaPlaybackStatus last put
    wchar_t artist[256] = L"", title[512] = L"";
    int updates = 0;                // display updates
    void *button_handler = nullptr; // the ButtonPressed handler while added
};

// Exported by the DLL: a copy of its state, taken under its lock.
typedef void(WINAPI *fake_media_controls_snapshot_function)(fake_media_controls_state *);
