// The system's media transport controls (Windows 10 and later: the volume flyout, the lock
// screen, headset buttons): the station name as artist, the song as title, playing or
// stopped, and the buttons the user presses there. Loaded at run time; on a system without
// them every function here does nothing. All on the window's thread unless noted.
#pragma once

#include <windows.h>

// A press in the controls reaches the window as WM_SYSTEM_MEDIA_BUTTON (window_messages.h).
// Set-up: true when the system has the controls and took the window.
bool attach_system_media_controls(HWND window);
bool system_media_controls_attached();
void show_media_playback(bool playing);
void show_media_texts(const wchar_t *station_name, const wchar_t *song_title);
// Window's destruction.
void detach_system_media_controls();
