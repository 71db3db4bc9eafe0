#include "core/debug_log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace audio {

namespace {

std::atomic<debug_log_sink> test_sink{nullptr};

bool enabled_by_environment() {
#ifdef _WIN32
    // Without a debugger listening the lines go nowhere, at little cost.
    return true;
#else
    static const bool enabled = [] {
        const char *value = std::getenv("BREVORA_AUDIO_LOG");
        return value != nullptr && value[0] != '\0';
    }();
    return enabled;
#endif
}

} // namespace

bool debug_log_enabled() {
    return test_sink.load() != nullptr || enabled_by_environment();
}

void debug_log_line(const std::string &line) {
    if (debug_log_sink sink = test_sink.load()) {
        sink(line);
        return;
    }
    if (!enabled_by_environment()) {
        return;
    }
    std::string text = "brevora audio: " + line + "\n";
#ifdef _WIN32
    OutputDebugStringA(text.c_str());
#else
    // One stdio call holds the stream's lock for the whole line.
    std::fwrite(text.data(), 1, text.size(), stderr);
#endif
}

void set_debug_log_sink(debug_log_sink sink) {
    test_sink.store(sink);
}

void log_thread_failure(const std::string &who, const char *what) noexcept {
    try {
        if (debug_log_enabled())
            debug_log_line(who + " thread failed: " + what);
    } catch (...) {
    }
}

} // namespace audio
