#include "playback/resume.h"

#include "connection.h"
#include "player_state.h"
#include "station_link.h"
#include "station_menu.h"

#include "player_ids.h"
#include "settings/player_settings.h"
#include "settings/whole_file.h"
#include "station_file.h"

#include <commctrl.h>

#include <string>

namespace {

// The name a row shows in the Stations menu, as UTF-8.
std::string station_name(int row) {
    wchar_t name[setting_buffer_size] = L"";
    GetMenuStringW(station_menus[0], IDM_FIRST_STATION + row, name, setting_buffer_size,
                   MF_BYCOMMAND);
    return utf8_from_wide(name);
}

// The row of the remembered station: the same name and address; else the same address (the
// station renamed), else the same name (its address mended); -1 when the list lost it.
int remembered_row() {
    const player_settings &settings = current_player_settings();
    int best_row = -1;
    int best_score = 0;
    for (int row = 0; row < station_total; ++row) {
        if (is_group_url(station_urls[row]))
            continue;
        const int score = (settings.last_station_url == station_urls[row] ? 2 : 0) +
                          (settings.last_station_name == station_name(row) ? 1 : 0);
        if (score > best_score)
            best_row = row, best_score = score;
    }
    return best_row;
}

int slider_position() {
    return static_cast<int>(SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0));
}

} // namespace

bool resume_enabled() {
    return current_player_settings().resume;
}

void set_resume_enabled(bool on) {
    player_settings &settings = current_player_settings();
    settings.resume = on;
    if (on) {
        settings.volume = slider_position();
        // A link is not remembered: the list may not have it at the next start.
        if (station_running() && !station_link_chosen() && current_station < station_total) {
            settings.last_station_name = station_name(current_station);
            settings.last_station_url = station_urls[current_station];
        }
    }
    save_current_player_settings();
}

void remember_chosen_station(int row) {
    player_settings &settings = current_player_settings();
    if (!settings.resume || row < 0 || row >= station_total)
        return;
    settings.last_station_name = station_name(row);
    settings.last_station_url = station_urls[row];
    settings.volume = slider_position();
    save_current_player_settings();
}

void remember_volume(bool settled) {
    player_settings &settings = current_player_settings();
    if (!settings.resume)
        return;
    settings.volume = slider_position();
    if (settled)
        save_current_player_settings();
}

bool resume_last_station() {
    if (!resume_enabled())
        return false;
    const int row = remembered_row();
    if (row < 0)
        return false;
    // Through the slider's own message, as if the user had moved it.
    const HWND slider = GetDlgItem(main_window, IDC_VOLUME_SLIDER);
    SendMessageW(slider, TBM_SETPOS, TRUE, current_player_settings().volume);
    SendMessageW(main_window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                 reinterpret_cast<LPARAM>(slider));
    choose_station(IDM_FIRST_STATION + row);
    return true;
}
