#include "startup_settings.h"

#include "station_file.h"

#include <cstring>

char proxy_setting[proxy_setting_size];
char encoder_options[encoder_options_size];

namespace {

bool setting_is_on(const char *key) {
    char value[setting_buffer_size];
    read_setting_text(config_section, key, "off", value, sizeof value);
    return std::strcmp(value, "on") == 0;
}

} // namespace

startup_settings read_startup_settings() {
    startup_settings settings;
    settings.use_proxy = setting_is_on(use_proxy_key);
    if (settings.use_proxy)
        read_setting_text(config_section, proxy_key, group_marker, proxy_setting,
                          sizeof proxy_setting);
    read_setting_text(config_section, lame_options_key, default_lame_options, encoder_options,
                      sizeof encoder_options);
    const int minutes = read_setting_int(config_section, record_history_key, 10);
    settings.history_minutes = minutes < 0 ? 0 : minutes > 60 ? 60 : minutes;
    settings.record_songs = setting_is_on(record_split_key);
    return settings;
}
