// Library-wide calls: version, start-up and release, options, plug-ins, errors.
#include "brevora_audio.h"
#include "core/config.h"
#include "core/api_guard.h"
#include "core/error.h"
#include "library.h"
#include "output/mixer.h"

#include <cctype>
#include <cstring>
#include <exception>
#include <mutex>

using namespace audio;

namespace {

// The plug-in names the player loads: their formats are decoded by this library itself,
// so loading one only reports success. Handles are fixed and non-zero.
const char *const built_in_plugins[] = {"bass_aac.dll", "bassflac.dll", "basswma.dll"};
const HPLUGIN first_plugin_handle = 0x70000001;

bool same_text_ignoring_case(const char *a, const char *b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// The file-name part of a path, after the last slash or backslash.
const char *file_name_of(const char *path) {
    const char *name = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

} // namespace

DWORD BASS_GetVersion(void) {
    return guarded_call(DWORD{0}, [] { return DWORD{0x02040000}; });
}

int BASS_ErrorGetCode(void) {
    return guarded_call(int{BASS_ERROR_UNKNOWN}, [] { return last_error(); });
}

BOOL BASS_Init(int device, DWORD freq, DWORD, HWND, const void *) {
    return guarded_call(FALSE, [&] {
        // Only the default device exists: -1 and 1 name it; 0 is the silent output.
        if (device < -1 || device > 1)
            return fail(BASS_ERROR_DEVICE, FALSE);
        if (freq == 0 || freq > 384000)
            return fail(BASS_ERROR_FREQ, FALSE);
        try {
            int error = start_library(device, static_cast<int>(freq));
            if (error != BASS_OK)
                return fail(error, FALSE);
            return succeed(TRUE);
        } catch (const std::exception &) {
            // The output's thread or buffers could not be made: nothing was opened.
            return fail(BASS_ERROR_MEM, FALSE);
        }
    });
}

BOOL BASS_Free(void) {
    return guarded_call(FALSE, [&] {
        // Stops every stream, waits for the library's threads, then closes the output.
        if (!stop_library())
            return fail(BASS_ERROR_INIT, FALSE);
        return succeed(TRUE);
    });
}

BOOL BASS_SetConfig(DWORD option, DWORD value) {
    return guarded_call(FALSE, [&] {
        // Under one lock, so that the mixer ends up with the volume the option keeps.
        static std::mutex volume_lock;
        std::lock_guard<std::mutex> guard(volume_lock);
        if (!set_config_value(option, value))
            return FALSE;
        if (option == BASS_CONFIG_GVOL_STREAM)
            library_mixer().set_volume(value);
        return TRUE;
    });
}

DWORD BASS_GetConfig(DWORD option) {
    return guarded_call(static_cast<DWORD>(-1), [&] {
        uint32_t value = 0;
        return get_config_value(option, &value) ? value : static_cast<DWORD>(-1);
    });
}

BOOL BASS_SetConfigPtr(DWORD option, const void *value) {
    return guarded_call(FALSE, [&] {
        return set_config_text(option, static_cast<const char *>(value)) ? TRUE : FALSE;
    });
}

const void *BASS_GetConfigPtr(DWORD option) {
    return guarded_call(static_cast<const void *>(nullptr),
                        [&] { return get_config_text(option); });
}

HPLUGIN BASS_PluginLoad(const char *file, DWORD) {
    return guarded_call(HPLUGIN{0}, [&] {
        if (!file)
            return fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
        const char *name = file_name_of(file);
        for (size_t i = 0; i < sizeof built_in_plugins / sizeof built_in_plugins[0]; ++i)
            if (same_text_ignoring_case(name, built_in_plugins[i]))
                return succeed(static_cast<HPLUGIN>(first_plugin_handle + i));
        return fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    });
}
