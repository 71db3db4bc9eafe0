// A stand-in for the system's media transport controls, loaded by Windows Runtime activation
// as the class Windows.Media.SystemMediaTransportControls once a test registers this DLL.
// Its objects are static and answer every interface with themselves: the player only asks
// for the ones it uses.
#include "fake_media_controls.h"
#include "desktop/media_controls_abi.h"

#include <cwchar>

using namespace media_controls_abi;

namespace {

CRITICAL_SECTION lock;
fake_media_controls_state state;

struct locked {
    locked() { EnterCriticalSection(&lock); }
    ~locked() { LeaveCriticalSection(&lock); }
};

HRESULT STDMETHODCALLTYPE query(void *self, REFIID, void **result) {
    *result = self;
    return S_OK;
}
ULONG STDMETHODCALLTYPE add_reference(void *) {
    return 2;
}
ULONG STDMETHODCALLTYPE release(void *) {
    return 1;
}
HRESULT STDMETHODCALLTYPE not_used(void *) {
    return E_NOTIMPL;
}
const inspectable_vtable inspectable = {query,    add_reference, release,
                                        not_used, not_used,      not_used};

void copy_text(wchar_t *target, size_t size, HSTRING text) {
    typedef const wchar_t *(WINAPI * raw_buffer_function)(HSTRING, UINT32 *);
    static auto raw_buffer = reinterpret_cast<raw_buffer_function>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"combase.dll"), "WindowsGetStringRawBuffer")));
    UINT32 length = 0;
    const wchar_t *characters = raw_buffer(text, &length);
    std::swprintf(target, size, L"%.*ls", static_cast<int>(length), characters);
}

HRESULT STDMETHODCALLTYPE put_title(void *, HSTRING text) {
    locked guard;
    copy_text(state.title, 512, text);
    return S_OK;
}
HRESULT STDMETHODCALLTYPE put_artist(void *, HSTRING text) {
    locked guard;
    copy_text(state.artist, 256, text);
    return S_OK;
}
const music_properties_vtable music_methods = {inspectable, not_used, put_title, not_used,
                                               not_used,    not_used, put_artist};
runtime_object<music_properties_vtable> music = {&music_methods};

HRESULT STDMETHODCALLTYPE put_type(void *, int) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE get_music(void *, void **result) {
    *result = &music;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE update(void *) {
    locked guard;
    ++state.updates;
    return S_OK;
}
const display_updater_vtable updater_methods = {
    inspectable, not_used, put_type, not_used, not_used, not_used, not_used,
    get_music,   not_used, not_used, not_used, not_used, update};
runtime_object<display_updater_vtable> updater = {&updater_methods};

HRESULT STDMETHODCALLTYPE put_status(void *, int status) {
    locked guard;
    state.status = status;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE get_updater(void *, void **result) {
    *result = &updater;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE put_enabled(void *, runtime_boolean enabled) {
    locked guard;
    state.enabled = enabled;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE put_button_enabled(void *, runtime_boolean) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE add_button_handler(void *, void *handler, event_token *token) {
    locked guard;
    state.button_handler = handler;
    token->value = 7;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE remove_button_handler(void *, event_token token) {
    locked guard;
    if (token.value == 7)
        state.button_handler = nullptr;
    return S_OK;
}
const controls_vtable controls_methods = {inspectable,
                                          not_used,
                                          put_status,
                                          get_updater,
                                          not_used,
                                          not_used,
                                          put_enabled,
                                          not_used,
                                          put_button_enabled,
                                          not_used,
                                          put_button_enabled,
                                          not_used,
                                          put_button_enabled,
                                          not_used,
                                          not_used,
                                          not_used,
                                          not_used,
                                          not_used,
                                          not_used,
                                          not_used,
                                          put_button_enabled,
                                          not_used,
                                          put_button_enabled,
                                          not_used,
                                          not_used,
                                          not_used,
                                          not_used,
                                          add_button_handler,
                                          remove_button_handler};
runtime_object<controls_vtable> controls = {&controls_methods};

// The activation factory is also the interop interface: both have their one method in the
// seventh slot, and only GetForWindow is called.
HRESULT STDMETHODCALLTYPE get_for_window(void *, HWND window, REFIID, void **result) {
    locked guard;
    state.window = window;
    *result = &controls;
    return S_OK;
}
const interop_vtable interop_methods = {inspectable, get_for_window};
runtime_object<interop_vtable> interop = {&interop_methods};

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetActivationFactory(HSTRING, void **factory) {
    *factory = &interop;
    return S_OK;
}

extern "C" __declspec(dllexport) void WINAPI snapshot(fake_media_controls_state *copy) {
    locked guard;
    *copy = state;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void *) {
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&lock);
    return TRUE;
}
