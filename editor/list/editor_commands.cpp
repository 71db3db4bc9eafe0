#include "editor_commands.h"

#include "editor_ids.h"
#include "station_file.h"
#include "station_list.h"
#include "station_save.h"
#include "window/error_box.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char name_empty_message[] = "Station name is empty!";
const char url_empty_message[] = "Station url is empty!";
const char no_selection_message[] = "Please select a station!";
const char save_failed_message[] =
    "Could not save stations.ini! The file was left as it was; the list is still here.";
const char temporary_suffix[] = ".tmp";
// Room for a row key: the longest prefix and a 32-bit number.
constexpr size_t row_key_size = 32;

// Reads the name and URL fields (200-byte buffers); shows why when one is empty.
bool read_fields(HWND dialog, char *name, char *url) {
    GetDlgItemTextA(dialog, IDC_STATION_NAME, name, setting_buffer_size);
    if (name[0] == '\0') {
        show_error_box(dialog, name_empty_message, MB_ICONERROR);
        return false;
    }
    GetDlgItemTextA(dialog, IDC_STATION_URL, url, setting_buffer_size);
    if (url[0] == '\0') {
        show_error_box(dialog, url_empty_message, MB_ICONERROR);
        return false;
    }
    return true;
}

// The node of row selected; nullptr, after telling the user, when no row is selected.
station_node *selected_node_or_warning(HWND dialog, int selected) {
    station_node *node = node_at(selected);
    if (!node)
        show_error_box(dialog, no_selection_message, MB_ICONWARNING);
    return node;
}

} // namespace

void load_station_list(HWND dialog) {
    station_listbox = GetDlgItem(dialog, IDC_STATION_LIST);
    std::shared_ptr<const station_file_contents> file = current_station_file();
    int count = file->number(stations_section, station_count_key, 0);
    if (count > station_load_limit)
        count = station_load_limit;
    station_node *last = last_node();
    char key[row_key_size];
    char text[row_text_limit + 1];
    for (int row = 1; row <= count; row++) {
        row_key(key, sizeof key, station_name_prefix, row);
        std::string name =
            file->text(stations_section, key, unset_setting_value, setting_buffer_size);
        row_key(key, sizeof key, station_url_prefix, row);
        std::string url = file->text(stations_section, key, group_marker, setting_buffer_size);
        station_node *node = make_node(name.c_str(), url.c_str());
        if (!node)
            break;
        append_after_last(last, node);
        last = node;
        row_text(node, text, sizeof text);
        SendMessageA(station_listbox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void show_selected_row(HWND dialog) {
    station_node *node = node_at(selected_row());
    if (!node)
        return;
    SetDlgItemTextA(dialog, IDC_STATION_NAME, node->name);
    SetDlgItemTextA(dialog, IDC_STATION_URL, node->url);
}

void add_station(HWND dialog) {
    int selected = selected_row();
    char name[setting_buffer_size];
    char url[setting_buffer_size];
    if (!read_fields(dialog, name, url))
        return;
    station_node *node = make_node(name, url);
    if (!node)
        return;
    station_node *anchor = node_at(selected);
    if (anchor) {
        insert_after(anchor, node);
        refresh_and_select(selected + 1);
        return;
    }
    int previous_count = row_count();
    append_after_last(last_node(), node);
    refresh_list();
    select_row(previous_count, -1);
}

void update_station(HWND dialog) {
    int selected = selected_row();
    station_node *node = selected_node_or_warning(dialog, selected);
    if (!node)
        return;
    char name[setting_buffer_size];
    char url[setting_buffer_size];
    if (!read_fields(dialog, name, url))
        return;
    if (set_node_texts(node, name, url))
        refresh_and_select(selected);
}

void delete_station(HWND dialog) {
    int selected = selected_row();
    station_node *node = selected_node_or_warning(dialog, selected);
    if (!node)
        return;
    unlink_node(node);
    free_node(node);
    refresh_and_select(selected);
}

void move_station_up() {
    int selected = selected_row();
    station_node *node = node_at(selected);
    if (row_count() <= 1 || selected <= 0 || !node || !node->prev)
        return;
    swap_with_next(node->prev);
    refresh_and_select(selected - 1);
}

void move_station_down() {
    int selected = selected_row();
    station_node *node = node_at(selected);
    if (row_count() <= 1 || !node || !node->next)
        return;
    swap_with_next(node);
    refresh_and_select(selected + 1);
}

bool save_stations(HWND dialog) {
    int count = row_count();
    if (count == 0) {
        EndDialog(dialog, 0);
        return true;
    }
    char temporary[ini_path_size + sizeof temporary_suffix];
    std::snprintf(temporary, sizeof temporary, "%s%s", ini_path, temporary_suffix);
    // The old file's settings as they are now, read just before it is replaced.
    bool saved = write_whole_file(temporary, station_file_text(read_station_file(ini_path),
                                                               station_head, count)) &&
                 MoveFileExA(temporary, ini_path,
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!saved) {
        DeleteFileA(temporary);
        show_error_box(dialog, save_failed_message, MB_ICONERROR);
        return false;
    }
    EndDialog(dialog, 0);
    return true;
}
