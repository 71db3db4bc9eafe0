// A scriptable stand-in for the audio library, linked into the player's tests in place of
// the real one: it records every call and answers from what the test set up.
#pragma once

#include "brevora_audio.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct fake_stream {
    QWORD buffered = 0;
    QWORD buffer_size = 80000;
    QWORD connected = 1;
    QWORD wma_buffer = 0;
    DWORD ctype = BASS_CTYPE_STREAM_MP3;
    std::map<DWORD, std::string> tags; // tag type -> block, NULs included
    bool freed = false;
    bool playing = false;
};

struct fake_sync {
    DWORD stream;
    DWORD type;
    SYNCPROC *procedure;
    void *user;
};

struct fake_connection { // what BASS_StreamCreateURL does for one URL
    HSTREAM handle = 0;  // 0: fail with error_code
    int error_code = BASS_ERROR_FILEOPEN;
    std::string status_text;       // given to the download procedure, when not empty
    bool wait_for_release = false; // block until release_connections() or BASS_Free
};

// Every field is guarded by fake.lock; tests take it through the helpers below.
struct fake_audio_state {
    std::mutex lock;
    std::condition_variable changed;
    DWORD version = 0x02040000;
    bool initialised = false;
    std::vector<std::string> calls;
    std::map<DWORD, DWORD> config;
    const void *proxy = nullptr;
    std::map<std::string, fake_connection> connections;
    std::map<DWORD, fake_stream> streams;
    std::vector<fake_sync> syncs;
    int connecting = 0; // calls blocked in BASS_StreamCreateURL
    bool connections_released = false;
    DWORD encoder_state = BASS_ACTIVE_STOPPED;
    HENCODE next_encoder = 0x4000; // 0: BASS_Encode_Start fails
    std::string encoder_command;
    DWORD encoder_flags = 0;
    ENCODESONGPROC *song_proc = nullptr; // of the latest BASS_Encode_StartSongs
};

extern fake_audio_state fake;

// Forgets everything: a fresh library before each test.
void reset_fake_audio();
std::vector<std::string> fake_calls();
bool fake_called(const std::string &call);
// Waits (up to timeout_ms) until predicate holds under the lock.
template <typename Predicate> bool wait_for_fake(Predicate predicate, int timeout_ms = 15000) {
    std::unique_lock<std::mutex> guard(fake.lock);
    return fake.changed.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                                 [&] { return predicate(fake); });
}
void release_connections();
// Calls every registered sync of the given type on stream, on the calling thread.
void fire_syncs(DWORD stream, DWORD type);
