// FLAC, Opus and WMA streams against a stand-in network input: recognised, decoded at their
// pitch whatever their rate and depth, their comments or header tags, new Ogg links and
// damaged data.
#include "stream_test_support.h"

#include <algorithm>
#include <cstring>

using namespace stream_test;

namespace {

// Made once for the whole suite; each carries the title its name says.
struct format_files {
    std::vector<uint8_t> flac, flac_24bit_96k, ogg_flac, ogg_flac_chain, opus, opus_chain, wmav2,
        wmav1, mp3_low, mp3_high, aac_high;
};
const format_files &files() {
    static const format_files made = [] {
        format_files f;
        f.flac = encode_tone("tone.flac", 1000, 3, "-c:a flac -f flac", "Native");
        f.flac_24bit_96k = encode_tone("tone96.flac", 1000, 3,
                                       "-c:a flac -ar 96000 -sample_fmt s32 -f flac", "Deep");
        f.ogg_flac = encode_tone("tone.oga", 1000, 3, "-c:a flac -f ogg", "Ogg One");
        f.ogg_flac_chain = encode_tone("second.oga", 1000, 2, "-c:a flac -f ogg", "Ogg Two");
        f.ogg_flac_chain.insert(f.ogg_flac_chain.begin(), f.ogg_flac.begin(), f.ogg_flac.end());
        f.opus = encode_tone("first.opus", 1000, 2, "-c:a libopus -b:a 96k -f ogg", "Opus One");
        std::vector<uint8_t> second =
            encode_tone("second.opus", 1000, 2, "-c:a libopus -b:a 96k -f ogg", "Opus Two");
        f.opus_chain = f.opus;
        f.opus_chain.insert(f.opus_chain.end(), second.begin(), second.end());
        f.wmav2 = encode_tone("tone.wma", 1000, 3,
                              "-c:a wmav2 -b:a 128k -metadata author=Brevora -f asf", "WMA Two");
        f.wmav1 = encode_tone("tone1.wma", 1000, 3, "-c:a wmav1 -b:a 128k -f asf", "WMA One");
        f.mp3_low = encode_tone("low.mp3", 500, 2, "-c:a libmp3lame -b:a 128k -f mp3");
        f.mp3_high = encode_tone("high.mp3", 1500, 2, "-c:a libmp3lame -b:a 128k -f mp3");
        f.aac_high = encode_tone("high.aac", 1500, 2, "-c:a aac -b:a 128k -f adts");
        return f;
    }();
    return made;
}

bool has_line(const std::vector<std::string> &lines, const std::string &wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

class StreamFormats : public ::testing::Test, protected callback_state {
  protected:
    void SetUp() override {
        ASSERT_FALSE(files().wmav2.empty()) << "ffmpeg could not make the test files";
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

TEST_F(StreamFormats, EachFormatPlaysItsToneWithItsTypeAndTags) {
    struct {
        const char *name;
        const std::vector<uint8_t> &bytes;
        const char *type;
        DWORD ctype;
        DWORD freq;
        DWORD tag_type;
        const char *tag_line;
    } cases[] = {
        {"flac", files().flac, "audio/flac", BASS_CTYPE_STREAM_FLAC, 44100, BASS_TAG_OGG,
         "title=Native"},
        {"flac 24-bit 96 kHz", files().flac_24bit_96k, "application/octet-stream",
         BASS_CTYPE_STREAM_FLAC, 96000, BASS_TAG_OGG, "title=Deep"},
        {"ogg flac", files().ogg_flac, "application/ogg", BASS_CTYPE_STREAM_OGG_FLAC, 44100,
         BASS_TAG_OGG, "title=Ogg One"},
        {"opus", files().opus, "audio/ogg", BASS_CTYPE_STREAM_OPUS, 48000, BASS_TAG_OGG,
         "title=Opus One"},
        {"wma v2", files().wmav2, "video/x-ms-asf", BASS_CTYPE_STREAM_WMA, 44100, BASS_TAG_WMA,
         "title=WMA Two"},
        {"wma v1 as audio/mpeg", files().wmav1, "audio/mpeg", BASS_CTYPE_STREAM_WMA, 44100,
         BASS_TAG_WMA, "title=WMA One"},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_FALSE(each.bytes.empty());
        scripted_network network(live(each.bytes, each.type));
        output_capture capture;
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/live", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
        EXPECT_EQ(info.ctype, each.ctype);
        EXPECT_EQ(info.freq, each.freq);
        EXPECT_EQ(info.chans, 2u);
        std::vector<std::string> tags = lines_of(BASS_ChannelGetTags(s, each.tag_type));
        EXPECT_TRUE(has_line(tags, each.tag_line)) << ::testing::PrintToString(tags);
        // Only WMA streams have WMA tags, and only Ogg comments count as OGG tags.
        DWORD other = each.tag_type == BASS_TAG_WMA ? BASS_TAG_OGG : BASS_TAG_WMA;
        EXPECT_EQ(BASS_ChannelGetTags(s, other), nullptr);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        std::vector<float> played =
            capture.left_channel_of_sound(8820, std::chrono::seconds(5), 4410);
        ASSERT_EQ(played.size(), 8820u);
        EXPECT_NEAR(measured_frequency(played, 44100), 1000.0, 10.0);
        EXPECT_GT(peak(played), 0.05);
        EXPECT_TRUE(BASS_StreamFree(s));
    }
}

TEST_F(StreamFormats, ANewOggLinkChangesCommentsAndRaisesOggChange) {
    struct {
        const char *name;
        const std::vector<uint8_t> &bytes;
        const char *second_title;
    } cases[] = {{"opus", files().opus_chain, "title=Opus Two"},
                 {"ogg flac", files().ogg_flac_chain, "title=Ogg Two"}};
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        scripted_network network(live(each.bytes, "audio/ogg"));
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/", 0, 0, nullptr, nullptr);
        ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
        sync_counter &change = kept<sync_counter>();
        ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_OGG_CHANGE, 0, count_sync, &change), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        ASSERT_TRUE(change.wait_for(1));
        std::vector<std::string> comments = lines_of(BASS_ChannelGetTags(s, BASS_TAG_OGG));
        EXPECT_TRUE(has_line(comments, each.second_title)) << ::testing::PrintToString(comments);
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
        {"aac announced", files().aac_high, "audio/aac", BASS_CTYPE_STREAM_AAC, 44100, 1500,
         nullptr},
        {"aac announced as mp3", files().aac_high, "audio/mpeg", BASS_CTYPE_STREAM_AAC, 44100, 1500,
         nullptr},
        {"opus", files().opus, "audio/ogg", BASS_CTYPE_STREAM_OPUS, 48000, 1000, "title=Opus One"},
        {"mp3 again", files().mp3_high, "audio/mpeg", BASS_CTYPE_STREAM_MP3, 44100, 1500, nullptr},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_FALSE(each.after.empty());
        script plan = live(files().mp3_low, "audio/mpeg");
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
            EXPECT_TRUE(has_line(lines_of(comments), each.ogg_tag));
        else
            EXPECT_EQ(comments, nullptr);
        EXPECT_TRUE(BASS_StreamFree(s));
    }
}

// Damaged data gives an error code or plays what can be played, then ends: never a crash
// or a hang.
TEST_F(StreamFormats, DamagedStreamsFailCleanlyOrPlayToTheirEnd) {
    std::vector<uint8_t> corrupt_flac = files().flac;
    for (size_t i = corrupt_flac.size() / 2; i < corrupt_flac.size() / 2 + 400; ++i)
        corrupt_flac[i] ^= 0x5a;
    std::vector<uint8_t> bad_checksum = files().opus;
    // The CRC (bytes 22..25) of the first page after the two header pages.
    size_t page = 0;
    for (int seen = 0; seen < 3 && page + 4 < bad_checksum.size(); ++page)
        if (std::memcmp(&bad_checksum[page], "OggS", 4) == 0 && ++seen == 3)
            break;
    bad_checksum.at(page + 22) ^= 0xff;
    std::vector<uint8_t> lying_asf = files().wmav2;
    lying_asf[30 + 16] = 0xff; // the first object's size: far past the header
    lying_asf[30 + 17] = 0xff;
    std::vector<uint8_t> cut_asf(files().wmav2.begin(), files().wmav2.begin() + 200);
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

} // namespace
