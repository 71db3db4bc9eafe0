// Encoder add-on: the channel's audio is piped to an external program as it plays. No
// encoder procedure is supported: the program writes its own output. Encoder handles live
// in a table of their own, so a stream handle given here (or an encoder handle given to a
// channel call) gives BASS_ERROR_HANDLE.
#include "brevora_audio.h"
#include "core/api_guard.h"
#include "core/error.h"
#include "encode/encoder.h"
#include "library.h"
#include "stream/stream.h"

using namespace audio;

HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD, ENCODEPROC *proc, void *) {
    return guarded_call(HENCODE{0}, [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, HENCODE{0});
        if (!command || !*command)
            return fail(BASS_ERROR_ILLPARAM, HENCODE{0});
        if (proc)
            return fail(BASS_ERROR_NOTAVAIL, HENCODE{0});
        std::shared_ptr<encoder> started;
        HENCODE encoder_handle = 0;
        try {
            int error = BASS_OK;
            started = encoder::start(command, handle, found->decoded_rate(), &error);
            if (!started)
                return fail(error, HENCODE{0});
            encoder_handle = register_encoder(started);
            if (!encoder_handle) {
                started->stop();
                return fail(BASS_ERROR_MEM, HENCODE{0});
            }
            if (!found->add_encoder(started)) {
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
