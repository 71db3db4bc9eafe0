// The stream core against a stand-in network input: connection, decoding to the output,
// buffer positions, tags, syncs and freeing from any thread (formats: stream_formats_test).
#include "stream_sample_files.h"

#include "api/library.h"
#include "stream/stream.h"

#include <atomic>
#include <map>

using namespace stream_test;

namespace {

class StreamCore : public ::testing::Test, protected callback_state {
  protected:
    void SetUp() override {
        ASSERT_FALSE(sample_files().mp3.empty()) << "ffmpeg could not make the test files";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000);
    }

    static script live(const std::vector<uint8_t> &bytes, const std::string &type) {
        script plan;
        plan.bytes = bytes;
        plan.content_type = type;
        plan.headers = {"Content-Type: " + type, "icy-name: Test Radio"};
        plan.stay_open = true;
        return plan;
    }
};

// Collects what the download procedure receives.
struct download_log {
    std::mutex lock;
    std::vector<std::string> calls; // "status:<first line>" or "data"
    std::vector<std::string> status_lines;
    size_t data_bytes = 0;
};
void CALLBACK log_download(const void *buffer, DWORD length, void *user) {
    auto *log = static_cast<download_log *>(user);
    std::lock_guard<std::mutex> guard(log->lock);
    if (length == 0) {
        log->calls.push_back("status");
        log->status_lines = lines_of(static_cast<const char *>(buffer));
    } else {
        log->calls.push_back("data");
        log->data_bytes += length;
    }
}

TEST_F(StreamCore, ConnectsGivesStatusThenDataAndHeaderTags) {
    scripted_network network(live(sample_files().mp3, "audio/mpeg"));
    download_log &log = kept<download_log>();
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/live", 0,
                                     BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                     log_download, &log);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> guard(log.lock);
        return log.data_bytes >= 80000;
    }));
    {
        std::lock_guard<std::mutex> guard(log.lock);
        ASSERT_FALSE(log.calls.empty());
        EXPECT_EQ(log.calls.front(), "status");
        EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "status"), 1);
        EXPECT_EQ(log.status_lines,
                  (std::vector<std::string>{"HTTP/1.0 200 OK", "Content-Type: audio/mpeg",
                                            "icy-name: Test Radio"}));
    }
    EXPECT_EQ(lines_of(BASS_ChannelGetTags(s, BASS_TAG_HTTP)), log.status_lines);
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_ICY), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_META), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_OGG), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_WMA), nullptr);
}

TEST_F(StreamCore, BufferIsBitrateTimesBufferLengthAndReportsItsFill) {
    // No bitrate from the server: it comes from the first frames.
    scripted_network network(live(sample_files().mp3, "audio/mpeg"));
    HSTREAM s =
        BASS_StreamCreateURL("http://radio.test/live", 0, BASS_STREAM_BLOCK, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END), 80000u);
    // The player's own formula turns it back into the bitrate.
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END) * 8 /
                  BASS_GetConfig(BASS_CONFIG_NET_BUFFER),
              128u);
    // Not playing: the download fills the buffer and then waits.
    ASSERT_TRUE(
        eventually([&] { return BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER) == 80000u; }));
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_CONNECTED), 1u);
    EXPECT_GE(BASS_StreamGetFilePosition(s, BASS_FILEPOS_DOWNLOAD), 80000u);
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_DOWNLOAD),
              BASS_StreamGetFilePosition(s, BASS_FILEPOS_CURRENT) + 80000u);
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_WMA_BUFFER), static_cast<QWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);

    // A bitrate the server announces wins, and a shorter buffer length gives a smaller buffer.
    BASS_StreamFree(s);
    script announced = live(sample_files().mp3, "audio/mpeg");
    announced.kbps = 64;
    scripted_network other(announced);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 2000));
    s = BASS_StreamCreateURL("http://radio.test/live", 0, BASS_STREAM_BLOCK, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END), 16000u);
}

