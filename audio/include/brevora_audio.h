// Brevora audio library: the 2.4-style audio API the player is written against. It plays
// internet radio streams (MP3, MP2, MP1, AAC, Ogg Vorbis, Opus, FLAC, MP4, WMA) over HTTP,
// HTTPS, ICY and Windows Media HTTP streaming, and pipes
// what a stream plays to an external encoder program.
//
// Usage, in the order the player calls it:
//
//     if ((BASS_GetVersion() >> 16) != 0x0204) { /* wrong library */ }
//     BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 10000); // options may come before BASS_Init
//     BASS_Init(-1, 44100, 0, window, NULL);
//     HSTREAM s = BASS_StreamCreateURL(url, 0, BASS_STREAM_BLOCK | BASS_STREAM_STATUS |
//                                      BASS_STREAM_AUTOFREE, status_proc, user);
//     if (!s) { int why = BASS_ErrorGetCode(); }
//     BASS_ChannelPlay(s, FALSE);
//     ...
//     BASS_StreamFree(s); // FALSE (BASS_ERROR_HANDLE) if AUTOFREE already freed it: harmless
//     BASS_Free();
//
// Contract shared by every call:
// - A call that fails returns 0 (FALSE, NULL, or (QWORD)-1 / (DWORD)-1 where stated) and sets
//   the calling thread's error code, read by BASS_ErrorGetCode. A call that succeeds sets it
//   to BASS_OK; only BASS_GetVersion and BASS_ErrorGetCode leave it as it was. Where 0 is
//   also a result (BASS_GetConfigPtr, BASS_Encode_IsActive), the code tells the two apart.
//   Each thread has its own code: a callback's calls never change another thread's.
// - Handles are never pointers. Streams, syncs, encoders and plug-ins each have their own
//   handle numbers, which never coincide. A handle of 0, one that was freed, one that never
//   existed, or one of another kind (an encoder handle given to a channel call, a stream
//   handle given to BASS_Encode_IsActive or BASS_Encode_Stop, a sync or plug-in handle
//   anywhere) gives BASS_ERROR_HANDLE and touches nothing. A freed handle's number is not
//   issued again until tens of thousands of handles of its kind later.
// - Every function may be called from any thread, callbacks included. A call made out of
//   order (before BASS_Init, after a free) fails with an error code and does no harm.
//   Configuration calls work before BASS_Init and survive BASS_Free.
// - Threads: each stream has a download thread (runs its DOWNLOADPROC), a decode thread and a
//   sync thread (runs its SYNCPROCs); one output thread mixes every playing stream and feeds
//   its encoders; each encoder has a writer thread. Callbacks run only on the download and
//   sync threads, never on the caller's. A callback must return promptly: while it runs, its
//   thread does nothing else. BASS_StreamFree does not wait for a stream's callbacks;
//   BASS_Free waits for all of them.
// - Blocking: BASS_StreamCreateURL (network time-outs), BASS_Free (running callbacks,
//   encoders), BASS_StreamFree and BASS_Encode_Stop (encoder programs, up to 10 s each).
//   BASS_Init and BASS_Encode_Start take as long as opening the device or starting the
//   program. Everything else returns at once, after at most a brief lock.
// - Diagnostics: when the environment variable BREVORA_AUDIO_LOG is set, the network input
//   writes one line to standard error per connection attempt and per failure (the URL without
//   its credentials, the status line, the reason and the error code). On Windows the same
//   lines always go to OutputDebugStringA, where a debugger can show them.
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
typedef DWORD HSTREAM; // a stream, from BASS_StreamCreateURL; also the channel handle
typedef DWORD HSYNC;   // a sync, from BASS_ChannelSetSync
typedef DWORD HPLUGIN; // a plug-in, from BASS_PluginLoad
typedef DWORD HENCODE; // an encoder, from BASS_Encode_Start

// Error codes, numbered as in the 2.4 API. Declared here but set by no call:
// DRIVER, FORMAT, START, NOTAUDIO, NOPLAY, NOTFILE, EMPTY, DECODE, VERSION, BUSY,
// UNSTREAMABLE, PROTOCOL, DENIED.
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

