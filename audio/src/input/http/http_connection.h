// One HTTP exchange and the decoded body that follows it: what the network input is made of;
// and the debug log's lines about connecting.
//
// Threads: the stream's download thread; only the stop_signal is shared.
#pragma once

#include "input/connect_options.h"
#include "input/http/http_response.h"
#include "input/net/transport.h"
#include "input/http/url.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// A proxy setting "[user:pass@]host:port" (IPv6 hosts in brackets; a port is required) as
// the URL of the proxy; nullopt when it is not one.
std::optional<url> parse_proxy_setting(const std::string &text);

// The decoded body of a response: chunked framing and a finite Content-Length applied.
class body_reader {
  public:
    body_reader(std::unique_ptr<transport> connection, const response_head &head,
                std::vector<uint8_t> leftover, bool honour_content_length);
    // Like transport::read_some; `closed` at the end of the body.
    io_result read(uint8_t *buffer, size_t size, clock_type::time_point deadline);
    // Hands each block read to `take` until the body ends, `take` returns false or `limit`
    // bytes were read (ok); each read may stall for `stall` at most, and all of them end
    // by `deadline`. Otherwise the status that ended the reading.
    using block_taker = std::function<bool(const uint8_t *block, size_t size)>;
    io_status read_blocks(clock_type::time_point deadline, clock_type::duration stall,
                          const block_taker &take, size_t limit = SIZE_MAX);
    // Appends to *out until the body ends (ok) or *out holds `limit` bytes (ok); each read
    // may stall for `stall` at most, and all of them end by `deadline`.
    io_status read_up_to(size_t limit, clock_type::time_point deadline, clock_type::duration stall,
                         std::string *out);

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

// GETs `target` as `options` say (proxy, trust roots), following at most max_redirects
// redirects. `extra_headers` ("Name: value") are added to the request; a User-Agent among
// them replaces the library's own. On success the answer has a 2xx status. On failure
// returns nullopt with *failure set (see network_input.h for the codes).
std::optional<http_answer> fetch(const url &target, const connect_options &options,
                                 clock_type::time_point deadline, const stop_signal &stop,
                                 connect_failure *failure,
                                 const std::vector<std::string> &extra_headers = {});

constexpr int max_redirects = 10;

// Debug-log lines (core/debug_log.h); they never show credentials and cost nothing while
// the log is off. fetch() writes its own; the network input adds what it decides itself.
void log_attempt(const url &target, const std::optional<url> &proxy);
void log_failure(const url &where, const connect_failure &failure);
// For a URL or proxy setting that did not parse.
void log_failure(const std::string &unparsed, const connect_failure &failure);
// "<where>: <text>", for what an input decides about its stream (a reconnect, a skip).
void log_stream_line(const url &where, const std::string &text);

} // namespace audio
