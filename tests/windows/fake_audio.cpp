#include "fake_audio.h"

#include <cstdio>

fake_audio_state fake;

namespace {

thread_local int thread_error = 0;

template <typename T> T fail(int code, T value) {
    thread_error = code;
    return value;
}
template <typename T> T succeed(T value) {
    thread_error = BASS_OK;
    return value;
}

// Caller holds fake.lock.
void record(const std::string &call) {
    fake.calls.push_back(call);
    fake.changed.notify_all();
}

std::string format(const char *pattern, unsigned long a, unsigned long b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// Caller holds fake.lock. The live stream of a handle, or null.
fake_stream *live_stream(DWORD handle) {
    auto found = fake.streams.find(handle);
    if (found == fake.streams.end() || found->second.freed)
        return nullptr;
    return &found->second;
}

} // namespace

void reset_fake_audio() {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.version = 0x02040000;
    fake.initialised = false;
    fake.calls.clear();
    fake.config.clear();
    fake.proxy = nullptr;
    fake.connections.clear();
    fake.streams.clear();
    fake.syncs.clear();
    fake.connecting = 0;
    fake.connections_released = false;
    fake.encoder_state = BASS_ACTIVE_STOPPED;
    fake.next_encoder = 0x4000;
    fake.encoder_command.clear();
    fake.encoder_flags = 0;
    fake.song_proc = nullptr;
}

std::vector<std::string> fake_calls() {
    std::lock_guard<std::mutex> guard(fake.lock);
    return fake.calls;
}

bool fake_called(const std::string &call) {
    for (const std::string &made : fake_calls())
        if (made == call)
            return true;
    return false;
}

void release_connections() {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.connections_released = true;
    fake.changed.notify_all();
}

void fire_syncs(DWORD stream, DWORD type) {
    std::vector<fake_sync> matching;
    {
        std::lock_guard<std::mutex> guard(fake.lock);
        for (const fake_sync &sync : fake.syncs)
            if (sync.stream == stream && sync.type == type && live_stream(stream))
                matching.push_back(sync);
    }
    for (const fake_sync &sync : matching)
        sync.procedure(1, sync.stream, 0, sync.user);
}

DWORD BASS_GetVersion(void) {
    std::lock_guard<std::mutex> guard(fake.lock);
    return fake.version;
}

int BASS_ErrorGetCode(void) {
    return thread_error;
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND, const void *) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_Init(%ld,%lu", device, freq) + format(",%lu)", flags));
    fake.initialised = true;
    return succeed(TRUE);
}

BOOL BASS_Free(void) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record("BASS_Free");
    fake.initialised = false;
    fake.connections_released = true;
    for (auto &entry : fake.streams)
        entry.second.freed = true;
    return succeed(TRUE);
}

BOOL BASS_SetConfig(DWORD option, DWORD value) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_SetConfig(%lu,%lu)", option, value));
    fake.config[option] = value;
    return succeed(TRUE);
}

DWORD BASS_GetConfig(DWORD option) {
    std::lock_guard<std::mutex> guard(fake.lock);
    if (option == BASS_CONFIG_NET_BUFFER && !fake.config.count(option))
        return succeed(DWORD{5000});
    auto found = fake.config.find(option);
    if (found == fake.config.end())
        return fail(BASS_ERROR_ILLTYPE, static_cast<DWORD>(-1));
    return succeed(found->second);
}

BOOL BASS_SetConfigPtr(DWORD option, const void *value) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_SetConfigPtr(%lu)", option) + ":" +
           (value ? static_cast<const char *>(value) : "(null)"));
    fake.proxy = value;
    return succeed(TRUE);
}

const void *BASS_GetConfigPtr(DWORD) {
    std::lock_guard<std::mutex> guard(fake.lock);
    return fake.proxy;
}

HPLUGIN BASS_PluginLoad(const char *file, DWORD) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(std::string("BASS_PluginLoad(") + file + ")");
    return succeed(HPLUGIN{1});
}

