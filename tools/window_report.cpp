// Prints a window's place and the texts of its controls, for the run command on a machine
// without a display:
//     window-report.exe TITLE                 waits up to 60 s for the window, then reports
//     window-report.exe TITLE --choose ID     first sends command ID (a station choice) and
//                                             waits until control 1002 has settled
//     window-report.exe TITLE --close         reports, then closes the window
// Output is UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string utf8_of(const wchar_t *text) {
    char buffer[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

BOOL CALLBACK print_control(HWND control, LPARAM) {
    wchar_t class_name[64] = L"";
    wchar_t text[512] = L"";
    GetClassNameW(control, class_name, 64);
    // Another process's edit controls answer only WM_GETTEXT, not GetWindowText.
    SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    std::printf("  %5d  %-18s \"%s\"\n", GetDlgCtrlID(control), utf8_of(class_name).c_str(),
                utf8_of(text).c_str());
    return TRUE;
}

std::string control_text(HWND window, int control_id) {
    wchar_t text[512] = L"";
    SendDlgItemMessageW(window, control_id, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return utf8_of(text);
}

// Waits until the station line no longer shows connection progress (at most 30 s).
void wait_until_settled(HWND window) {
    const int station_line = 1002;
    for (int waited = 0; waited < 30000; waited += 200) {
        Sleep(200);
        std::string text = control_text(window, station_line);
        if (!text.empty() && text.rfind("connecting", 0) != 0 && text.rfind("buffering", 0) != 0)
            break;
    }
    Sleep(1500); // the first title and bitrate follow right after buffering ends
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window-report TITLE [--close]\n");
        return 2;
    }
    HWND window = nullptr;
    for (int waited = 0; waited < 60000 && !window; waited += 100) {
        window = FindWindowA(nullptr, argv[1]);
        if (!window || !IsWindowVisible(window)) {
            window = nullptr;
            Sleep(100);
        }
    }
    if (!window) {
        std::fprintf(stderr, "window-report: no window titled \"%s\"\n", argv[1]);
        return 1;
    }
    if (argc > 3 && std::strcmp(argv[2], "--choose") == 0) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(std::atoi(argv[3]), 0), 0);
        wait_until_settled(window);
    }
    Sleep(500); // let the window finish painting before anyone takes its picture
    RECT place;
    GetWindowRect(window, &place);
    std::printf("window \"%s\" at %ld,%ld size %ldx%ld\n", argv[1], place.left, place.top,
                place.right - place.left, place.bottom - place.top);
    EnumChildWindows(window, print_control, 0);
    std::fflush(stdout);
    if (argc > 2 && std::strcmp(argv[2], "--close") == 0)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}
