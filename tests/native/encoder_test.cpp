// The encoder add-on: what the encoder program reads (command line, WAV header, samples), an
// encoder that falls behind or never ends, and recordings of a playing stream made with
// Debian's `lame` and checked by decoding them with the ffmpeg program.
#include "encode/command_line.h"
#include "encode/encoder.h"
#include "encode/wav_format.h"
#include "handle_calls.h"
#include "stream_sample_files.h"

#include <cstdint>
#include <filesystem>
#include <sys/resource.h>

using namespace stream_test;

namespace {

TEST(EncoderCommandLine, SplitsAsWindowsProgramsDo) {
    using lines = std::vector<std::string>;
    EXPECT_EQ(audio::split_command_line("lame.exe -b 128 - \"rec.mp3\""),
              (lines{"lame.exe", "-b", "128", "-", "rec.mp3"}));
    EXPECT_EQ(audio::split_command_line("  \"C:\\Program Files\\lame.exe\"\t-V2 \"my rec.mp3\"  "),
              (lines{"C:\\Program Files\\lame.exe", "-V2", "my rec.mp3"}));
    // Backslashes count only before a quote; inside quotes "" is one quote.
    EXPECT_EQ(audio::split_command_line("p a\\\\b \"c\\\\\" d\\\"e \"f\"\"g\" h\"i j\""),
              (lines{"p", "a\\\\b", "c\\", "d\"e", "f\"g", "hi j"}));
    EXPECT_EQ(audio::split_command_line("p \"\" x"), (lines{"p", "", "x"}));
    EXPECT_TRUE(audio::split_command_line(" \t ").empty());
}

TEST(EncoderWavFormat, HeaderOfUnknownLengthAndClippedSamples) {
    auto header = audio::streaming_wav_header(48000, 2);
    const uint8_t expected[] = {'R', 'I', 'F',  'F',  0xFF, 0xFF, 0xFF, 0xFF, 'W',  'A',  'V',
                                'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,    0,
                                2,   0,   0x80, 0xBB, 0,    0,    0x00, 0xEE, 0x02, 0,    4,
                                0,   16,  0,    'd',  'a',  't',  'a',  0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()),
              std::vector<uint8_t>(std::begin(expected), std::end(expected)));

    const float samples[] = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.7f, -3.0f, NAN};
    uint8_t bytes[sizeof samples / sizeof samples[0] * 2];
    audio::to_pcm16(samples, sizeof samples / sizeof samples[0], bytes);
    std::vector<int16_t> values;
    for (size_t i = 0; i < sizeof bytes; i += 2)
        values.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    EXPECT_EQ(values, (std::vector<int16_t>{0, 16384, -16384, 32767, -32767, 32767, -32767, 0}));
}

// A program that never reads its input and never ends: the queue fills, the output's calls
// still return, what does not fit is counted, and stop() ends the program after its wait.
TEST(Encoder, ThatFallsBehindDropsAndCountsAndIsEndedByStop) {
    audio::encoder_limits limits;
    limits.queue_length = std::chrono::milliseconds(500);
    limits.exit_wait = std::chrono::milliseconds(300);
    int error = BASS_OK;
    auto stalled = audio::encoder::start("sleep 60", 1, 44100, &error, limits);
    ASSERT_NE(stalled, nullptr) << error;
    EXPECT_TRUE(stalled->is_active());

    // Ten seconds of output blocks (40 ms each), far more than the queue and the pipe hold.
    std::vector<float> block(1764 * 2, 0.25f);
    for (int i = 0; i < 250; ++i)
        stalled->feed(block.data(), block.size());
    EXPECT_GT(stalled->dropped_frames(), 44100u * 8);
    EXPECT_LT(stalled->dropped_frames(), 44100u * 10);
    EXPECT_EQ(stalled->dropped_frames() % 1764, 0u) << "only whole blocks are dropped";

    stalled->stop();
    EXPECT_FALSE(stalled->is_active());
    stalled->stop(); // harmless
}