// Configuration options (BASS_SetConfig / BASS_GetConfig / BASS_SetConfigPtr). The NET_
// options are copied into a stream when it is created: a change affects later streams only.
//
// BASS_CONFIG_GVOL_STREAM: the volume of every stream, 0 (silent) to 10000 (full, linear);
//   default 10000. Heard from the next mixed block on (tens of ms). Encoders get the sound
//   before this volume is applied.
// BASS_CONFIG_NET_TIMEOUT: milliseconds, any value; default 5000. Bounds each connection
//   attempt, each wait for the next bytes of a stream, and each reconnection of a live stream
//   (see BASS_StreamCreateURL). 0 leaves no time: connections fail with BASS_ERROR_TIMEOUT.
// BASS_CONFIG_NET_BUFFER: the download buffer's length in ms of audio, 1000 to 300000;
//   default 5000. Turned into bytes with the stream's bitrate (the server's icy-br or
//   ice-audio-info header, else the stream's own headers or first frames, else 128 kbps).
// BASS_CONFIG_NET_PREBUF: percent, 0 to 100; default 75. Accepted and kept, but has no
//   effect: the download fills the buffer from creation on, and playback never waits for it.
// BASS_CONFIG_NET_PROXY: by pointer only (BASS_SetConfigPtr / BASS_GetConfigPtr);
//   "[user:pass@]host:port", an IPv6 host in brackets, the port required, credentials
//   percent-decoded; default NULL. NULL or "" connects directly. http:// requests go to the
//   proxy in absolute form, https:// ones through a CONNECT tunnel; credentials are sent as
//   Basic authorisation. A malformed text is accepted here and makes BASS_StreamCreateURL
//   fail with BASS_ERROR_FILEOPEN.
// BASS_CONFIG_NET_PLAYLIST: 0 to 2; default 0. 0 refuses a playlist (BASS_ERROR_FILEFORM);
//   1 and 2 both make BASS_StreamCreateURL open its entries.
#define BASS_CONFIG_GVOL_STREAM 5   // stream volume, 0 to 10000; default 10000
#define BASS_CONFIG_NET_TIMEOUT 11  // ms to connect and per stall; default 5000
#define BASS_CONFIG_NET_BUFFER 12   // download buffer length in ms; default 5000
#define BASS_CONFIG_NET_PREBUF 15   // % to fill before playing; default 75; has no effect
#define BASS_CONFIG_NET_PROXY 17    // "[user:pass@]host:port" by pointer; NULL = none
#define BASS_CONFIG_NET_PLAYLIST 21 // 0 = never follow playlists, 1 or 2 = in StreamCreateURL
// Seconds of already played audio a stream keeps, compressed as it came, from the start of
// its current song (its last title change), so that a recording can begin there
// (BASS_ENCODE_SONG_START); 0 to 3600, default 0 (none). Read when a stream is created.
#define BASS_CONFIG_NET_HISTORY 0x10400

// BASS_StreamCreateURL flags. Every flag given is kept in the stream's flags (see
// BASS_ChannelGetInfo); only STATUS and AUTOFREE change what the stream does.
#define BASS_STREAM_RESTRATE 0x80000 // accepted, no effect: a full buffer always paces the download
#define BASS_STREAM_BLOCK 0x100000   // accepted, no effect: streams never seek
#define BASS_STREAM_AUTOFREE 0x40000 // free the stream when it ends
#define BASS_STREAM_STATUS 0x800000  // give the server's status text to the download procedure

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

// Channel types (BASS_CHANNELINFO.ctype): the container and codec found in the stream's first
// bytes. OGG is Vorbis in Ogg; AAC is raw ADTS; MP4 is audio (AAC) in MP4 boxes. FLAC is
// native FLAC, OGG_FLAC FLAC in Ogg, OPUS Opus in Ogg, WMA any codec in ASF (WMA v1/v2, Pro,
// Lossless): these four are this library's own values, which programs written for the
// formats above show as an unknown type.
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP1 0x10003
#define BASS_CTYPE_STREAM_MP2 0x10004
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_AAC 0x10b00
#define BASS_CTYPE_STREAM_MP4 0x10b01
#define BASS_CTYPE_STREAM_WMA 0x10300
#define BASS_CTYPE_STREAM_FLAC 0x10900
#define BASS_CTYPE_STREAM_OGG_FLAC 0x10901
#define BASS_CTYPE_STREAM_OPUS 0x11200

