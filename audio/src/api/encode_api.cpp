// Encoder add-on: the channel's audio is piped to an external program as it plays, from the
// current song's start when asked, in one file per song when asked. No encoder procedure is
// supported: the program writes its own output. Encoder handles live
// in a table of their own, so a stream handle given here (or an encoder handle given to a
// channel call) gives BASS_ERROR_HANDLE.
#include "brevora_audio.h"
#include "core/api_guard.h"
#include "core/config.h"
#include "core/error.h"
#include "encode/encoder.h"
#include "library.h"
#include "stream/stream.h"

#include <functional>

using namespace audio;

namespace {

// The calling thread: starts the program and adds it to the stream's encoders.
HENCODE
start_encoder(DWORD handle, const char *command, DWORD flags,
              const std::function<file_finished_hook(std::shared_ptr<const HENCODE>)> &song_hook) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, HENCODE{0});
    if (!command || !*command)
        return fail(BASS_ERROR_ILLPARAM, HENCODE{0});
    const bool from_song_start = (flags & BASS_ENCODE_SONG_START) != 0;
    encoder_limits limits;
    if (from_song_start)
        limits.queue_length +=
            std::chrono::milliseconds(100 * current_network_settings().history_s);
    std::shared_ptr<encoder> started;
    // The hook reports the handle, which exists only once the encoder has been registered;
    // the encoder tells no file before the stream has added it (its writer waits for that).
    auto handle_slot = std::make_shared<HENCODE>(0);
    HENCODE encoder_handle = 0;
    try {
        int error = BASS_OK;
        started = encoder::start(command, handle, found->decoded_rate(), &error, limits,
                                 song_hook ? song_hook(handle_slot) : file_finished_hook{});
        if (!started)
            return fail(error, HENCODE{0});
        encoder_handle = register_encoder(started);
        if (!encoder_handle) {
            started->stop();
            return fail(BASS_ERROR_MEM, HENCODE{0});
        }
        *handle_slot = encoder_handle;
        if (!found->add_encoder(started, from_song_start)) {
            // The stream was freed meanwhile.
            forget_encoder(encoder_handle);
            started->stop();
            return fail(BASS_ERROR_HANDLE, HENCODE{0});
        }
        // A free that began before the encoder was added has already forgotten the
        // stream's encoders; the stream's shut-down stops this one.
        if (!find_stream(handle)) {
            forget_encoder(encoder_handle);
            return fail(BASS_ERROR_HANDLE, HENCODE{0});
        }
        return succeed(encoder_handle);
    } catch (const std::exception &failure) {
        // Out of memory, or the writer thread could not start: nothing is left running.
        if (started) {
            found->remove_encoder(started.get());
            forget_encoder(encoder_handle);
            started->stop();
        }
        return fail(error_of(failure), HENCODE{0});
    }
}

} // namespace

HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD flags, ENCODEPROC *proc,
                          void *) {
    return guarded_call(HENCODE{0}, [&] {
        if (proc && find_stream(handle) && command && *command)
            return fail(BASS_ERROR_NOTAVAIL, HENCODE{0});
        return start_encoder(handle, command, flags, {});
    });
}

HENCODE BASS_Encode_StartSongs(DWORD handle, const char *command, DWORD flags, ENCODESONGPROC *proc,
                               void *user) {
    return guarded_call(HENCODE{0}, [&] {
        if (!proc)
            return fail(BASS_ERROR_ILLPARAM, HENCODE{0});
        return start_encoder(
            handle, command, flags, [proc, user](std::shared_ptr<const HENCODE> encoder_handle) {
                return [proc, user, encoder_handle](const finished_song &file) {
                    const DWORD flags = (file.from_start ? BASS_SONG_FROM_START : 0) |
                                        (file.to_end ? BASS_SONG_TO_END : 0);
                    const bool told = !file.song.text.empty();
                    proc(*encoder_handle, flags,
                         told ? api_tag_of(static_cast<tag_type>(file.song.tag_kind)) : 0,
                         told ? file.song.text.c_str() : nullptr, user);
                };
            });
    });
}

DWORD BASS_Encode_IsActive(DWORD handle) {
    return guarded_call(DWORD{BASS_ACTIVE_STOPPED}, [&] {
        std::shared_ptr<encoder> found = find_encoder(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
        const DWORD state = found->is_active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
        return succeed(state);
    });
}

BOOL BASS_Encode_Stop(DWORD handle) {
    return guarded_call(FALSE, [&] {
        std::shared_ptr<encoder> stopped = forget_encoder(handle);
        if (!stopped)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (std::shared_ptr<stream> recorded = find_stream(stopped->channel()))
            recorded->remove_encoder(stopped.get());
        stopped->stop();
        return succeed(TRUE);
    });
}
