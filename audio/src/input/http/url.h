// URLs of internet streams: parsing, relative references, and the pieces a request needs.
// Pure functions; no I/O.
#pragma once

#include <optional>
#include <string>

namespace audio {

struct url {
    std::string scheme;   // "http" or "https", lower case
    std::string host;     // without brackets; an IPv6 literal is kept as written inside them
    unsigned port = 0;    // always set: the scheme's default when the URL gives none
    std::string path;     // starts with '/', includes the query; never the fragment
    std::string username; // percent-decoded userinfo; empty when the URL has none
    std::string password;
    bool has_userinfo = false;

    bool is_ipv6_literal() const { return host.find(':') != std::string::npos; }
    bool is_default_port() const { return port == (scheme == "https" ? 443u : 80u); }
    // "host", "host:port" or "[v6]:port" as the Host header wants it (default port omitted).
    std::string host_header() const;
    // "host:port" with brackets for IPv6, as CONNECT wants it.
    std::string authority_with_port() const;
    // Without userinfo: what an absolute-form request line (through a proxy) carries.
    std::string without_userinfo() const;
};

// Parses an absolute http:// or https:// URL. Rejects other schemes, an empty host, a
// missing, non-numeric or out-of-range (0 or above 65535) explicit port, IPv6 zone ids,
// spaces and control characters. nullopt means "not a URL we can open".
std::optional<url> parse_url(const std::string &text);

// Resolves a Location header or playlist entry against the URL it came from: absolute
// URLs, scheme-relative ("//host/x"), absolute paths and path-relative references. A
// reference is absolute only when it starts with a scheme and its ':'; one with another
// scheme than http or https gives nullopt.
std::optional<url> resolve_reference(const url &base, const std::string &reference);

// A URL or proxy setting as typed, for showing: without "user:password@". Everything after
// the scheme up to the last '@' goes, since text that did not parse may have an authority
// that ends anywhere.
std::string without_credentials(const std::string &text);

// "host:port", an IPv6 host in brackets.
std::string host_and_port(const std::string &host, unsigned port);

std::string percent_decode(const std::string &text);
std::string base64_encode(const std::string &bytes);

} // namespace audio
