// The pure HLS parts: playlists, the variant order, the live start, ID3 titles, AES-128
// segments and the codec of fragmented MP4 initialisation sections.
#include "input/hls/hls_mp4_init.h"
#include "input/hls/hls_playlist.h"
#include "input/hls/hls_segment.h"
#include "input/hls/id3_title.h"

#include <gtest/gtest.h>

using namespace audio;

namespace {

TEST(HlsPlaylist, MediaPlaylistTags) {
    std::optional<hls_media_playlist> playlist = parse_hls_media_playlist(
        "\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-TARGETDURATION:6\r\n#EXT-X-MEDIA-SEQUENCE:4711\r\n"
        "#EXT-X-KEY:METHOD=AES-128,URI=\"k,1.bin\",IV=0x000102030405060708090A0B0C0D0E0F\r\n"
        "#EXT-X-MAP:URI=\"init.mp4\"\r\n#EXTINF:5.5,Song\r\na.ts\r\n#EXT-X-KEY:METHOD=NONE\r\n"
        "#EXTINF:nan,\r\nb.ts\r\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\r\n#EXTINF:-3,\r\n"
        "c.ts\r\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\",IV=0x12\r\nd.ts\r\n#EXT-X-ENDLIST\r\n");
    ASSERT_TRUE(playlist);
    EXPECT_EQ(playlist->target_duration, 6);
    EXPECT_TRUE(playlist->ended);
    ASSERT_EQ(playlist->segments.size(), 4u);
    const hls_segment &first = playlist->segments[0];
    EXPECT_EQ(first.uri, "a.ts");
    EXPECT_EQ(first.duration, 5.5);
    EXPECT_EQ(first.sequence, 4711u);
    EXPECT_EQ(first.map_uri, "init.mp4");
    EXPECT_TRUE(first.key.encrypted);
    EXPECT_EQ(first.key.uri, "k,1.bin"); // a quoted comma stays in the value
    ASSERT_TRUE(first.key.iv);
    EXPECT_EQ((*first.key.iv)[15], 0x0F);
    EXPECT_FALSE(playlist->segments[1].key.encrypted);
    EXPECT_EQ(playlist->segments[1].duration, 0); // not a number
    EXPECT_EQ(playlist->segments[1].sequence, 4712u);
    EXPECT_TRUE(playlist->segments[2].key.unsupported); // SAMPLE-AES
    EXPECT_TRUE(playlist->segments[3].key.unsupported); // an IV that is not 128 bits
    EXPECT_FALSE(parse_hls_media_playlist("seg.ts\n"));
}

TEST(HlsPlaylist, VariantOrderAndLiveStart) {
    const std::string master =
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\nlow.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=800000,CODECS=\"avc1.4d401e,mp4a.40.2\"\nvideo.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=140000,AVERAGE-BANDWIDTH=128000\nmid.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=384000,CODECS=\"mp4a.40.2\"\nhigh.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=999000,CODECS=\"mp4a.40.2\"\nhighest.m3u8\n"
        // Codecs the decoder does not read: E-AC-3, xHE-AAC, AC-3 beside video.
        "#EXT-X-STREAM-INF:BANDWIDTH=256000,CODECS=\"ec-3\"\nec3.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=192000,CODECS=\"mp4a.40.42\"\nusac.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=300000,CODECS=\"avc1.64001f,ac-3\"\nvideo-ac3.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=400000,CODECS=\"avc1.4d401e, MP4A.40.5\"\nvideo-low.m3u8\n";
    ASSERT_TRUE(is_hls_master_playlist(master));
    std::vector<hls_variant> variants = parse_hls_master_playlist(master);
    ASSERT_EQ(variants.size(), 9u);
    EXPECT_EQ(variants[2].bandwidth, 128000u);
    std::vector<std::string> order;
    for (size_t index : hls_variant_order(variants, 320000))
        order.push_back(variants[index].uri);
    // Audio-only variants first; those with video only when none of them plays.
    EXPECT_EQ(order, (std::vector<std::string>{"mid.m3u8", "low.m3u8", "high.m3u8", "highest.m3u8",
                                               "video-low.m3u8", "video.m3u8"}));

    hls_media_playlist live;
    live.target_duration = 2;
    for (int i = 0; i < 6; ++i)
        live.segments.push_back({"s", 2.0, static_cast<uint64_t>(i), {}, ""});
    EXPECT_EQ(hls_live_start(live), 3u); // three target durations from the end
    live.segments.resize(2);
    EXPECT_EQ(hls_live_start(live), 0u);
    live.segments.clear();
    EXPECT_EQ(hls_live_start(live), 0u);
}

std::string syncsafe(size_t value) {
    return {static_cast<char>(value >> 21 & 0x7F), static_cast<char>(value >> 14 & 0x7F),
            static_cast<char>(value >> 7 & 0x7F), static_cast<char>(value & 0x7F)};
}
std::string tag(char version, const std::string &frames) {
    return std::string("ID3") + version + std::string(2, '\0') + syncsafe(frames.size()) + frames;
}
std::string frame(const char *name, const std::string &body) { // ID3v2.4 sizes
    return name + syncsafe(body.size()) + std::string(2, '\0') + body;
}
std::optional<std::string> title_of(const std::string &bytes) {
    return id3_stream_title(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

TEST(Id3Title, TitleFramesAndCarriedTitles) {
    using namespace std::string_literals;
    EXPECT_EQ(title_of(tag(4, frame("TPE1", "\3Ärtist"s) + frame("TIT2", "\0Caf\xe9"s))),
              "StreamTitle='Ärtist - Café';");
    EXPECT_EQ(title_of(tag(4, frame("TIT2", "\1\xff\xfeS\0o\0\x3c\xd8\xb5\xdf"s))),
              "StreamTitle='So\U0001F3B5';");
    EXPECT_EQ(title_of(tag(4, frame("TXXX", "\3StreamTitle\0StreamTitle='A - B';x"s) +
                                  frame("TIT2", "\3ignored"s))),
              "StreamTitle='A - B';");
    EXPECT_EQ(title_of(tag(4, frame("TPE1", "\3only"s))), std::nullopt);
    // A frame larger than its tag, and a tag cut short, end the walk without reading past.
    std::string oversized = tag(4, frame("TIT2", "\3x"s));
    oversized[14] = 0x7F;
    EXPECT_EQ(title_of(oversized), std::nullopt);
    std::string whole = tag(4, frame("TIT2", "\3Song"s));
    EXPECT_EQ(title_of(whole.substr(0, whole.size() - 2)), std::nullopt);
    EXPECT_EQ(id3_tag_size(reinterpret_cast<const uint8_t *>(whole.data()), whole.size()),
              whole.size());
}

TEST(HlsSegment, Aes128AndPackedAudio) {
    // AES-128-CBC of "brevora" with PKCS#7 padding, key 00..0f and IV 0f..00.
    aes_block key{}, iv{};
    for (int i = 0; i < 16; ++i) {
        key[i] = static_cast<uint8_t>(i);
        iv[i] = static_cast<uint8_t>(15 - i);
    }
    std::string sealed = "\xa5\xa0\x94\x0f\x54\x17\xc6\xa1\x47\x6b\xfa\x14\x67\x65\xe1\x33";
    std::string opened = sealed;
    ASSERT_TRUE(decrypt_aes128(opened, key, iv));
    EXPECT_EQ(opened, "brevora");
    std::string wrong_iv = sealed;
    EXPECT_FALSE(decrypt_aes128(wrong_iv, key, sequence_iv(1)) && wrong_iv == "brevora");
    std::string not_blocks = sealed.substr(0, 15);
    EXPECT_FALSE(decrypt_aes128(not_blocks, key, iv));
    EXPECT_EQ(sequence_iv(0x0102)[14], 0x01);
    EXPECT_EQ(sequence_iv(0x0102)[15], 0x02);

    unpacked_segment packed =
        unpack_segment(tag(4, frame("TIT2", std::string("\3Song"))) + "\xff\xf1 frames");
    EXPECT_EQ(packed.audio, "\xff\xf1 frames");
    EXPECT_EQ(packed.titles, std::vector<std::string>{"StreamTitle='Song';"});
}

// MP4 boxes of an initialisation section, one track per (handler, sample entry, object
// type, AudioSpecificConfig) given; the ES descriptor's length in the four-byte form.
std::string box(const char *type, const std::string &body) {
    const size_t size = 8 + body.size();
    return std::string{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                       static_cast<char>(size >> 8), static_cast<char>(size)} +
           type + body;
}
struct track {
    const char *handler;
    const char *entry;
    uint8_t object_type;
    std::string config;
};
std::string init_section(const std::vector<track> &tracks) {
    using namespace std::string_literals;
    std::string traks;
    for (const track &each : tracks) {
        const std::string decoder_config =
            "\x04"s + static_cast<char>(13 + 2 + each.config.size()) +
            static_cast<char>(each.object_type) + std::string(12, '\x15') + "\x05"s +
            static_cast<char>(each.config.size()) + each.config;
        const std::string es = "\x03\x80\x80\x80"s + static_cast<char>(3 + decoder_config.size()) +
                               "\0\1\0"s + decoder_config;
        const std::string entry = std::string(28, '\0') + box("esds", std::string(4, '\0') + es);
        const std::string stsd = "\0\0\0\0\0\0\0\1"s + box(each.entry, entry);
        const std::string hdlr = std::string(8, '\0') + each.handler + std::string(13, '\0');
        traks += box("trak",
                     box("mdia", box("hdlr", hdlr) + box("minf", box("stbl", box("stsd", stsd)))));
    }
    return box("ftyp", "iso6\0\0\0\0"s) + box("moov", box("mvhd", std::string(100, '\0')) + traks);
}

TEST(HlsMp4Init, TellsAacFromOtherAudio) {
    using namespace std::string_literals;
    const track aac_lc{"soun", "mp4a", 0x40, "\x12\x10"s};
    const track video{"vide", "avc1", 0, ""};
    const std::string whole = init_section({aac_lc});
    struct {
        const char *name;
        std::string init;
        bool aac;
    } cases[] = {
        {"AAC LC", whole, true},
        {"HE-AAC", init_section({{"soun", "mp4a", 0x40, "\x2b\x92\x08\x00"s}}), true},
        {"MPEG-2 AAC LC", init_section({{"soun", "mp4a", 0x67, ""}}), true},
        {"after a video track", init_section({video, aac_lc}), true},
        {"MP3 in MP4", init_section({{"soun", "mp4a", 0x6b, ""}}), false},
        {"MPEG-4 audio of type 34 (layer 3)", init_section({{"soun", "mp4a", 0x40, "\xf8\x40"s}}),
         false},
        {"Opus", init_section({{"soun", "Opus", 0, ""}}), false},
        {"video only", init_section({video}), false},
        {"cut short", whole.substr(0, whole.size() - 12), false},
        {"no boxes", "not an MP4 file at all", false},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        EXPECT_EQ(mp4_init_carries_aac(reinterpret_cast<const uint8_t *>(each.init.data()),
                                       each.init.size()),
                  each.aac);
    }
}

} // namespace