// BASS_Encode_IsActive results. PAUSED is never returned.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_PAUSED 3

// Filled by BASS_ChannelGetInfo. freq and chans are the source's, from its first frame (the
// library always mixes in stereo at BASS_Init's rate); flags are the stream's current flags;
// ctype is a BASS_CTYPE_STREAM_*; origres, plugin and sample are 0; filename is NULL.
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

// DOWNLOADPROC: given to BASS_StreamCreateURL; receives the stream's bytes as they arrive.
//   Calls:   With BASS_STREAM_STATUS, first one call with length 0: buffer is the status
//            text of the response that plays, laid out as BASS_TAG_HTTP / BASS_TAG_ICY (the
//            status line and each header line, NUL-terminated, then an empty string). Not
//            for redirects or playlist answers, nor again after a reconnect. Then one call
//            per block read (length > 0, at most 16 KiB): audio bytes only, ICY metadata
//            removed, in stream order. No call marks the end of the download.
//   Threads: The stream's download thread, one call at a time, in the order above. Calls
//            begin while BASS_StreamCreateURL is still connecting and identifying the format,
//            so they can come before it returns, and even when it then fails.
//   Notes:   buffer is valid only during the call. The block enters the download buffer only
//            after the call returns: a slow procedure holds up reading and can starve
//            playback. It may call any function, BASS_StreamFree of its own stream included.
//            Once the stream is freed no new call begins, except one already starting;
//            BASS_Free waits for a running one to return.
typedef void(CALLBACK DOWNLOADPROC)(const void *buffer, DWORD length, void *user);

// SYNCPROC: given to BASS_ChannelSetSync; told of an event on a stream. handle is the sync,
//   channel the stream, data always 0, user as given.
//   Threads: The stream's sync thread: one call at a time per stream, events in the order
//            they happened, and for one event the syncs in the order they were set. Syncs of
//            different streams run at the same time on their own threads, and alongside the
//            same stream's DOWNLOADPROC.
//   Notes:   It may call any function, BASS_StreamFree of its own stream included, and
//            BASS_Free (which then waits for every other library thread, not its own). Later
//            events of the stream wait until it returns, and so does AUTOFREE. Once the
//            stream is freed no new call begins, except one already starting; pending events
//            are dropped.
typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void *user);

// ENCODEPROC: not supported; BASS_Encode_Start refuses one (the program writes its own file).
typedef BOOL(CALLBACK ENCODEPROC)(HENCODE handle, DWORD channel, const void *buffer, DWORD length,
                                  void *user);

// ---- Library ------------------------------------------------------------------------------
// Every call below may also fail with BASS_ERROR_MEM when memory runs out, or with
// BASS_ERROR_UNKNOWN for any other internal failure; no call ever lets an exception out.

// BASS_GetVersion: the library's version.
//   Returns: 0x02040000 (the high word, 0x0204, is what callers check). Never fails.
//   Notes:   Leaves the error code unchanged; works before BASS_Init.
DWORD BASS_GetVersion(void);

// BASS_ErrorGetCode: the error code of the calling thread's last call.
//   Returns: BASS_OK (0), a BASS_ERROR_* code, or BASS_ERROR_UNKNOWN (-1). BASS_OK on a
//            thread that has made no call yet. Leaves the code unchanged.
int BASS_ErrorGetCode(void); // of the calling thread

// BASS_Init: starts the library and opens the output.
//   device:  -1 or 1: the default device (Windows: waveOut's default; elsewhere, or when no
//            device opens, the silent output). 0: the silent output, which consumes audio in
//            real time without sound, so streams still play, end and fire syncs.
//   freq:    the output rate in Hz, 1 to 384000: every stream is resampled to it and
//            encoders receive it.
//   flags, window, clsid: accepted and ignored.
//   Returns: TRUE; FALSE on failure.
//   Errors:  BASS_ERROR_DEVICE   device is not -1, 0 or 1, or no output could be opened.
//            BASS_ERROR_FREQ     freq is 0 or above 384000.
//            BASS_ERROR_ALREADY  the library is already started (BASS_Free first).
//   Blocks:  Only to open the device and start the output thread.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const void *clsid);

