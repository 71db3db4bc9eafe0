// Benchmark client. Two modes, each printing one line of JSON:
//   stream_probe library URL SECONDS  opens URL as the player does (play once the buffer is
//       past 75 %), reports the time from BASS_StreamCreateURL to the first sample at the
//       output, then keeps playing for SECONDS.
//   stream_probe floor URL            a plain HTTP GET: time until the first 64 KiB arrive.
#include "brevora_audio.h"
#include "output/mixer.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using clock_type = std::chrono::steady_clock;

static double ms_since(clock_type::time_point start) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

static int library(const char *url, int seconds) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    std::atomic<bool> heard{false};
    audio::library_mixer().set_capture([&](const float *samples, size_t frames) {
        for (size_t i = 0; i < frames * 2 && !heard; ++i)
            if (samples[i] != 0)
                heard = true;
    });
    auto start = clock_type::now();
    HSTREAM s = BASS_StreamCreateURL(
        url, 0, BASS_STREAM_BLOCK | BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE, nullptr, nullptr);
    if (!s) {
        std::printf("{\"error\": %d}\n", BASS_ErrorGetCode());
        return 1;
    }
    double connected = ms_since(start);
    BASS_ChannelFlags(s, BASS_STREAM_RESTRATE, BASS_STREAM_RESTRATE);
    // The player's 50 ms poll, made finer so the poll itself is not what is measured.
    for (;;) {
        QWORD buffered = BASS_StreamGetFilePosition(s, BASS_FILEPOS_BUFFER);
        QWORD end = BASS_StreamGetFilePosition(s, BASS_FILEPOS_END);
        if (buffered * 100 / end > 75 || BASS_StreamGetFilePosition(s, BASS_FILEPOS_CONNECTED) == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    double buffered = ms_since(start);
    BASS_ChannelPlay(s, FALSE);
    while (!heard)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    double first_audio = ms_since(start);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    audio::library_mixer().set_capture(nullptr);
    BASS_Free();
    std::printf("{\"connected_ms\": %.1f, \"buffered_ms\": %.1f, \"first_audio_ms\": %.1f}\n",
                connected, buffered, first_audio);
    return 0;
}

static int floor_client(const char *url) {
    // http://127.0.0.1:PORT/mount only.
    unsigned port = 0;
    char path[256] = "";
    if (std::sscanf(url, "http://127.0.0.1:%u%255s", &port, path) != 2)
        return 2;
    auto start = clock_type::now();
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return 1;
    std::string request = std::string("GET ") + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (write(fd, request.data(), request.size()) < 0)
        return 1;
    char buffer[8192];
    size_t total = 0;
    double first_byte = -1;
    while (total < 65536 + 512) { // the body's 64 KiB plus about a header's worth
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        if (first_byte < 0)
            first_byte = ms_since(start);
        total += static_cast<size_t>(got);
    }
    close(fd);
    std::printf("{\"first_byte_ms\": %.1f, \"first_64k_ms\": %.1f}\n", first_byte, ms_since(start));
    return 0;
}

int main(int argc, char **argv) {
    if (argc >= 4 && std::strcmp(argv[1], "library") == 0)
        return library(argv[2], std::atoi(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "floor") == 0)
        return floor_client(argv[2]);
    std::fprintf(stderr, "usage: stream_probe library URL SECONDS | floor URL\n");
    return 2;
}
