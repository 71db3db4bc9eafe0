// Titles change when their song is heard: stations whose songs are tones of different
// pitch, with each title at its song's first byte, played as the player plays them (once
// three quarters of the buffer are filled). Each title that comes once playing has begun
// raises its META sync, with the META tag reading it, within half a second of its song's
// first samples at the output, however far ahead the download is.
#include "input_test_server.h"
#include "python_server.h"
#include "stream/title_timeline.h"
#include "stream_test_support.h"

#include <cstring>
#include <optional>

using namespace stream_test;

namespace {

constexpr size_t rate = 44100;
constexpr size_t half_a_second = rate / 2;
const std::string mp3_arguments = "-c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0";

// The title tag at each of its syncs, and how many frames the output had rendered by then.
struct title_log {
    output_capture *capture = nullptr;
    DWORD tag = BASS_TAG_META;
    std::mutex lock; // guards seen
    std::condition_variable changed;
    std::vector<std::pair<std::string, size_t>> seen;

    // The frames rendered at the first sync that found `title` in the tag; waits for it.
    std::optional<size_t> frame_of(const std::string &title) {
        std::unique_lock<std::mutex> guard(lock);
        std::optional<size_t> frame;
        changed.wait_for(guard, std::chrono::seconds(40), [&] {
            for (const auto &entry : seen)
                if (entry.first == title)
                    return (frame = entry.second).has_value();
            return false;
        });
        return frame;
    }
};

void CALLBACK record_title(HSYNC, DWORD channel, DWORD, void *user) {
    auto *log = static_cast<title_log *>(user);
    const char *tag = BASS_ChannelGetTags(channel, log->tag);
    size_t frame = log->capture->rendered_frames();
    std::lock_guard<std::mutex> guard(log->lock);
    log->seen.emplace_back(tag ? tag : "", frame);
    log->changed.notify_all();
}

bool near_tone(double frequency, int tone) {
    return std::fabs(frequency - tone) < tone * 0.1;
}

// The first frame at or after `from` where the output's left channel turns to `tone` from
// another tone held for a while (silence between them, an encoder's padding, does not
// count; nor does a decoder's first few milliseconds).
std::optional<size_t> tone_change(const std::vector<float> &stereo, int tone, size_t from) {
    constexpr size_t window = 1024, step = 256;
    std::vector<float> left;
    for (size_t i = 1; i < stereo.size(); i += 2)
        left.push_back(stereo[i - 1]);
    constexpr size_t held = 16; // windows: about 90 ms
    size_t other_tone_windows = 0;
    for (size_t at = from; at + window <= left.size(); at += step) {
        std::vector<float> part(left.begin() + static_cast<long>(at),
                                left.begin() + static_cast<long>(at + window));
        if (peak(part) < 0.01)
            continue;
        double frequency = measured_frequency(part, static_cast<int>(rate));
        if (!near_tone(frequency, tone))
            ++other_tone_windows;
        else if (other_tone_windows >= held)
            return at;
        else
            other_tone_windows = 0;
    }
    return std::nullopt;
}

struct song {
    std::string title; // the META tag's text
    int tone;
    double seconds = 0; // of the scripted station's songs
    bool aac = false;   // in AAC rather than MP3: the station reconnects in the other format
};

// An ICY station whose songs follow each other, each title at its song's first byte, sent
// at 128 kbit/s after a burst of `burst_seconds`. Where a song's format is not the one
// before it, the station reconnects (as after a drop) with that song's first byte.
script icy_station(const std::vector<song> &songs, double burst_seconds) {
    script plan;
    plan.status_line = "ICY 200 OK";
    plan.headers = {"icy-name:Tones", "icy-br:128"};
    plan.bytes_per_second = 16000;
    plan.burst_bytes = static_cast<size_t>(burst_seconds * plan.bytes_per_second);
    plan.stay_open = true;
    for (const song &each : songs) {
        if (&each != &songs.front() && each.aac != (&each - 1)->aac)
            plan.reconnects.push_back({plan.bytes.size(), each.aac ? "audio/aac" : "audio/mpeg"});
        plan.metadata.push_back({plan.bytes.size(), each.title});
        std::vector<uint8_t> bytes =
            each.aac
                ? encode_tone("song.aac", each.tone, each.seconds, "-c:a aac -b:a 128k -f adts")
                : encode_tone("song.mp3", each.tone, each.seconds, mp3_arguments);
        if (bytes.empty())
            return {}; // ffmpeg is missing
        plan.bytes.insert(plan.bytes.end(), bytes.begin(), bytes.end());
    }
    return plan;
}

class TitleTiming : public ::testing::Test, protected callback_state {
  protected:
    void SetUp() override { ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)); }
    void TearDown() override { BASS_Free(); }

    // Plays `url` once its buffer is three quarters full, as the player does, and checks
    // each of `changes` (songs whose titles come once playing) against the output. Windows
    // Media titles are the WMA_META tag and sync.
    void expect_titles_on_time(const std::string &url, const std::vector<song> &changes,
                               bool windows_media = false) {
        output_capture capture;
        title_log &log = kept<title_log>();
        log.capture = &capture;
        log.tag = windows_media ? BASS_TAG_WMA_META : BASS_TAG_META;
        HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        const DWORD sync = windows_media ? BASS_SYNC_WMA_META : BASS_SYNC_META;
        ASSERT_NE(BASS_ChannelSetSync(s, sync, 0, record_title, &log), 0u);
        ASSERT_TRUE(eventually(
            [&] {
                if (windows_media)
                    return BASS_StreamGetFilePosition(s, BASS_FILEPOS_WMA_BUFFER) >= 75;
                QWORD end = BASS_StreamGetFilePosition(s, BASS_FILEPOS_END);
                return end > 0 && BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER) * 4 >= end * 3;
            },
            std::chrono::seconds(30)));
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        size_t previous_start = 0;
        for (const song &change : changes) {
            SCOPED_TRACE(change.title);
            std::optional<size_t> synced = log.frame_of(change.title);
            ASSERT_TRUE(synced) << "no META sync with this title";
            // A second of output past the sync holds the song's start if it is on time.
            size_t rendered = capture.rendered_frames();
            if (rendered < *synced + 2 * rate)
                capture.wait_for_rendered(*synced + 2 * rate - rendered, std::chrono::seconds(30));
            std::optional<size_t> start =
                tone_change(capture.captured(), change.tone, previous_start);
            ASSERT_TRUE(start) << "the song's tone never began";
            EXPECT_LE(*synced, *start + half_a_second) << "late by " << *synced - *start;
            EXPECT_LE(*start, *synced + half_a_second) << "early by " << *start - *synced;
            previous_start = *start;
        }
        BASS_StreamFree(s);
    }
};