// BASS_Free: frees every stream and closes the output.
//   Returns: TRUE; FALSE with BASS_ERROR_INIT when the library is not started.
//   Blocks:  From its start, new and connecting BASS_StreamCreateURL calls fail with
//            BASS_ERROR_INIT. Each stream is then freed as by BASS_StreamFree, which waits
//            for its encoder programs (up to 10 s each, one after another). Then it waits,
//            without limit, for every running DOWNLOADPROC and SYNCPROC to return and every
//            library thread that runs them to end; network waits stop within about 50 ms.
//            On Windows it answers messages sent (SendMessage) to its thread meanwhile, so a
//            callback that sends one to the window thread can finish; posted messages wait.
//   Threads: Any, a callback included: there it waits for every library thread but its own.
//   Notes:   Afterwards no callback runs and no user pointer is used again. Options keep their
//            values; BASS_Init may start the library again.
BOOL BASS_Free(void);

// BASS_SetConfig: sets a numeric option (see the option list for ranges and defaults).
//   Returns: TRUE; FALSE on failure, the option unchanged.
//   Errors:  BASS_ERROR_ILLTYPE   not a numeric option (BASS_CONFIG_NET_PROXY included).
//            BASS_ERROR_ILLPARAM  value out of the option's range.
BOOL BASS_SetConfig(DWORD option, DWORD value);

// BASS_GetConfig: reads a numeric option.
//   Returns: the value; (DWORD)-1 with BASS_ERROR_ILLTYPE for an option that is not numeric.
//            (BASS_CONFIG_NET_TIMEOUT may hold 0xFFFFFFFF: check the error code to tell.)
DWORD BASS_GetConfig(DWORD option); // (DWORD)-1 on error

// BASS_SetConfigPtr: sets a text option; only BASS_CONFIG_NET_PROXY is one.
//   value:   a NUL-terminated text, or NULL for none. The text is COPIED: the caller's buffer
//            may change or go away at once.
//   Returns: TRUE; FALSE with BASS_ERROR_ILLTYPE for any other option.
BOOL BASS_SetConfigPtr(DWORD option, const void *value);

// BASS_GetConfigPtr: reads a text option.
//   Returns: the library's copy of the text, valid until the option is set again (from any
//            thread); NULL with BASS_OK when none is set; NULL with BASS_ERROR_ILLTYPE for any
//            option but BASS_CONFIG_NET_PROXY.
const void *BASS_GetConfigPtr(DWORD option);

// BASS_PluginLoad: "loads" one of the plug-ins the player names: bass_aac.dll, bassflac.dll,
//   basswma.dll, matched on the file name after the last / or \, in any case. The library
//   reads its formats (see BASS_CTYPE_STREAM_*) without plug-ins, so loading one changes
//   nothing: it only answers as the player expects (AAC, FLAC and WMA streams play, loaded
//   or not).
//   flags:   accepted and ignored.
//   Returns: the plug-in's fixed, non-zero handle (the same for every load of one name);
//            0 with BASS_ERROR_FILEOPEN for NULL or any other name.
//   Notes:   Works before BASS_Init. There is no unloading.
HPLUGIN BASS_PluginLoad(const char *file, DWORD flags);

// ---- Streams and channels -----------------------------------------------------------------

