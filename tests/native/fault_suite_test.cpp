// The fault suite: BASS_StreamCreateURL against hostile stations of the scripted server
// (tests/servers/routes_faults.py and some of radio_test_server.py's routes), one row each.
// Every row ends in its error code or in playback, within a bound that is a generous
// multiple of the row's own expected time; a stream that plays keeps its tags bounded and
// is freed promptly.
#include "input_test_server.h"
#include "stream_test_support.h"

#include "api/library.h"
#include "stream/input_opener.h"
#include "stream/stream.h"

#include "brevora_audio.h"

#include <cctype>
#include <chrono>
#include <ostream>

namespace {

using clock_type = std::chrono::steady_clock;

constexpr DWORD timeout_ms = 2000;
const int plays = 0; // a row's outcome when the stream should play

struct fault_row {
    const char *what;
    const char *listener; // "http", or one of the HTTPS listeners
    const char *host;
    const char *path;
    int outcome;            // a BASS_ERROR_* code, or `plays`
    double expected_phases; // time-outs the row is expected to wait (0: none)
    // Of a row that plays a tone: the channel type and the pitch of what it plays.
    DWORD ctype = 0;
    double tone_hz = 0;
    // Of a row with a damaged page or frame: the pitch after it (the stream plays on).
    double then_hz = 0;
};

// CTest lists each row by its path rather than by the struct's bytes.
void PrintTo(const fault_row &row, std::ostream *out) {
    *out << row.path;
}

const fault_row rows[] = {
    {"close before the status line", "http", "127.0.0.1", "/close?at=status", BASS_ERROR_FILEOPEN,
     0},
    {"close inside the headers", "http", "127.0.0.1", "/close?at=headers", BASS_ERROR_FILEOPEN, 0},
    {"close inside a metadata block", "http", "127.0.0.1", "/close?at=metadata", plays, 0},
    {"close inside an audio frame", "http", "127.0.0.1", "/close?at=frame", plays, 0},
    {"close inside the first frame", "http", "127.0.0.1", "/close?at=first-frame", plays, 0},
    {"1 MB of headers", "http", "127.0.0.1", "/big-headers?kib=1024", BASS_ERROR_FILEOPEN, 0},
    {"one 64 KiB header line", "http", "127.0.0.1", "/long-header?kib=64", BASS_ERROR_FILEOPEN, 0},
    {"icy-metaint 0", "http", "127.0.0.1", "/mp3-metaint?value=0", plays, 0},
    {"icy-metaint negative", "http", "127.0.0.1", "/mp3-metaint?value=-16", plays, 0},
    {"icy-metaint over 1 MB", "http", "127.0.0.1", "/mp3-metaint?value=2000000", plays, 0},
    {"metadata length past the end", "http", "127.0.0.1", "/meta-past-end", plays, 0},
    {"endless metadata blocks", "http", "127.0.0.1", "/endless-meta", plays, 0},
    {"redirect loop", "http", "127.0.0.1", "/redirect-loop", BASS_ERROR_FILEOPEN, 0},
    {"chain of 20 redirects", "http", "127.0.0.1", "/redirect-chain?n=20", BASS_ERROR_FILEOPEN, 0},
    // An address in a relative reference's query does not make it absolute.
    {"redirect to a path whose query holds an address", "http", "127.0.0.1", "/query-redirect",
     plays, 0},
    {"playlist entry whose query holds an address", "http", "127.0.0.1", "/query-playlist", plays,
     0},
    // An ENTRYREF is followed once, also across the Windows Media request it led to.
    {"second ENTRYREF after a Windows Media hop", "http", "127.0.0.1", "/entry-ref-start.asx",
     BASS_ERROR_FILEOPEN, 0},
    // 16 entries are tried, each refused at once: well within one time-out.
    {"playlist of 10,000 dead entries", "http", "127.0.0.1", "/dead-playlist", BASS_ERROR_FILEOPEN,
     1},
    {"playlist over 256 KiB", "http", "127.0.0.1", "/dead-playlist?entries=12000",
     BASS_ERROR_FILEFORM, 0},
    {"random bytes as audio", "http", "127.0.0.1", "/random", BASS_ERROR_FILEFORM, 0},
    {"MP3 that turns into AAC after a reconnect", "http", "127.0.0.1", "/mp3-then-aac", plays, 0,
     BASS_CTYPE_STREAM_AAC, 440},
    {"one byte a second", "http", "127.0.0.1", "/trickle", BASS_ERROR_TIMEOUT, 1},
    {"200 bytes of an MP3 frame, then nothing", "http", "127.0.0.1", "/mp3-stall",
     BASS_ERROR_TIMEOUT, 1},
    {"headers, then nothing", "http", "127.0.0.1", "/head-stall", BASS_ERROR_TIMEOUT, 1},
    // Two seconds of 440 Hz, then 880 Hz; the damage lies in the first tone.
    {"damaged page in Ogg Vorbis", "http", "127.0.0.1", "/damaged?format=vorbis", plays, 0,
     BASS_CTYPE_STREAM_OGG, 440, 880},
    {"damaged page in Ogg Opus", "http", "127.0.0.1", "/damaged?format=opus", plays, 0,
     BASS_CTYPE_STREAM_OPUS, 440, 880},
    {"damaged page in Ogg FLAC", "http", "127.0.0.1", "/damaged?format=flac", plays, 0,
     BASS_CTYPE_STREAM_OGG_FLAC, 440, 880},
    {"corrupt MP3 frame", "http", "127.0.0.1", "/damaged?format=mp3", plays, 0,
     BASS_CTYPE_STREAM_MP3, 440, 880},
    {"corrupt AAC frame", "http", "127.0.0.1", "/damaged?format=aac", plays, 0,
     BASS_CTYPE_STREAM_AAC, 440, 880},
    {"TLS with a trusted certificate", "https", "localhost", "/mp3", plays, 0},
    {"TLS with an expired certificate", "https_expired", "localhost", "/mp3", BASS_ERROR_SSL, 0},
    {"TLS with a self-signed certificate", "https_self_signed", "localhost", "/mp3", BASS_ERROR_SSL,
     0},
    {"TLS with a wrong-host certificate", "https", "127.0.0.1", "/mp3", BASS_ERROR_SSL, 0},
};

// Two texts of each tag at most, and none over the header block or a metadata block.
constexpr size_t tag_bytes_bound = 2 * (64 * 1024 + 4080);

class FaultSuite : public ::testing::TestWithParam<fault_row> {
  protected:
    static void SetUpTestSuite() {
        server_ = new input_test::radio_server;
        // The streams trust the server's own certificate authority, as the system's would
        // trust a real station's: only the faulty certificates fail.
        std::string ca_file = server_->info().ca_file;
        audio::set_input_opener([ca_file](const std::string &url,
                                          const audio::connect_options &options,
                                          audio::input_listener &listener,
                                          const std::atomic<bool> &cancelled, int *error) {
            audio::connect_options trusting = options;
            trusting.tls_ca_file = ca_file;
            return audio::open_network_input(url, trusting, listener, cancelled, error);
        });
    }
    static void TearDownTestSuite() {
        audio::set_input_opener(nullptr);
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ready()) << "the test server did not start";
        ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, timeout_ms);
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
    }

    static input_test::radio_server *server_;
};

