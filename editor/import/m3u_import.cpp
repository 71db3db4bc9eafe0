#include "m3u_import.h"

#include "list/station_list.h"
#include "m3u_playlist.h"
#include "window/error_box.h"

#include <commdlg.h>

#include <cstdio>

char import_path[path_buffer_size];

namespace {

const char not_extended_message[] = "Not an extended m3u file!";
const char playlist_filter[] = "Playlist (*.m3u)\0*.m3u\0";
const char import_title[] = "Import m3u playlist";

} // namespace

void import_playlist(HWND dialog) {
    OPENFILENAMEA dialog_settings = {};
    // The structure without the fields that later Windows versions added: 76 bytes in a
    // 32-bit build, its 64-bit equivalent here.
    dialog_settings.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog_settings.hwndOwner = dialog;
    dialog_settings.lpstrFilter = playlist_filter;
    dialog_settings.lpstrFile = import_path;
    dialog_settings.nMaxFile = sizeof import_path;
    dialog_settings.lpstrTitle = import_title;
    dialog_settings.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog_settings))
        return;
    if (is_extended_m3u(import_path))
        import_m3u(import_path);
    else
        show_error_box(dialog, not_extended_message, MB_ICONWARNING);
}

int import_m3u(const char *path) {
    int anchor = selected_row();
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return -1;
    // New rows go directly after the anchor node, so they end up in reverse file order;
    // without an anchor each one follows the one appended before it.
    station_node *anchor_node = node_at(anchor);
    station_node *last = anchor_node ? nullptr : last_node();
    playlist_entry_state entry = {};
    char line[playlist_line_size];
    char url[playlist_line_size];
    while (read_playlist_line(file, line)) {
        if (!take_playlist_line(&entry, line, url, sizeof url))
            continue;
        station_node *node = make_node(entry.title, url);
        if (!node)
            continue;
        if (anchor_node) {
            insert_after(anchor_node, node);
        } else {
            append_after_last(last, node);
            last = node;
        }
    }
    std::fclose(file);
    refresh_and_select(anchor + 1);
    return 0;
}
