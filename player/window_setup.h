// The main window's set-up (WM_INITDIALOG) and tear-down (WM_DESTROY): each room's part,
// in the order they depend on each other. Window's thread. The audio library outlives the
// window (player_main.cpp): recordings may still be finishing when it has gone.
#pragma once

#include <windows.h>

void set_up_window(HWND window);
void tear_down_window(HWND window);