// HE-AAC headers give half the rate (and mono, with parametric stereo) of what the decoder
// puts out once it meets the extension data, so the decoded format can differ from the
// first guess and change as the stream goes on; the pitch must hold. Here an ADTS stream
// switches from 22.05 kHz mono to 44.1 kHz stereo.
TEST_F(StreamCore, PitchHoldsWhenTheDecodedRateAndChannelsChange) {
    std::vector<uint8_t> bytes =
        encode_tone("low.aac", 500, 2, "-c:a aac -b:a 64k -ar 22050 -ac 1 -f adts");
    std::vector<uint8_t> high = encode_tone("high.aac", 1500, 2, "-c:a aac -b:a 128k -f adts");
    ASSERT_FALSE(bytes.empty());
    ASSERT_FALSE(high.empty());
    bytes.insert(bytes.end(), high.begin(), high.end());
    scripted_network network(live(bytes, "audio/aac"));
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/live", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.freq, 22050u);
    EXPECT_EQ(info.chans, 1u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    const size_t second = 44100;
    std::vector<float> played =
        capture.left_channel_of_sound(second * 36 / 10, std::chrono::seconds(8));
    ASSERT_EQ(played.size(), second * 36 / 10);
    EXPECT_NEAR(frequency_between(played, 0.5, 1.5), 500.0, 5.0);
    EXPECT_NEAR(frequency_between(played, 2.5, 3.5), 1500.0, 15.0);
}

TEST_F(StreamCore, StreamVolumeAppliesToWhatPlays) {
    scripted_network network(live(sample_files().mp3, "audio/mpeg"));
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/live", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    double full = peak(capture.left_channel_of_sound(4410));
    ASSERT_GT(full, 0.05);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 2500);
    capture.clear_after_next_block(); // the block being rendered may still be at full volume
    double quarter = peak(capture.left_channel_of_sound(4410));
    EXPECT_NEAR(quarter, full / 4, full * 0.05);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 0);
    capture.clear_after_next_block();
    ASSERT_TRUE(capture.wait_for_rendered(4410));
    std::vector<float> silent = capture.captured();
    ASSERT_GE(silent.size(), 4410u * 2);
    EXPECT_EQ(peak(silent), 0.0);
}

TEST_F(StreamCore, UnrecognisedDataAndFailedConnectionsGiveTheirErrors) {
    {
        script page = live({}, "text/html");
        std::string html = "<html><body>" + std::string(20000, 'x') + "</body></html>";
        page.bytes.assign(html.begin(), html.end());
        page.stay_open = false;
        scripted_network network(page);
        EXPECT_EQ(BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    }
    {
        // MP3 frames cut short after one header: the chain never confirms.
        script cut =
            live(std::vector<uint8_t>(sample_files().mp3.begin(), sample_files().mp3.begin() + 5),
                 "audio/mpeg");
        cut.stay_open = false;
        scripted_network network(cut);
        EXPECT_EQ(BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    }
    {
        script refused;
        refused.open_error = BASS_ERROR_FILEOPEN;
        scripted_network network(refused);
        EXPECT_EQ(BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    }
    EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(StreamCore, IcyAnswerGivesIcyTagsAndEachTitleRaisesMetaSync) {
    script icy = live(sample_files().mp3, "audio/mpeg");
    icy.status_line = "ICY 200 OK";
    icy.headers = {"icy-name:Jazz", "icy-br:128"};
    icy.bytes_per_second = 16000 * 4; // paced, so the titles arrive after the sync is set
    icy.metadata = {{20000, "StreamTitle='Artist - One';"},
                    {30000, "StreamTitle='Artist - Two';StreamUrl='';"}};
    scripted_network network(icy);
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(lines_of(BASS_ChannelGetTags(s, BASS_TAG_ICY)),
              (std::vector<std::string>{"ICY 200 OK", "icy-name:Jazz", "icy-br:128"}));
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_HTTP), nullptr);
    sync_counter &meta = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_META, 0, count_sync, &meta), 0u);
    // The first title is current at once; the second when its song plays.
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(meta.wait_for(2));
    EXPECT_EQ(meta.count(), 2);
    EXPECT_EQ(meta.channel, s);
    EXPECT_STREQ(BASS_ChannelGetTags(s, BASS_TAG_META), "StreamTitle='Artist - Two';StreamUrl='';");
}

TEST_F(StreamCore, TenThousandTitleChangesKeepTheTagStorageFlat) {
    script icy = live(sample_files().mp3, "audio/mpeg");
    icy.status_line = "ICY 200 OK";
    icy.headers = {"icy-name:Chatty"};
    const std::string padding(1000, 'x'); // about 1 KB a title
    auto title = [&](int i) { return "StreamTitle='" + std::to_string(i) + padding + "';"; };
    for (int i = 0; i < 10000; ++i)
        icy.metadata.push_back({static_cast<size_t>(i), title(i)});
    scripted_network network(icy);
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    std::shared_ptr<audio::stream> chatty = audio::find_stream(s);
    ASSERT_TRUE(chatty);
    // Titles after the first wait for their audio: the first 10,000 bytes play in well under
    // a second. Read only then: a tag pointer lasts until its tag is replaced twice.
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_EQ(capture.left_channel_of_sound(44100, std::chrono::seconds(10)).size(), 44100u);
    const char *last = BASS_ChannelGetTags(s, BASS_TAG_META);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(last), title(9999)) << "the last title did not arrive";
    // Every title ever sent would be 10 MB; two versions of each tag are kept.
    EXPECT_LT(chatty->tag_bytes(), 2 * (title(9999).size() + 64));

    // A pointer stays valid until its tag has been replaced twice.
    const char *current = BASS_ChannelGetTags(s, BASS_TAG_META);
    chatty->on_metadata("StreamTitle='Next';");
    EXPECT_EQ(std::string(current), title(9999));
}

