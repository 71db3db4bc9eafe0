// Formats: the probe that identifies them from a stream's first bytes, each format played at
// its pitch with its type, rate and tags through a stand-in network input, new Ogg links,
// reconnects into another format, damaged data, and the FLAC and Windows Media stations of
// the scripted server (tests/servers/routes_formats.py).
#include "decode/format_probe.h"
#include "input_test_server.h"
#include "stream_sample_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

using audio::identify_format;
using namespace stream_test;

namespace {

// Frames with real headers and empty bodies.
std::vector<uint8_t> frames(std::vector<uint8_t> header, size_t length, int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame(length, 0);
        std::copy(header.begin(), header.end(), frame.begin());
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// MPEG-1 layer III, 128 kbps, 44.1 kHz, no padding: 417 bytes.
const std::vector<uint8_t> mp3_header = {0xff, 0xfb, 0x90, 0x00};
// MPEG-1 layer II, 192 kbps, 48 kHz: 576 bytes.
const std::vector<uint8_t> mp2_header = {0xff, 0xfd, 0xa4, 0x00};
// MPEG-1 layer I, 384 kbps, 44.1 kHz: 4 × (12 × 384000 / 44100) = 416 bytes.
const std::vector<uint8_t> mp1_header = {0xff, 0xff, 0xc0, 0x00};
// ADTS, AAC LC, 44.1 kHz, stereo, 300-byte frames.
std::vector<uint8_t> adts_header(size_t length) {
    return {0xff,
            0xf1,
            0x50,
            static_cast<uint8_t>(0x80 | (length >> 11)),
            static_cast<uint8_t>(length >> 3),
            static_cast<uint8_t>((length & 7) << 5 | 0x1f),
            0xfc};
}

DWORD ctype_of(const std::vector<uint8_t> &bytes, const std::string &type = "",
               bool at_end = true) {
    auto result = identify_format(bytes.data(), bytes.size(), type, at_end);
    return result.format ? result.format->ctype : 0;
}

TEST(FormatProbe, RecognisesEachFormatByItsFrames) {
    EXPECT_EQ(ctype_of(frames(mp3_header, 417, 4)), static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
    EXPECT_EQ(ctype_of(frames(mp2_header, 576, 4)), static_cast<DWORD>(BASS_CTYPE_STREAM_MP2));
    EXPECT_EQ(ctype_of(frames(mp1_header, 416, 4)), static_cast<DWORD>(BASS_CTYPE_STREAM_MP1));
    EXPECT_EQ(ctype_of(frames(adts_header(300), 300, 4)),
              static_cast<DWORD>(BASS_CTYPE_STREAM_AAC));
    std::vector<uint8_t> ogg = {'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ctype_of(ogg), static_cast<DWORD>(BASS_CTYPE_STREAM_OGG));
    std::vector<uint8_t> mp4 = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'M', '4', 'A', ' '};
    EXPECT_EQ(ctype_of(mp4), static_cast<DWORD>(BASS_CTYPE_STREAM_MP4));
}

// An Ogg page whose first packet is `text` (NULs included).
template <size_t N> std::vector<uint8_t> ogg_page(const char (&text)[N]) {
    std::string packet(text, N - 1);
    std::vector<uint8_t> page = {'O', 'g', 'g', 'S', 0, 2};
    page.resize(26, 0);
    page.push_back(1);                                   // one segment
    page.push_back(static_cast<uint8_t>(packet.size())); // of this length
    page.insert(page.end(), packet.begin(), packet.end());
    return page;
}

TEST(FormatProbe, TellsOggCodecsFlacAndAsfApart) {
    EXPECT_EQ(ctype_of(ogg_page("\x01vorbis\0\0\0\0")), static_cast<DWORD>(BASS_CTYPE_STREAM_OGG));
    EXPECT_EQ(ctype_of(ogg_page("\x7f"
                                "FLAC\x01\0\0\0")),
              static_cast<DWORD>(BASS_CTYPE_STREAM_OGG_FLAC));
    EXPECT_EQ(ctype_of(ogg_page("OpusHead\x01\x02")), static_cast<DWORD>(BASS_CTYPE_STREAM_OPUS));
    // The first packet decides, so a short page waits for more.
    std::vector<uint8_t> opus = ogg_page("OpusHead\x01\x02");
    EXPECT_TRUE(identify_format(opus.data(), 30, "audio/ogg", false).need_more);
    std::vector<uint8_t> flac = {'f', 'L', 'a', 'C', 0, 0, 0, 0x22};
    EXPECT_EQ(ctype_of(flac, "audio/mpeg"), static_cast<DWORD>(BASS_CTYPE_STREAM_FLAC));
    std::vector<uint8_t> asf = {0x30, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                                0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
    EXPECT_EQ(ctype_of(asf, "application/octet-stream"), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
    // An ASF header only counts at the very start: later, its GUID is just bytes.
    asf.insert(asf.begin(), 7, 0);
    EXPECT_EQ(ctype_of(asf), 0u);
}

TEST(FormatProbe, FindsTheFirstFrameAfterJunkOrAnId3Tag) {
    std::vector<uint8_t> bytes(123, 0x55);
    bytes.push_back(0xff); // a lone sync byte that leads nowhere
    bytes.push_back(0x00);
    auto mp3 = frames(mp3_header, 417, 4);
    bytes.insert(bytes.end(), mp3.begin(), mp3.end());
    auto result = identify_format(bytes.data(), bytes.size(), "audio/mpeg", true);
    ASSERT_NE(result.format, nullptr);
    EXPECT_EQ(result.offset, 125u);

    std::vector<uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0}; // 128-byte body
    tagged.resize(10 + 128, 0xff); // sync-like bytes inside the tag are not frames
    tagged.insert(tagged.end(), mp3.begin(), mp3.end());
    result = identify_format(tagged.data(), tagged.size(), "", true);
    ASSERT_NE(result.format, nullptr);
    EXPECT_EQ(result.offset, 138u);
}

TEST(FormatProbe, AsksForMoreUntilTheChainIsConfirmed) {
    auto mp3 = frames(mp3_header, 417, 4);
    auto partial = identify_format(mp3.data(), 600, "audio/mpeg", false);
    EXPECT_EQ(partial.format, nullptr);
    EXPECT_TRUE(partial.need_more);
    // At the end of the data, what was seen of a short stream is enough.
    auto short_stream = identify_format(mp3.data(), 417 * 2, "", true);
    EXPECT_NE(short_stream.format, nullptr);
}

TEST(FormatProbe, RefusesTextNoiseAndInconsistentHeaders) {
    std::string html = "<html><head><title>Not a stream</title></head></html>";
    EXPECT_EQ(ctype_of(std::vector<uint8_t>(html.begin(), html.end()), "text/html"), 0u);
    std::vector<uint8_t> noise(8192);
    uint32_t seed = 1;
    for (auto &byte : noise) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    EXPECT_EQ(ctype_of(noise), 0u);
    // Headers that keep changing the sample rate are no stream.
    std::vector<uint8_t> mixed;
    for (int i = 0; i < 6; ++i) {
        auto frame = i % 2 ? frames({0xff, 0xfb, 0x94, 0x00}, 384, 1) // 48 kHz
                           : frames(mp3_header, 417, 1);
        mixed.insert(mixed.end(), frame.begin(), frame.end());
    }
    mixed.resize(mixed.size() + 100, 0);
    EXPECT_EQ(ctype_of(mixed), 0u);
    // A tag that claims more than the probe window is not waited for.
    std::vector<uint8_t> huge = {'I', 'D', '3', 4, 0, 0, 0x7f, 0x7f, 0x7f, 0x7f};
    auto result = identify_format(huge.data(), huge.size(), "", false);
    EXPECT_EQ(result.format, nullptr);
    EXPECT_FALSE(result.need_more);
}

class StreamFormats : public ::testing::Test, protected callback_state {
  protected:
    void SetUp() override {
        ASSERT_FALSE(sample_files().wmav2.empty()) << "ffmpeg could not make the test files";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }

    static script live(const std::vector<uint8_t> &bytes, const std::string &type) {
        script plan;
        plan.bytes = bytes;
        plan.content_type = type;
        plan.headers = {"Content-Type: " + type};
        plan.stay_open = true;
        return plan;
    }
};

// Opened as the player opens a station (a live stream, nothing but the download kept).
TEST_F(StreamFormats, EachFormatPlaysItsToneWithItsTypeRateAndTags) {
    struct {
        const char *name;
        const std::vector<uint8_t> &bytes;
        const char *type;
        DWORD ctype;
        DWORD freq = 44100;
        DWORD tag_type = 0; // with tag_line: a line this tag must hold; the other kind is absent
        const char *tag_line = nullptr;
        double tone = 1000;
        DWORD chans = 2;
    } cases[] = {
        {"mp3", sample_files().mp3, "audio/mpeg", BASS_CTYPE_STREAM_MP3},
        {"mp2", sample_files().mp2, "audio/mpeg", BASS_CTYPE_STREAM_MP2},
        {"mp1", sample_files().mp1, "audio/mpeg", BASS_CTYPE_STREAM_MP1, 44100, 0, nullptr,
         5 * 44100 / 128.0, 1},
        {"aac", sample_files().aac, "audio/aac", BASS_CTYPE_STREAM_AAC},
        {"aac in mp4", sample_files().mp4, "audio/mp4", BASS_CTYPE_STREAM_MP4},
        {"aac in fragmented mp4", sample_files().fragmented_mp4, "audio/mp4",
         BASS_CTYPE_STREAM_MP4},
        {"ogg vorbis", sample_files().ogg, "application/ogg", BASS_CTYPE_STREAM_OGG, 44100,
         BASS_TAG_OGG, "title=First Song"},
        {"flac", sample_files().flac, "audio/flac", BASS_CTYPE_STREAM_FLAC, 44100, BASS_TAG_OGG,
         "title=Native"},
        {"flac 24-bit 96 kHz", sample_files().flac_24bit_96k, "application/octet-stream",
         BASS_CTYPE_STREAM_FLAC, 96000, BASS_TAG_OGG, "title=Deep"},
        {"ogg flac", sample_files().ogg_flac, "application/ogg", BASS_CTYPE_STREAM_OGG_FLAC, 44100,
         BASS_TAG_OGG, "title=Ogg One"},
        {"opus", sample_files().opus, "audio/ogg", BASS_CTYPE_STREAM_OPUS, 48000, BASS_TAG_OGG,
         "title=Opus One"},
        {"wma v2", sample_files().wmav2, "video/x-ms-asf", BASS_CTYPE_STREAM_WMA, 44100,
         BASS_TAG_WMA, "title=WMA Two"},
        // A vague or wrong Content-Type does not matter: the bytes decide.
        {"wma v1 as audio/mpeg", sample_files().wmav1, "audio/mpeg", BASS_CTYPE_STREAM_WMA, 44100,
         BASS_TAG_WMA, "title=WMA One"},
        {"aac as octet-stream", sample_files().aac, "application/octet-stream",
         BASS_CTYPE_STREAM_AAC},
        {"ogg as audio/mpeg", sample_files().ogg, "audio/mpeg", BASS_CTYPE_STREAM_OGG},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_FALSE(each.bytes.empty());
        scripted_network network(live(each.bytes, each.type));
        output_capture capture;
        HSTREAM s =
            BASS_StreamCreateURL("http://radio.test/live", 0, BASS_STREAM_BLOCK, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        EXPECT_EQ(info.chans, each.chans);
        if (each.tag_line) {
            const char *tags = BASS_ChannelGetTags(s, each.tag_type);
            EXPECT_TRUE(has_line(tags, each.tag_line)) << ::testing::PrintToString(lines_of(tags));
            // Only WMA streams have WMA tags, and only Ogg comments count as OGG tags.
            DWORD other = each.tag_type == BASS_TAG_WMA ? BASS_TAG_OGG : BASS_TAG_WMA;
            EXPECT_EQ(BASS_ChannelGetTags(s, other), nullptr);
        }
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(5), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), each.tone, 10.0);
        EXPECT_GT(peak(played), 0.05);
        EXPECT_TRUE(BASS_StreamFree(s));
    }
}

// Each new link's comments replace the old ones at OGG_CHANGE; a text handed out before the
// change stays readable.
TEST_F(StreamFormats, ANewOggLinkChangesCommentsAndRaisesOggChange) {
    struct {
        const char *name;
        const std::vector<uint8_t> &bytes;
        const char *first_title;
        const char *second_title;
    } cases[] = {{"vorbis", sample_files().ogg_chain, "title=First Song", "title=Second Song"},
                 {"opus", sample_files().opus_chain, "title=Opus One", "title=Opus Two"},
                 {"ogg flac", sample_files().ogg_flac_chain, "title=Ogg One", "title=Ogg Two"}};
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        scripted_network network(live(each.bytes, "audio/ogg"));
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        const char *first = BASS_ChannelGetTags(s, BASS_TAG_OGG);
        EXPECT_TRUE(has_line(first, each.first_title));
        sync_counter &change = kept<sync_counter>();
        ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, count_sync, &change), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        ASSERT_TRUE(change.wait_for(1));
        const char *second = BASS_ChannelGetTags(s, BASS_TAG_OGG);
        EXPECT_TRUE(has_line(second, each.second_title))
            << ::testing::PrintToString(lines_of(second));
        EXPECT_TRUE(has_line(first, each.first_title));
        EXPECT_EQ(change.count(), 1);
        BASS_StreamFree(s);
    }
}

// A station that comes back from a reconnect in another format, told by its Content-Type or
// only by its bytes, plays on under the same handle: the new tone at its pitch, the new
// type and rate in the channel's info, the new comments as tags. A reconnect in the same
// format plays on as well.
TEST_F(StreamFormats, AReconnectInAnotherFormatPlaysOnInThatFormat) {
    struct {
        const char *name;
        const std::vector<uint8_t> &after;
        const char *type; // the reconnect's Content-Type
        DWORD ctype;
        DWORD freq;
        double tone;
        const char *ogg_tag; // null: no Ogg comments
    } cases[] = {
        {"aac announced", sample_files().aac_high, "audio/aac", BASS_CTYPE_STREAM_AAC, 44100, 1500,
         nullptr},
        {"aac announced as mp3", sample_files().aac_high, "audio/mpeg", BASS_CTYPE_STREAM_AAC,
         44100, 1500, nullptr},
        {"opus", sample_files().opus, "audio/ogg", BASS_CTYPE_STREAM_OPUS, 48000, 1000,
         "title=Opus One"},
        {"mp3 again", sample_files().mp3_high, "audio/mpeg", BASS_CTYPE_STREAM_MP3, 44100, 1500,
         nullptr},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_FALSE(each.after.empty());
        script plan = live(sample_files().mp3_low, "audio/mpeg");
        plan.reconnects = {{plan.bytes.size(), each.type}};
        plan.bytes.insert(plan.bytes.end(), each.after.begin(), each.after.end());
        scripted_network network(plan);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        const size_t second = 44100;
        std::vector<float> played =
            capture.left_channel_of_sound(second * 36 / 10, std::chrono::seconds(8));
        ASSERT_EQ(played.size(), second * 36 / 10);
        EXPECT_NEAR(frequency_between(played, 0.5, 1.5), 500.0, 5.0);
        EXPECT_NEAR(frequency_between(played, 2.5, 3.5), each.tone, 15.0);
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        const char *comments = BASS_ChannelGetTags(s, BASS_TAG_OGG);
        if (each.ogg_tag)
            EXPECT_TRUE(has_line(comments, each.ogg_tag));
        else
            EXPECT_EQ(comments, nullptr);
        EXPECT_TRUE(BASS_StreamFree(s));
    }
}

// Damaged data gives an error code or plays what can be played, then ends: never a crash
// or a hang.
TEST_F(StreamFormats, DamagedStreamsFailCleanlyOrPlayToTheirEnd) {
    std::vector<uint8_t> corrupt_flac = sample_files().flac;
    for (size_t i = corrupt_flac.size() / 2; i < corrupt_flac.size() / 2 + 400; ++i)
        corrupt_flac[i] ^= 0x5a;
    std::vector<uint8_t> bad_checksum = sample_files().opus;
    // The CRC (bytes 22..25) of the first page after the two header pages.
    size_t page = 0;
    for (int seen = 0; seen < 3 && page + 4 < bad_checksum.size(); ++page)
        if (std::memcmp(&bad_checksum[page], "OggS", 4) == 0 && ++seen == 3)
            break;
    bad_checksum.at(page + 22) ^= 0xff;
    std::vector<uint8_t> lying_asf = sample_files().wmav2;
    lying_asf[30 + 16] = 0xff; // the first object's size: far past the header
    lying_asf[30 + 17] = 0xff;
    std::vector<uint8_t> cut_asf(sample_files().wmav2.begin(), sample_files().wmav2.begin() + 200);
    struct {
        const char *name;
        const std::vector<uint8_t> &bytes;
        const char *type;
        int error; // BASS_OK: plays to its end
    } cases[] = {
        {"flac with a corrupt frame", corrupt_flac, "audio/flac", BASS_OK},
        {"opus page with a bad checksum", bad_checksum, "audio/ogg", BASS_OK},
        {"asf header whose object sizes lie", lying_asf, "video/x-ms-asf", BASS_ERROR_FILEFORM},
        {"asf header cut short", cut_asf, "video/x-ms-asf", BASS_ERROR_ENDED},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        script plan = live(each.bytes, each.type);
        plan.stay_open = false;
        scripted_network network(plan);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        if (each.error != BASS_OK) {
            EXPECT_EQ(s, 0u);
            EXPECT_EQ(BASS_ErrorGetCode(), each.error);
            continue;
        }
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        sync_counter &end = kept<sync_counter>();
        ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_END, 0, count_sync, &end), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played = capture.left_channel_of_sound(8820, std::chrono::seconds(5));
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
        EXPECT_TRUE(end.wait_for(1, std::chrono::seconds(15)));
    }
}

