#include "history/history_commands.h"

#include "desktop/clipboard_text.h"
#include "history/history_file.h"
#include "history/history_window.h"
#include "playback/resume.h"
#include "playback/station_link.h"
#include "player_ids.h"

namespace {

HWND main_dialog = nullptr;
HHOOK key_filter = nullptr;
HACCEL main_keys = nullptr;
HACCEL history_keys = nullptr;

bool belongs_to(HWND window, HWND target) {
    return window && (target == window || IsChild(window, target));
}

// A modal dialog's loop (the main window's) hands each message to this filter before its own
// keyboard handling, which knows only the main window: here the History window gets its Tab,
// arrows and Escape, and both windows their Ctrl keys.
LRESULT CALLBACK filter_keys(int code, WPARAM wparam, LPARAM lparam) {
    // IsDialogMessageW calls the filter again for the same message.
    static bool filtering = false;
    MSG *message = reinterpret_cast<MSG *>(lparam);
    if (code == MSGF_DIALOGBOX && !filtering) {
        filtering = true;
        bool handled = false;
        const HWND history = history_window();
        if (belongs_to(history, message->hwnd))
            handled = TranslateAcceleratorW(history, history_keys, message) ||
                      IsDialogMessageW(history, message);
        else if (belongs_to(main_dialog, message->hwnd))
            handled = TranslateAcceleratorW(main_dialog, main_keys, message);
        filtering = false;
        if (handled)
            return 1;
    }
    return CallNextHookEx(key_filter, code, wparam, lparam);
}

void check_resume_item(HMENU system_menu) {
    CheckMenuItem(system_menu, IDM_SYSTEM_RESUME,
                  MF_BYCOMMAND | (resume_enabled() ? MF_CHECKED : MF_UNCHECKED));
}

} // namespace

void add_history_items_to_system_menu(HMENU system_menu) {
    AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system_menu, MF_STRING, IDM_SYSTEM_HISTORY, L"&History...\tCtrl+H");
    AppendMenuW(system_menu, MF_STRING, IDM_SYSTEM_RESUME, L"Play &last station at start");
    check_resume_item(system_menu);
}

void install_history_keys(HWND main) {
    main_dialog = main;
    ACCEL main_table[] = {{FVIRTKEY | FCONTROL, 'C', IDM_COPY_TITLE},
                          {FVIRTKEY | FCONTROL, 'H', IDM_HISTORY}};
    ACCEL history_table[] = {{FVIRTKEY | FCONTROL, 'C', IDC_HISTORY_COPY}};
    main_keys = CreateAcceleratorTableW(main_table, 2);
    history_keys = CreateAcceleratorTableW(history_table, 1);
    key_filter = SetWindowsHookExW(WH_MSGFILTER, filter_keys, nullptr, GetCurrentThreadId());
}

void remove_history_keys() {
    if (key_filter)
        UnhookWindowsHookEx(key_filter);
    DestroyAcceleratorTable(main_keys);
    DestroyAcceleratorTable(history_keys);
    key_filter = nullptr;
    main_keys = history_keys = nullptr;
    main_dialog = nullptr;
}

bool handle_history_system_command(HWND main, WPARAM command) {
    switch (command & 0xFFF0) {
    case IDM_SYSTEM_HISTORY:
        open_history_window(main);
        return true;
    case IDM_SYSTEM_RESUME:
        set_resume_enabled(!resume_enabled());
        check_resume_item(GetSystemMenu(main, FALSE));
        return true;
    default:
        return false;
    }
}

void copy_song_title(HWND main) {
    copy_text_to_clipboard(main, control_text(main, IDC_TITLE_LINE));
}

void history_title_changed(HWND main) {
    history_song_heard(playing_station_name(), control_text(main, IDC_TITLE_LINE));
}
