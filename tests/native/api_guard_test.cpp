// The guards at the C boundary and in the worker threads. Every entry point whose work allocates,
// given an allocation that fails, returns its documented failure with BASS_ERROR_MEM instead of
// letting std::bad_alloc cross extern "C"; one that allocates nothing works as usual. Afterwards
// the library still works and frees cleanly. An exception in a stream's thread ends that stream
// (its END sync fires), never the process.
//
// The failure is injected by this test program's own operator new: armed on the calling
// thread, it throws at the next allocation there. The library carries no hook.
#include "stream_test_support.h"

#include "core/debug_log.h"

#include <cstdlib>
#include <functional>
#include <new>

namespace {

thread_local bool fail_next_allocation = false;
thread_local bool allocation_failed = false;

} // namespace

// GCC takes the replacement's free for a mismatch with the library's new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void *operator new(std::size_t size) {
    if (fail_next_allocation) {
        fail_next_allocation = false;
        allocation_failed = true;
        throw std::bad_alloc();
    }
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void *memory) noexcept {
    std::free(memory);
}
void operator delete(void *memory, std::size_t) noexcept {
    std::free(memory);
}

using namespace stream_test;

namespace {

struct entry_point {
    const char *name;
    bool needs_library; // else called with the library stopped
    // Makes the call on the test's stream and encoder; true when it succeeded.
    std::function<bool(HSTREAM, HENCODE)> call;
};

void CALLBACK ignore_sync(HSYNC, DWORD, DWORD, void *) {}
void CALLBACK ignore_song(HENCODE, DWORD, DWORD, const char *, void *) {}

const entry_point entry_points[] = {
    {"BASS_GetVersion", false, [](HSTREAM, HENCODE) { return BASS_GetVersion() == 0x02040000; }},
    {"BASS_ErrorGetCode", false, [](HSTREAM, HENCODE) { return BASS_ErrorGetCode() == BASS_OK; }},
    {"BASS_Init", false, [](HSTREAM, HENCODE) { return BASS_Init(0, 44100, 0, nullptr, nullptr); }},
    {"BASS_Free", true, [](HSTREAM, HENCODE) { return BASS_Free() != FALSE; }},
    {"BASS_SetConfig", true,
     [](HSTREAM, HENCODE) { return BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 9000) != FALSE; }},
    {"BASS_GetConfig", true,
     [](HSTREAM, HENCODE) { return BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT) != DWORD(-1); }},
    {"BASS_SetConfigPtr", true,
     [](HSTREAM, HENCODE) {
         return BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, "a-long-proxy-name.test:8080") != FALSE;
     }},
    {"BASS_GetConfigPtr", true,
     [](HSTREAM, HENCODE) { return BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY) != nullptr; }},
    {"BASS_PluginLoad", true,
     [](HSTREAM, HENCODE) { return BASS_PluginLoad("bassflac.dll", 0) != 0; }},
    {"BASS_StreamCreateURL", true,
     [](HSTREAM, HENCODE) {
         HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
         return s != 0 && BASS_StreamFree(s);
     }},
    {"BASS_StreamFree", true, [](HSTREAM s, HENCODE) { return BASS_StreamFree(s) != FALSE; }},
    {"BASS_StreamGetFilePosition", true,
     [](HSTREAM s, HENCODE) {
         return BASS_StreamGetFilePosition(s, BASS_FILEPOS_DOWNLOAD) != QWORD(-1);
     }},
    {"BASS_ChannelFlags", true,
     [](HSTREAM s, HENCODE) {
         return BASS_ChannelFlags(s, BASS_STREAM_AUTOFREE, BASS_STREAM_AUTOFREE) != DWORD(-1);
     }},
    {"BASS_ChannelGetTags", true,
     [](HSTREAM s, HENCODE) { return BASS_ChannelGetTags(s, BASS_TAG_HTTP) != nullptr; }},
    {"BASS_ChannelGetInfo", true,
     [](HSTREAM s, HENCODE) {
         BASS_CHANNELINFO info{};
         return BASS_ChannelGetInfo(s, &info) != FALSE;
     }},
    {"BASS_ChannelSetSync", true,
     [](HSTREAM s, HENCODE) {
         return BASS_ChannelSetSync(s, BASS_SYNC_END, 0, ignore_sync, nullptr) != 0;
     }},
    {"BASS_ChannelPlay", true, [](HSTREAM s, HENCODE) { return BASS_ChannelPlay(s, FALSE); }},
    {"BASS_Encode_Start", true,
     [](HSTREAM s, HENCODE) {
         return BASS_Encode_Start(s, "lame --quiet -b 128 - /dev/null", 0, nullptr, nullptr);
     }},
    {"BASS_Encode_StartSongs", true,
     [](HSTREAM s, HENCODE) {
         return BASS_Encode_StartSongs(s, "lame --quiet -b 128 - /dev/null", BASS_ENCODE_SONG_START,
                                       ignore_song, nullptr);
     }},
    {"BASS_Encode_IsActive", true,
     [](HSTREAM, HENCODE e) { return BASS_Encode_IsActive(e) == BASS_ACTIVE_PLAYING; }},
    {"BASS_Encode_Stop", true, [](HSTREAM, HENCODE e) { return BASS_Encode_Stop(e) != FALSE; }},
};