// BASS_StreamCreateURL: connects to an internet stream, identifies its format and decodes its
//   first 0.1 s. The stream then downloads into its buffer until freed, but plays only after
//   BASS_ChannelPlay.
//   url:     an absolute http:// or https:// URL, user:password@ allowed (sent as Basic
//            authorisation, kept across redirects on the same origin only); or an mms:// or
//            mmsh:// URL, opened as Windows Media HTTP streaming over HTTP (port 80 unless
//            the URL gives one), also as a playlist entry. A URL that answers with an HLS
//            playlist (#EXTM3U with #EXT-X- tags) plays as one stream: the master
//            playlist's audio variant of highest bandwidth up to 320 kb/s (the next on
//            failure); BASS_TAG_HTTP holds the media playlist's response headers,
//            BASS_FILEPOS_END the buffer size for the variant's bandwidth, and titles in
//            the segments' ID3 raise BASS_SYNC_META.
//   offset:  accepted and ignored.
//   flags:   BASS_STREAM_STATUS, BASS_STREAM_AUTOFREE; others are kept but do nothing.
//   proc:    a DOWNLOADPROC, or NULL; user is handed to it.
//   Returns: the stream handle; 0 on failure.
//   Errors:  BASS_ERROR_INIT      BASS_Init has not run, or BASS_Free ran during the call.
//            BASS_ERROR_FILEOPEN  url NULL or empty, not an http(s) URL (other scheme, bad
//                                 port, spaces), or a malformed BASS_CONFIG_NET_PROXY; an
//                                 unknown host, a refused or unreachable connection; the
//                                 request not sent, or the connection closed before a
//                                 complete response head; a head that is not HTTP/ICY (a
//                                 line over 8 KiB, over 64 KiB in all); a status outside
//                                 200-299, or 204; a redirect without a usable Location,
//                                 more than 10 redirects or a loop; the proxy refusing the
//                                 CONNECT tunnel; playlists nested more than 3 deep; a
//                                 playlist with no http(s), mms or mmsh entry; an HLS
//                                 playlist none of whose variants' first segments load. A
//                                 playlist whose entries all fail (of its first 16) gives the
//                                 last entry's error.
//            BASS_ERROR_NONET     no network route to the host.
//            BASS_ERROR_TIMEOUT   name look-up, connecting, TLS, the request or the response
//                                 head not done within BASS_CONFIG_NET_TIMEOUT; the start of
//                                 the body (to sniff it, or a playlist) not read in time, or
//                                 its connection failing meanwhile; the audio stalling (or
//                                 trickling) so that its format and first frames are not
//                                 known within NET_TIMEOUT of the answer.
//            BASS_ERROR_SSL       the TLS set-up or handshake failed, or the certificate or
//                                 host name did not verify (there is no unverified mode).
//            BASS_ERROR_FILEFORM  a web page (text/html, or a body starting <html or
//                                 <!doctype); an HLS playlist without segments; a playlist while
//                                 BASS_CONFIG_NET_PLAYLIST is 0; a playlist over 256 KiB; no
//                                 known format in the first 64 KiB after any ID3v2 tag; a
//                                 container without audio; data the decoder rejects; the
//                                 body ending before one frame; an ASF header whose object
//                                 sizes do not add up; a Windows Media server's header answer
//                                 without a whole ASF header.
//            BASS_ERROR_CODEC     no decoder for the codec inside the container.
//            BASS_ERROR_ENDED     the body ended while the container's header was read.
//            BASS_ERROR_MEM       out of memory, or 4096 streams already exist.
//            BASS_ERROR_UNKNOWN   a thread could not be started.
//   Blocks:  Until the stream is ready or has failed; each phase at most once. Each URL
//            tried gets one NET_TIMEOUT for name look-up, connecting, TLS and the response
//            head through all its redirects (at most 10). When the Content-Type is missing,
//            generic (text/plain, application/octet-stream, text/html, video/x-ms-asf) or a
//            playlist's, reading the body's first 1 KiB (a playlist: all of it, up to 256 KiB)
//            gets one fresh NET_TIMEOUT. A playlist's first 16 entries are then tried in
//            turn, each with its own time-outs, so a playlist of dead entries takes at most
//            16 entries' time-outs (refused connections fail at once). Once connected,
//            identifying the format (up to 64 KiB) and decoding the first frames share one
//            NET_TIMEOUT from the answer on, whatever the download does meanwhile (a
//            trickle, a stall, reconnects). BASS_Free on another thread ends the wait within
//            about 50 ms.
//   Threads: proc runs on the stream's download thread, from during this call on (see
//            DOWNLOADPROC). Syncs cannot be set before this call returns, so a META event
//            that came with the first bytes may be missed: read BASS_TAG_META once it returns.
//   Notes:   Playlists (PLS, M3U, extended M3U, ASX, WMS "[Reference]") are recognised by
//            Content-Type or by their first bytes. A live stream (an ICY answer, icy- or ice-
//            headers, or no Content-Length) that ends, fails or stalls for NET_TIMEOUT is
//            requested again from its final URL: up to 4 attempts with growing pauses, all
//            within one NET_TIMEOUT; only then does its download end. A reconnect does not
//            change the HTTP/ICY tags, does not call the DOWNLOADPROC with status again, and
//            does not report the current title again. ASX entries are tried in order; an
//            <ENTRYREF> (another ASX) is followed once: the ASX it leads to gives its REFs
//            only. A Windows Media server (its answer of type application/vnd.ms.wms-hdr.asfv1
//            or application/x-mms-framed, or a Pragma header with client-id= or features=)
//            is asked again in its own protocol: a header request, then the play request
//            (xPlayStrm=1), both with the NSPlayer user agent and its Pragma headers, within
//            one NET_TIMEOUT; a reconnect repeats both.
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user);

