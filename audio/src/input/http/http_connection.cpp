#include "input/http/http_connection.h"

#include "input/net/io_failure.h"
#include "input/net/tls.h"
#include "input/text/text.h"

#include "core/debug_log.h"

#include "brevora_audio.h"

#include <algorithm>
#include <set>

namespace audio {

namespace {

const char user_agent[] = "Brevora/2.4";

bool send_text(transport &connection, const std::string &text, clock_type::time_point deadline,
               connect_failure *failure) {
    io_result written =
        connection.write_all(reinterpret_cast<const uint8_t *>(text.data()), text.size(), deadline);
    if (written.status == io_status::ok) {
        return true;
    }
    *failure = io_failure(written.status, "sending the request", "cannot send the request");
    return false;
}

// Reads a response head. With exact=true it reads one byte at a time so that nothing past
// the blank line is consumed (a CONNECT reply is followed by the tunnel's TLS bytes).
std::optional<response_head> read_head(transport &connection, bool exact,
                                       clock_type::time_point deadline,
                                       std::vector<uint8_t> *leftover, connect_failure *failure) {
    response_head_parser parser;
    uint8_t buffer[4096];
    while (parser.current_state() == response_head_parser::state::need_more) {
        io_result got = connection.read_some(buffer, exact ? 1 : sizeof buffer, deadline);
        if (got.status != io_status::ok) {
            *failure = io_failure(got.status, "waiting for the response",
                                  "the connection closed before a response");
            return std::nullopt;
        }
        size_t used = parser.feed(reinterpret_cast<const char *>(buffer), got.bytes);
        if (leftover && parser.current_state() == response_head_parser::state::done) {
            leftover->assign(buffer + used, buffer + got.bytes);
        }
    }
    if (parser.current_state() == response_head_parser::state::error) {
        *failure = {BASS_ERROR_FILEOPEN, parser.error_text()};
        return std::nullopt;
    }
    return parser.head();
}

std::string basic_credentials(const std::string &user_and_password) {
    return "Basic " + base64_encode(user_and_password);
}

// What one request is sent with: the stream's proxy (parsed once per fetch) and options.
struct request_plan {
    const connect_options &options;
    std::optional<url> proxy;
    const std::vector<std::string> &extra_headers;
};

std::string proxy_credentials(const url &proxy) {
    return proxy.has_userinfo ? proxy.username + ":" + proxy.password : "";
}

// Asks the proxy for a tunnel to target; true when it opens one.
bool open_tunnel(transport &connection, const url &target, const url &proxy,
                 clock_type::time_point deadline, connect_failure *failure) {
    std::string request = "CONNECT " + target.authority_with_port() +
                          " HTTP/1.1\r\nHost: " + target.authority_with_port() +
                          "\r\nUser-Agent: " + user_agent + "\r\n";
    if (proxy.has_userinfo) {
        request += "Proxy-Authorization: " + basic_credentials(proxy_credentials(proxy)) + "\r\n";
    }
    request += "\r\n";
    if (!send_text(connection, request, deadline, failure)) {
        return false;
    }
    std::optional<response_head> reply = read_head(connection, true, deadline, nullptr, failure);
    if (!reply) {
        return false;
    }
    if (reply->status_code / 100 != 2) {
        *failure = {BASS_ERROR_FILEOPEN, "the proxy refused the tunnel", reply->status_line};
        return false;
    }
    return true;
}

// Connects to the origin, or to the proxy (through a CONNECT tunnel for https), and starts
// TLS for https.
std::unique_ptr<transport> open_connection(const url &target, const request_plan &plan,
                                           clock_type::time_point deadline, const stop_signal &stop,
                                           connect_failure *failure) {
    const url &peer = plan.proxy ? *plan.proxy : target;
    std::unique_ptr<transport> connection =
        connect_tcp(peer.host, peer.port, deadline, stop, failure);
    if (!connection || target.scheme != "https") {
        return connection;
    }
    if (plan.proxy && !open_tunnel(*connection, target, *plan.proxy, deadline, failure)) {
        return nullptr;
    }
    return start_tls(std::move(connection), target.host, plan.options.tls_ca_file, deadline,
                     failure);
}

bool is_user_agent(const std::string &line) {
    return to_lower(line.substr(0, 11)) == "user-agent:";
}

std::string build_request(const url &target, const request_plan &plan) {
    // A plain-http proxy gets the absolute URI; a CONNECT tunnel carries an origin request.
    bool absolute = plan.proxy && target.scheme == "http";
    std::string request = "GET " + (absolute ? target.without_userinfo() : target.path) +
                          " HTTP/1.1\r\nHost: " + target.host_header() + "\r\n";
    const std::vector<std::string> &extra = plan.extra_headers;
    auto agent = std::find_if(extra.begin(), extra.end(), is_user_agent);
    request += (agent != extra.end() ? *agent : std::string("User-Agent: ") + user_agent) +
               "\r\nAccept: */*\r\nIcy-MetaData: 1\r\nConnection: close\r\n";
    for (const std::string &line : extra)
        if (!is_user_agent(line))
            request += line + "\r\n";
    if (target.has_userinfo) {
        request +=
            "Authorization: " + basic_credentials(target.username + ":" + target.password) + "\r\n";
    }
    if (absolute && plan.proxy->has_userinfo) {
        request +=
            "Proxy-Authorization: " + basic_credentials(proxy_credentials(*plan.proxy)) + "\r\n";
    }
    return request + "\r\n";
}

bool same_origin(const url &a, const url &b) {
    return a.scheme == b.scheme && a.host == b.host && a.port == b.port;
}

} // namespace

std::optional<url> parse_proxy_setting(const std::string &text) {
    // The setting has the shape of a URL's authority, so the URL parser checks it; only the
    // port is mandatory here, since proxies have no usual port.
    size_t at = text.rfind('@');
    std::string host_and_port = at == std::string::npos ? text : text.substr(at + 1);
    size_t bracket = host_and_port.rfind(']');
    if (host_and_port.find(':', bracket == std::string::npos ? 0 : bracket) == std::string::npos) {
        return std::nullopt;
    }
    std::optional<url> parsed = parse_url("http://" + text);
    if (!parsed || parsed->path != "/" || text.find_first_of("/?#") != std::string::npos) {
        return std::nullopt;
    }
    return parsed;
}

body_reader::body_reader(std::unique_ptr<transport> connection, const response_head &head,
                         std::vector<uint8_t> leftover, bool honour_content_length)
    : connection_(std::move(connection)), leftover_(std::move(leftover)) {
    if (head.is_chunked()) {
        chunked_.emplace();
    } else if (honour_content_length) {
        remaining_ = head.content_length();
    }
}

io_result body_reader::read(uint8_t *buffer, size_t size, clock_type::time_point deadline) {
    for (;;) {
        if (remaining_ && *remaining_ == 0) {
            return {io_status::closed};
        }
        if (chunked_ && chunked_->finished()) {
            return {io_status::closed};
        }
        size_t got = 0;
        if (!leftover_.empty()) {
            got = std::min(size, leftover_.size());
            std::copy(leftover_.begin(), leftover_.begin() + static_cast<long>(got), buffer);
            leftover_.erase(leftover_.begin(), leftover_.begin() + static_cast<long>(got));
        } else {
            io_result result = connection_->read_some(buffer, size, deadline);
            if (result.status != io_status::ok) {
                return result;
            }
            got = result.bytes;
        }
        if (chunked_) {
            got = chunked_->decode(buffer, got);
            if (chunked_->failed()) {
                return {io_status::failed};
            }
        }
        if (remaining_) {
            got = static_cast<size_t>(std::min<uint64_t>(got, *remaining_));
            *remaining_ -= got;
        }
        if (got > 0) {
            return {io_status::ok, got};
        }
    }
}

io_status body_reader::read_blocks(clock_type::time_point deadline, clock_type::duration stall,
                                   const block_taker &take, size_t limit) {
    uint8_t buffer[16384];
    for (size_t taken = 0; taken < limit;) {
        auto now = clock_type::now();
        io_result got = read(buffer, std::min(sizeof buffer, limit - taken),
                             deadline - now > stall ? now + stall : deadline);
        if (got.status == io_status::closed) {
            return io_status::ok;
        }
        if (got.status != io_status::ok) {
            return got.status;
        }
        taken += got.bytes;
        if (!take(buffer, got.bytes)) {
            return io_status::ok;
        }
    }
    return io_status::ok;
}

io_status body_reader::read_up_to(size_t limit, clock_type::time_point deadline,
                                  clock_type::duration stall, std::string *out) {
    if (out->size() >= limit) {
        return io_status::ok;
    }
    return read_blocks(
        deadline, stall,
        [out](const uint8_t *block, size_t size) {
            out->append(reinterpret_cast<const char *>(block), size);
            return true;
        },
        limit - out->size());
}

namespace {

// Where a redirect from current leads; nullopt with *failure set when it names nowhere.
std::optional<url> redirect_target(const url &current, const response_head &head,
                                   connect_failure *failure) {
    std::optional<std::string> location = head.header("Location");
    std::optional<url> next =
        location && !location->empty() ? resolve_reference(current, *location) : std::nullopt;
    if (!next) {
        *failure = {BASS_ERROR_FILEOPEN, "a redirect without a usable Location", head.status_line};
        return std::nullopt;
    }
    // A relative Location keeps the credentials (resolve_reference copies them); an absolute
    // one keeps them only on the same origin, and gets none elsewhere.
    if (!next->has_userinfo && current.has_userinfo && same_origin(*next, current)) {
        next->username = current.username;
        next->password = current.password;
        next->has_userinfo = true;
    }
    return next;
}

// fetch() without its failure line; `current` ends as the URL of the last request.
std::optional<http_answer> follow_redirects(url &current, const request_plan &plan,
                                            clock_type::time_point deadline,
                                            const stop_signal &stop, connect_failure *failure) {
    std::set<std::string> visited;
    for (int hop = 0;; ++hop) {
        visited.insert(current.without_userinfo());
        log_attempt(current, plan.proxy);
        std::unique_ptr<transport> connection =
            open_connection(current, plan, deadline, stop, failure);
        if (!connection) {
            return std::nullopt;
        }
        if (!send_text(*connection, build_request(current, plan), deadline, failure)) {
            return std::nullopt;
        }
        std::vector<uint8_t> leftover;
        std::optional<response_head> head =
            read_head(*connection, false, deadline, &leftover, failure);
        if (!head) {
            return std::nullopt;
        }
        int code = head->status_code;
        if (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) {
            std::optional<url> next = redirect_target(current, *head, failure);
            if (!next) {
                return std::nullopt;
            }
            if (hop + 1 > max_redirects || visited.count(next->without_userinfo())) {
                *failure = {BASS_ERROR_FILEOPEN, "too many redirects, or a loop",
                            head->status_line};
                return std::nullopt;
            }
            current = *next;
            continue;
        }
        // Error answers come with bodies (HTML, "Mount unavailable"); they are never read.
        if (code / 100 != 2 || code == 204) {
            *failure = {BASS_ERROR_FILEOPEN, "an error answer", head->status_line};
            return std::nullopt;
        }
        http_answer answer;
        answer.final_url = current;
        answer.head = *head;
        answer.body = std::make_unique<body_reader>(std::move(connection), *head,
                                                    std::move(leftover), !head->is_live());
        return answer;
    }
}

} // namespace

std::optional<http_answer> fetch(const url &target, const connect_options &options,
                                 clock_type::time_point deadline, const stop_signal &stop,
                                 connect_failure *failure,
                                 const std::vector<std::string> &extra_headers) {
    request_plan plan{options, std::nullopt, extra_headers};
    if (!options.proxy.empty()) {
        plan.proxy = parse_proxy_setting(options.proxy);
        if (!plan.proxy) {
            *failure = {BASS_ERROR_FILEOPEN, "not a proxy setting"};
            log_failure(options.proxy, *failure);
            return std::nullopt;
        }
    }
    url current = target;
    std::optional<http_answer> answer = follow_redirects(current, plan, deadline, stop, failure);
    if (!answer) {
        log_failure(current, *failure);
    }
    return answer;
}

void log_attempt(const url &target, const std::optional<url> &proxy) {
    if (!debug_log_enabled()) {
        return;
    }
    std::string line = "connecting to " + target.without_userinfo();
    if (proxy) {
        line += " through the proxy " + host_and_port(proxy->host, proxy->port);
    }
    debug_log_line(line);
}

namespace {

void write_failure_line(const std::string &where, const connect_failure &failure) {
    std::string line = where + ": ";
    if (!failure.status_line.empty()) {
        line += failure.status_line + ": ";
    }
    debug_log_line(line + failure.reason + " (error " + std::to_string(failure.error) + ")");
}

} // namespace

void log_failure(const url &where, const connect_failure &failure) {
    if (debug_log_enabled()) {
        write_failure_line(where.without_userinfo(), failure);
    }
}

void log_failure(const std::string &unparsed, const connect_failure &failure) {
    if (debug_log_enabled()) {
        write_failure_line(without_credentials(unparsed), failure);
    }
}

void log_stream_line(const url &where, const std::string &text) {
    if (debug_log_enabled()) {
        debug_log_line(where.without_userinfo() + ": " + text);
    }
}

} // namespace audio
