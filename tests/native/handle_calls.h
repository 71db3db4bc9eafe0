// Every API call that takes a stream or an encoder handle, as a table: each entry makes its
// call with the handle given and tells whether the call refused it (its failure value and
// BASS_ERROR_HANDLE).
#pragma once

#include "brevora_audio.h"

#include <vector>

namespace handle_calls {

struct call {
    const char *name;
    bool (*refuses)(DWORD handle);
};

inline bool handle_error() {
    return BASS_ErrorGetCode() == BASS_ERROR_HANDLE;
}

inline void CALLBACK ignore_sync(HSYNC, DWORD, DWORD, void *) {}
inline void CALLBACK ignore_song(HENCODE, DWORD, DWORD, const char *, void *) {}

inline const std::vector<call> &channel_calls() {
    static const std::vector<call> calls = {
        {"StreamFree", [](DWORD h) { return !BASS_StreamFree(h) && handle_error(); }},
        {"StreamGetFilePosition",
         [](DWORD h) {
             return BASS_StreamGetFilePosition(h, BASS_FILEPOS_BUFFER) == static_cast<QWORD>(-1) &&
                    handle_error();
         }},
        {"ChannelFlags",
         [](DWORD h) {
             return BASS_ChannelFlags(h, BASS_STREAM_AUTOFREE, BASS_STREAM_AUTOFREE) ==
                        static_cast<DWORD>(-1) &&
                    handle_error();
         }},
        {"ChannelGetTags",
         [](DWORD h) { return !BASS_ChannelGetTags(h, BASS_TAG_HTTP) && handle_error(); }},
        {"ChannelGetInfo",
         [](DWORD h) {
             BASS_CHANNELINFO info;
             return !BASS_ChannelGetInfo(h, &info) && handle_error();
         }},
        {"ChannelSetSync",
         [](DWORD h) {
             return !BASS_ChannelSetSync(h, BASS_SYNC_END, 0, ignore_sync, nullptr) &&
                    handle_error();
         }},
        {"ChannelPlay", [](DWORD h) { return !BASS_ChannelPlay(h, FALSE) && handle_error(); }},
        {"Encode_Start",
         [](DWORD h) {
             return !BASS_Encode_Start(h, "lame - out.mp3", 0, nullptr, nullptr) && handle_error();
         }},
        {"Encode_StartSongs",
         [](DWORD h) {
             return !BASS_Encode_StartSongs(h, "lame - out.mp3", 0, ignore_song, nullptr) &&
                    handle_error();
         }},
    };
    return calls;
}

inline const std::vector<call> &encoder_calls() {
    static const std::vector<call> calls = {
        {"Encode_IsActive",
         [](DWORD h) { return BASS_Encode_IsActive(h) == BASS_ACTIVE_STOPPED && handle_error(); }},
        {"Encode_Stop", [](DWORD h) { return !BASS_Encode_Stop(h) && handle_error(); }},
    };
    return calls;
}

} // namespace handle_calls
