// One HTTP exchange and the decoded body that follows it: what the network input is made of;
// and the debug log's lines about connecting.
//
// Threads: the stream's download thread; only the stop_signal is shared.
#pragma once

#include "input/http_response.h"
#include "input/transport.h"
#include "input/url.h"

#include <optional>
#include <vector>

namespace audio {

struct proxy_setting {
    std::string host;
    unsigned port = 0;
    std::string credentials; // "user:pass" percent-decoded; empty without credentials
};

// "[user:pass@]host:port" (IPv6 hosts in brackets); a port is required.
std::optional<proxy_setting> parse_proxy_setting(const std::string &text);

struct request_setting {
    const proxy_setting *proxy = nullptr; // null for a direct connection
    std::string tls_ca_file;
    std::string user_agent;                 // empty: the library's own
    std::vector<std::string> extra_headers; // "Name: value" lines added to the request
};

// The decoded body of a response: chunked framing and a finite Content-Length applied.
class body_reader {
  public:
    body_reader(std::unique_ptr<transport> connection, const response_head &head,
                std::vector<uint8_t> leftover, bool honour_content_length);
    // Like transport::read_some; `closed` at the end of the body.
    io_result read(uint8_t *buffer, size_t size, clock_type::time_point deadline);

  private:
    std::unique_ptr<transport> connection_;
    std::vector<uint8_t> leftover_; // body bytes that arrived with the head, not yet decoded
    std::optional<chunked_decoder> chunked_;
    std::optional<uint64_t> remaining_; // finite Content-Length still to come
};

struct http_answer {
    url final_url; // after redirects
    response_head head;
    std::unique_ptr<body_reader> body;
};

// GETs `target`, following at most max_redirects redirects. On success the answer has a 2xx
// status. On failure returns nullopt with *failure set (see network_input.h for the codes).
std::optional<http_answer> fetch(const url &target, const request_setting &setting,
                                 clock_type::time_point deadline, const stop_signal &stop,
                                 connect_failure *failure);

constexpr int max_redirects = 10;

// Debug-log lines (core/debug_log.h); they never show credentials and cost nothing while
// the log is off. fetch() writes its own; the network input adds what it decides itself.
void log_attempt(const url &target, const request_setting &setting);
void log_failure(const url &where, const connect_failure &failure);
// For a URL or proxy setting that did not parse.
void log_failure(const std::string &unparsed, const connect_failure &failure);

} // namespace audio