input_test::radio_server *FaultSuite::server_ = nullptr;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

TEST_P(FaultSuite, EndsInItsErrorOrPlaysWithinItsBound) {
    const fault_row &row = GetParam();
    // Three times the row's own wait, and never less than three time-outs.
    const double bound = 3 * std::max(row.expected_phases, 1.0) * timeout_ms / 1000.0;
    std::string url = std::string(row.listener == std::string("http") ? "http" : "https") + "://" +
                      row.host + ":" + std::to_string(server_->info().ports.at(row.listener)) +
                      row.path;

    stream_test::output_capture capture;
    auto start = clock_type::now();
    HSTREAM stream = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    int error = BASS_ErrorGetCode();
    EXPECT_LT(seconds_since(start), bound) << row.what;
    if (row.outcome != plays) {
        EXPECT_EQ(stream, 0u) << row.what;
        EXPECT_EQ(error, row.outcome) << row.what;
        return;
    }
    ASSERT_NE(stream, 0u) << row.what << ": error " << error;
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    // Playing means the decoder takes bytes: a second's worth of 128 kbit/s.
    QWORD first = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CURRENT);
    auto consumed = [&] {
        return BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CURRENT) >= first + 16000;
    };
    EXPECT_TRUE(stream_test::eventually(consumed, std::chrono::seconds(10))) << row.what;
    if (row.tone_hz > 0) {
        // Half a second of the sound, once it has begun (the silent frames before it are MP3);
        // four seconds where a damaged part lies between the first tone and the second.
        size_t frames = row.then_hz > 0 ? 4 * 44100 : 22050;
        std::vector<float> played =
            capture.left_channel_of_sound(frames, std::chrono::seconds(15), 4410);
        ASSERT_EQ(played.size(), frames) << row.what;
        EXPECT_NEAR(stream_test::frequency_between(played, 0, 0.5), row.tone_hz, 10.0) << row.what;
        if (row.then_hz > 0) {
            EXPECT_NEAR(stream_test::frequency_between(played, 3.4, 3.9), row.then_hz, 10.0)
                << row.what;
        }
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
        EXPECT_EQ(info.ctype, row.ctype) << row.what;
    }
    std::shared_ptr<audio::stream> playing = audio::find_stream(stream);
    ASSERT_TRUE(playing);
    EXPECT_LT(playing->tag_bytes(), tag_bytes_bound) << row.what;
    playing.reset();

    start = clock_type::now();
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_LT(seconds_since(start), bound) << row.what;
}

std::string row_name(const ::testing::TestParamInfo<fault_row> &info) {
    std::string name;
    for (const char *c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultSuite, ::testing::ValuesIn(rows), row_name);

} // namespace
