#include "input/http/url.h"

#include "input/text/text.h"

#include <algorithm>
#include <cctype>

#include <mbedtls/base64.h>

namespace audio {

namespace {

bool has_forbidden_characters(const std::string &text) {
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

std::optional<unsigned> parse_port(const std::string &text) {
    std::optional<unsigned> value = text.size() <= 5 ? whole_number<unsigned>(text) : std::nullopt;
    if (!value || *value == 0 || *value > 65535) {
        return std::nullopt;
    }
    return value;
}

// Removes "." and ".." segments so that relative references cannot climb above the root.
std::string remove_dot_segments(const std::string &path) {
    std::string query;
    std::string segments_part = path;
    size_t question = path.find('?');
    if (question != std::string::npos) {
        query = path.substr(question);
        segments_part = path.substr(0, question);
    }
    std::string output;
    size_t position = 0;
    while (position < segments_part.size()) {
        size_t next = segments_part.find('/', position + 1);
        std::string segment = segments_part.substr(
            position, next == std::string::npos ? std::string::npos : next - position);
        position = next == std::string::npos ? segments_part.size() : next;
        if (segment == "/.") {
            if (position == segments_part.size()) {
                output += '/';
            }
        } else if (segment == "/..") {
            size_t last = output.rfind('/');
            output.erase(last == std::string::npos ? 0 : last);
            if (position == segments_part.size()) {
                output += '/';
            }
        } else {
            output += segment;
        }
    }
    if (output.empty()) {
        output.push_back('/');
    }
    output += query;
    return output;
}

} // namespace

std::string url::host_header() const {
    std::string text = is_ipv6_literal() ? "[" + host + "]" : host;
    if (!is_default_port()) {
        text += ':';
        text += std::to_string(port);
    }
    return text;
}

std::string url::authority_with_port() const {
    return host_and_port(host, port);
}

std::string host_and_port(const std::string &host, unsigned port) {
    bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string url::without_userinfo() const {
    return scheme + "://" + host_header() + path;
}

std::string without_credentials(const std::string &text) {
    size_t scheme_end = text.find("://");
    size_t start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    size_t at = text.rfind('@');
    if (at == std::string::npos || at < start) {
        return text;
    }
    return text.substr(0, start) + text.substr(at + 1);
}

namespace {

// Takes "user:password@" off the front of authority into result.
void take_userinfo(std::string &authority, url &result) {
    size_t at = authority.rfind('@');
    if (at == std::string::npos) {
        return;
    }
    std::string userinfo = authority.substr(0, at);
    authority = authority.substr(at + 1);
    size_t colon = userinfo.find(':');
    result.username = percent_decode(userinfo.substr(0, colon));
    if (colon != std::string::npos) {
        result.password = percent_decode(userinfo.substr(colon + 1));
    }
    result.has_userinfo = true;
}

// "host", "host:port", "[v6]" or "[v6]:port" into result.host and *port_text (nullopt
// without a port); false when it is none of these.
bool split_host_and_port(const std::string &authority, url &result,
                         std::optional<std::string> *port_text) {
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        result.host = authority.substr(1, close - 1);
        // Zone ids ("%eth0") name an interface of this machine: meaningless in a station URL.
        if (result.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos ||
            result.host.find(':') == std::string::npos) {
            return false;
        }
        std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                return false;
            }
            *port_text = after.substr(1);
        }
        return true;
    }
    size_t colon = authority.find(':');
    result.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        *port_text = authority.substr(colon + 1);
    }
    return result.host.find_first_of("[]%") == std::string::npos;
}

// The authority of result (userinfo, host and port) from its text.
bool parse_authority(std::string authority, url &result) {
    take_userinfo(authority, result);
    std::optional<std::string> port_text;
    if (!split_host_and_port(authority, result, &port_text) || result.host.empty()) {
        return false;
    }
    result.host = to_lower(result.host);
    std::optional<unsigned> port =
        port_text ? parse_port(*port_text) : (result.scheme == "https" ? 443u : 80u);
    result.port = port.value_or(0);
    return port.has_value();
}

// Whether a reference is absolute: a scheme (a letter, then letters, digits, '+', '-' or
// '.') up to a ':' that comes before any '/', '?' or '#'. An address in a relative
// reference's query ("/listen?from=http://cdn/a") does not make it absolute.
bool has_scheme(const std::string &reference) {
    size_t colon = reference.find_first_of(":/?#");
    if (colon == std::string::npos || colon == 0 || reference[colon] != ':' ||
        !std::isalpha(static_cast<unsigned char>(reference[0]))) {
        return false;
    }
    return std::all_of(reference.begin(), reference.begin() + static_cast<long>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

} // namespace

std::optional<url> parse_url(const std::string &text) {
    if (has_forbidden_characters(text)) {
        return std::nullopt;
    }
    size_t scheme_end = text.find("://");
    if (scheme_end == std::string::npos) {
        return std::nullopt;
    }
    url result;
    result.scheme = to_lower(text.substr(0, scheme_end));
    if (result.scheme != "http" && result.scheme != "https") {
        return std::nullopt;
    }
    size_t authority_start = scheme_end + 3;
    size_t authority_end = text.find_first_of("/?#", authority_start);
    std::string authority = text.substr(authority_start, authority_end == std::string::npos
                                                             ? std::string::npos
                                                             : authority_end - authority_start);
    std::string rest = authority_end == std::string::npos ? "" : text.substr(authority_end);
    rest = rest.substr(0, rest.find('#'));
    if (rest.empty() || rest[0] != '/') {
        rest = "/" + rest;
    }
    result.path = rest;
    if (!parse_authority(authority, result)) {
        return std::nullopt;
    }
    return result;
}

std::optional<url> resolve_reference(const url &base, const std::string &reference) {
    if (has_scheme(reference)) {
        return parse_url(reference);
    }
    if (has_forbidden_characters(reference)) {
        return std::nullopt;
    }
    if (reference.rfind("//", 0) == 0) {
        return parse_url(base.scheme + ":" + reference);
    }
    url result = base;
    std::string target = reference.substr(0, reference.find('#'));
    if (target.empty()) {
        return result;
    }
    if (target[0] == '/') {
        result.path = remove_dot_segments(target);
    } else if (target[0] == '?') {
        result.path = base.path.substr(0, base.path.find('?')) + target;
    } else {
        std::string base_path = base.path.substr(0, base.path.find('?'));
        result.path = remove_dot_segments(base_path.substr(0, base_path.rfind('/') + 1) + target);
    }
    return result;
}

std::string percent_decode(const std::string &text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            result += static_cast<char>(*whole_number<unsigned char>(text.substr(i + 1, 2), 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string base64_encode(const std::string &bytes) {
    size_t needed = 0;
    const auto *input = reinterpret_cast<const unsigned char *>(bytes.data());
    mbedtls_base64_encode(nullptr, 0, &needed, input, bytes.size()); // asks for the size
    std::string result(needed, '\0');
    size_t written = 0;
    mbedtls_base64_encode(reinterpret_cast<unsigned char *>(result.data()), result.size(), &written,
                          input, bytes.size());
    result.resize(written); // without the terminating NUL it counted
    return result;
}

} // namespace audio
