#include "config.h"

#include "brevora_audio.h"
#include "error.h"

#include <atomic>
#include <mutex>

namespace audio {

namespace {

std::atomic<uint32_t> volume{10000};
std::atomic<uint32_t> net_timeout_ms{5000};
std::atomic<uint32_t> net_buffer_ms{5000};
std::atomic<uint32_t> net_prebuffer_percent{75};
std::atomic<uint32_t> net_playlist_mode{0};
std::atomic<uint32_t> net_history_s{0};

std::mutex proxy_lock; // guards proxy_text and proxy_set
std::string proxy_text;
bool proxy_set = false;

std::atomic<uint32_t> *value_option(uint32_t option) {
    switch (option) {
    case BASS_CONFIG_GVOL_STREAM:
        return &volume;
    case BASS_CONFIG_NET_TIMEOUT:
        return &net_timeout_ms;
    case BASS_CONFIG_NET_BUFFER:
        return &net_buffer_ms;
    case BASS_CONFIG_NET_PREBUF:
        return &net_prebuffer_percent;
    case BASS_CONFIG_NET_PLAYLIST:
        return &net_playlist_mode;
    case BASS_CONFIG_NET_HISTORY:
        return &net_history_s;
    default:
        return nullptr;
    }
}

bool value_in_range(uint32_t option, uint32_t value) {
    switch (option) {
    case BASS_CONFIG_GVOL_STREAM:
        return value <= 10000;
    case BASS_CONFIG_NET_PREBUF:
        return value <= 100;
    case BASS_CONFIG_NET_PLAYLIST:
        return value <= 2;
    case BASS_CONFIG_NET_BUFFER:
        return value >= 1000 && value <= 5 * 60 * 1000;
    case BASS_CONFIG_NET_HISTORY:
        return value <= max_history_seconds;
    default:
        return true;
    }
}

} // namespace

bool set_config_value(uint32_t option, uint32_t value) {
    std::atomic<uint32_t> *slot = value_option(option);
    if (!slot)
        return fail(BASS_ERROR_ILLTYPE, false);
    if (!value_in_range(option, value))
        return fail(BASS_ERROR_ILLPARAM, false);
    slot->store(value);
    return succeed(true);
}

bool get_config_value(uint32_t option, uint32_t *value) {
    std::atomic<uint32_t> *slot = value_option(option);
    if (!slot)
        return fail(BASS_ERROR_ILLTYPE, false);
    *value = slot->load();
    return succeed(true);
}

bool set_config_text(uint32_t option, const char *text) {
    if (option != BASS_CONFIG_NET_PROXY)
        return fail(BASS_ERROR_ILLTYPE, false);
    std::lock_guard<std::mutex> guard(proxy_lock);
    // The caller's buffer may change or go away; keep our own copy.
    proxy_text = text ? text : ""; // first: it is what may run out of memory
    proxy_set = text != nullptr;
    return succeed(true);
}

const char *get_config_text(uint32_t option) {
    if (option != BASS_CONFIG_NET_PROXY)
        return fail(BASS_ERROR_ILLTYPE, static_cast<const char *>(nullptr));
    std::lock_guard<std::mutex> guard(proxy_lock);
    return succeed(proxy_set ? proxy_text.c_str() : nullptr);
}

network_settings current_network_settings() {
    network_settings settings{net_timeout_ms.load(),
                              net_buffer_ms.load(),
                              net_prebuffer_percent.load(),
                              net_playlist_mode.load(),
                              {},
                              net_history_s.load()};
    std::lock_guard<std::mutex> guard(proxy_lock);
    settings.proxy = proxy_text;
    return settings;
}

} // namespace audio
