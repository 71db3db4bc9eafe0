// One internet stream's bytes: connects (redirects, playlists, proxy, TLS), strips the
// interleaved ICY metadata, and reconnects a live stream that drops.
//
// Threads: open() and read() run on the stream's download thread; interrupt() may be called
// from any thread, at any time, to make a blocked open() or read() return promptly.
#pragma once

#include "input/connect_options.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// Told what the connection learns, on the thread that runs open() or read().
class input_listener {
  public:
    virtual ~input_listener() = default;
    // The final response's status line and headers, before any audio is read.
    virtual void on_response(const std::string &status_line,
                             const std::vector<std::string> &header_lines) = 0;
    // Each new ICY metadata string (the block's text without its NUL padding), and where it
    // belongs in the audio: the count of audio bytes read() has returned (over the input's
    // whole life, reconnects included) before the first byte the title names. It is told
    // before read() returns that byte, so the title is known before its audio is.
    virtual void on_metadata(const std::string &metadata, uint64_t audio_position) = 0;
    // A reconnect was answered: the bytes read() returns from now on are the new answer's,
    // whose Content-Type (lower case, without parameters) may differ from the first one.
    virtual void on_reconnect(const std::string &content_type) { (void)content_type; }
};

class network_input {
  public:
    virtual ~network_input() = default;

    // Blocks until audio bytes arrive. Returns how many (1..size); 0 when the stream has
    // ended and reconnecting failed; -1 when interrupted.
    virtual long read(uint8_t *buffer, size_t size) = 0;

    // Thread-safe; makes the current and every later open()/read() return at once.
    virtual void interrupt() = 0;

    virtual bool is_icy() const = 0;              // the server answered "ICY 200 OK"
    virtual std::string content_type() const = 0; // lower case, without parameters
    virtual uint32_t bitrate_kbps() const = 0;    // from icy-br / ice-audio-info; 0 if unknown
};

// Connects to url. On failure returns null and sets *error to a BASS_ERROR_* code:
//   BASS_ERROR_FILEOPEN  malformed URL or proxy setting, unknown host, refused or unreachable,
//                        an HTTP/ICY error status (4xx/5xx), a 3xx without Location, too
//                        many redirects or a loop, a playlist none of whose first 16
//                        entries plays
//   BASS_ERROR_NONET     no network route
//   BASS_ERROR_TIMEOUT   nothing within timeout_ms, or `cancelled` became true
//   BASS_ERROR_SSL       TLS handshake or certificate verification failed
//   BASS_ERROR_FILEFORM  an HTML page, a playlist over 256 KiB, a playlist while
//                        follow_playlists is off, or an HLS playlist without segments
// `cancelled` is checked at least every 50 ms while connecting so that a library release
// can stop it. The listener's on_response is called once, for the response that plays; a
// reconnect inside read() does not call it again.
//
// Metadata: on_metadata gets each block's text (cut at its first NUL) when it is not empty
// and differs from the last text reported, so a reconnect's repeat of the current title is
// not reported twice; its position is the count of audio bytes before the block's place.
// An HLS segment's titles belong at the segment's first byte.
//
// Diagnostics: each connection attempt, each failure (with its reason) and each reconnect
// goes to the debug log (core/debug_log.h), never with credentials.
//
// HLS: a response that is an HLS playlist plays as one stream (input/hls/hls_input.h), also
// while follow_playlists is off; its variants are not station lists.
//
// Reconnecting: a live stream (an ICY answer, icy-/ice- headers, or no Content-Length) whose
// connection ends, fails or stalls for timeout_ms is requested again from its final URL,
// within timeout_ms, with growing pauses; read() returns 0 only when that fails. Each
// answered reconnect is told to the listener's on_reconnect before its bytes are read.
std::unique_ptr<network_input> open_network_input(const std::string &url,
                                                  const connect_options &options,
                                                  input_listener &listener,
                                                  const std::atomic<bool> &cancelled, int *error);

} // namespace audio
