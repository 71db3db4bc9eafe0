#include "desktop/notification_icon.h"

#include <algorithm>

namespace {

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Marks that belong to the character before them: a cut before one would strip its accent.
bool is_combining(char16_t unit) {
    return (unit >= 0x0300 && unit <= 0x036F) || (unit >= 0x1AB0 && unit <= 0x1AFF) ||
           (unit >= 0x1DC0 && unit <= 0x1DFF) || (unit >= 0x20D0 && unit <= 0x20FF) ||
           (unit >= 0xFE00 && unit <= 0xFE0F) || (unit >= 0xFE20 && unit <= 0xFE2F) ||
           unit == 0x200D;
}

const std::u16string program_name = u"Brevora";

} // namespace

std::u16string fit_to_characters(const std::u16string &text, size_t max_units) {
    if (text.size() <= max_units)
        return text;
    if (max_units == 0)
        return {};
    size_t cut = max_units - 1; // room for the ellipsis
    while (cut > 0 && (is_low_surrogate(text[cut]) || is_combining(text[cut])))
        --cut;
    return text.substr(0, cut) + u"\u2026";
}

std::u16string notification_tip(bool playing, const std::u16string &title,
                                const std::u16string &station, int sleep_minutes_left) {
    std::u16string sleep_line;
    if (sleep_minutes_left > 0) {
        const std::string minutes = std::to_string(sleep_minutes_left);
        sleep_line = u"Sleep in " + std::u16string(minutes.begin(), minutes.end()) + u" min";
    }
    size_t room = tip_units_max - (sleep_line.empty() ? 0 : sleep_line.size() + 1);
    std::u16string tip;
    if (!playing || (title.empty() && station.empty())) {
        tip = program_name;
    } else if (title.empty() || station.empty()) {
        tip = fit_to_characters(title.empty() ? station : title, room);
    } else {
        --room; // the line break
        const std::u16string station_line =
            fit_to_characters(station, std::max(room / 2, room - std::min(room, title.size())));
        tip = fit_to_characters(title, room - station_line.size()) + u"\n" + station_line;
    }
    return sleep_line.empty() ? tip : tip + u"\n" + sleep_line;
}

bool song_notice_rule::should_notify(int station_row, const std::u16string &title, bool enabled,
                                     bool window_in_front) {
    // Connecting empties the title line; that is no new song.
    if (title.empty())
        return false;
    if (station_row == last_row_ && title == last_title_)
        return false;
    last_row_ = station_row;
    last_title_ = title;
    return enabled && !window_in_front;
}

#ifdef _WIN32

#include "desktop/clipboard_text.h"
#include "desktop/tray_menu.h"
#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/sleep_timer.h"
#include "playback/window_messages.h"
#include "player_ids.h"
#include "settings/player_settings.h"

namespace {

// All on the window's thread.
notify_icon_call shell_call = Shell_NotifyIconW;
UINT taskbar_created; // registered on first use
bool shown;
std::u16string shown_tip;
song_notice_rule song_rule;

const UINT icon_id = 1;

NOTIFYICONDATAW icon_data(UINT flags) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = main_window;
    data.uID = icon_id;
    data.uFlags = flags;
    return data;
}

// Copies a text that was fitted to the buffer (size: room, terminator included).
void copy_text(wchar_t *buffer, size_t room, const std::u16string &text) {
    const size_t length = std::min(text.size(), room - 1);
    text.copy(reinterpret_cast<char16_t *>(buffer), length);
    buffer[length] = L'\0';
}

bool add_icon() {
    NOTIFYICONDATAW data = icon_data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = WM_NOTIFICATION_ICON;
    // Shared: the system owns it and frees it with the program.
    data.hIcon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PLAYER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    copy_text(data.szTip, ARRAYSIZE(data.szTip), shown_tip);
    shown = shell_call(NIM_ADD, &data);
    return shown;
}

std::u16string line_text(int control_id) {
    const std::wstring text = control_text(main_window, control_id);
    return std::u16string(reinterpret_cast<const char16_t *>(text.c_str()), text.size());
}

bool window_in_front() {
    return GetForegroundWindow() == main_window && IsWindowVisible(main_window) &&
           !IsIconic(main_window);
}

} // namespace

void set_notify_icon_call(notify_icon_call call) {
    shell_call = call ? call : Shell_NotifyIconW;
}

bool add_notification_icon(HWND) {
    song_rule.forget();
    shown_tip = program_name;
    return add_icon();
}

bool notification_icon_shown() {
    return shown;
}

bool handle_taskbar_created(UINT message) {
    if (!taskbar_created)
        taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    if (message != taskbar_created || !main_window)
        return false;
    add_icon();
    return true;
}

void refresh_notification_tip() {
    const std::u16string tip =
        notification_tip(station_running(), line_text(IDC_TITLE_LINE), line_text(IDC_STATION_LINE),
                         sleep_timer_minutes_left());
    if (tip == shown_tip)
        return;
    shown_tip = tip;
    if (!shown)
        return;
    NOTIFYICONDATAW data = icon_data(NIF_TIP);
    copy_text(data.szTip, ARRAYSIZE(data.szTip), shown_tip);
    shell_call(NIM_MODIFY, &data);
}

namespace {

void show_song_balloon(const std::u16string &title) {
    const std::u16string station = line_text(IDC_STATION_LINE);
    NOTIFYICONDATAW data = icon_data(NIF_INFO);
    copy_text(data.szInfo, ARRAYSIZE(data.szInfo),
              fit_to_characters(title, balloon_text_units_max));
    copy_text(data.szInfoTitle, ARRAYSIZE(data.szInfoTitle),
              fit_to_characters(station.empty() ? program_name : station, balloon_title_units_max));
    data.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND; // a song a minute would be a beep a minute
    shell_call(NIM_MODIFY, &data);
}

} // namespace

void notify_song_changed() {
    const std::u16string title = line_text(IDC_TITLE_LINE);
    if (song_rule.should_notify(current_station, title, current_player_settings().notify_songs,
                                window_in_front()) &&
        shown)
        show_song_balloon(title);
    refresh_notification_tip();
}

void handle_notification_icon_message(LPARAM mouse_message) {
    // A double click ends with a second button-up: it would hide what the click showed.
    static bool double_click_pending = false;
    switch (mouse_message) {
    case WM_LBUTTONDBLCLK:
        double_click_pending = true;
        show_main_window();
        break;
    case WM_LBUTTONUP:
        if (double_click_pending)
            double_click_pending = false;
        else if (window_in_front())
            ShowWindow(main_window, SW_HIDE);
        else
            show_main_window();
        break;
    case WM_RBUTTONUP:
        show_tray_menu();
        break;
    default:
        break;
    }
}

void show_main_window() {
    ShowWindow(main_window, IsIconic(main_window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(main_window);
}

void remove_notification_icon() {
    if (shown) {
        NOTIFYICONDATAW data = icon_data(0);
        shell_call(NIM_DELETE, &data);
    }
    shown = false;
}

#endif
