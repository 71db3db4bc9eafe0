// The settings the player reads once at start-up from stations.ini's [config]: the proxy,
// the encoder's options, how much of the stream the recorder keeps, and whether recordings
// are split into songs. The editor writes that file; the player only reads it. All on the
// window's thread, at set-up, before any stream exists.
#pragma once

constexpr int proxy_setting_size = 200;
constexpr int encoder_options_size = 128;

// "host:port" (with "user:password@" when given) while use_proxy is on, else "". The audio
// library keeps reading it after it was handed over: it lives as long as the process.
extern char proxy_setting[proxy_setting_size];
// The options put before "- rec.mp3" on lame.exe's command line.
extern char encoder_options[encoder_options_size];

struct startup_settings {
    bool use_proxy;
    int history_minutes; // how far back a recording may start: 0 to 60
    bool record_songs;   // the Songs box's first state: one file per song
};

// Reads [config]; fills proxy_setting (when use_proxy is on) and encoder_options.
startup_settings read_startup_settings();
