#include "dark_title_bar.h"

#include <dwmapi.h>

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE, missing from older headers; systems without it refuse it.
const DWORD dark_title_bar_attribute = 20;

} // namespace

void follow_system_dark_mode(HWND window) {
    DWORD light = 1;
    DWORD size = sizeof light;
    RegGetValueW(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                 L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size);
    const BOOL dark = light == 0;
    DwmSetWindowAttribute(window, dark_title_bar_attribute, &dark, sizeof dark);
}