class ServerFormats : public ::testing::Test, protected callback_state {
  protected:
    static void SetUpTestSuite() { server = new input_test::radio_server(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server->ready()) << "the test server did not start";
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
    }
    static std::string url(const std::string &path, const std::string &scheme = "http") {
        return scheme + "://127.0.0.1:" + std::to_string(server->info().ports.at("http")) + path;
    }
    // Plays the stream and checks the 1000 Hz tone of every test file.
    static void expect_tone(HSTREAM s, output_capture &capture) {
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(10), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
    }
    static DWORD ctype_of(HSTREAM s) {
        BASS_CHANNELINFO info{};
        return BASS_ChannelGetInfo(s, &info) ? info.ctype : 0;
    }
    // Opens a Windows Media station and checks the title and author of its first header.
    HSTREAM open_windows_media(const char *path) {
        HSTREAM s = BASS_StreamCreateURL(url(path).c_str(), 0, 0, nullptr, nullptr);
        EXPECT_NE(s, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
        const char *tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
        EXPECT_TRUE(has_line(tags, "title=Brevora WMA"))
            << ::testing::PrintToString(lines_of(tags));
        EXPECT_TRUE(has_line(tags, "author=Brevora Radio"));
        return s;
    }
    static input_test::radio_server *server;
};
input_test::radio_server *ServerFormats::server = nullptr;

TEST_F(ServerFormats, NativeFlacWithIcyMetadata) {
    output_capture capture;
    HSTREAM s = BASS_StreamCreateURL(url("/flac-icy").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_FLAC));
    EXPECT_TRUE(has_line(BASS_ChannelGetTags(s, BASS_TAG_ICY), "icy-name:Flac Radio"));
    EXPECT_TRUE(has_line(BASS_ChannelGetTags(s, BASS_TAG_OGG), "title=Native"));
    EXPECT_TRUE(eventually([&] {
        const char *meta = BASS_ChannelGetTags(s, BASS_TAG_META);
        return meta && std::string(meta) == "StreamTitle='Flac Song';";
    }));
    expect_tone(s, capture);
}