// CTest lists each row by its name rather than by the struct's bytes.
void PrintTo(const entry_point &point, std::ostream *out) {
    *out << point.name;
}

class ApiGuard : public ::testing::TestWithParam<entry_point> {
  protected:
    void SetUp() override { BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, "proxy.test:8080"); }
    void TearDown() override { BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, nullptr); }
};

TEST_P(ApiGuard, AnAllocationThatFailsGivesTheDocumentedError) {
    const entry_point &point = GetParam();
    static const std::vector<uint8_t> tone =
        encode_tone("guard.mp3", 1000, 2, "-c:a libmp3lame -b:a 128k");
    ASSERT_FALSE(tone.empty());
    script plan;
    plan.bytes = tone;
    plan.stay_open = true;
    scripted_network network(plan);
    HSTREAM s = 0;
    HENCODE e = 0;
    if (point.needs_library) {
        ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
        s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        e = BASS_Encode_Start(s, "lame --quiet -b 128 - /dev/null", 0, nullptr, nullptr);
        ASSERT_NE(e, 0u) << BASS_ErrorGetCode();
    }
    allocation_failed = false;
    fail_next_allocation = true;
    bool succeeded = point.call(s, e);
    fail_next_allocation = false;
    int error = BASS_ErrorGetCode();
    RecordProperty("allocates", allocation_failed ? "yes" : "no");
    if (allocation_failed) {
        EXPECT_FALSE(succeeded) << point.name;
        EXPECT_EQ(error, BASS_ERROR_MEM) << point.name;
        // Nothing half done: the same call now succeeds.
        EXPECT_TRUE(point.call(s, e)) << point.name << ": " << BASS_ErrorGetCode();
    } else {
        EXPECT_TRUE(succeeded) << point.name << " allocates nothing: " << error;
    }
    BASS_Free();
}

// Whether the failing input's read may throw yet.
struct trigger {
    std::mutex lock;
    std::condition_variable changed;
    bool pulled = false;
    void pull() {
        std::lock_guard<std::mutex> guard(lock);
        pulled = true;
        changed.notify_all();
    }
};

// Gives the first half of `bytes`; then, once the trigger is pulled, fails in the download
// thread as memory would.
class failing_input final : public audio::network_input {
  public:
    failing_input(std::vector<uint8_t> bytes, std::shared_ptr<trigger> fail)
        : bytes_(std::move(bytes)), fail_(std::move(fail)) {}
    long read(uint8_t *buffer, size_t size) override {
        if (position_ >= bytes_.size() / 2) {
            std::unique_lock<std::mutex> guard(fail_->lock);
            fail_->changed.wait(guard, [&] { return fail_->pulled; });
            throw std::bad_alloc();
        }
        size = std::min(size, bytes_.size() / 2 - position_);
        std::copy_n(bytes_.data() + position_, size, buffer);
        position_ += size;
        return static_cast<long>(size);
    }
    void interrupt() override { fail_->pull(); }
    bool is_icy() const override { return false; }
    std::string content_type() const override { return "audio/mpeg"; }
    uint32_t bitrate_kbps() const override { return 128; }

  private:
    std::vector<uint8_t> bytes_;
    std::shared_ptr<trigger> fail_;
    size_t position_ = 0;
};

std::mutex log_lock;
std::vector<std::string> log_lines;
void keep_log_line(const std::string &line) {
    std::lock_guard<std::mutex> guard(log_lock);
    log_lines.push_back(line);
}

TEST(WorkerGuard, AnExceptionInTheDownloadThreadEndsTheStreamWithItsEndSync) {
    std::vector<uint8_t> tone = encode_tone("worker.mp3", 1000, 2, "-c:a libmp3lame -b:a 128k");
    ASSERT_FALSE(tone.empty());
    auto fail = std::make_shared<trigger>();
    audio::set_input_opener([tone, fail](const std::string &, const audio::connect_options &,
                                         audio::input_listener &listener, const std::atomic<bool> &,
                                         int *) -> std::unique_ptr<audio::network_input> {
        listener.on_response("HTTP/1.0 200 OK", {"Content-Type: audio/mpeg"});
        return std::make_unique<failing_input>(tone, fail);
    });
    audio::set_debug_log_sink(keep_log_line);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    sync_counter end;
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, count_sync, &end), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    fail->pull();
    EXPECT_TRUE(end.wait_for(1, std::chrono::seconds(10)));
    BASS_Free();
    audio::set_debug_log_sink(nullptr);
    audio::set_input_opener(nullptr);
    std::lock_guard<std::mutex> guard(log_lock);
    bool logged = false;
    for (const std::string &line : log_lines)
        logged = logged || line.find("download thread failed") != std::string::npos;
    EXPECT_TRUE(logged);
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, ApiGuard, ::testing::ValuesIn(entry_points),
                         [](const ::testing::TestParamInfo<entry_point> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
