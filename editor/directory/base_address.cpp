#include "base_address.h"

#include <charconv>

std::string without_trailing_slashes(std::string text) {
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

std::optional<base_address> parse_base_address(std::string_view text) {
    base_address result;
    if (text.substr(0, 7) == "http://") {
        text.remove_prefix(7);
    } else if (text.substr(0, 8) == "https://") {
        result.secure = true;
        text.remove_prefix(8);
    } else {
        return std::nullopt;
    }
    size_t path_start = text.find('/');
    std::string_view authority = text.substr(0, path_start);
    if (path_start != std::string_view::npos)
        result.path = without_trailing_slashes(std::string(text.substr(path_start)));
    result.port = result.secure ? 443 : 80;
    size_t port_colon = authority.rfind(':');
    size_t bracket = authority.rfind(']');
    if (port_colon != std::string_view::npos &&
        (bracket == std::string_view::npos || port_colon > bracket)) {
        std::string_view digits = authority.substr(port_colon + 1);
        unsigned port = 0;
        auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.end() || port == 0 ||
            port > 65535)
            return std::nullopt;
        result.port = port;
        authority = authority.substr(0, port_colon);
    }
    if (authority.size() >= 2 && authority.front() == '[' && authority.back() == ']')
        authority = authority.substr(1, authority.size() - 2);
    if (authority.empty() || authority.find_first_of("@[]?# ") != std::string_view::npos)
        return std::nullopt;
    result.host = std::string(authority);
    return result;
}