TEST_F(ServerFormats, AsfOverPlainHttp) {
    output_capture capture;
    HSTREAM s = open_windows_media("/asf");
    ASSERT_NE(s, 0u);
    EXPECT_TRUE(has_line(BASS_ChannelGetTags(s, BASS_TAG_WMA), "copyright=Free"));
    EXPECT_EQ(BASS_ChannelGetTags(s, BASS_TAG_WMA_META), nullptr);
    QWORD fill = BASS_StreamGetFilePosition(s, BASS_FILEPOS_WMA_BUFFER);
    EXPECT_LE(fill, 100u);
    EXPECT_EQ(BASS_StreamGetFilePosition(s, BASS_FILEPOS_START), 0u);
    expect_tone(s, capture);
}

// The session's script commands and its second header reach the tags and syncs in order.
TEST_F(ServerFormats, WindowsMediaSessionWithScriptCommandsAndAHeaderChange) {
    output_capture capture;
    HSTREAM s = open_windows_media("/wmsp");
    ASSERT_NE(s, 0u);
    const char *first_tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
    sync_counter &meta = kept<sync_counter>();
    sync_counter &change = kept<sync_counter>();
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_WMA_META, 0, count_sync, &meta), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_WMA_CHANGE, 0, count_sync, &change), 0u);
    expect_tone(s, capture);
    ASSERT_TRUE(meta.wait_for(2, std::chrono::seconds(15)));
    ASSERT_TRUE(change.wait_for(1, std::chrono::seconds(15)));
    EXPECT_EQ(meta.count(), 2); // the URL command is not a title
    EXPECT_STREQ(BASS_ChannelGetTags(s, BASS_TAG_WMA_META), "Artist - Second Song");
    const char *second_tags = BASS_ChannelGetTags(s, BASS_TAG_WMA);
    EXPECT_TRUE(has_line(second_tags, "title=Second Program"));
    EXPECT_TRUE(has_line(second_tags, "author=Second Host"));
    EXPECT_TRUE(has_line(first_tags, "title=Brevora WMA")); // the old text stays readable
    // The second program plays too (after the join, which the decoder is ahead of).
    capture.clear_after_next_block();
    std::vector<float> later = capture.left_channel_of_sound(8820, std::chrono::seconds(10), 22050);
    ASSERT_EQ(later.size(), 8820u);
    EXPECT_NEAR(measured_frequency(later, 44100), 1000.0, 10.0);
}

TEST_F(ServerFormats, MmsUrlsDirectlyAndFromAnAsxAfterADeadEntry) {
    // The last: an ordinary web server's ASF file behind an mms:// URL.
    for (const std::string &address :
         {url("/wmsp", "mms"), url("/wmsp", "MMSH"), url("/asx-mms"), url("/asf", "mms")}) {
        SCOPED_TRACE(address);
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL(address.c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(ctype_of(s), static_cast<DWORD>(BASS_CTYPE_STREAM_WMA));
        expect_tone(s, capture);
        BASS_StreamFree(s);
    }
}

TEST_F(ServerFormats, ATruncatedHeaderChunkIsAnError) {
    EXPECT_EQ(BASS_StreamCreateURL(url("/wmsp-cut").c_str(), 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

} // namespace
