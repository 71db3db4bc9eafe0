// The editor window's commands: small functions that the dialog procedure dispatches to
// and that tests call directly. All run on the dialog's thread; dialog is the editor
// window, the owner of every message box they show.
#pragma once

#include <windows.h>

// A station_count beyond this is taken as damage, not as a list: loading stops here.
constexpr int station_load_limit = 10000;

// Opening the window: takes the list box and loads every row of stations.ini.
void load_station_list(HWND dialog);
// The list box's selection changed: shows the selected row in the name and URL fields.
void show_selected_row(HWND dialog);
void add_station(HWND dialog);
void update_station(HWND dialog);
void delete_station(HWND dialog);
void move_station_up();
void move_station_down();
// Writes stations.ini and ends the dialog; true when it ended. An empty list ends the
// dialog without touching the file. When the file cannot be written the old one stays,
// an error is shown and the window stays open.
bool save_stations(HWND dialog);
