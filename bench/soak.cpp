// The soak: `soak MINUTES SWITCHES` plays the scripted test server's stations natively,
// switching between a live one (titles every second), a dead port, one that stalls after
// 200 bytes and one that turns from MP3 into AAC, as a user flicking through stations would.
// Every 10 switches it prints resident memory, the live heap, threads and open descriptors;
// at the end, the first, 100th and last samples, and whether the memory the library keeps
// grew by under 1 MiB after the 100th and no thread or descriptor was left. Runs on the main
// thread; bench/soak.sh builds it with ASan and runs it.
//
// The memory the library keeps is the live heap: the bytes of every allocation not yet
// freed, from the allocator's own count (ASan's, which leaves out its quarantine and free
// lists; glibc's in-use bytes in a plain build), plus the threads and descriptors counted
// beside it. The library maps no memory of its own, so nothing it keeps escapes these.
// Resident memory is printed too, but judged by the live heap: it also grows with what the
// allocator keeps for later (glibc opens up to eight arenas a core as new threads allocate;
// ASan's bookkeeping of stacks and threads only grows), which a library cannot give back.
#include "brevora_audio.h"
#include "python_server.h"

#include <dirent.h>
#include <malloc.h>
#ifdef __SANITIZE_ADDRESS__
// ASan's allocator statistics (GCC ships no header for them).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

struct sample {
    int switches;
    long rss_kib;
    long heap_kib; // the bytes of the allocations not yet freed
    long threads;
    long descriptors;
};

long status_field(const char *name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name, 0) == 0)
            return std::strtol(line.c_str() + std::char_traits<char>::length(name), nullptr, 10);
    return -1;
}

long open_descriptors() {
    long count = 0;
    if (DIR *folder = opendir("/proc/self/fd")) {
        while (readdir(folder))
            ++count;
        closedir(folder);
    }
    return count - 3; // ".", ".." and the listing's own descriptor
}

long live_heap_kib() {
#ifdef __SANITIZE_ADDRESS__
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    struct mallinfo2 heap = mallinfo2();
    return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
#endif
}

sample take_sample(int switches) {
    return {switches, status_field("VmRSS:"), live_heap_kib(), status_field("Threads:"),
            open_descriptors()};
}

void print(const char *label, const sample &s) {
    std::printf("%-8s switch %5d  rss %7ld KiB  heap %7ld KiB  threads %3ld  descriptors %3ld\n",
                label, s.switches, s.rss_kib, s.heap_kib, s.threads, s.descriptors);
    std::fflush(stdout);
}

// {"name": number, ..., "ca_file": "path"} as the server prints it; the path is skipped.
std::map<std::string, int> ports_of(const std::string &line) {
    std::map<std::string, int> ports;
    size_t at = 0;
    while ((at = line.find('"', at)) != std::string::npos) {
        size_t name_end = line.find('"', at + 1);
        size_t value = line.find_first_not_of(": ", name_end + 1);
        if (name_end == std::string::npos || value == std::string::npos)
            break;
        if (line[value] == '"') {
            at = line.find('"', value + 1);
            at = at == std::string::npos ? at : at + 1;
            continue;
        }
        ports[line.substr(at + 1, name_end - at - 1)] = std::atoi(line.c_str() + value);
        at = line.find_first_of(",}", value);
    }
    return ports;
}

// Waits until the number of threads is back to `threads`, for at most a few seconds: the
// freed streams' threads end on their own, shortly after the free.
sample settled(int switches, long threads) {
    auto give_up = clock_type::now() + std::chrono::seconds(10);
    sample now = take_sample(switches);
    while (now.threads > threads && clock_type::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        now = take_sample(switches);
    }
    return now;
}

} // namespace

int main(int argc, char **argv) {
    double minutes = argc > 1 ? std::atof(argv[1]) : 10;
    int most_switches = argc > 2 ? std::atoi(argv[2]) : 1000;
    test_support::python_server server(BREVORA_TEST_SERVERS_DIR "/radio_test_server.py");
    std::map<std::string, int> ports = ports_of(server.first_line());
    if (!ports.count("http")) {
        std::fprintf(stderr, "soak: the test server did not start\n");
        return 1;
    }
    std::string origin = "http://127.0.0.1:" + std::to_string(ports["http"]);
    std::vector<std::string> stations = {
        origin + "/live", "http://127.0.0.1:" + std::to_string(ports["dead"]) + "/",
        origin + "/live", origin + "/mp3-stall",
        origin + "/live", origin + "/mp3-then-aac"};

    const sample before = take_sample(0);
    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "soak: BASS_Init failed (%d)\n", BASS_ErrorGetCode());
        return 1;
    }
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1000);
    const auto end = clock_type::now() + std::chrono::duration<double>(minutes * 60);
    HSTREAM playing = 0;
    std::vector<sample> samples;
    samples.reserve(static_cast<size_t>(most_switches) / 10 + 2); // the soak's own heap stays put
    int failures = 0;
    for (int n = 1; n <= most_switches && clock_type::now() < end; ++n) {
        // Each visit of the format-changing station is a new connection history.
        std::string url = stations[n % stations.size()] + "?visit=" + std::to_string(n);
        HSTREAM next = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        if (next)
            BASS_ChannelPlay(next, FALSE);
        else
            ++failures;
        if (playing)
            BASS_StreamFree(playing);
        playing = next;
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the user listens a moment
        if (n % 10 == 0 || n == 1) {
            samples.push_back(take_sample(n));
            print("", samples.back());
        }
    }
    if (playing)
        BASS_StreamFree(playing);
    BASS_Free();
    const sample after = settled(samples.empty() ? 0 : samples.back().switches, before.threads);

    std::printf("\n%d switches, %d failed to open (dead and stalling stations fail)\n",
                samples.empty() ? 0 : samples.back().switches, failures);
    print("before", before);
    if (!samples.empty())
        print("first", samples.front());
    const sample *hundredth = nullptr;
    for (const sample &s : samples)
        if (s.switches == 100)
            hundredth = &s;
    if (hundredth)
        print("100th", *hundredth);
    if (!samples.empty())
        print("last", samples.back());
    print("after", after);
    bool nothing_left = after.threads <= before.threads && after.descriptors <= before.descriptors;
    if (!hundredth) {
        std::printf("too few switches to judge memory; threads and descriptors: %s\n",
                    nothing_left ? "none left" : "SOME LEFT");
        return 1;
    }
    long heap_growth = samples.back().heap_kib - hundredth->heap_kib;
    bool flat = heap_growth < 1024;
    std::printf(
        "after the 100th switch: live heap %+ld KiB (%s), resident memory %+ld KiB; threads "
        "and descriptors: %s\n",
        heap_growth, flat ? "under 1 MiB" : "1 MiB OR MORE",
        samples.back().rss_kib - hundredth->rss_kib, nothing_left ? "none left" : "SOME LEFT");
    return flat && nothing_left ? 0 : 1;
}
