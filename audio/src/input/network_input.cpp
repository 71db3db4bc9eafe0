// open_network_input(): redirects and playlists while opening, then the ICY filter and
// reconnection while reading.
#include "input/network_input.h"

#include "input/hls_input.h"
#include "input/hls_playlist.h"
#include "input/http_connection.h"
#include "input/icy_filter.h"
#include "input/playlist.h"
#include "input/wmsp_framing.h"
#include "input/wmsp_session.h"

#include "core/debug_log.h"

#include "brevora_audio.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <thread>

namespace audio {

namespace {

constexpr int max_playlist_depth = 3;
// Entries tried per playlist: a playlist of dead entries ends within this many tries.
constexpr int max_playlist_entries = 16;
// Enough of a body's start to recognise a playlist or a web page.
constexpr size_t sniff_size = 1024;
constexpr int max_reconnect_attempts = 4;

bool is_generic_content_type(const std::string &type) {
    return type.empty() || type == "text/plain" || type == "application/octet-stream" ||
           type == "text/html" || type == "video/x-ms-asf";
}

uint32_t parse_leading_number(const std::string &text) {
    uint32_t value = 0;
    for (size_t i = 0;
         i < text.size() && i < 6 && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return value;
}

uint32_t bitrate_of(const response_head &head) {
    if (std::optional<std::string> icy_br = head.header("icy-br")) {
        return parse_leading_number(*icy_br);
    }
    if (std::optional<std::string> info = head.header("ice-audio-info")) {
        size_t position = info->find("bitrate=");
        if (position != std::string::npos) {
            return parse_leading_number(info->substr(position + 8));
        }
    }
    return 0;
}

// Reads up to `limit` body bytes (less if the body ends first) into `out`.
io_status read_body_start(body_reader &body, size_t limit, clock_type::time_point deadline,
                          std::string *out) {
    uint8_t buffer[4096];
    while (out->size() < limit) {
        io_result got = body.read(buffer, std::min(sizeof buffer, limit - out->size()), deadline);
        if (got.status == io_status::closed) {
            return io_status::ok;
        }
        if (got.status != io_status::ok) {
            return got.status;
        }
        out->append(reinterpret_cast<const char *>(buffer), got.bytes);
    }
    return io_status::ok;
}

const char *lost_connection_reason(io_status status) {
    switch (status) {
    case io_status::closed:
        return "the server closed the connection";
    case io_status::timeout:
        return "nothing arrived within the time-out";
    default:
        return "the connection failed";
    }
}

bool looks_like_html(const std::string &start) {
    std::string lower;
    for (char c : start.substr(0, 64)) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    size_t first = lower.find_first_not_of(" \t\r\n");
    return first != std::string::npos &&
           (lower.compare(first, 9, "<!doctype") == 0 || lower.compare(first, 5, "<html") == 0);
}

class http_network_input : public network_input {
  public:
    http_network_input(const std::atomic<bool> &cancelled, const connect_options &options,
                       input_listener &listener)
        : stop_(cancelled), options_(options), listener_(listener),
          filter_(0, [this](const std::string &text) { listener_.on_metadata(text); }) {}

    // Opens url and everything it leads to; the first answer that is a stream wins.
    bool open(const std::string &text, int *error);

    long read(uint8_t *buffer, size_t size) override;
    void interrupt() override { stop_.interrupted = true; }
    bool is_icy() const override { return head_.is_icy; }
    std::string content_type() const override { return head_.content_type(); }
    uint32_t bitrate_kbps() const override { return bitrate_of(head_); }

  private:
    clock_type::time_point deadline_from_now() const {
        return clock_type::now() + std::chrono::milliseconds(options_.timeout_ms);
    }
    // `via_entry_ref`: reached through an ASX ENTRYREF, so a list here may not use another.
    connect_failure try_url(const url &target, int depth, bool windows_media,
                            bool via_entry_ref = false);
    std::optional<http_answer> request(const url &target, clock_type::time_point deadline,
                                       connect_failure *failure);
    connect_failure refuse_answer(const http_answer &answer, int error, const char *reason);
    connect_failure play_answer(http_answer answer, std::string start);
    connect_failure open_hls(http_answer answer, std::string start);
    bool reconnect();

  public:
    // The HLS input open() made, when the URL led to an HLS playlist.
    std::unique_ptr<network_input> hls_input;

  private:
    stop_signal stop_;
    connect_options options_;
    std::optional<proxy_setting> proxy_;
    input_listener &listener_;
    request_setting setting_;

    // Set by open(); then used by read() only (the download thread), except head_, which
    // is never written after open() and may be read from any thread.
    url stream_url_;
    response_head head_;
    std::unique_ptr<body_reader> body_;
    std::string pending_; // body bytes read while recognising the answer, not yet filtered
    icy_filter filter_;
    bool live_ = false;
    bool windows_media_ = false; // the body is framed: deframer_ turns it into plain ASF
    wmsp_deframer deframer_;
    int reconnects_without_audio_ = 0;
    clock_type::time_point reconnect_window_end_{};
};

bool http_network_input::open(const std::string &text, int *error) {
    std::optional<std::string> windows_media_url = windows_media_http_url(text);
    std::optional<url> target = parse_url(windows_media_url.value_or(text));
    if (!options_.proxy.empty()) {
        proxy_ = parse_proxy_setting(options_.proxy);
        if (!proxy_) {
            log_failure(options_.proxy, {BASS_ERROR_FILEOPEN, "not a proxy setting"});
            *error = BASS_ERROR_FILEOPEN;
            return false;
        }
    }
    if (!target) {
        log_failure(text, {BASS_ERROR_FILEOPEN, "not a URL that can be opened"});
        *error = BASS_ERROR_FILEOPEN;
        return false;
    }
    setting_.proxy = proxy_ ? &*proxy_ : nullptr;
    setting_.tls_ca_file = options_.tls_ca_file;
    connect_failure failure = try_url(*target, 0, windows_media_url.has_value());
    *error = failure.error;
    return failure.error == 0;
}

// A Windows Media session answers two requests; anything else one.
std::optional<http_answer> http_network_input::request(const url &target,
                                                       clock_type::time_point deadline,
                                                       connect_failure *failure) {
    return windows_media_ ? open_windows_media(target, setting_, deadline, stop_, failure)
                          : fetch(target, setting_, deadline, stop_, failure);
}

connect_failure http_network_input::try_url(const url &target, int depth, bool windows_media,
                                            bool via_entry_ref) {
    connect_failure failure;
    windows_media_ = windows_media;
    std::optional<http_answer> answer = request(target, deadline_from_now(), &failure);
    if (!answer) {
        return failure;
    }
    if (windows_media && is_windows_media_answer(answer->head)) {
        return play_answer(std::move(*answer), {});
    }
    windows_media_ = false;
    if (!windows_media && is_windows_media_answer(answer->head)) {
        return try_url(answer->final_url, depth, true);
    }
    std::string type = answer->head.content_type();
    playlist_kind kind = playlist_kind_from_content_type(type);
    std::string start;
    // Sniffing the body and reading the rest of a playlist are one phase: one time-out.
    auto body_deadline = deadline_from_now();
    if (kind != playlist_kind::none || is_generic_content_type(type)) {
        io_status status = read_body_start(
            *answer->body, kind == playlist_kind::none ? sniff_size : max_playlist_size,
            body_deadline, &start);
        if (status != io_status::ok) {
            return refuse_answer(*answer, BASS_ERROR_TIMEOUT, "timed out reading the answer");
        }
        playlist_kind sniffed = sniff_playlist(start);
        if (kind == playlist_kind::none || sniffed == playlist_kind::hls) {
            kind = sniffed;
        }
    }
    if (kind == playlist_kind::none) {
        if (type == "text/html" || looks_like_html(start)) {
            return refuse_answer(*answer, BASS_ERROR_FILEFORM, "a web page, not a stream");
        }
        return play_answer(std::move(*answer), std::move(start));
    }
    if (kind == playlist_kind::hls) {
        return open_hls(std::move(*answer), std::move(start));
    }
    if (!options_.follow_playlists) {
        return refuse_answer(*answer, BASS_ERROR_FILEFORM, "a playlist, not followed");
    }
    if (depth >= max_playlist_depth) {
        return refuse_answer(*answer, BASS_ERROR_FILEOPEN, "playlists nested too deeply");
    }
    // One byte past the cap tells a playlist that is too big from one that just fits.
    if (start.size() <= max_playlist_size) {
        std::string rest;
        if (read_body_start(*answer->body, max_playlist_size + 1 - start.size(), body_deadline,
                            &rest) != io_status::ok) {
            return refuse_answer(*answer, BASS_ERROR_TIMEOUT, "timed out reading the playlist");
        }
        start += rest;
    }
    if (start.size() > max_playlist_size) {
        return refuse_answer(*answer, BASS_ERROR_FILEFORM, "a playlist over 256 KiB");
    }
    // Each entry that fails has logged why; the playlist's own line is only for having none.
    int tried_entries = 0;
    std::vector<std::string> entry_refs = asx_entry_refs(kind == playlist_kind::asx ? start : "");
    for (const std::string &entry : parse_playlist(kind, start, !via_entry_ref)) {
        if (stop_.requested()) {
            return refuse_answer(*answer, BASS_ERROR_TIMEOUT, "stopped in a playlist");
        }
        std::optional<std::string> windows_media_entry = windows_media_http_url(entry);
        std::optional<url> entry_url =
            resolve_reference(answer->final_url, windows_media_entry.value_or(entry));
        if (!entry_url) {
            continue; // another scheme (a file, rtsp://): not ours to play
        }
        if (tried_entries++ == max_playlist_entries) {
            break;
        }
        bool entry_ref = std::find(entry_refs.begin(), entry_refs.end(), entry) != entry_refs.end();
        failure = try_url(*entry_url, depth + 1, windows_media_entry.has_value(), entry_ref);
        if (failure.error == 0) {
            return failure;
        }
    }
    if (tried_entries == 0) {
        return refuse_answer(*answer, BASS_ERROR_FILEOPEN, "a playlist with no playable entry");
    }
    return failure;
}

connect_failure http_network_input::refuse_answer(const http_answer &answer, int error,
                                                  const char *reason) {
    connect_failure failure{error, reason, answer.head.status_line};
    log_failure(answer.final_url, failure);
    return failure;
}

connect_failure http_network_input::play_answer(http_answer answer, std::string start) {
    stream_url_ = answer.final_url;
    head_ = answer.head;
    body_ = std::move(answer.body);
    pending_ = std::move(start);
    live_ = head_.is_live();
    filter_.restart(parse_icy_metaint(head_.header("icy-metaint")).value_or(0));
    deframer_ = wmsp_deframer();
    listener_.on_response(head_.status_line, head_.header_lines);
    return {};
}

connect_failure http_network_input::open_hls(http_answer answer, std::string start) {
    std::string rest;
    if (start.size() < max_hls_playlist_size &&
        read_body_start(*answer.body, max_hls_playlist_size - start.size(), deadline_from_now(),
                        &rest) != io_status::ok) {
        return refuse_answer(answer, BASS_ERROR_TIMEOUT, "timed out reading the playlist");
    }
    connect_failure failure;
    hls_input = open_hls_input(answer.final_url, start + rest, answer.head, proxy_, options_,
                               listener_, stop_.cancelled, &failure);
    return failure;
}

long http_network_input::read(uint8_t *buffer, size_t size) {
    if (size == 0) {
        return 0;
    }
    for (;;) {
        if (stop_.requested()) {
            return -1;
        }
        if (windows_media_) {
            size_t ready = deframer_.take(buffer, size);
            if (ready > 0) {
                reconnects_without_audio_ = 0;
                return static_cast<long>(ready);
            }
            if (deframer_.ended() || deframer_.failed()) {
                return 0; // the broadcast ended, or its framing broke
            }
        }
        size_t got = 0;
        if (!pending_.empty()) {
            got = std::min(size, pending_.size());
            std::memcpy(buffer, pending_.data(), got);
            pending_.erase(0, got);
        } else {
            if (!body_) {
                return 0; // reconnecting failed earlier
            }
            // While recovering from a drop, a stall may not outlast the reconnect window.
            auto deadline = deadline_from_now();
            if (reconnects_without_audio_ > 0) {
                deadline = std::min(deadline, reconnect_window_end_);
            }
            io_result result = body_->read(buffer, size, deadline);
            if (result.status == io_status::stopped) {
                return -1;
            }
            if (result.status != io_status::ok) {
                if (!live_) {
                    return stop_.requested() ? -1 : 0;
                }
                if (debug_log_enabled()) {
                    debug_log_line(stream_url_.without_userinfo() + ": " +
                                   lost_connection_reason(result.status) + ", reconnecting");
                }
                if (!reconnect()) {
                    if (debug_log_enabled() && !stop_.requested()) {
                        debug_log_line(stream_url_.without_userinfo() +
                                       ": reconnecting failed, the stream ends");
                    }
                    return stop_.requested() ? -1 : 0;
                }
                continue;
            }
            got = result.bytes;
        }
        got = filter_.filter(buffer, got);
        if (windows_media_) {
            deframer_.feed(buffer, got);
            continue;
        }
        if (got > 0) {
            reconnects_without_audio_ = 0;
            return static_cast<long>(got);
        }
    }
}

bool http_network_input::reconnect() {
    // One window per outage: repeated drops before any audio returns share it.
    if (reconnects_without_audio_ == 0) {
        reconnect_window_end_ = deadline_from_now();
    }
    body_.reset();
    auto pause = std::chrono::milliseconds(100);
    while (reconnects_without_audio_ < max_reconnect_attempts &&
           clock_type::now() < reconnect_window_end_ && !stop_.requested()) {
        if (reconnects_without_audio_++ > 0) {
            auto wake = std::min(clock_type::now() + pause, reconnect_window_end_);
            while (clock_type::now() < wake && !stop_.requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            pause *= 2;
        }
        connect_failure failure;
        std::optional<http_answer> answer = request(stream_url_, reconnect_window_end_, &failure);
        if (!answer) {
            continue;
        }
        std::string type = answer->head.content_type();
        if (type == "text/html" || playlist_kind_from_content_type(type) != playlist_kind::none) {
            refuse_answer(*answer, BASS_ERROR_FILEFORM, "not a stream any more");
            continue;
        }
        // head_ stays the first response's: other threads read it through is_icy() and
        // content_type().
        body_ = std::move(answer->body);
        deframer_ = wmsp_deframer(); // a new session starts with its header
        live_ = answer->head.is_live();
        filter_.restart(parse_icy_metaint(answer->head.header("icy-metaint")).value_or(0));
        listener_.on_reconnect(type);
        return true;
    }
    return false;
}

} // namespace

std::unique_ptr<network_input> open_network_input(const std::string &url,
                                                  const connect_options &options,
                                                  input_listener &listener,
                                                  const std::atomic<bool> &cancelled, int *error) {
    auto input = std::make_unique<http_network_input>(cancelled, options, listener);
    if (!input->open(url, error)) {
        if (cancelled.load()) {
            *error = BASS_ERROR_TIMEOUT;
        }
        return nullptr;
    }
    if (input->hls_input) {
        return std::move(input->hls_input);
    }
    return input;
}

} // namespace audio
