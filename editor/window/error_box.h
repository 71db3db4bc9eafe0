// The editor's error message: a modal box on the window's thread, captioned "Error".
#pragma once

#include <windows.h>

// Shows text in a message box owned by window, caption "Error", one OK button and icon
// (MB_ICONERROR or MB_ICONWARNING); returns when the user has closed it.
void show_error_box(HWND window, const char *text, UINT icon);
