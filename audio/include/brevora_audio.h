// Brevora audio library: the 2.4-style audio API the player is written against.
//
// Usage, in the order the player calls it:
//
//     if (HIWORD(BASS_GetVersion()) != 0x0204) { /* wrong library */ }
//     BASS_Init(-1, 44100, 0, window, NULL);
//     BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 10000);
//     HSTREAM s = BASS_StreamCreateURL(url, 0, BASS_STREAM_BLOCK | BASS_STREAM_STATUS |
//                                      BASS_STREAM_AUTOFREE, status_proc, user);
//     if (!s) { int why = BASS_ErrorGetCode(); }
//     BASS_ChannelPlay(s, FALSE);
//     ...
//     BASS_StreamFree(s);
//     BASS_Free();
//
// Contract shared by every call:
// - A call that fails returns 0 (FALSE, NULL, or (QWORD)-1 / (DWORD)-1 where stated) and sets
//   the calling thread's error code, read by BASS_ErrorGetCode. A call that succeeds sets it
//   to BASS_OK.
// - Handles are never pointers. A handle of 0, a handle that was freed, or one that never
//   existed gives BASS_ERROR_HANDLE and is otherwise harmless.
// - Configuration calls work before BASS_Init and survive BASS_Free.
// - Callbacks (DOWNLOADPROC, SYNCPROC) run on library threads, never on the caller's.
#ifndef BREVORA_AUDIO_H
#define BREVORA_AUDIO_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int BOOL;
typedef void *HWND;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define CALLBACK
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint64_t QWORD;
typedef DWORD HSTREAM;
typedef DWORD HSYNC;
typedef DWORD HPLUGIN;
typedef DWORD HENCODE;

// Error codes, numbered as in the 2.4 API.
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_INIT 8
#define BASS_ERROR_START 9
#define BASS_ERROR_SSL 10
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOTAUDIO 17
#define BASS_ERROR_ILLTYPE 19
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOPLAY 24
#define BASS_ERROR_FREQ 25
#define BASS_ERROR_NOTFILE 27
#define BASS_ERROR_EMPTY 31
#define BASS_ERROR_NONET 32
#define BASS_ERROR_CREATE 33
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_DECODE 38
#define BASS_ERROR_TIMEOUT 40
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_VERSION 43
#define BASS_ERROR_CODEC 44
#define BASS_ERROR_ENDED 45
#define BASS_ERROR_BUSY 46
#define BASS_ERROR_UNSTREAMABLE 47
#define BASS_ERROR_PROTOCOL 48
#define BASS_ERROR_DENIED 49
#define BASS_ERROR_UNKNOWN -1

// Configuration options (BASS_SetConfig / BASS_GetConfig / BASS_SetConfigPtr).
#define BASS_CONFIG_GVOL_STREAM 5 // stream volume, 0 to 10000; default 10000
#define BASS_CONFIG_NET_TIMEOUT 11 // ms to connect and per stall; default 5000
#define BASS_CONFIG_NET_BUFFER 12 // download buffer length in ms; default 5000
#define BASS_CONFIG_NET_PREBUF 15 // % of the buffer filled before playing; default 75
#define BASS_CONFIG_NET_PROXY 17 // "[user:pass@]host:port" by pointer; NULL = none
#define BASS_CONFIG_NET_PLAYLIST 21 // 0 = never follow playlists, 1 = in StreamCreateURL

// BASS_StreamCreateURL flags.
#define BASS_STREAM_RESTRATE 0x80000 // hold the download rate near the playback rate
#define BASS_STREAM_BLOCK 0x100000 // download in small blocks, no seeking
#define BASS_STREAM_AUTOFREE 0x40000 // free the stream when it ends
#define BASS_STREAM_STATUS 0x800000 // give the server's status text to the download procedure

// BASS_StreamGetFilePosition modes.
#define BASS_FILEPOS_CURRENT 0
#define BASS_FILEPOS_DOWNLOAD 1
#define BASS_FILEPOS_END 2
#define BASS_FILEPOS_START 3
#define BASS_FILEPOS_CONNECTED 4
#define BASS_FILEPOS_BUFFER 5
#define BASS_FILEPOS_WMA_BUFFER 1000

// Tag types (BASS_ChannelGetTags). OGG, HTTP, ICY and WMA give NUL-terminated strings ended
// by an empty one; META and WMA_META give one string.
#define BASS_TAG_OGG 2
#define BASS_TAG_HTTP 3
#define BASS_TAG_ICY 4
#define BASS_TAG_META 5
#define BASS_TAG_WMA 8
#define BASS_TAG_WMA_META 11

// Sync types (BASS_ChannelSetSync).
#define BASS_SYNC_END 2
#define BASS_SYNC_META 4
#define BASS_SYNC_OGG_CHANGE 12
#define BASS_SYNC_WMA_CHANGE 0x10100
#define BASS_SYNC_WMA_META 0x10101

// Channel types (BASS_CHANNELINFO.ctype).
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP1 0x10003
#define BASS_CTYPE_STREAM_MP2 0x10004
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_AAC 0x10b00
#define BASS_CTYPE_STREAM_MP4 0x10b01

// BASS_Encode_IsActive results.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_PAUSED 3

typedef struct {
    DWORD freq;
    DWORD chans;
    DWORD flags;
    DWORD ctype;
    DWORD origres;
    DWORD plugin;
    DWORD sample;
    const char *filename;
} BASS_CHANNELINFO;

// Receives the server's status text (length 0) and then each downloaded block (length > 0).
typedef void(CALLBACK DOWNLOADPROC)(const void *buffer, DWORD length, void *user);
typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void *user);
typedef BOOL(CALLBACK ENCODEPROC)(HENCODE handle, DWORD channel, const void *buffer, DWORD length,
                                  void *user);

// Library.
DWORD BASS_GetVersion(void);
int BASS_ErrorGetCode(void); // of the calling thread
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const void *clsid);
BOOL BASS_Free(void);
BOOL BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_GetConfig(DWORD option); // (DWORD)-1 on error
BOOL BASS_SetConfigPtr(DWORD option, const void *value);
const void *BASS_GetConfigPtr(DWORD option);
HPLUGIN BASS_PluginLoad(const char *file, DWORD flags);

// Streams and channels.
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user);
BOOL BASS_StreamFree(HSTREAM handle);
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode); // (QWORD)-1 on error
DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask); // (DWORD)-1 on error
const char *BASS_ChannelGetTags(DWORD handle, DWORD tags);
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info);
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// Encoder add-on.
HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD flags, ENCODEPROC *proc,
                          void *user);
DWORD BASS_Encode_IsActive(DWORD handle);
BOOL BASS_Encode_Stop(DWORD handle);

#ifdef __cplusplus
}
#endif

#endif