// BASS_StreamFree: frees a stream: it stops playing and downloading, and its handle is
//   invalid at once. Its encoders are stopped as by BASS_Encode_Stop and their handles freed.
//   Returns: TRUE; FALSE with BASS_ERROR_HANDLE (a stream already freed, by AUTOFREE too).
//   Blocks:  For each of the stream's encoders in turn, up to 10 s for its program to finish
//            its file, then ends the program. It does not wait for the stream's threads.
//   Threads: Any, the stream's own callbacks included.
//   Notes:   A DOWNLOADPROC or SYNCPROC of the stream that is running, or just starting, may
//            still run after this returns: keep what its user points to alive until then, or
//            until BASS_Free. Tag pointers are invalid after this call (see
//            BASS_ChannelGetTags for how long they last before it).
BOOL BASS_StreamFree(HSTREAM handle);

// BASS_StreamGetFilePosition: byte counts of the download, by mode:
//   BASS_FILEPOS_CURRENT    bytes the decoder has taken from the buffer.
//   BASS_FILEPOS_DOWNLOAD   bytes put in the buffer so far (audio only, no ICY metadata).
//   BASS_FILEPOS_END        the buffer's size in bytes (a live stream has no length):
//                           NET_BUFFER's worth at the stream's bitrate.
//   BASS_FILEPOS_START      0.
//   BASS_FILEPOS_CONNECTED  1 while the download goes on (reconnects included), 0 once it
//                           has ended.
//   BASS_FILEPOS_BUFFER     bytes in the buffer now, waiting to be decoded.
//   BASS_FILEPOS_WMA_BUFFER WMA streams only: how full the buffer is, 0 to 100 (BUFFER as a
//                           percentage of END).
//   Returns: the count; (QWORD)-1 on failure.
//   Errors:  BASS_ERROR_HANDLE    not a stream.
//            BASS_ERROR_NOTAVAIL  BASS_FILEPOS_WMA_BUFFER on a stream that is not WMA.
//            BASS_ERROR_ILLTYPE   any other mode.
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode); // (QWORD)-1 on error

// BASS_ChannelFlags: changes the flags in mask to their value in flags. Only
//   BASS_STREAM_RESTRATE and BASS_STREAM_AUTOFREE can change; other mask bits are ignored, and
//   a mask of 0 only reads. Setting AUTOFREE before the stream's end makes the end free it.
//   Returns: the stream's flags after the change; (DWORD)-1 with BASS_ERROR_HANDLE.
DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask); // (DWORD)-1 on error

// BASS_ChannelGetTags: a stream's tag text, by type:
//   BASS_TAG_HTTP  the playing response's status line and headers, verbatim, when it is HTTP
//                  (Icecast answers so).
//   BASS_TAG_ICY   the same when the server answered "ICY 200 OK" (SHOUTcast).
//   BASS_TAG_META  the last ICY metadata text, as sent ("StreamTitle='...';"), cut at its
//                  first NUL; from the first non-empty metadata block on.
//   BASS_TAG_OGG   the comments of the current Ogg bitstream (Vorbis, Opus, FLAC) or of a
//                  native FLAC stream, "name=value".
//   BASS_TAG_WMA   WMA streams only: the current ASF header's title, author, copyright,
//                  description and rating ("title=...", when not empty), then its extended
//                  content entries as "name=value" (binary ones left out), all UTF-8.
//   BASS_TAG_WMA_META  WMA streams only: the text of the latest script command of type
//                  TEXT or TITLE (as live encoders send song titles), UTF-8; from the first
//                  one on.
//   Returns: the text; NULL on failure.
//   Errors:  BASS_ERROR_HANDLE    not a stream.
//            BASS_ERROR_NOTAVAIL  the stream has no such tag (yet), or another type
//                                 (WMA and WMA_META on a stream that is not WMA).
//   Notes:   The text at a returned pointer never changes: a new version comes at a new
//            pointer, so call again after a META, OGG_CHANGE, WMA_META or WMA_CHANGE
//            sync. A pointer stays valid until the same tag type has been replaced twice (the
//            second new title after it, for BASS_TAG_META) or the stream is freed
//            (BASS_StreamFree, AUTOFREE or BASS_Free), whichever comes first: copy the text
//            you keep. The stream keeps only those two versions of each tag, so a station
//            that changes its title every few seconds does not grow. It may be called from
//            callbacks.
const char *BASS_ChannelGetTags(DWORD handle, DWORD tags);

