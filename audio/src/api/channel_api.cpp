// Stream and channel calls: each finds its stream through the handle table, so a handle of
// 0, a freed one or one never issued gives BASS_ERROR_HANDLE and touches nothing. The
// stream found stays alive for the whole call even if another thread frees it meanwhile.
#include "brevora_audio.h"
#include "core/config.h"
#include "core/api_guard.h"
#include "core/error.h"
#include "library.h"
#include "stream/stream.h"

#include <atomic>

using namespace audio;

namespace {

// Sync handles are only handed back, never looked up; their top bits keep them apart from
// stream and encoder handles all the same.
constexpr HSYNC sync_handle_kind = 0x30000000;
constexpr HSYNC sync_number_mask = 0x0fffffff;
std::atomic<HSYNC> last_sync_number{0};

HSYNC new_sync_handle() {
    HSYNC number;
    do
        number = ++last_sync_number & sync_number_mask;
    while (number == 0);
    return sync_handle_kind | number;
}

} // namespace

HSTREAM BASS_StreamCreateURL(const char *url, DWORD, DWORD flags, DOWNLOADPROC *proc, void *user) {
    return guarded_call(HSTREAM{0}, [&] {
        if (!library_initialised())
            return fail(BASS_ERROR_INIT, HSTREAM{0});
        if (!url || !*url)
            return fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
        HSTREAM handle = 0;
        try {
            stream::request request;
            request.url = url;
            request.flags = flags;
            request.download_proc = proc;
            request.user = user;
            request.settings = current_network_settings();
            request.output_rate = output_rate();
            auto created = std::make_shared<stream>(std::move(request));
            handle = register_stream(created);
            if (!handle)
                return fail(library_initialised() ? BASS_ERROR_MEM : BASS_ERROR_INIT, HSTREAM{0});
            int error = created->connect(handle);
            if (error != BASS_OK) {
                free_stream(handle);
                return fail(error, HSTREAM{0});
            }
            return succeed(handle);
        } catch (const std::exception &failure) {
            // Out of memory, or a thread that could not start: the stream's other threads stop.
            free_stream(handle);
            return fail(error_of(failure), HSTREAM{0});
        }
    });
}

BOOL BASS_StreamFree(HSTREAM handle) {
    return guarded_call(FALSE, [&] {
        if (!free_stream(handle))
            return fail(BASS_ERROR_HANDLE, FALSE);
        return succeed(TRUE);
    });
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    return guarded_call(static_cast<QWORD>(-1), [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, static_cast<QWORD>(-1));
        QWORD position = 0;
        int error = BASS_OK;
        if (!found->file_position(mode, &position, &error))
            return fail(error, static_cast<QWORD>(-1));
        return succeed(position);
    });
}

DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask) {
    return guarded_call(static_cast<DWORD>(-1), [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, static_cast<DWORD>(-1));
        return succeed(found->change_flags(flags, mask));
    });
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    return guarded_call(static_cast<const char *>(nullptr), [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, static_cast<const char *>(nullptr));
        const char *text = found->tags(tags);
        if (!text)
            return fail(BASS_ERROR_NOTAVAIL, text);
        return succeed(text);
    });
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info) {
    return guarded_call(FALSE, [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (!info)
            return fail(BASS_ERROR_ILLPARAM, FALSE);
        found->info(info);
        return succeed(TRUE);
    });
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC *proc, void *user) {
    return guarded_call(HSYNC{0}, [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, HSYNC{0});
        HSYNC sync = new_sync_handle();
        int error = BASS_OK;
        if (!found->add_sync(sync, type, proc, user, &error))
            return fail(error, HSYNC{0});
        return succeed(sync);
    });
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL) {
    return guarded_call(FALSE, [&] {
        std::shared_ptr<stream> found = find_stream(handle);
        if (!found)
            return fail(BASS_ERROR_HANDLE, FALSE);
        // A live stream cannot go back: restarting plays on from where it is.
        found->play();
        return succeed(TRUE);
    });
}
