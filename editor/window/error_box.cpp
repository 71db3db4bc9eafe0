#include "error_box.h"

void show_error_box(HWND window, const char *text, UINT icon) {
    MessageBoxA(window, text, "Error", MB_OK | icon);
}
