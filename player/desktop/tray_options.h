// The options a Windows user looks for in the window's system menu (Alt+Space): "Minimize to
// tray", "Close to tray", "Notify on song change" (each remembered in brevora.ini) and the
// "Sleep timer" sub-menu; and what the first two do to the window. All on the window's thread.
#pragma once

#include <windows.h>

// Set-up: appends the items to the window's system menu, checked as brevora.ini says.
void add_tray_items_to_system_menu(HWND window);
// A command of the system menu (WM_SYSCOMMAND, low four bits cleared) or of the tray menu
// (WM_COMMAND). False when it is none of the options or sleep choices.
bool handle_tray_system_command(int command_id);
// A new "Sleep timer" sub-menu checked as the timer is; the caller owns it.
HMENU create_sleep_menu();
// The check marks of the system menu's items follow the options and the timer (also after
// the timer ended by itself).
void show_tray_option_checks();
// WM_SIZE with SIZE_MINIMIZED: with "Minimize to tray" on, the window and its taskbar button
// hide, as long as the icon is there to bring them back.
void minimize_to_tray_if_chosen();
// The close box (SC_CLOSE): true when "Close to tray" hid the window instead of closing it.
bool close_to_tray_if_chosen();
