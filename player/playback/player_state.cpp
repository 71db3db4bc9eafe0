#include "player_state.h"

#include "player_ids.h"
#include "window_messages.h"

HWND main_window;
char **station_urls;
int station_total;
HMENU *station_menus;
int menu_count;
int current_station;

std::atomic<int> request_serial;
std::atomic<HSTREAM> current_stream;
std::atomic<bool> stream_is_wma;
CRITICAL_SECTION stream_lock;

namespace {

void tell_title_change(int control_id) {
    if (control_id == IDC_TITLE_LINE)
        PostMessageW(main_window, WM_NOW_PLAYING_CHANGED, 0, 0);
}

} // namespace

void set_line_text(int control_id, const char *text) {
    SendDlgItemMessageA(main_window, control_id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    tell_title_change(control_id);
}

void set_line_wide(int control_id, const wchar_t *text) {
    SendDlgItemMessageW(main_window, control_id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    tell_title_change(control_id);
}
