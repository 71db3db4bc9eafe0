// Stream and channel calls: each finds its stream through the handle table, so a handle of
// 0, a freed one or one never issued gives BASS_ERROR_HANDLE and touches nothing. The
// stream found stays alive for the whole call even if another thread frees it meanwhile.
#include "brevora_audio.h"
#include "core/config.h"
#include "core/api_guard.h"
#include "core/error.h"
#include "library.h"
#include "output/mixer.h"
#include "stream/stream.h"

#include <algorithm>

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

// The API's names for a stream's tags, syncs and file positions, onto the stream's own.
template <typename Ours> struct api_name {
    DWORD api;
    Ours ours;
};

const api_name<tag_type> tag_names[] = {
    {BASS_TAG_HTTP, tag_type::http}, {BASS_TAG_ICY, tag_type::icy},
    {BASS_TAG_META, tag_type::meta}, {BASS_TAG_OGG, tag_type::ogg},
    {BASS_TAG_WMA, tag_type::wma},   {BASS_TAG_WMA_META, tag_type::wma_meta}};

const api_name<sync_type> sync_names[] = {{BASS_SYNC_END, sync_type::end},
                                          {BASS_SYNC_META, sync_type::meta},
                                          {BASS_SYNC_OGG_CHANGE, sync_type::ogg_change},
                                          {BASS_SYNC_WMA_CHANGE, sync_type::wma_change},
                                          {BASS_SYNC_WMA_META, sync_type::wma_meta}};

// The library's own value that `table` gives the API's `api`; false when it has none.
template <typename Ours, size_t count>
bool ours_of(const api_name<Ours> (&table)[count], DWORD api, Ours *ours) {
    for (const api_name<Ours> &name : table)
        if (name.api == api) {
            *ours = name.ours;
            return true;
        }
    return false;
}

// One BASS_FILEPOS_* value of the stream's positions; BASS_OK or the error.
int file_position_of(const stream::file_positions &at, DWORD mode, QWORD *position) {
    switch (mode) {
    case BASS_FILEPOS_CURRENT:
        *position = at.read;
        return BASS_OK;
    case BASS_FILEPOS_DOWNLOAD:
        *position = at.downloaded;
        return BASS_OK;
    case BASS_FILEPOS_END:
        *position = at.capacity;
        return BASS_OK;
    case BASS_FILEPOS_START:
        *position = 0;
        return BASS_OK;
    case BASS_FILEPOS_CONNECTED:
        *position = at.connected ? 1 : 0;
        return BASS_OK;
    case BASS_FILEPOS_BUFFER:
        *position = at.buffered;
        return BASS_OK;
    case BASS_FILEPOS_WMA_BUFFER:
        if (!at.asf)
            return BASS_ERROR_NOTAVAIL; // only WMA streams have it
        *position = std::min<QWORD>(100, at.buffered * 100 / std::max<QWORD>(at.capacity, 1));
        return BASS_OK;
    default:
        return BASS_ERROR_ILLTYPE;
    }
}

} // namespace

uint32_t audio::api_tag_of(tag_type type) {
    for (const api_name<tag_type> &name : tag_names)
        if (name.ours == type)
            return name.api;
    return 0;
}

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
            auto created = std::make_shared<stream>(std::move(request), library_mixer());
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
        int error = file_position_of(found->positions(), mode, &position);
        if (error != BASS_OK)
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
        tag_type type;
        const char *text = ours_of(tag_names, tags, &type) ? found->tags(type) : nullptr;
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
        sync_type event;
        if (!ours_of(sync_names, type, &event))
            return fail(BASS_ERROR_ILLTYPE, HSYNC{0});
        if (!proc)
            return fail(BASS_ERROR_ILLPARAM, HSYNC{0});
        HSYNC sync = new_sync_handle();
        found->add_sync(sync, event, proc, user);
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
