// Opening a Windows Media HTTP streaming session (MS-WMSP): recognising a Windows Media
// server's answer, the header request and then the play request (xPlayStrm=1), each with the
// NSPlayer user agent and the client's Pragma headers; and mms:// / mmsh:// URLs, which are
// tried over HTTP.
//
// Threads: the stream's download thread.
#pragma once

#include "input/http/http_connection.h"

#include <optional>
#include <string>

namespace audio {

// A Windows Media server's answer: its header type, its framed stream type, or a Pragma that
// gives a client id or the server's features.
bool is_windows_media_answer(const response_head &head);

// "mms://..." or "mmsh://..." (any case) as "http://...", port 80 unless given; nullopt for
// any other text.
std::optional<std::string> windows_media_http_url(const std::string &text);

// The header request, then the play request for every stream the header lists. The answer
// is the play request's: its body is framed (see wmsp_framing.h). A server that answers the
// header request as an ordinary one (is_windows_media_answer false) gives that answer. On failure
// returns nullopt with *failure set, as fetch() does.
std::optional<http_answer> open_windows_media(const url &target, const connect_options &options,
                                              clock_type::time_point deadline,
                                              const stop_signal &stop, connect_failure *failure);

} // namespace audio
