// The editor's benchmark client, run under Wine by bench/player.py and bench/station_list.py:
// the editor's window in this process times the load and the Save of a stations.ini
// (beside this program, as for the editor) and the import of a 10,000-entry M3U playlist
// into an empty list, and prints them as one line of JSON.
//   editor_probe           a 2048-row list, and the import
//   editor_probe ROWS      a list of ROWS rows, without the import
#include "list/editor_commands.h"
#include "editor_dialog.h"
#include "editor_ids.h"
#include "import/m3u_import.h"
#include "station_file.h"
#include "station_list_file.h"
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

struct load_and_save {
    int loaded = 0;
    double load_ms = 0, save_ms = 0;
    bool saved = false;
};

load_and_save measure_list(int rows) {
    write_file(ini_path, station_list_file(rows));
    load_and_save measured;
    auto started = clock_type::now();
    HWND dialog = open_editor();
    measured.load_ms = ms_since(started);
    measured.loaded = static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
    started = clock_type::now();
    save_stations(dialog);
    measured.save_ms = ms_since(started);
    measured.saved =
        GetPrivateProfileIntA("stations", "station_count", 0, ini_path) == static_cast<UINT>(rows);
    close_editor(dialog);
    DeleteFileA(ini_path);
    return measured;
}

double measure_import(int entries) {
    std::string playlist_path = std::string(ini_path) + ".m3u";
    std::string playlist = "#EXTM3U\r\n";
    for (int entry = 1; entry <= entries; ++entry)
        playlist += "#EXTINF:-1,Imported station " + std::to_string(entry) +
                    "\r\nhttp://radio.example.org/stream/" + std::to_string(entry) + "\r\n";
    write_file(playlist_path.c_str(), playlist);
    DeleteFileA(ini_path);
    HWND dialog = open_editor();
    auto started = clock_type::now();
    import_m3u(playlist_path.c_str());
    const double import_ms = ms_since(started);
    const int imported = static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
    close_editor(dialog);
    DeleteFileA(playlist_path.c_str());
    return imported == entries ? import_ms : -1;
}

} // namespace

int main(int argc, char **argv) {
    locate_station_file();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 2048;
    const load_and_save list = measure_list(rows);
    std::printf("{\"rows\": %d, \"loaded\": %d, \"load_ms\": %.1f, \"save_ms\": %.1f", rows,
                list.loaded, list.load_ms, list.save_ms);
    bool complete = list.loaded == rows && list.saved;
    if (argc == 1) {
        const int playlist_entries = 10000;
        const double import_ms = measure_import(playlist_entries);
        std::printf(", \"playlist_entries\": %d, \"imported\": %d, \"import_ms\": %.1f",
                    playlist_entries, import_ms < 0 ? 0 : playlist_entries, import_ms);
        complete = complete && import_ms >= 0;
    }
    std::printf("}\n");
    return complete ? 0 : 1;
}