// BASS_ChannelGetInfo: fills *info (see BASS_CHANNELINFO).
//   Returns: TRUE; FALSE on failure, *info untouched.
//   Errors:  BASS_ERROR_HANDLE    not a stream.
//            BASS_ERROR_ILLPARAM  info is NULL.
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info);

// BASS_ChannelSetSync: calls proc (see SYNCPROC) on each event of a type:
//   BASS_SYNC_END         playback has drained everything the stream will give (the download
//                         ended for good, or decoding cannot go on). Fires once, while
//                         playing. After the procedures return, the stream leaves the output,
//                         and with AUTOFREE it is freed; inside them its handle still works.
//   BASS_SYNC_META        a new ICY metadata text differing from the last (BASS_TAG_META
//                         already holds it).
//   BASS_SYNC_OGG_CHANGE  a new bitstream in a chained Ogg stream (BASS_TAG_OGG already holds
//                         its comments).
//   BASS_SYNC_WMA_CHANGE  a WMA stream's server sent a new header (BASS_TAG_WMA already holds
//                         its tags).
//   BASS_SYNC_WMA_META    a WMA stream's new script command of type TEXT or TITLE
//                         (BASS_TAG_WMA_META already holds its text).
//   type takes no extra flag bits. param: accepted and ignored. A sync lasts until the stream
//   is freed; there is no removing it. Events handled before the call are not reported to it.
//   Returns: the sync's handle (non-zero); 0 on failure.
//   Errors:  BASS_ERROR_HANDLE    not a stream.
//            BASS_ERROR_ILLTYPE   any other type.
//            BASS_ERROR_ILLPARAM  proc is NULL.
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user);

// BASS_ChannelPlay: starts playing a stream, from the oldest audio in its buffer (the first
//   frames decoded at creation, then what the download has gathered since).
//   restart: accepted and ignored: a live stream cannot go back, so playing goes on from
//            where it is. Playing an already playing stream changes nothing; there is no
//            pause or stop but BASS_StreamFree. After BASS_SYNC_END it succeeds, but nothing
//            more is heard.
//   Returns: TRUE; FALSE with BASS_ERROR_HANDLE.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// ---- Encoder add-on -----------------------------------------------------------------------

// BASS_Encode_Start: starts an encoder program and pipes to it what the stream plays.
//   handle:  the stream.
//   command: the program and its arguments, split by the Windows rules on every platform
//            (quotes, backslashes before quotes); the program is found as the platform's
//            process start finds it (PATH natively). Its standard input receives a WAV header
//            (16-bit PCM, stereo, BASS_Init's rate, lengths 0xFFFFFFFF for "unknown"), then the
//            samples as they are played, before the stream volume. Its standard output and
//            error are discarded; it gets no window.
//   flags:   BASS_ENCODE_SONG_START (below) or 0; others are ignored.
//   user:    ignored. proc: must be NULL.
//   Returns: the encoder handle (non-zero); 0 on failure.
//   Errors:  BASS_ERROR_HANDLE    not a stream, or the stream was freed during the call.
//            BASS_ERROR_ILLPARAM  command NULL or empty (natively also only blanks).
//            BASS_ERROR_NOTAVAIL  proc is not NULL.
//            BASS_ERROR_FILEOPEN  the program could not be started (not found, not runnable).
//            BASS_ERROR_CREATE    the pipe could not be made.
//            BASS_ERROR_MEM       out of memory, or 4096 encoders already exist.
//            BASS_ERROR_UNKNOWN   a thread could not be started.
//   Blocks:  Only to start the program; on a late failure, up to 10 s to stop it again.
//   Notes:   Samples flow only while the stream plays. Up to 10 s of audio waits for a program
//            that reads slowly; beyond that whole blocks are dropped (a gap in the file) and
//            playback is never held up. A stream may have several encoders. Freeing the
//            stream stops its encoders and frees their handles.
HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD flags, ENCODEPROC *proc,
                          void *user);

