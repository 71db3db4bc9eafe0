/* Identifiers of the station editor's dialog and its controls. Also read by windres. */
#pragma once

#define IDD_EDITOR 100
#define IDI_EDITOR 103

#define IDC_IMPORT_M3U 1000
#define IDC_STATION_LIST 1002
#define IDC_STATION_NAME 1003
#define IDC_STATION_URL 1004
#define IDC_SAVE 1005
#define IDC_ADD 1006
#define IDC_UPDATE 1007
#define IDC_DELETE 1008
#define IDC_UP 1009
#define IDC_DOWN 1010

/* The "Find stations" dialog, opened by IDC_FIND. */
#define IDC_FIND 1011
#define IDD_FIND 101
#define IDC_FIND_NAME 1101
#define IDC_FIND_TAG 1102
#define IDC_FIND_COUNTRY 1103
#define IDC_FIND_CODEC 1104
#define IDC_FIND_SEARCH 1105
#define IDC_FIND_STATUS 1106
#define IDC_FIND_RESULTS 1107
#define IDC_FIND_ADD 1108
