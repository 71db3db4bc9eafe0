// The recorder's song history, measured: `history_probe MINUTES MP3_FILE WORK_FOLDER` keeps
// MINUTES of the 128 kbit/s MP3 file as a stream keeps its history and prints the memory
// it holds (resident and kept bytes) against the same audio as 16-bit PCM, then encodes the
// whole history with lame as a recording from the song's start does (decoded on the
// encoder's thread) and prints how long that took. One JSON line (bench/history.sh).
#include "decode/format_probe.h"
#include "encode/encoder.h"
#include "stream/song_history.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: history_probe MINUTES MP3_FILE WORK_FOLDER\n");
        return 2;
    }
    const int minutes = std::stoi(argv[1]);
    std::vector<uint8_t> file;
    {
        std::ifstream in(argv[2], std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string folder = argv[3];

    // As a stream at 128 kbit/s with a five-second buffer bounds it.
    const long before_kib = resident_kib();
    auto history = std::make_unique<audio::song_history>();
    history->set_limit(128 * 125 * (60 * static_cast<size_t>(minutes) + 5));
    for (size_t at = 0; at < file.size(); at += 16384)
        history->append(file.data() + at, std::min<size_t>(16384, file.size() - at));
    const long after_kib = resident_kib();
    const size_t kept = history->kept_bytes();
    const double pcm_bytes = 60.0 * minutes * 44100 * 2 * 2;

    audio::song_history::snapshot taken = history->take();
    auto bytes = std::make_shared<const std::vector<uint8_t>>(std::move(taken.bytes));
    const audio::stream_format *format =
        audio::identify_format(bytes->data(), bytes->size(), "", true).format;
    const auto started = std::chrono::steady_clock::now();
    int error = 0;
    audio::encoder_limits patient; // the stop below waits for the whole history
    patient.exit_wait = std::chrono::minutes(30);
    auto recording = audio::encoder::start("lame --quiet -b 128 - \"" + folder + "/history.mp3\"",
                                           1, 44100, &error, patient);
    if (!recording) {
        std::fprintf(stderr, "lame did not start (%d)\n", error);
        return 1;
    }
    audio::song_start start;
    start.history = audio::history_decoder(bytes, format, 44100,
                                           static_cast<uint64_t>(60.0 * minutes * 44100 * 2));
    recording->begin(std::move(start));
    recording->stop(); // returns once lame has written the whole history
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("{\"minutes\": %d, \"kept_bytes\": %zu, \"resident_growth_kib\": %ld, "
                "\"pcm_bytes\": %.0f, \"encode_seconds\": %.2f}\n",
                minutes, kept, after_kib - before_kib, pcm_bytes, seconds);
    return 0;
}
