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
