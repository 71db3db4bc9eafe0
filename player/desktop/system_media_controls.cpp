#include "system_media_controls.h"

#include "media_commands.h"
#include "media_controls_abi.h"

#include "playback/window_messages.h"

#include <objbase.h>

#include <cwchar>

namespace {

using namespace media_controls_abi;

HMODULE runtime_library;
create_reference_function create_string_reference;
runtime_object<controls_vtable> *controls; // owned; null when absent
event_token button_token;
HWND owner_window;
bool shown_playing;
wchar_t shown_artist[256], shown_title[512];

// The ButtonPressed handler. The system calls it on a thread of its own: it only posts the
// command to the window. One static object, so reference counting has nothing to free.
HRESULT STDMETHODCALLTYPE handler_query(void *self, REFIID id, void **result) {
    if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, button_handler_id) ||
        IsEqualGUID(id, agile_object_id)) {
        *result = self;
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE handler_add_reference(void *) {
    return 2;
}
ULONG STDMETHODCALLTYPE handler_release(void *) {
    return 1;
}

// Any thread (the system's).
HRESULT STDMETHODCALLTYPE handler_invoke(void *, void *, void *arguments) {
    int button = -1;
    auto *pressed = static_cast<runtime_object<button_arguments_vtable> *>(arguments);
    if (!pressed || FAILED(pressed->methods->get_Button(pressed, &button)))
        return S_OK;
    media_command command;
    switch (button) {
    case button_play:
        command = media_command::play;
        break;
    case button_pause:
        command = media_command::pause;
        break;
    case button_stop:
        command = media_command::stop;
        break;
    case button_next:
        command = media_command::next;
        break;
    case button_previous:
        command = media_command::previous;
        break;
    default:
        return S_OK;
    }
    PostMessageW(owner_window, WM_SYSTEM_MEDIA_BUTTON, static_cast<WPARAM>(command), 0);
    return S_OK;
}

const button_handler_vtable handler_methods = {handler_query, handler_add_reference,
                                               handler_release, handler_invoke};
runtime_object<button_handler_vtable> button_handler = {&handler_methods};

template <typename Vtable> void release(runtime_object<Vtable> *object) {
    if (object)
        object->methods->base.Release(object);
}

runtime_object<interop_vtable> *controls_factory() {
    runtime_library = LoadLibraryW(L"combase.dll");
    if (!runtime_library)
        return nullptr;
    // Through void (*)(): FARPROC's own type does not match any real signature.
    create_string_reference =
        reinterpret_cast<create_reference_function>(reinterpret_cast<void (*)()>(
            GetProcAddress(runtime_library, "WindowsCreateStringReference")));
    auto get_factory = reinterpret_cast<get_factory_function>(
        reinterpret_cast<void (*)()>(GetProcAddress(runtime_library, "RoGetActivationFactory")));
    if (!create_string_reference || !get_factory)
        return nullptr;
    static const wchar_t class_name[] = L"Windows.Media.SystemMediaTransportControls";
    HSTRING_HEADER header;
    HSTRING name = nullptr;
    if (FAILED(create_string_reference(class_name, sizeof class_name / sizeof(wchar_t) - 1, &header,
                                       &name)))
        return nullptr;
    void *factory = nullptr;
    if (FAILED(get_factory(name, interop_id, &factory)))
        return nullptr;
    return static_cast<runtime_object<interop_vtable> *>(factory);
}

// Gives a music property its text; a reference string lives only for the call.
void put_text(runtime_object<music_properties_vtable> *music,
              HRESULT(STDMETHODCALLTYPE *put)(void *, HSTRING), const wchar_t *text) {
    HSTRING_HEADER header;
    HSTRING value = nullptr;
    if (SUCCEEDED(
            create_string_reference(text, static_cast<UINT32>(std::wcslen(text)), &header, &value)))
        put(music, value);
}

} // namespace

bool attach_system_media_controls(HWND window) {
    owner_window = window;
    runtime_object<interop_vtable> *interop = controls_factory();
    if (!interop) {
        detach_system_media_controls();
        return false;
    }
    void *found = nullptr;
    interop->methods->GetForWindow(interop, window, controls_id, &found);
    release(interop);
    controls = static_cast<runtime_object<controls_vtable> *>(found);
    if (!controls) {
        detach_system_media_controls();
        return false;
    }
    const controls_vtable *methods = controls->methods;
    methods->put_IsEnabled(controls, TRUE);
    methods->put_IsPlayEnabled(controls, TRUE);
    methods->put_IsPauseEnabled(controls, TRUE);
    methods->put_IsStopEnabled(controls, TRUE);
    methods->put_IsNextEnabled(controls, TRUE);
    methods->put_IsPreviousEnabled(controls, TRUE);
    methods->put_PlaybackStatus(controls, status_stopped);
    methods->add_ButtonPressed(controls, &button_handler, &button_token);
    shown_playing = false;
    return true;
}

bool system_media_controls_attached() {
    return controls != nullptr;
}

void show_media_playback(bool playing) {
    if (!controls || playing == shown_playing)
        return;
    shown_playing = playing;
    controls->methods->put_PlaybackStatus(controls, playing ? status_playing : status_stopped);
}

void show_media_texts(const wchar_t *station_name, const wchar_t *song_title) {
    if (!controls ||
        (std::wcscmp(station_name, shown_artist) == 0 && std::wcscmp(song_title, shown_title) == 0))
        return;
    std::swprintf(shown_artist, sizeof shown_artist / sizeof(wchar_t), L"%ls", station_name);
    std::swprintf(shown_title, sizeof shown_title / sizeof(wchar_t), L"%ls", song_title);
    void *updater_found = nullptr;
    controls->methods->get_DisplayUpdater(controls, &updater_found);
    auto *updater = static_cast<runtime_object<display_updater_vtable> *>(updater_found);
    if (!updater)
        return;
    void *music_found = nullptr;
    updater->methods->put_Type(updater, type_music);
    updater->methods->get_MusicProperties(updater, &music_found);
    auto *music = static_cast<runtime_object<music_properties_vtable> *>(music_found);
    if (music) {
        put_text(music, music->methods->put_Artist, shown_artist);
        put_text(music, music->methods->put_Title, shown_title);
        updater->methods->Update(updater);
        release(music);
    }
    release(updater);
}

void detach_system_media_controls() {
    if (controls) {
        controls->methods->remove_ButtonPressed(controls, button_token);
        controls->methods->put_IsEnabled(controls, FALSE);
        release(controls);
    }
    controls = nullptr;
    shown_artist[0] = shown_title[0] = L'\0';
    if (runtime_library)
        FreeLibrary(runtime_library);
    runtime_library = nullptr;
    create_string_reference = nullptr;
}