// A history that takes the program longer to read than stop()'s wait (a slow machine, a long
// history) still reaches it whole: the wait is for a program that takes nothing.
TEST(Encoder, StopWaitsForAProgramStillReadingALongHistory) {
    const std::string folder = testing::TempDir() + "brevora_slow_" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string got = folder + "/got";
    audio::encoder_limits limits;
    limits.exit_wait = std::chrono::milliseconds(300);
    // Reads 32 KiB every 50 ms, about 0.7 MB a second, until the end of its input. Split by
    // the Windows rules: \" is a quote inside the quoted script.
    const std::string slow_reader = "sh -c \"cd \\\"" + folder +
                                    "\\\" && while head -c 32768 >piece && [ -s piece ]; "
                                    "do cat piece >>got; sleep 0.05; done\"";
    int error = BASS_OK;
    auto slow = audio::encoder::start(slow_reader, 1, 44100, &error, limits);
    ASSERT_NE(slow, nullptr) << error;
    constexpr int history_pieces = 30; // three seconds, about one second to read
    audio::song_start start;
    start.history = [left = history_pieces](std::vector<float> &out) mutable {
        out.assign(4410 * 2, 0.5f);
        return --left > 0;
    };
    slow->begin(std::move(start));
    slow->stop();
    EXPECT_EQ(std::filesystem::file_size(got), 44u + history_pieces * 4410 * 2 * 2);
    std::filesystem::remove_all(folder);
}

class EncoderRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(tone_file().empty()) << "ffmpeg could not make the test file";
        folder = testing::TempDir() + "brevora_encoder_" + std::to_string(getpid());
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override {
        BASS_Free();
        BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000);
        BASS_SetConfig(BASS_CONFIG_NET_HISTORY, 0);
        std::filesystem::remove_all(folder);
    }

    static const std::vector<uint8_t> &tone_file() {
        static const std::vector<uint8_t> bytes =
            encode_tone("encoder_tone.mp3", 1000, 20, "-c:a libmp3lame -b:a 128k");
        return bytes;
    }

    // Starts the tone (or `bytes`) as a live stream and waits until it is heard.
    // Titles come at their byte offsets; with them the station sends in real time (128 kbit/s)
    // after a one-second burst, so that each comes while the stream plays.
    HSTREAM play_tone(DWORD flags = 0, const std::vector<uint8_t> &bytes = tone_file(),
                      std::vector<std::pair<size_t, std::string>> titles = {}) {
        script plan;
        plan.bytes = bytes;
        if (!titles.empty()) {
            plan.bytes_per_second = 16000;
            plan.burst_bytes = 16000;
        }
        plan.metadata = std::move(titles);
        plan.stay_open = true;
        network.reset(); // before the next one takes over the input
        network = std::make_unique<scripted_network>(plan);
        HSTREAM s = BASS_StreamCreateURL("http://radio.test/tone", 0, flags, nullptr, nullptr);
        EXPECT_NE(s, 0u) << BASS_ErrorGetCode();
        EXPECT_TRUE(BASS_ChannelPlay(s, FALSE));
        EXPECT_FALSE(output.left_channel_of_sound(4410).empty()) << "the tone never played";
        return s;
    }

    // Lets the output play on for about `seconds`.
    void play_for(double seconds) {
        ASSERT_TRUE(output.wait_for_rendered(static_cast<size_t>(seconds * 44100)));
    }

    std::string lame_command() const { return "lame -b 128 - \"" + folder + "/rec.mp3\""; }

    // A recording decoded to mono floats at 44.1 kHz by the ffmpeg program.
    std::vector<float> decoded_recording(const std::string &name = "rec.mp3") const {
        std::string raw = folder + "/rec.raw";
        std::string command = "ffmpeg -nostdin -loglevel error -y -i \"" + folder + "/" + name +
                              "\" -f f32le -ac 1 -ar 44100 " + raw;
        if (std::system(command.c_str()) != 0)
            return {};
        std::vector<uint8_t> bytes = read_file(raw);
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

    // A complete recording of the tone, about `seconds` long.
    void expect_recorded_tone(double seconds) const {
        std::vector<float> samples = decoded_recording();
        ASSERT_FALSE(samples.empty()) << "the recording does not decode";
        double duration = samples.size() / 44100.0;
        EXPECT_GT(duration, seconds - 0.5);
        EXPECT_LT(duration, seconds + 0.5);
        // Away from the ends, where the encoder's padding lies.
        std::vector<float> middle(samples.begin() + samples.size() / 4,
                                  samples.end() - static_cast<long>(samples.size() / 4));
        EXPECT_NEAR(measured_frequency(middle, 44100), 1000, 10);
        EXPECT_GT(peak(middle), 0.1); // the tone's level is 1/8 of full scale
    }

    using clock = std::chrono::steady_clock;
    static double seconds_since(clock::time_point start) {
        return std::chrono::duration<double>(clock::now() - start).count();
    }

    std::string folder;
    std::unique_ptr<scripted_network> network;
    output_capture output;
};