// BASS_Encode_Start and BASS_Encode_StartSongs flag: the program first receives the stream's
// current song from its start, as far as the stream's history holds it (BASS_CONFIG_NET_HISTORY
// when the stream was created), decoded faster than real time on the encoder's own thread,
// then what plays from the moment of the call on, with nothing lost or doubled between. What
// plays meanwhile waits (10 s plus a tenth of the history length at the most); a stop meanwhile
// still writes it all, within BASS_Encode_Stop's wait. Without a
// history, or for one that cannot be decoded alone (Ogg or ASF whose headers it lacks), the
// recording begins with what plays.
#define BASS_ENCODE_SONG_START 0x100000

// ENCODESONGPROC flags.
#define BASS_SONG_FROM_START 1 // the file holds its song from the song's first sample
#define BASS_SONG_TO_END 2     // and to its last: the next song followed

// A song's file is complete (BASS_Encode_StartSongs). Called on the encoder's own thread after
// the program has exited, before it starts again for the next song; for the last file, when
// the encoder stops or its program ends, before BASS_Encode_Stop returns. The file may be
// renamed and tagged here. tag_type and tags: the tag (BASS_TAG_META, BASS_TAG_WMA_META or
// BASS_TAG_OGG) that described the song when it began, valid during the call; tags is NULL
// when the stream had told no title. The procedure must not wait for the thread that calls
// BASS_Encode_Stop.
typedef void(CALLBACK ENCODESONGPROC)(HENCODE handle, DWORD flags, DWORD tag_type, const char *tags,
                                      void *user);

// BASS_Encode_StartSongs: as BASS_Encode_Start, but one file per song: at each title change
//   in what plays (the sample where the listener hears it), the program's input is closed,
//   and once it has exited and proc has run, the same command starts again for the next song.
//   One program runs at a time; the samples that play meanwhile wait.
//   flags:   BASS_ENCODE_SONG_START or 0.  proc: required; user: handed to it.
//   Errors:  as BASS_Encode_Start; BASS_ERROR_ILLPARAM when proc is NULL.
//   Notes:   When the program cannot start again, the recording ends (BASS_Encode_IsActive
//            reports it); the files made so far have had their proc call.
HENCODE BASS_Encode_StartSongs(DWORD handle, const char *command, DWORD flags, ENCODESONGPROC *proc,
                               void *user);

// BASS_Encode_IsActive: whether an encoder still records.
//   Returns: BASS_ACTIVE_PLAYING while the program runs and reads its input (whether or not
//            the stream plays); BASS_ACTIVE_STOPPED (0) once the program has ended or stopped
//            reading. BASS_ACTIVE_STOPPED with BASS_ERROR_HANDLE for a bad handle (check the
//            error code to tell the two apart). Never BASS_ACTIVE_PAUSED.
//   Notes:   A program that ended by itself keeps its handle: BASS_Encode_Stop releases it.
DWORD BASS_Encode_IsActive(DWORD handle);

// BASS_Encode_Stop: stops an encoder so that its program finishes its file. The handle is
//   invalid at once and the stream stops feeding it; the audio already queued is still
//   written, then the program's input is closed.
//   Returns: TRUE (also when the program had to be ended); FALSE with BASS_ERROR_HANDLE.
//   Blocks:  Up to 10 s in all for the program to take the queued audio and exit; then it is
//            ended (its file may be incomplete) and the call returns once it has gone. Window
//            messages are not answered meanwhile.
//   Threads: Any, callbacks included (the calling thread is held as long).
BOOL BASS_Encode_Stop(DWORD handle);

#ifdef __cplusplus
}
#endif

#endif
