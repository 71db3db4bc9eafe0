// The few Windows Runtime interfaces the player uses for the system's media controls,
// declared from their public documentation: the compiler's headers do not have them. Each
// vtable lists every method in order; those the player never calls take no parameters
// worth declaring. The tests' stand-in for the controls implements the same tables.
#pragma once

#include <windows.h>

namespace media_controls_abi {

typedef struct hstring_private *HSTRING;
typedef unsigned char runtime_boolean; // one byte, as the runtime passes it
struct HSTRING_HEADER {
    void *reserved[3];
};
typedef HRESULT(WINAPI *create_reference_function)(const wchar_t *, UINT32, HSTRING_HEADER *,
                                                   HSTRING *);
typedef HRESULT(WINAPI *get_factory_function)(HSTRING, REFIID, void **);

typedef HRESULT(STDMETHODCALLTYPE *unused_method)(void *);

struct inspectable_vtable {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(void *, REFIID, void **);
    ULONG(STDMETHODCALLTYPE *AddRef)(void *);
    ULONG(STDMETHODCALLTYPE *Release)(void *);
    unused_method GetIids, GetRuntimeClassName, GetTrustLevel;
};

struct interop_vtable {
    inspectable_vtable base;
    HRESULT(STDMETHODCALLTYPE *GetForWindow)(void *, HWND, REFIID, void **);
};

enum playback_status { status_closed, status_changing, status_stopped, status_playing };
enum playback_type { type_unknown, type_music };
enum transport_button {
    button_play,
    button_pause,
    button_stop,
    button_record,
    button_fast_forward,
    button_rewind,
    button_next,
    button_previous
};

struct event_token {
    INT64 value;
};

struct controls_vtable {
    inspectable_vtable base;
    unused_method get_PlaybackStatus;
    HRESULT(STDMETHODCALLTYPE *put_PlaybackStatus)(void *, int);
    HRESULT(STDMETHODCALLTYPE *get_DisplayUpdater)(void *, void **);
    unused_method get_SoundLevel, get_IsEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsEnabled)(void *, runtime_boolean);
    unused_method get_IsPlayEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsPlayEnabled)(void *, runtime_boolean);
    unused_method get_IsStopEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsStopEnabled)(void *, runtime_boolean);
    unused_method get_IsPauseEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsPauseEnabled)(void *, runtime_boolean);
    unused_method get_IsRecordEnabled, put_IsRecordEnabled, get_IsFastForwardEnabled,
        put_IsFastForwardEnabled, get_IsRewindEnabled, put_IsRewindEnabled, get_IsPreviousEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsPreviousEnabled)(void *, runtime_boolean);
    unused_method get_IsNextEnabled;
    HRESULT(STDMETHODCALLTYPE *put_IsNextEnabled)(void *, runtime_boolean);
    unused_method get_IsChannelUpEnabled, put_IsChannelUpEnabled, get_IsChannelDownEnabled,
        put_IsChannelDownEnabled;
    HRESULT(STDMETHODCALLTYPE *add_ButtonPressed)(void *, void *, event_token *);
    HRESULT(STDMETHODCALLTYPE *remove_ButtonPressed)(void *, event_token);
};

struct display_updater_vtable {
    inspectable_vtable base;
    unused_method get_Type;
    HRESULT(STDMETHODCALLTYPE *put_Type)(void *, int);
    unused_method get_AppMediaId, put_AppMediaId, get_Thumbnail, put_Thumbnail;
    HRESULT(STDMETHODCALLTYPE *get_MusicProperties)(void *, void **);
    unused_method get_VideoProperties, get_ImageProperties, CopyFromFileAsync, ClearAll;
    HRESULT(STDMETHODCALLTYPE *Update)(void *);
};

struct music_properties_vtable {
    inspectable_vtable base;
    unused_method get_Title;
    HRESULT(STDMETHODCALLTYPE *put_Title)(void *, HSTRING);
    unused_method get_AlbumArtist, put_AlbumArtist, get_Artist;
    HRESULT(STDMETHODCALLTYPE *put_Artist)(void *, HSTRING);
};

struct button_arguments_vtable {
    inspectable_vtable base;
    HRESULT(STDMETHODCALLTYPE *get_Button)(void *, int *);
};

template <typename Vtable> struct runtime_object { const Vtable *methods; };

inline const GUID interop_id = {
    0xddb0472d, 0xc911, 0x4a1f, {0x86, 0xd9, 0xdc, 0x3d, 0x71, 0xa9, 0x5f, 0x5a}};
inline const GUID controls_id = {
    0x99fa3ff4, 0x1742, 0x42a6, {0x90, 0x2e, 0x08, 0x7d, 0x41, 0xf9, 0x65, 0xec}};
inline const GUID button_handler_id = {
    0x0557e996, 0x7b23, 0x5bae, {0xaa, 0x81, 0xea, 0x0d, 0x67, 0x11, 0x43, 0xa4}};
inline const GUID agile_object_id = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

// ITypedEventHandler<SystemMediaTransportControls, ButtonPressedEventArgs>.
struct button_handler_vtable {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(void *, REFIID, void **);
    ULONG(STDMETHODCALLTYPE *AddRef)(void *);
    ULONG(STDMETHODCALLTYPE *Release)(void *);
    HRESULT(STDMETHODCALLTYPE *Invoke)(void *, void *, void *);
};

} // namespace media_controls_abi
