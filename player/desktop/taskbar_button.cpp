#include "taskbar_button.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "player_ids.h"

#include <shobjidl.h>

#include <cwchar>

namespace {

UINT button_created_message; // registered on first use
ITaskbarList3 *taskbar;      // owned; null until the button exists
HICON play_icon, stop_icon, record_icon;

enum class glyph { play, stop, record };

// Thumbnail icons drawn here: the program carries no icon images for them.
HICON draw_icon(glyph shape) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HGDIOBJ previous = SelectObject(canvas, mask);
    PatBlt(canvas, 0, 0, size, size, WHITENESS); // white: transparent
    SelectObject(canvas, GetStockObject(BLACK_BRUSH));
    SelectObject(canvas, GetStockObject(NULL_PEN));
    const int low = size / 5, high = size - size / 5;
    if (shape == glyph::play) {
        POINT corners[3] = {{low, low}, {high, size / 2}, {low, high}};
        Polygon(canvas, corners, 3);
    } else if (shape == glyph::stop) {
        Rectangle(canvas, low, low, high, high);
    } else {
        Ellipse(canvas, low, low, high, high);
    }
    SelectObject(canvas, colour);
    RECT all = {0, 0, size, size};
    HBRUSH paint = CreateSolidBrush(shape == glyph::record ? RGB(200, 30, 30) : RGB(240, 240, 240));
    FillRect(canvas, &all, paint);
    DeleteObject(paint);
    SelectObject(canvas, previous);
    ICONINFO parts = {TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&parts);
    DeleteObject(mask);
    DeleteObject(colour);
    DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
    return icon;
}

void describe_buttons(THUMBBUTTON buttons[2]) {
    const bool running = station_running();
    const bool recording = IsDlgButtonChecked(main_window, IDC_RECORD) == BST_CHECKED;
    for (int i = 0; i < 2; ++i) {
        buttons[i] = THUMBBUTTON{};
        buttons[i].dwMask = THB_ICON | THB_TOOLTIP | THB_FLAGS;
        buttons[i].dwFlags = THBF_ENABLED;
    }
    buttons[0].iId = IDC_THUMB_PLAY_STOP;
    buttons[0].hIcon = running ? stop_icon : play_icon;
    const size_t tip_size = sizeof buttons[0].szTip / sizeof(wchar_t);
    std::swprintf(buttons[0].szTip, tip_size, L"%ls", running ? L"Stop" : L"Play");
    buttons[1].iId = IDC_THUMB_RECORD;
    buttons[1].hIcon = record_icon;
    std::swprintf(buttons[1].szTip, tip_size, L"%ls", recording ? L"Stop recording" : L"Record");
}

// Also when the taskbar restarted (Explorer ended and came back): the buttons it had are
// gone with it, so they are added anew.
void create_taskbar_button() {
    release_taskbar_button();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void **>(&taskbar))))
        return;
    if (FAILED(taskbar->HrInit())) {
        release_taskbar_button();
        return;
    }
    play_icon = draw_icon(glyph::play);
    stop_icon = draw_icon(glyph::stop);
    record_icon = draw_icon(glyph::record);
    THUMBBUTTON buttons[2];
    describe_buttons(buttons);
    taskbar->ThumbBarAddButtons(main_window, 2, buttons);
}

} // namespace

bool handle_taskbar_message(UINT message) {
    if (!button_created_message)
        button_created_message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (message == 0 || message != button_created_message)
        return false;
    create_taskbar_button();
    return true;
}

void update_taskbar_buttons() {
    if (!taskbar)
        return;
    THUMBBUTTON buttons[2];
    describe_buttons(buttons);
    taskbar->ThumbBarUpdateButtons(main_window, 2, buttons);
    show_buffering_progress();
}

void show_buffering_progress() {
    if (!taskbar)
        return;
    const int percent = buffering_percent();
    if (percent < 0) {
        taskbar->SetProgressState(main_window, TBPF_NOPROGRESS);
        return;
    }
    taskbar->SetProgressState(main_window, TBPF_NORMAL);
    taskbar->SetProgressValue(main_window, static_cast<ULONGLONG>(percent), 100);
}

void release_taskbar_button() {
    if (taskbar)
        taskbar->Release();
    taskbar = nullptr;
    for (HICON *icon : {&play_icon, &stop_icon, &record_icon}) {
        if (*icon)
            DestroyIcon(*icon);
        *icon = nullptr;
    }
}
