// Format identification from a stream's first bytes.
#include "brevora_audio.h"
#include "decode/format_probe.h"

#include <gtest/gtest.h>

#include <vector>

using audio::identify_format;

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

} // namespace
