// Library-wide options set with BASS_SetConfig / BASS_SetConfigPtr. Any thread may read or
// write them at any time; streams read them when they connect or allocate buffers.
#pragma once

#include <cstdint>
#include <string>

namespace audio {

struct network_settings {
    uint32_t timeout_ms;
    uint32_t buffer_ms;
    uint32_t prebuffer_percent;
    uint32_t playlist_mode;
    std::string proxy;      // "[user:pass@]host:port", empty for a direct connection
    uint32_t history_s = 0; // of the current song, kept for recordings that start there
};

// The longest song history a stream keeps (an hour: about 58 MB at 128 kbit/s).
constexpr uint32_t max_history_seconds = 3600;

// Returns false for an unknown option (BASS_ERROR_ILLTYPE) or a value out of range
// (BASS_ERROR_ILLPARAM), with the error code set.
bool set_config_value(uint32_t option, uint32_t value);
bool get_config_value(uint32_t option, uint32_t *value);
bool set_config_text(uint32_t option, const char *text);
// The text last given for an option, valid until the option is set again.
const char *get_config_text(uint32_t option);

network_settings current_network_settings();

} // namespace audio
