// A directory server's base address, "http://host[:port][/path]" or "https://...", as the
// [config] "directory" setting and the server list give it. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct base_address {
    bool secure = false;
    std::string host; // without brackets for IPv6
    unsigned port = 0;
    std::string path; // a prefix before "/json/...", without a trailing "/"; often empty
};
// Nothing for anything but an http or https address with a host and a valid port.
std::optional<base_address> parse_base_address(std::string_view text);

// text without its trailing "/"s, so that a path appended to it starts with one "/".
std::string without_trailing_slashes(std::string text);