HSTREAM BASS_StreamCreateURL(const char *url, DWORD, DWORD flags, DOWNLOADPROC *proc, void *user) {
    fake_connection connection;
    {
        std::unique_lock<std::mutex> guard(fake.lock);
        record(std::string("BASS_StreamCreateURL(") + url + format(",0x%lx)", flags));
        auto found = fake.connections.find(url);
        if (found != fake.connections.end())
            connection = found->second;
        if (connection.wait_for_release) {
            ++fake.connecting;
            fake.changed.notify_all();
            fake.changed.wait(guard, [] { return fake.connections_released; });
            --fake.connecting;
        }
        if (!fake.initialised)
            return fail(BASS_ERROR_INIT, HSTREAM{0});
    }
    if (!connection.handle)
        return fail(connection.error_code, HSTREAM{0});
    if (!connection.status_text.empty() && proc)
        proc(connection.status_text.c_str(), 0, user);
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.streams[connection.handle].freed = false;
    return succeed(connection.handle);
}

BOOL BASS_StreamFree(HSTREAM handle) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_StreamFree(%lu)", handle));
    fake_stream *stream = live_stream(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, FALSE);
    stream->freed = true;
    return succeed(TRUE);
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake_stream *stream = live_stream(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, static_cast<QWORD>(-1));
    switch (mode) {
    case BASS_FILEPOS_BUFFER:
        return succeed(stream->buffered);
    case BASS_FILEPOS_END:
        return succeed(stream->buffer_size);
    case BASS_FILEPOS_CONNECTED:
        return succeed(stream->connected);
    case BASS_FILEPOS_WMA_BUFFER:
        return succeed(stream->wma_buffer);
    default:
        return fail(BASS_ERROR_ILLTYPE, static_cast<QWORD>(-1));
    }
}

DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_ChannelFlags(%lu,0x%lx", handle, flags) + format(",0x%lx)", mask));
    if (!live_stream(handle))
        return fail(BASS_ERROR_HANDLE, static_cast<DWORD>(-1));
    return succeed(flags & mask);
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD type) {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake_stream *stream = live_stream(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, static_cast<const char *>(nullptr));
    auto found = stream->tags.find(type);
    if (found == stream->tags.end())
        return fail(BASS_ERROR_NOTAVAIL, static_cast<const char *>(nullptr));
    return succeed(found->second.c_str());
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info) {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake_stream *stream = live_stream(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, FALSE);
    *info = BASS_CHANNELINFO{44100, 2, 0, stream->ctype, 0, 0, 0, nullptr};
    return succeed(TRUE);
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC *proc, void *user) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_ChannelSetSync(%lu,0x%lx)", handle, type));
    if (!live_stream(handle))
        return fail(BASS_ERROR_HANDLE, HSYNC{0});
    fake.syncs.push_back(fake_sync{handle, type, proc, user});
    return succeed(static_cast<HSYNC>(fake.syncs.size()));
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_ChannelPlay(%lu,%lu)", handle, restart));
    fake_stream *stream = live_stream(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, FALSE);
    stream->playing = true;
    return succeed(TRUE);
}

namespace {

HENCODE start_fake_encoder(const char *call, DWORD handle, const char *command, DWORD flags) {
    record(std::string(call) + format("(%lu)", handle) + ":" + command);
    fake.encoder_command = command;
    fake.encoder_flags = flags;
    if (!live_stream(handle) || !fake.next_encoder)
        return fail(BASS_ERROR_FILEOPEN, HENCODE{0});
    fake.encoder_state = BASS_ACTIVE_PLAYING;
    return succeed(fake.next_encoder);
}

} // namespace

HENCODE BASS_Encode_Start(DWORD handle, const char *command, DWORD flags, ENCODEPROC *, void *) {
    std::lock_guard<std::mutex> guard(fake.lock);
    return start_fake_encoder("BASS_Encode_Start", handle, command, flags);
}

HENCODE BASS_Encode_StartSongs(DWORD handle, const char *command, DWORD flags, ENCODESONGPROC *proc,
                               void *) {
    std::lock_guard<std::mutex> guard(fake.lock);
    fake.song_proc = proc;
    return start_fake_encoder("BASS_Encode_StartSongs", handle, command, flags);
}

DWORD BASS_Encode_IsActive(DWORD handle) {
    std::lock_guard<std::mutex> guard(fake.lock);
    if (!handle)
        return fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
    return succeed(fake.encoder_state);
}

BOOL BASS_Encode_Stop(DWORD handle) {
    std::lock_guard<std::mutex> guard(fake.lock);
    record(format("BASS_Encode_Stop(%lu)", handle));
    fake.encoder_state = BASS_ACTIVE_STOPPED;
    return succeed(TRUE);
}
