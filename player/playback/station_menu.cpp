#include "station_menu.h"

#include "connection.h"
#include "player_ids.h"
#include "player_state.h"
#include "resume.h"
#include "station_link.h"
#include "station_file.h"

#include <cstdlib>
#include <cstring>

void build_station_menu() {
    HMENU insertion_target = station_menus[0];
    const int row_total = read_setting_int(stations_section, station_count_key, 0);
    for (int row = 0; row < row_total && row < station_table_size; ++row) {
        char key[32];
        char url[setting_buffer_size];
        char name[setting_buffer_size];
        row_key(key, sizeof key, station_url_prefix, row + 1);
        read_setting_text(stations_section, key, group_marker, url, sizeof url);
        const bool group = is_group_url(url);
        // Rows after the 63rd group would have no sub-menu to go into: leave them out.
        if (group && menu_count >= menu_table_size)
            break;
        char *url_copy = _strdup(url);
        if (!url_copy)
            break;
        station_urls[row] = url_copy;

        row_key(key, sizeof key, station_name_prefix, row + 1);
        read_setting_text(stations_section, key, group_marker, name, sizeof name);
        if (!group) {
            AppendMenuA(insertion_target, MF_STRING, IDM_FIRST_STATION + row, name);
        } else {
            HMENU group_menu = CreatePopupMenu();
            station_menus[menu_count++] = group_menu;
            insertion_target = group_menu;
            AppendMenuA(station_menus[0], MF_POPUP, reinterpret_cast<UINT_PTR>(group_menu), name);
        }
        ++station_total;
    }
}

int group_ordinal(int row_index) {
    int groups = 0;
    for (int row = 0; row <= row_index && row < station_total; ++row)
        if (is_group_url(station_urls[row]))
            ++groups;
    return groups > 0 ? groups - 1 : 0;
}

void show_station_menu() {
    SetFocus(main_window);
    RECT button;
    GetWindowRect(GetDlgItem(main_window, IDC_STATIONS), &button);
    SetForegroundWindow(main_window);
    TrackPopupMenu(station_menus[0], 0, button.left, button.bottom, 0, main_window, nullptr);
}

void choose_station(int command_id) {
    const int row = command_id - IDM_FIRST_STATION;
    // Only a forged message can name a row that was never loaded.
    if (row >= station_total)
        return;
    forget_station_link();
    remember_chosen_station(row);
    CheckMenuItem(station_menus[0], IDM_FIRST_STATION + current_station,
                  MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(station_menus[0], group_ordinal(current_station), MF_BYPOSITION | MF_UNCHECKED);
    current_station = row;
    CheckMenuItem(station_menus[0], command_id, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuItem(station_menus[0], group_ordinal(row), MF_BYPOSITION | MF_CHECKED);
    start_connection_worker(station_urls[row]);
}

void play_current_station() {
    if (replay_station_link()) {
        SetFocus(main_window);
        return;
    }
    if (current_station == 0)
        return;
    SetFocus(main_window);
    CheckMenuItem(station_menus[0], IDM_FIRST_STATION + current_station, MF_BYCOMMAND | MF_CHECKED);
    start_connection_worker(station_urls[current_station]);
}
