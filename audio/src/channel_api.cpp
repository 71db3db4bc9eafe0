// Stream and channel calls: each finds its stream through the handle table, so a handle of
// 0, a freed one or one never issued gives BASS_ERROR_HANDLE and touches nothing. The
// stream found stays alive for the whole call even if another thread frees it meanwhile.
#include "brevora_audio.h"
#include "core/config.h"
#include "core/error.h"
#include "core/library.h"
#include "encode/encoder.h"
#include "encode/encoders.h"
#include "stream/stream.h"

#include <atomic>
#include <new>

using namespace audio;

namespace {

std::atomic<HSYNC> last_sync_handle{0};

HSYNC new_sync_handle() {
    HSYNC handle;
    do
        handle = ++last_sync_handle;
    while (handle == 0);
    return handle;
}

} // namespace

HSTREAM BASS_StreamCreateURL(const char *url, DWORD, DWORD flags, DOWNLOADPROC *proc, void *user) {
    if (!library_initialised())
        return fail(BASS_ERROR_INIT, HSTREAM{0});
    if (!url || !*url)
        return fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    try {
        stream::request request;
        request.url = url;
        request.flags = flags;
        request.download_proc = proc;
        request.user = user;
        request.settings = current_network_settings();
        request.output_rate = output_rate();
        auto created = std::make_shared<stream>(std::move(request));
        HSTREAM handle = register_stream(created);
        if (!handle)
            return fail(library_initialised() ? BASS_ERROR_MEM : BASS_ERROR_INIT, HSTREAM{0});
        int error = created->connect(handle);
        if (error != BASS_OK) {
            free_stream(handle);
            return fail(error, HSTREAM{0});
        }
        return succeed(handle);
    } catch (const std::bad_alloc &) {
        return fail(BASS_ERROR_MEM, HSTREAM{0});
    } catch (...) {
        // Thread creation failed, for one.
        return fail(BASS_ERROR_UNKNOWN, HSTREAM{0});
    }
}

BOOL BASS_StreamFree(HSTREAM handle) {
    if (!free_stream(handle))
        return fail(BASS_ERROR_HANDLE, FALSE);
    return succeed(TRUE);
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, static_cast<QWORD>(-1));
    QWORD position = 0;
    int error = BASS_OK;
    if (!found->file_position(mode, &position, &error))
        return fail(error, static_cast<QWORD>(-1));
    return succeed(position);
}

DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, static_cast<DWORD>(-1));
    return succeed(found->change_flags(flags, mask));
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, static_cast<const char *>(nullptr));
    const char *text = found->tags(tags);
    if (!text)
        return fail(BASS_ERROR_NOTAVAIL, text);
    return succeed(text);
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, FALSE);
    if (!info)
        return fail(BASS_ERROR_ILLPARAM, FALSE);
    found->info(info);
    return succeed(TRUE);
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC *proc, void *user) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, HSYNC{0});
    HSYNC sync = new_sync_handle();
    int error = BASS_OK;
    if (!found->add_sync(sync, type, proc, user, &error))
        return fail(error, HSYNC{0});
    return succeed(sync);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, FALSE);
    // A live stream cannot go back: restarting plays on from where it is.
    found->play();
    return succeed(TRUE);
}

// Encoder add-on: the channel's audio is piped to an external program as it plays. No
// encoder procedure is supported: the program writes its own output.
HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD, ENCODEPROC *proc, void *) {
    std::shared_ptr<stream> found = find_stream(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, HENCODE{0});
    if (!command || !*command)
        return fail(BASS_ERROR_ILLPARAM, HENCODE{0});
    if (proc)
        return fail(BASS_ERROR_NOTAVAIL, HENCODE{0});
    try {
        int error = BASS_OK;
        std::shared_ptr<encoder> started =
            encoder::start(command, handle, found->decoded_rate(), &error);
        if (!started)
            return fail(error, HENCODE{0});
        HENCODE encoder_handle = register_encoder(started);
        if (!encoder_handle) {
            started->stop();
            return fail(BASS_ERROR_MEM, HENCODE{0});
        }
        if (!found->add_encoder(encoder_handle, started)) {
            // The stream was freed meanwhile.
            forget_encoder(encoder_handle);
            started->stop();
            return fail(BASS_ERROR_HANDLE, HENCODE{0});
        }
        return succeed(encoder_handle);
    } catch (const std::bad_alloc &) {
        return fail(BASS_ERROR_MEM, HENCODE{0});
    } catch (...) {
        // Thread creation failed, for one.
        return fail(BASS_ERROR_UNKNOWN, HENCODE{0});
    }
}

DWORD BASS_Encode_IsActive(DWORD handle) {
    std::shared_ptr<encoder> found = find_encoder(handle);
    if (!found)
        return fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
    const DWORD state = found->is_active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
    return succeed(state);
}

BOOL BASS_Encode_Stop(DWORD handle) {
    std::shared_ptr<encoder> stopped = forget_encoder(handle);
    if (!stopped)
        return fail(BASS_ERROR_HANDLE, FALSE);
    if (std::shared_ptr<stream> recorded = find_stream(stopped->channel()))
        recorded->remove_encoder(stopped.get());
    stopped->stop();
    return succeed(TRUE);
}
