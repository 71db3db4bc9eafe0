// open_network_input(): follows a URL through redirects, Windows Media sessions and
// playlists to the first answer that is a stream, and picks the input that plays it (the
// live HTTP reader, the Windows Media one over it, or HLS).
//
// Threads: the stream's download thread.
#include "input/network_input.h"

#include "input/hls/hls_input.h"
#include "input/hls/hls_playlist.h"
#include "input/http/http_connection.h"
#include "input/live_http_input.h"
#include "input/playlist/playlist.h"
#include "input/playlist/sniffing.h"
#include "input/wms/wms_input.h"
#include "input/wms/wmsp_session.h"

#include "brevora_audio.h"

#include <algorithm>

namespace audio {

namespace {

constexpr int max_playlist_depth = 3;
// Entries tried per playlist: a playlist of dead entries ends within this many tries.
constexpr int max_playlist_entries = 16;

// Where a URL led: the answer that plays (with the body bytes read to recognise it), or
// the HLS input made from a playlist.
struct resolved {
    std::optional<http_answer> answer;
    std::string start;
    bool windows_media = false;
    std::unique_ptr<network_input> hls;
};

class resolver {
  public:
    resolver(const connect_options &options, const stop_signal &stop, input_listener &listener)
        : options_(options), stop_(stop), listener_(listener) {}

    // `via_entry_ref`: reached through an ASX ENTRYREF, so a list here may not use another.
    connect_failure try_url(const url &target, int depth, bool windows_media,
                            bool via_entry_ref = false);
    resolved result;

  private:
    connect_failure try_answer(http_answer answer, int depth, bool via_entry_ref);
    connect_failure read_playlist(const http_answer &answer, clock_type::time_point deadline,
                                  std::string *text);
    connect_failure try_entries(const http_answer &answer, playlist_kind kind,
                                const std::string &text, int depth, bool via_entry_ref);
    connect_failure refuse(const http_answer &answer, int error, const char *reason);
    connect_failure play(http_answer answer, std::string start, bool windows_media);
    connect_failure open_hls(http_answer answer, std::string start);

