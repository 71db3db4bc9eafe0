// The Stations pop-up menu: built from stations.ini at set-up, one sub-menu per group row,
// check marks on the chosen station and its group. A choice or Play first finishes a running
// recording (through the connection's hook). All on the window's thread.
#pragma once

// Fills station_menus[0] (already created) and station_urls from the station list.
void build_station_menu();
void show_station_menu();            // Stations button
void choose_station(int command_id); // a menu choice, IDM_FIRST_STATION..IDM_LAST_STATION
void play_current_station();         // Play button
int group_ordinal(int row_index);    // index of the group a row belongs to, from 0
