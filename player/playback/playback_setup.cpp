#include "playback_setup.h"

#include "connection_workers.h"
#include "player_state.h"

void start_playback(HWND window, const startup_settings &settings) {
    BASS_Init(-1, 44100, 0, window, nullptr);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000);
    BASS_PluginLoad("bass_aac.dll", 0);
    BASS_PluginLoad("bassflac.dll", 0);
    BASS_PluginLoad("basswma.dll", 0);
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 10000);
    if (settings.use_proxy)
        BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, proxy_setting);
    BASS_SetConfig(BASS_CONFIG_NET_HISTORY, static_cast<DWORD>(settings.history_minutes) * 60);
    InitializeCriticalSection(&stream_lock);
}

void end_playback() {
    BASS_Free();
    finish_workers();
    DeleteCriticalSection(&stream_lock);
}
