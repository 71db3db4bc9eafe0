#include "player_main.h"

#include "desktop/single_instance.h"
#include "history/history_file.h"
#include "main_dialog.h"
#include "playback/connection.h"
#include "playback/connection_workers.h"
#include "playback/playback_setup.h"
#include "playback/player_state.h"
#include "playback/station_link.h"
#include "player_ids.h"
#include "recording/recording.h"
#include "settings/player_settings.h"
#include "settings/startup_settings.h"
#include "station_file.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>

namespace {

// The state a fresh process starts with; a second run in one process (tests) starts alike.
void reset_player_state() {
    main_window = nullptr;
    station_total = 0;
    menu_count = 1;
    current_station = 0;
    request_serial.store(0);
    current_stream.store(0);
    stream_is_wma.store(false);
    encoder_handle = 0;
    recording_started = false;
    proxy_setting[0] = '\0';
    encoder_options[0] = '\0';
    reset_workers();
    reset_station_running();
}

void free_tables() {
    for (int row = 0; row < station_total; ++row)
        std::free(station_urls[row]);
    std::free(station_urls);
    std::free(record_target);
    for (int slot = 0; slot < menu_count; ++slot)
        if (station_menus[slot])
            DestroyMenu(station_menus[slot]);
    std::free(station_menus);
    station_urls = nullptr;
    record_target = nullptr;
    station_menus = nullptr;
}

} // namespace

int player_main(const wchar_t *start_argument) {
    const std::wstring link = start_argument ? start_argument : L"";
    if (!claim_single_player(link))
        return 0;
    reset_player_state();
    reset_station_links(link);
    load_current_player_settings();
    load_song_history();
    station_urls = static_cast<char **>(std::calloc(station_table_size, sizeof(char *)));
    record_target = static_cast<wchar_t *>(std::calloc(record_target_size, sizeof(wchar_t)));
    station_menus = static_cast<HMENU *>(std::calloc(menu_table_size, sizeof(HMENU)));
    if (!station_urls || !record_target || !station_menus) {
        free_tables();
        release_single_player();
        return 0;
    }
    locate_station_file();

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    if (HIWORD(BASS_GetVersion()) != 0x0204) {
        MessageBoxW(nullptr, L"An incorrect version of BASS.DLL was loaded", nullptr,
                    MB_OK | MB_ICONERROR);
        free_tables();
        release_single_player();
        return 0;
    }
    // The taskbar, the system's media controls and the screen-reader annotations are COM
    // objects of the window's thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PLAYER), nullptr, player_dialog,
                    0);
    // The window has gone; its recordings' files are completed before the library goes.
    finish_recordings();
    end_playback();
    if (SUCCEEDED(com))
        CoUninitialize();
    free_tables();
    release_single_player();
    return 0;
}
