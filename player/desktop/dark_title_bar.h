// A dark title bar when the user chose dark apps, as the system's own windows follow that
// choice. Window's thread.
#pragma once

#include <windows.h>

// Set-up; also again when the system's colours change (WM_SETTINGCHANGE).
void follow_system_dark_mode(HWND window);