    const connect_options &options_;
    const stop_signal &stop_;
    input_listener &listener_;
};

connect_failure resolver::try_url(const url &target, int depth, bool windows_media,
                                  bool via_entry_ref) {
    connect_failure failure;
    // A Windows Media session answers two requests; anything else one.
    std::optional<http_answer> answer =
        windows_media
            ? open_windows_media(target, options_, deadline_from_now(options_), stop_, &failure)
            : fetch(target, options_, deadline_from_now(options_), stop_, &failure);
    if (!answer)
        return failure;
    if (is_windows_media_answer(answer->head)) {
        if (windows_media)
            return play(std::move(*answer), {}, true);
        // The same URL as a Windows Media session: still reached the way it was.
        return try_url(answer->final_url, depth, true, via_entry_ref);
    }
    return try_answer(std::move(*answer), depth, via_entry_ref);
}

// Tells a stream from a web page or a playlist by its type and first bytes.
connect_failure resolver::try_answer(http_answer answer, int depth, bool via_entry_ref) {
    std::string type = answer.head.content_type();
    playlist_kind kind = playlist_kind_from_content_type(type);
    std::string start;
    // Sniffing the body and reading the rest of a playlist are one phase: one time-out.
    auto body_deadline = deadline_from_now(options_);
    if (kind != playlist_kind::none || is_generic_content_type(type)) {
        if (answer.body->read_up_to(kind == playlist_kind::none ? sniff_size : max_playlist_size,
                                    body_deadline, clock_type::duration::max(),
                                    &start) != io_status::ok)
            return refuse(answer, BASS_ERROR_TIMEOUT, "timed out reading the answer");
        playlist_kind sniffed = sniff_playlist(start);
        if (kind == playlist_kind::none || sniffed == playlist_kind::hls)
            kind = sniffed;
    }
    if (kind == playlist_kind::none) {
        if (type == "text/html" || looks_like_html(start))
            return refuse(answer, BASS_ERROR_FILEFORM, "a web page, not a stream");
        return play(std::move(answer), std::move(start), false);
    }
    if (kind == playlist_kind::hls)
        return open_hls(std::move(answer), std::move(start));
    if (!options_.follow_playlists)
        return refuse(answer, BASS_ERROR_FILEFORM, "a playlist, not followed");
    if (depth >= max_playlist_depth)
        return refuse(answer, BASS_ERROR_FILEOPEN, "playlists nested too deeply");
    connect_failure failure = read_playlist(answer, body_deadline, &start);
    if (failure.error != 0)
        return failure;
    return try_entries(answer, kind, start, depth, via_entry_ref);
}

// Reads the rest of a playlist whose start *text holds.
connect_failure resolver::read_playlist(const http_answer &answer, clock_type::time_point deadline,
                                        std::string *text) {
    // One byte past the cap tells a playlist that is too big from one that just fits.
    if (text->size() <= max_playlist_size &&
        answer.body->read_up_to(max_playlist_size + 1, deadline, clock_type::duration::max(),
                                text) != io_status::ok)
        return refuse(answer, BASS_ERROR_TIMEOUT, "timed out reading the playlist");
    if (text->size() > max_playlist_size)
        return refuse(answer, BASS_ERROR_FILEFORM, "a playlist over 256 KiB");
    return {};
}

connect_failure resolver::try_entries(const http_answer &answer, playlist_kind kind,
                                      const std::string &text, int depth, bool via_entry_ref) {
    // Each entry that fails has logged why; the playlist's own line is only for having none.
    connect_failure failure;
    int tried_entries = 0;
    std::vector<std::string> entry_refs = asx_entry_refs(kind == playlist_kind::asx ? text : "");
    for (const std::string &entry : parse_playlist(kind, text, !via_entry_ref)) {
        if (stop_.requested())
            return refuse(answer, BASS_ERROR_TIMEOUT, "stopped in a playlist");
        std::optional<std::string> windows_media_entry = windows_media_http_url(entry);
        std::optional<url> entry_url =
            resolve_reference(answer.final_url, windows_media_entry.value_or(entry));
        if (!entry_url)
            continue; // another scheme (a file, rtsp://): not ours to play
        if (tried_entries++ == max_playlist_entries)
            break;
        bool entry_ref = std::find(entry_refs.begin(), entry_refs.end(), entry) != entry_refs.end();
        failure = try_url(*entry_url, depth + 1, windows_media_entry.has_value(), entry_ref);
        if (failure.error == 0)
            return failure;
    }
    if (tried_entries == 0)
        return refuse(answer, BASS_ERROR_FILEOPEN, "a playlist with no playable entry");
    return failure;
}

connect_failure resolver::refuse(const http_answer &answer, int error, const char *reason) {
    connect_failure failure{error, reason, answer.head.status_line};
    log_failure(answer.final_url, failure);
    return failure;
}

connect_failure resolver::play(http_answer answer, std::string start, bool windows_media) {
    result.answer = std::move(answer);
    result.start = std::move(start);
    result.windows_media = windows_media;
    return {};
}

connect_failure resolver::open_hls(http_answer answer, std::string start) {
    if (start.size() < max_hls_playlist_size &&
        answer.body->read_up_to(max_hls_playlist_size, deadline_from_now(options_),
                                clock_type::duration::max(), &start) != io_status::ok)
        return refuse(answer, BASS_ERROR_TIMEOUT, "timed out reading the playlist");
    connect_failure failure;
    result.hls = open_hls_input(answer.final_url, start, answer.head, options_, listener_,
                                stop_.cancelled(), &failure);
    return failure;
}

// The input that plays what the resolver found.
std::unique_ptr<network_input> input_for(resolved found, std::unique_ptr<stop_signal> stop,
                                         const connect_options &options, input_listener &listener) {
    if (found.hls)
        return std::move(found.hls);
    const stop_signal &watched = *stop;
    auto request_again = [options, &watched, windows_media = found.windows_media](
                             const url &target, clock_type::time_point deadline,
                             connect_failure *failure) {
        return windows_media ? open_windows_media(target, options, deadline, watched, failure)
                             : fetch(target, options, deadline, watched, failure);
    };
    if (!found.windows_media)
        return play_http_answer(std::move(stop), std::move(*found.answer), std::move(found.start),
                                options, listener, request_again);
    auto wms = std::make_unique<wms_input>(listener);
    wms->attach(play_http_answer(std::move(stop), std::move(*found.answer), std::move(found.start),
                                 options, *wms, request_again));
    return wms;
}

} // namespace

std::unique_ptr<network_input> open_network_input(const std::string &text,
                                                  const connect_options &options,
                                                  input_listener &listener,
                                                  const std::atomic<bool> &cancelled, int *error) {
    std::optional<std::string> windows_media_url = windows_media_http_url(text);
    std::optional<url> target = parse_url(windows_media_url.value_or(text));
    if (!target) {
        log_failure(text, {BASS_ERROR_FILEOPEN, "not a URL that can be opened"});
        *error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    auto stop = std::make_unique<stop_signal>(cancelled);
    resolved found;
    {
        resolver opening(options, *stop, listener);
        connect_failure failure = opening.try_url(*target, 0, windows_media_url.has_value());
        *error = cancelled.load() && failure.error != 0 ? BASS_ERROR_TIMEOUT : failure.error;
        if (failure.error != 0)
            return nullptr;
        found = std::move(opening.result);
    }
    return input_for(std::move(found), std::move(stop), options, listener);
}

} // namespace audio
