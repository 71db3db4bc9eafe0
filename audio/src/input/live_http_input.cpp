// play_http_answer(): the ICY filter while reading, and the reconnection of a live stream
// with growing pauses inside one time-out window.
#include "input/live_http_input.h"

#include "input/icy/icy_filter.h"
#include "input/icy/stream_bitrate.h"
#include "input/playlist/playlist.h"

#include "brevora_audio.h"

#include <cstring>

namespace audio {

namespace {

constexpr int max_reconnect_attempts = 4;
constexpr auto first_reconnect_pause = std::chrono::milliseconds(100);

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

class live_http_input final : public network_input {
  public:
    live_http_input(std::unique_ptr<stop_signal> stop, http_answer answer, std::string start,
                    const connect_options &options, input_listener &listener,
                    stream_request request_again)
        : stop_(std::move(stop)), options_(options), listener_(listener),
          request_again_(std::move(request_again)), stream_url_(answer.final_url),
          head_(answer.head), body_(std::move(answer.body)), pending_(std::move(start)),
          filter_(0, [this](const std::string &text, size_t audio_before) {
              listener_.on_metadata(text, audio_returned_ + audio_before);
          }) {
        take_answer_head(head_);
        listener_.on_response(head_.status_line, head_.header_lines);
    }

    long read(uint8_t *buffer, size_t size) override;
    void interrupt() override { stop_->interrupt(); }
    bool is_icy() const override { return head_.is_icy; }
    std::string content_type() const override { return head_.content_type(); }
    uint32_t bitrate_kbps() const override { return stream_bitrate_kbps(head_); }

  private:
    void take_answer_head(const response_head &head) {
        live_ = head.is_live();
        filter_.restart(parse_icy_metaint(head.header("icy-metaint")).value_or(0));
    }
    // Body bytes into buffer: those read while recognising the answer first. 0 with the
    // connection's status when it gave none.
    io_result read_body(uint8_t *buffer, size_t size);
    // After the body failed with `status`: -1 stopped, 0 ended, 1 reconnected.
    int recover(io_status status);
    bool reconnect();
    bool try_reconnect();

    std::unique_ptr<stop_signal> stop_; // the body's connection watches it: declared first
    connect_options options_;
    input_listener &listener_;
    stream_request request_again_;
    // Read by read() only (the download thread), except head_, which is never written after
    // the constructor and may be read from any thread.
    url stream_url_;
    response_head head_;
    std::unique_ptr<body_reader> body_;
    std::string pending_; // body bytes read while recognising the answer, not yet filtered
    icy_filter filter_;
    uint64_t audio_returned_ = 0; // by read(), across reconnects: where titles belong
    bool live_ = false;
    int reconnects_without_audio_ = 0;
    clock_type::time_point reconnect_window_end_{};
};

io_result live_http_input::read_body(uint8_t *buffer, size_t size) {
    if (!pending_.empty()) {
        size_t got = std::min(size, pending_.size());
        std::memcpy(buffer, pending_.data(), got);
        pending_.erase(0, got);
        return {io_status::ok, got};
    }
    if (!body_)
        return {io_status::failed}; // reconnecting failed earlier
    // While recovering from a drop, a stall may not outlast the reconnect window.
    auto deadline = deadline_from_now(options_);
    if (reconnects_without_audio_ > 0)
        deadline = std::min(deadline, reconnect_window_end_);
    return body_->read(buffer, size, deadline);
}

long live_http_input::read(uint8_t *buffer, size_t size) {
    if (size == 0)
        return 0;
    for (;;) {
        if (stop_->requested())
            return -1;
        io_result result = read_body(buffer, size);
        if (result.status != io_status::ok) {
            int recovered = recover(result.status);
            if (recovered <= 0)
                return recovered;
            continue;
        }
        size_t got = filter_.filter(buffer, result.bytes);
        if (got > 0) {
            reconnects_without_audio_ = 0;
            audio_returned_ += got;
            return static_cast<long>(got);
        }
    }
}

int live_http_input::recover(io_status status) {
    if (status == io_status::stopped || stop_->requested())
        return -1;
    if (!live_ || !body_)
        return 0;
    log_stream_line(stream_url_, std::string(lost_connection_reason(status)) + ", reconnecting");
    if (reconnect())
        return 1;
    if (!stop_->requested())
        log_stream_line(stream_url_, "reconnecting failed, the stream ends");
    return stop_->requested() ? -1 : 0;
}

bool live_http_input::reconnect() {
    // One window per outage: repeated drops before any audio returns share it.
    if (reconnects_without_audio_ == 0)
        reconnect_window_end_ = deadline_from_now(options_);
    body_.reset();
    auto pause = first_reconnect_pause;
    while (reconnects_without_audio_ < max_reconnect_attempts &&
           clock_type::now() < reconnect_window_end_ && !stop_->requested()) {
        if (reconnects_without_audio_++ > 0) {
            if (!stop_->sleep_until(std::min(clock_type::now() + pause, reconnect_window_end_)))
                return false;
            pause *= 2;
        }
        if (try_reconnect())
            return true;
    }
    return false;
}

bool live_http_input::try_reconnect() {
    connect_failure failure;
    std::optional<http_answer> answer =
        request_again_(stream_url_, reconnect_window_end_, &failure);
    if (!answer)
        return false;
    std::string type = answer->head.content_type();
    if (type == "text/html" || playlist_kind_from_content_type(type) != playlist_kind::none) {
        failure = {BASS_ERROR_FILEFORM, "not a stream any more", answer->head.status_line};
        log_failure(answer->final_url, failure);
        return false;
    }
    // head_ stays the first response's: other threads read it through is_icy() and
    // content_type().
    body_ = std::move(answer->body);
    take_answer_head(answer->head);
    listener_.on_reconnect(type);
    return true;
}

} // namespace

std::unique_ptr<network_input> play_http_answer(std::unique_ptr<stop_signal> stop,
                                                http_answer answer, std::string start,
                                                const connect_options &options,
                                                input_listener &listener,
                                                stream_request request_again) {
    return std::make_unique<live_http_input>(std::move(stop), std::move(answer), std::move(start),
                                             options, listener, std::move(request_again));
}

} // namespace audio
