// The volume slider: 0 to 100, at 50 when the window opens, setting the streams' volume.
// Window's thread.
#pragma once

#include <windows.h>

void set_up_volume_slider(HWND window);
// WM_HSCROLL: follows the slider when it is the control that moved.
void follow_volume_slider(HWND scrolled_control);

// The stream volume for a slider position of 0 to 100: 0 to 10000.
DWORD volume_for_slider(int position);
// The stream volume the slider asks for now.
DWORD slider_volume();