TEST_F(EncoderRecording, RecordsWhatPlaysUntilStoppedIntoACompleteFile) {
    HSTREAM s = play_tone();
    EXPECT_EQ(BASS_Encode_IsActive(0), DWORD{BASS_ACTIVE_STOPPED});
    const auto started = clock::now();
    HENCODE encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_PLAYING});
    play_for(2);
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_PLAYING});

    ASSERT_TRUE(BASS_Encode_Stop(encoder));
    const double recorded = seconds_since(started);
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_Encode_Stop(encoder)) << "a stale handle is harmless";
    expect_recorded_tone(recorded);

    // The stream plays on, and can be recorded again.
    HENCODE again = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, encoder);
    EXPECT_TRUE(BASS_Encode_Stop(again));
}

TEST_F(EncoderRecording, RecordsTheStreamItselfWhateverTheVolume) {
    HSTREAM s = play_tone();
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 0));
    const auto started = clock::now();
    HENCODE encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    play_for(1.5);
    ASSERT_TRUE(BASS_Encode_Stop(encoder));
    expect_recorded_tone(seconds_since(started));
}

TEST_F(EncoderRecording, FreeingTheStreamOrTheLibraryFinishesItsRecording) {
    HSTREAM s = play_tone();
    auto started = clock::now();
    HENCODE encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    play_for(1.5);
    ASSERT_TRUE(BASS_StreamFree(s));
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_FALSE(BASS_Encode_Stop(encoder));
    expect_recorded_tone(seconds_since(started));

    s = play_tone();
    started = clock::now();
    encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    play_for(1.5);
    ASSERT_TRUE(BASS_Free());
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_STOPPED});
    expect_recorded_tone(seconds_since(started));
}

// Stream, encoder, sync and plug-in handles each name one kind of thing: given to a call
// for another kind they are refused, and what they name plays and records on.
TEST_F(EncoderRecording, HandlesOfAnotherKindAreRefusedAndTouchNothing) {
    HSTREAM s = play_tone();
    const auto started = clock::now();
    HENCODE encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    HSYNC sync = BASS_ChannelSetSync(s, BASS_SYNC_META, 0, handle_calls::ignore_sync, nullptr);
    ASSERT_NE(sync, 0u);
    HPLUGIN plugin = BASS_PluginLoad("bass_aac.dll", 0);
    ASSERT_NE(plugin, 0u);

    for (DWORD other : {encoder, sync, plugin})
        for (const auto &call : handle_calls::channel_calls())
            EXPECT_TRUE(call.refuses(other)) << call.name << " " << std::hex << other;
    for (DWORD other : {s, sync, plugin})
        for (const auto &call : handle_calls::encoder_calls())
            EXPECT_TRUE(call.refuses(other)) << call.name << " " << std::hex << other;

    EXPECT_EQ(BASS_ChannelFlags(s, 0, 0), 0u) << "AUTOFREE was not set on the stream";
    EXPECT_EQ(BASS_Encode_IsActive(encoder), DWORD{BASS_ACTIVE_PLAYING});
    play_for(1);
    ASSERT_TRUE(BASS_Encode_Stop(encoder));
    EXPECT_TRUE(BASS_StreamFree(s));
    expect_recorded_tone(seconds_since(started));
}

