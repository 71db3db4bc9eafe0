// Stream, channel and encoder calls. No stream can be created yet, so every handle a caller
// can hold is unknown to the library: each call reports BASS_ERROR_HANDLE and does nothing.
#include "brevora_audio.h"
#include "core/error.h"
#include "core/library.h"

using namespace audio;

HSTREAM BASS_StreamCreateURL(const char *url, DWORD, DWORD, DOWNLOADPROC *, void *) {
    if (!library_initialised())
        return fail(BASS_ERROR_INIT, HSTREAM{0});
    if (!url || !*url)
        return fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    return fail(BASS_ERROR_NOTAVAIL, HSTREAM{0});
}

BOOL BASS_StreamFree(HSTREAM) { return fail(BASS_ERROR_HANDLE, FALSE); }

QWORD BASS_StreamGetFilePosition(HSTREAM, DWORD) {
    return fail(BASS_ERROR_HANDLE, static_cast<QWORD>(-1));
}

DWORD BASS_ChannelFlags(DWORD, DWORD, DWORD) {
    return fail(BASS_ERROR_HANDLE, static_cast<DWORD>(-1));
}

const char *BASS_ChannelGetTags(DWORD, DWORD) {
    return fail(BASS_ERROR_HANDLE, static_cast<const char *>(nullptr));
}

BOOL BASS_ChannelGetInfo(DWORD, BASS_CHANNELINFO *) { return fail(BASS_ERROR_HANDLE, FALSE); }

HSYNC BASS_ChannelSetSync(DWORD, DWORD, QWORD, SYNCPROC *, void *) {
    return fail(BASS_ERROR_HANDLE, HSYNC{0});
}

BOOL BASS_ChannelPlay(DWORD, BOOL) { return fail(BASS_ERROR_HANDLE, FALSE); }

HENCODE BASS_Encode_Start(DWORD, const char *, DWORD, ENCODEPROC *, void *) {
    return fail(BASS_ERROR_HANDLE, HENCODE{0});
}

DWORD BASS_Encode_IsActive(DWORD) { return fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED}); }

BOOL BASS_Encode_Stop(DWORD) { return fail(BASS_ERROR_HANDLE, FALSE); }
