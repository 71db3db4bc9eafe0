#include "input/hls/hls_fetch.h"

#include "input/net/io_failure.h"

#include "brevora_audio.h"

namespace audio {

std::optional<std::string> hls_fetcher::body(const url &target, size_t limit, double media_seconds,
                                             response_head *head, connect_failure *failure,
                                             url *final_url) const {
    // Playlists give durations under a day, so the sum cannot overflow the clock.
    const clock_type::time_point whole_deadline =
        deadline_from_now(options_) + std::chrono::duration_cast<clock_type::duration>(
                                          std::chrono::duration<double>(media_seconds));
    std::optional<http_answer> answer =
        fetch(target, options_, deadline_from_now(options_), stop_, failure);
    if (!answer)
        return std::nullopt;
    if (head)
        *head = answer->head;
    if (final_url)
        *final_url = answer->final_url;
    std::string body;
    // One byte past the limit tells a body that is too large from one that just fits.
    io_status status = answer->body->read_up_to(
        limit + 1, whole_deadline, std::chrono::milliseconds(options_.timeout_ms), &body);
    if (status != io_status::ok) {
        const bool too_slow = clock_type::now() >= whole_deadline;
        *failure = io_failure(
            status, too_slow ? "reading a body slower than it plays" : "reading the stalled body",
            "the connection failed", answer->head.status_line);
    } else if (body.size() > limit) {
        *failure = {BASS_ERROR_FILEFORM, "larger than allowed", answer->head.status_line};
    } else {
        return body;
    }
    log_failure(answer->final_url, *failure);
    return std::nullopt;
}

} // namespace audio