// Where each title lands in the blocks the mixer takes: the offsets a recording split per
// song cuts at.
TEST(TitleTimeline, TitlesLandInTheBlockHoldingTheirFirstSampleInOrder) {
    using change = audio::title_timeline::change;
    auto texts = [](const std::vector<change> &changes) {
        std::vector<std::pair<size_t, std::string>> out;
        for (const change &each : changes)
            out.emplace_back(each.offset,
                             (each.tag == audio::tag_type::wma_meta ? "wma:" : "") + each.text);
        return out;
    };
    audio::title_timeline titles;
    titles.add(100, "A");
    titles.add(250, "B");
    titles.add(250, "C");
    titles.place_decoded(99, 0); // the decoder has not reached A yet
    titles.place_decoded(120, 1000);
    titles.place_decoded(300, 3000);
    titles.add_decoded(3000, audio::tag_type::wma_meta, "W"); // came with those samples
    titles.add(400, "D");
    titles.place_rest(5000); // the stream ended before D's bytes were decoded
    struct block {
        uint64_t start;
        size_t samples;
        std::vector<std::pair<size_t, std::string>> crossed;
    } blocks[] = {{0, 1000, {}},
                  {1000, 512, {{0, "A"}}},
                  {1512, 2000, {{1488, "B"}, {1488, "C"}, {1488, "wma:W"}}},
                  {3512, 1488, {}},
                  {5000, 10, {{0, "D"}}}};
    for (const block &each : blocks)
        EXPECT_EQ(texts(titles.crossed_in(each.start, each.samples)), each.crossed) << each.start;

    // A station that sends titles far faster than they play keeps a bounded list, in order,
    // ending with its latest title.
    for (int i = 0; i < 1000; ++i)
        titles.add(static_cast<uint64_t>(i), std::to_string(i));
    titles.place_rest(6000);
    std::vector<change> crossed = titles.crossed_in(5990, 20);
    ASSERT_EQ(crossed.size(), audio::title_timeline::max_waiting);
    EXPECT_EQ(crossed.front().text, "0");
    EXPECT_EQ(crossed.back().text, "999");
    EXPECT_EQ(crossed.front().offset, 10u);
}