TEST_F(EncoderRecording, AProgramThatCannotStartOrEndsAtOnceIsNotActive) {
    HSTREAM s = play_tone();
    EXPECT_EQ(BASS_Encode_Start(s, "brevora-no-such-encoder -", 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_Encode_Start(s, "", 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_Encode_Start(s + 1, lame_command().c_str(), 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    HENCODE ended = BASS_Encode_Start(s, "false", 0, nullptr, nullptr);
    ASSERT_NE(ended, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(
        eventually([&] { return BASS_Encode_IsActive(ended) == DWORD{BASS_ACTIVE_STOPPED}; }));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK) << "the handle is still known";
    // lame cannot write into a folder that does not exist, and ends.
    HENCODE failed = BASS_Encode_Start(s, ("lame - \"" + folder + "/none/rec.mp3\"").c_str(), 0,
                                       nullptr, nullptr);
    ASSERT_NE(failed, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(
        eventually([&] { return BASS_Encode_IsActive(failed) == DWORD{BASS_ACTIVE_STOPPED}; }));
    EXPECT_TRUE(BASS_Encode_Stop(ended));
    EXPECT_TRUE(BASS_Encode_Stop(failed));
    EXPECT_FALSE(BASS_Encode_Stop(0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// A disk that fills up mid-recording, as a limit on the size of the files the encoder
// program may write (inherited by the program, lifted again for this process at once): the
// program ends by itself and leaves the partial MP3, which plays.
TEST_F(EncoderRecording, ADiskThatFillsUpLeavesThePartialMp3Playable) {
    HSTREAM s = play_tone();
    constexpr rlim_t disk_room = 48 * 1024; // three seconds at 128 kbit/s
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit small = unlimited;
    small.rlim_cur = disk_room;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    HENCODE encoder = BASS_Encode_Start(s, lame_command().c_str(), 0, nullptr, nullptr);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();

    EXPECT_TRUE(
        eventually([&] { return BASS_Encode_IsActive(encoder) == DWORD{BASS_ACTIVE_STOPPED}; },
                   std::chrono::seconds(20)))
        << "the encoder went on past the full disk";
    std::error_code no_file;
    auto size = std::filesystem::file_size(folder + "/rec.mp3", no_file);
    EXPECT_FALSE(no_file);
    EXPECT_GT(size, disk_room / 2);
    EXPECT_LE(size, disk_room);
    std::vector<float> samples = decoded_recording();
    ASSERT_GT(samples.size(), 44100u) << "the partial recording does not play";
    std::vector<float> middle(samples.begin() + samples.size() / 4,
                              samples.end() - static_cast<long>(samples.size() / 4));
    EXPECT_NEAR(measured_frequency(middle, 44100), 1000, 10);
    EXPECT_TRUE(BASS_Encode_Stop(encoder)) << "the ended encoder's handle is still known";
}

// Recording from the song's start: with no title change since the connection, the song
// starts there, so the file begins with the first tone although Record came during the second.
TEST_F(EncoderRecording, FromTheSongStartBeginsWithWhatPlayedBefore) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_HISTORY, 60));
    const std::vector<uint8_t> low_then_high =
        joined(sample_files().mp3_low, sample_files().mp3_high);
    HSTREAM s = play_tone(0, low_then_high);
    play_for(2.4);
    HENCODE encoder =
        BASS_Encode_Start(s, lame_command().c_str(), BASS_ENCODE_SONG_START, nullptr, nullptr);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    play_for(1);
    ASSERT_TRUE(BASS_Encode_Stop(encoder));
    std::vector<float> samples = decoded_recording();
    ASSERT_GT(samples.size(), 44100u * 3) << "the recording lacks what played before Record";
    EXPECT_LT(samples.size(), 44100u * 4);
    EXPECT_NEAR(frequency_between(samples, 0.2, 1.6), 500, 10);
    EXPECT_NEAR(frequency_between(samples, 2.3, 2.9), 1500, 15);
}

// What the song procedure was told, file by file; each file is renamed as it is told.
struct song_files {
    std::string folder;
    std::mutex lock;
    std::vector<std::pair<DWORD, std::string>> told; // flags, tag text

    static void CALLBACK finished(HENCODE, DWORD flags, DWORD tag_type, const char *tags,
                                  void *user) {
        auto *files = static_cast<song_files *>(user);
        std::lock_guard<std::mutex> guard(files->lock);
        EXPECT_EQ(tag_type, tags ? DWORD{BASS_TAG_META} : 0u);
        files->told.emplace_back(flags, tags ? tags : "");
        std::error_code none; // a program that wrote nothing left no file
        std::filesystem::rename(
            files->folder + "/rec.mp3",
            files->folder + "/song" + std::to_string(files->told.size()) + ".mp3", none);
    }
};

// Three songs, low, high and low, each with its title where it begins: one file per song,
// cut where the title changes, the first from the connection (its start is not known).
TEST_F(EncoderRecording, OneFilePerSongIsCutWhereItsTitleChanges) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_HISTORY, 60));
    const std::vector<uint8_t> &low = sample_files().mp3_low, &high = sample_files().mp3_high;
    HSTREAM s = play_tone(0, joined(joined(low, high), low),
                          {{0, "StreamTitle='One';"},
                           {low.size(), "StreamTitle='Two';"},
                           {low.size() + high.size(), "StreamTitle='Three';"}});
    play_for(1);
    song_files files;
    files.folder = folder;
    HENCODE encoder = BASS_Encode_StartSongs(s, lame_command().c_str(), BASS_ENCODE_SONG_START,
                                             song_files::finished, &files);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    play_for(3.8);
    ASSERT_TRUE(BASS_Encode_Stop(encoder));

    const std::vector<std::pair<DWORD, std::string>> expected = {
        {BASS_SONG_TO_END, "StreamTitle='One';"},
        {BASS_SONG_FROM_START | BASS_SONG_TO_END, "StreamTitle='Two';"},
        {BASS_SONG_FROM_START, "StreamTitle='Three';"}};
    EXPECT_EQ(files.told, expected);
    const struct { double seconds, pitch; } songs[] = {{2, 500}, {2, 1500}, {0.8, 500}};
    for (size_t i = 0; i < files.told.size(); ++i) {
        SCOPED_TRACE(i + 1);
        std::vector<float> samples = decoded_recording("song" + std::to_string(i + 1) + ".mp3");
        EXPECT_NEAR(samples.size() / 44100.0, songs[i].seconds, i < 2 ? 0.1 : 0.3);
        EXPECT_NEAR(frequency_between(samples, 0.1, 0.6), songs[i].pitch, 10);
    }
}

// A stop while the history is still being written (the program reads only after a second)
// still leaves the song up to the stop in its file, told to the procedure.
TEST_F(EncoderRecording, AStopWhileTheHistoryIsWrittenStillFinishesItsFile) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_HISTORY, 60));
    HSTREAM s = play_tone(0, tone_file(), {{0, "StreamTitle='Slow';"}});
    play_for(3);
    song_files files;
    files.folder = folder;
    // Split by the Windows rules: \" is a quote inside the quoted script.
    const std::string slow_lame =
        "sh -c \"sleep 1; exec lame -b 128 - \\\"" + folder + "/rec.mp3\\\"\"";
    HENCODE encoder = BASS_Encode_StartSongs(s, slow_lame.c_str(), BASS_ENCODE_SONG_START,
                                             song_files::finished, &files);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_Encode_Stop(encoder));
    ASSERT_EQ(files.told.size(), 1u);
    EXPECT_EQ(files.told[0].second, "StreamTitle='Slow';");
    EXPECT_EQ(files.told[0].first & BASS_SONG_TO_END, 0u);
    EXPECT_NEAR(decoded_recording("song1.mp3").size() / 44100.0, 3, 0.3);
}

// One file per song whose program ends at once: its file is still told, so that it can be
// named, and the recording is over.
TEST_F(EncoderRecording, SongsWhoseProgramEndsAtOnceStillTellTheirFile) {
    HSTREAM s = play_tone();
    song_files files;
    files.folder = folder;
    HENCODE encoder = BASS_Encode_StartSongs(s, "false", 0, song_files::finished, &files);
    ASSERT_NE(encoder, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(
        eventually([&] { return BASS_Encode_IsActive(encoder) == DWORD{BASS_ACTIVE_STOPPED}; }));
    EXPECT_TRUE(BASS_Encode_Stop(encoder));
    std::lock_guard<std::mutex> guard(files.lock);
    ASSERT_EQ(files.told.size(), 1u);
    EXPECT_EQ(files.told[0].first, 0u) << "neither its song's start nor its end";
}

} // namespace