TEST_F(StreamCore, EndSyncAfterTheLastSampleThenAutoFree) {
    script ends =
        live(std::vector<uint8_t>(sample_files().mp3.begin(), sample_files().mp3.begin() + 8000),
             "audio/mpeg");
    ends.stay_open = false;
    scripted_network network(ends);
    HSTREAM s =
        BASS_StreamCreateURL("http://radio.test/", 0, BASS_STREAM_AUTOFREE, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(
        eventually([&] { return BASS_StreamGetFilePosition(s, BASS_FILEPOS_CONNECTED) == 0; }));
    sync_counter &end = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, count_sync, &end), 0u);
    EXPECT_EQ(BASS_ChannelSetSync(s, 999, 0, count_sync, &end), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(end.wait_for(1));
    EXPECT_EQ(end.channel, s);
    // Freed by the library: the handle is stale now.
    ASSERT_TRUE(eventually([&] {
        return !BASS_ChannelGetInfo(s, nullptr) && BASS_ErrorGetCode() == BASS_ERROR_HANDLE;
    }));
    EXPECT_FALSE(BASS_StreamFree(s));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(StreamCore, FlagsChangeAndReadBack) {
    scripted_network network(live(sample_files().mp3, "audio/mpeg"));
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0,
                                     BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                     nullptr, nullptr);
    ASSERT_NE(s, 0u);
    DWORD flags = BASS_ChannelFlags(s, BASS_STREAM_RESTRATE, BASS_STREAM_RESTRATE);
    EXPECT_EQ(flags, static_cast<DWORD>(BASS_STREAM_BLOCK | BASS_STREAM_STATUS |
                                        BASS_STREAM_AUTOFREE | BASS_STREAM_RESTRATE));
    EXPECT_EQ(BASS_ChannelFlags(s, 0, BASS_STREAM_AUTOFREE),
              flags & ~static_cast<DWORD>(BASS_STREAM_AUTOFREE));
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.flags, flags & ~static_cast<DWORD>(BASS_STREAM_AUTOFREE));
}

void CALLBACK free_own_channel(HSYNC, DWORD channel, DWORD, void *user) {
    static_cast<std::atomic<int> *>(user)->fetch_add(BASS_StreamFree(channel) ? 1 : 100);
}

TEST_F(StreamCore, FreeingInsideASyncOrFromAnotherThreadIsSafe) {
    script icy = live(sample_files().mp3, "audio/mpeg");
    icy.metadata = {{30000, "StreamTitle='x';"}};
    icy.bytes_per_second = 100000;
    scripted_network network(icy);

    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    auto &freed = kept<std::atomic<int>>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_META, 0, free_own_channel, &freed), 0u);
    ASSERT_TRUE(eventually([&] { return freed == 1; }));
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER), static_cast<QWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    // Many threads query and free the same streams at once; exactly one free succeeds.
    for (int round = 0; round < 5; ++round) {
        HSTREAM shared = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        ASSERT_NE(shared, 0u);
        ASSERT_TRUE(BASS_ChannelPlay(shared, FALSE));
        std::atomic<int> successes{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    BASS_ChannelGetTags(shared, BASS_TAG_HTTP);
                    BASS_StreamGetFilePosition(shared, BASS_FILEPOS_BUFFER);
                }
                if (BASS_StreamFree(shared))
                    ++successes;
            });
        for (auto &thread : threads)
            thread.join();
        EXPECT_EQ(successes, 1);
    }
}

TEST_F(StreamCore, ReleasingTheLibraryStopsAStreamStillConnecting) {
    script stuck;
    stuck.block_in_open = true;
    scripted_network network(stuck);
    std::atomic<HSTREAM> result{1};
    std::atomic<int> error{0};
    std::thread connecting([&] {
        result = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        error = BASS_ErrorGetCode();
    });
    EXPECT_TRUE(network.wait_for_opens(1));
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(BASS_Free());
    connecting.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(result, 0u);
    EXPECT_NE(error, BASS_OK);
}

TEST_F(StreamCore, ReleasingTheLibraryFreesPlayingStreams) {
    scripted_network network(live(sample_files().aac, "audio/aac"));
    HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_ChannelPlay(s, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    HSTREAM again = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, s); // a new generation: the old handle stays stale
    EXPECT_FALSE(BASS_ChannelGetInfo(s, nullptr));
}

} // namespace
