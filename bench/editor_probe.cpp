// The editor's benchmark client, run under Wine by bench/player.py: the editor's window in
// this process times the load and the Save of a 2048-row stations.ini (beside this program,
// as for the editor) and the import of a 10,000-entry M3U playlist into an empty list, and
// prints them as one line of JSON.
#include "list/editor_commands.h"
#include "editor_dialog.h"
#include "editor_ids.h"
#include "import/m3u_import.h"
#include "station_file.h"
#include "list/station_list.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

void write_file(const char *path, const std::string &content) {
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path);
        std::exit(1);
    }
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

HWND open_editor() {
    station_head = nullptr;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EDITOR),
                                     nullptr, editor_dialog, 0);
    ShowWindow(dialog, SW_SHOW);
    return dialog;
}

void close_editor(HWND dialog) {
    DestroyWindow(dialog);
    free_station_list();
    station_listbox = nullptr;
}

int measure_editor() {
    locate_station_file();
    const int rows = 2048, playlist_entries = 10000;
    std::string list = "[config]\r\nuse_proxy=off\r\nproxy=null\r\nlame_options=-b 128\r\n"
                       "[stations]\r\nstation_count=" +
                       std::to_string(rows) + "\r\n";
    for (int row = 1; row <= rows; ++row) {
        const bool group = row % 32 == 1;
        list += "station_name_" + std::to_string(row) + "=" +
                (group ? "Group " : "Station number ") + std::to_string(row) + "\r\n" +
                "station_url_" + std::to_string(row) + "=" +
                (group ? std::string("null")
                       : "https://stream.example.org:8443/mount-" + std::to_string(row) + ".mp3") +
                "\r\n";
    }
    write_file(ini_path, list);

    auto started = clock_type::now();
    HWND dialog = open_editor();
    const double load_ms = ms_since(started);
    const int loaded = static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
    started = clock_type::now();
    save_stations(dialog);
    const double save_ms = ms_since(started);
    close_editor(dialog);

    std::string playlist_path = std::string(ini_path) + ".m3u";
    std::string playlist = "#EXTM3U\r\n";
    for (int entry = 1; entry <= playlist_entries; ++entry)
        playlist += "#EXTINF:-1,Imported station " + std::to_string(entry) +
                    "\r\nhttp://radio.example.org/stream/" + std::to_string(entry) + "\r\n";
    write_file(playlist_path.c_str(), playlist);
    DeleteFileA(ini_path);
    dialog = open_editor();
    started = clock_type::now();
    import_m3u(playlist_path.c_str());
    const double import_ms = ms_since(started);
    const int imported = static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
    close_editor(dialog);
    DeleteFileA(playlist_path.c_str());
    DeleteFileA(ini_path);

    std::printf("{\"rows\": %d, \"loaded\": %d, \"load_ms\": %.1f, \"save_ms\": %.1f, "
                "\"playlist_entries\": %d, \"imported\": %d, \"import_ms\": %.1f}\n",
                rows, loaded, load_ms, save_ms, playlist_entries, imported, import_ms);
    return loaded == rows && imported == playlist_entries ? 0 : 1;
}

} // namespace

int main() {
    return measure_editor();
}