// Without a burst the download leads by the buffered three quarters; with one, by the
// burst. The second song is short: the third title waits while the second does. The fourth
// title still waits when the stream is freed (the sanitizer builds watch it go). One row a
// station: each plays in real time, so they run side by side.
struct icy_station_row {
    const char *name;
    double burst_seconds;
    bool middle_song_in_aac; // two reconnects, each into the other format
};

void PrintTo(const icy_station_row &row, std::ostream *out) {
    *out << row.name;
}

class IcyTitleTiming : public TitleTiming, public ::testing::WithParamInterface<icy_station_row> {};

TEST_P(IcyTitleTiming, TitlesChangeWithTheSong) {
    const icy_station_row &each = GetParam();
    const std::vector<song> songs = {{"StreamTitle='Low';", 440, 6},
                                     {"StreamTitle='High';", 880, 1.5, each.middle_song_in_aac},
                                     {"StreamTitle='Higher';", 1320, 3},
                                     {"StreamTitle='Unheard';", 440, 2}};
    script plan = icy_station(songs, each.burst_seconds);
    ASSERT_FALSE(plan.bytes.empty()) << "ffmpeg could not make the songs";
    scripted_network network(plan);
    expect_titles_on_time("http://radio.test/", {songs[1], songs[2]});
}

INSTANTIATE_TEST_SUITE_P(Stations, IcyTitleTiming,
                         ::testing::Values(icy_station_row{"no_burst", 0, false},
                                           icy_station_row{"a_4_s_burst", 4, false},
                                           icy_station_row{"reconnects_into_AAC_and_back", 4,
                                                           true}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(TitleTiming, HlsId3TitlesChangeWithTheSegmentsSong) {
    test_support::python_server server(BREVORA_TEST_SERVERS_DIR "/hls_test_server.py");
    const char *at = std::strstr(server.first_line().c_str(), "\"port\": ");
    ASSERT_NE(at, nullptr) << "the HLS server did not start";
    const std::string url =
        "http://127.0.0.1:" + std::to_string(std::atoi(at + 8)) + "/songs/vod.m3u8";
    // Segments come whole, several at once: the third song's title is fetched seconds
    // before it plays. (The second one's may come before playing begins.)
    expect_titles_on_time(url, {{"StreamTitle='Artist - Song 2';", 880, 0}});
}

TEST_F(TitleTiming, WindowsMediaScriptCommandTitlesChangeWithTheSong) {
    input_test::radio_server server;
    ASSERT_TRUE(server.ready()) << "the test server did not start";
    // The whole broadcast comes at once; its second title command is at the first data
    // packet of the second song.
    const std::string url =
        "http://127.0.0.1:" + std::to_string(server.info().ports.at("http")) + "/wmsp-songs";
    expect_titles_on_time(url, {{"High", 880}}, true);
}

} // namespace
