// Resource and control identifiers of the player's main window.
#pragma once

#define IDD_PLAYER 101
#define IDI_PLAYER 103

#define IDC_TITLE_LINE 1001
#define IDC_STATION_LINE 1002
#define IDC_INFO_LINE 1003
#define IDC_STOP 1004
#define IDC_PLAY 1005
#define IDC_VOLUME_SLIDER 1010
#define IDC_ABOUT 1011
#define IDC_STATIONS 1012
#define IDC_RECORD 1013
#define IDC_SONGS 1014
#define IDC_BITRATE_LABEL 1015
// Buttons of the taskbar's thumbnail toolbar: their clicks arrive as commands.
#define IDC_THUMB_PLAY_STOP 1020
#define IDC_THUMB_RECORD 1021

// Menu command of row index i is IDM_FIRST_STATION + i.
#define IDM_FIRST_STATION 2000
#define IDM_LAST_STATION 4047

// Items of the notification icon's menu and of the window's system menu. The system keeps the
// low four bits of a system-menu command for itself, so each of these is a multiple of 16;
// all lie above the station range.
#define IDM_MINIMIZE_TO_TRAY 0x1000
#define IDM_CLOSE_TO_TRAY 0x1010
#define IDM_NOTIFY_SONGS 0x1020
#define IDM_TRAY_SONGS 0x1030
#define IDM_EXIT 0x1050
#define IDM_SLEEP_OFF 0x1100
// Sleep-timer choice i (as listed in brevora.ini) is IDM_FIRST_SLEEP_CHOICE + 16 * i.
#define IDM_FIRST_SLEEP_CHOICE 0x1110

// Commands of the main window's keys (Ctrl+C copies the song title, Ctrl+H opens History).
#define IDM_COPY_TITLE 1030
#define IDM_HISTORY 1031
// Items the player adds to its window's system menu (multiples of 16, below the system's own).
#define IDM_SYSTEM_HISTORY 0x0110
#define IDM_SYSTEM_RESUME 0x0120

// The History window.
#define IDD_HISTORY 102
#define IDC_HISTORY_LIST 1101
#define IDC_HISTORY_COPY 1102
#define IDC_HISTORY_SEARCH 1103
#define IDC_HISTORY_EXPORT 1104
#define IDC_HISTORY_CLEAR 1105
