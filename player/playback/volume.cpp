#include "volume.h"

#include "player_ids.h"
#include "player_state.h"

#include <commctrl.h>

void set_up_volume_slider(HWND window) {
    SendDlgItemMessageW(window, IDC_VOLUME_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageW(window, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, 50);
}

void follow_volume_slider(HWND scrolled_control) {
    if (scrolled_control != GetDlgItem(main_window, IDC_VOLUME_SLIDER))
        return;
    const int position = static_cast<int>(SendMessageW(scrolled_control, TBM_GETPOS, 0, 0));
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, volume_for_slider(position));
}

DWORD slider_volume() {
    return volume_for_slider(
        static_cast<int>(SendDlgItemMessageW(main_window, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0)));
}

DWORD volume_for_slider(int position) {
    return static_cast<DWORD>(position / 100.0 * 10000);
}
