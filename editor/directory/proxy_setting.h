// The player's proxy setting as the directory's HTTP client takes it. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct proxy_parts {
    std::string server; // "host:port" as WinHTTP takes it
    std::string user, password;
};
// The setting "[user:password@]host:port"; nothing when it has no host.
std::optional<proxy_parts> split_proxy_setting(std::string_view setting);
