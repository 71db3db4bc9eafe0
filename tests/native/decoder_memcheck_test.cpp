// Every format through the FFmpeg decoder, run under Valgrind's memcheck by CTest. This
// program compiles the decoder itself without the test trees' pattern initialisation of
// locals, so that a structure handed to FFmpeg uninitialised is reported here, in every
// environment, instead of crashing only where the stack happens to hold the wrong bytes.
#include "decode/decoder.h"
#include "stream_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct format_row {
    const char *file;
    const char *ffmpeg_arguments;
};

class DecoderMemcheck : public testing::TestWithParam<format_row> {};

TEST_P(DecoderMemcheck, DecodesTheWholeToneWithoutAnyInvalidMemoryUse) {
    std::vector<uint8_t> bytes =
        stream_test::encode_tone(GetParam().file, 1000, 0.5, GetParam().ffmpeg_arguments);
    ASSERT_FALSE(bytes.empty()) << "the ffmpeg program could not make " << GetParam().file;
    audio::probe_result probe = audio::identify_format(bytes.data(), bytes.size(), "", true);
    ASSERT_NE(probe.format, nullptr);

    size_t position = probe.offset;
    audio::byte_source source = [&](uint8_t *buffer, size_t size) {
        size_t count = std::min(size, bytes.size() - position);
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return static_cast<long>(count);
    };
    int error = -1;
    auto decoder = audio::decoder::open(*probe.format, source, 44100, &error);
    ASSERT_NE(decoder, nullptr) << "error " << error;

    size_t frames = 0;
    audio::decoder::chunk chunk;
    while (decoder->decode(chunk)) {
        frames += chunk.samples.size() / 2;
        chunk.samples.clear();
    }
    // Half a second at 44.1 kHz, give or take the codecs' priming and padding.
    EXPECT_GT(frames, 44100u * 4 / 10);
    EXPECT_LT(frames, 44100u * 7 / 10);
}

INSTANTIATE_TEST_SUITE_P(
    EachFormat, DecoderMemcheck,
    testing::Values(format_row{"memcheck.mp3", "-c:a libmp3lame -b:a 128k -f mp3"},
                    format_row{"memcheck.aac", "-c:a aac -b:a 128k -f adts"},
                    format_row{"memcheck.ogg", "-c:a libvorbis -b:a 96k -f ogg"},
                    format_row{"memcheck.opus", "-c:a libopus -b:a 96k -f ogg"},
                    format_row{"memcheck.flac", "-c:a flac -f flac"},
                    format_row{"memcheck.wma", "-c:a wmav2 -b:a 128k -f asf"}),
    [](const testing::TestParamInfo<format_row> &row) {
        std::string name = row.param.file;
        return name.substr(name.find('.') + 1);
    });

} // namespace
