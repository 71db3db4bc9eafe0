#include "directory_servers.h"

#include <algorithm>
#include <cctype>
#include <charconv>

const char directory_lookup_name[] = "all.api.radio-browser.info";
const char directory_setting_key[] = "directory";

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string> split_blanks(std::string_view text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && is_blank(text[at]))
            at++;
        size_t end = at;
        while (end < text.size() && !is_blank(text[end]))
            end++;
        if (end > at)
            words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string without_trailing_slashes(std::string text) {
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void add_parameter(std::string &query, const char *key, const std::string &value) {
    if (value.empty())
        return;
    query += std::string(query.empty() ? "?" : "&") + key + "=" + percent_encode(value);
}

} // namespace

std::vector<std::string> directory_servers(std::string_view setting,
                                           const directory_name_lookup &lookup,
                                           std::mt19937 &random) {
    std::vector<std::string> servers;
    for (std::string &word : split_blanks(setting)) {
        // "null" is what the editor writes for a setting that was never given.
        if (word != "null")
            servers.push_back(without_trailing_slashes(word));
    }
    if (!servers.empty())
        return servers;
    for (const std::string &address : lookup.addresses(directory_lookup_name)) {
        std::string name = lookup.name_of(address);
        // Without its own name a server cannot be checked against its certificate.
        if (name.empty() || name == address)
            continue;
        std::string server = "https://" + name;
        if (std::find(servers.begin(), servers.end(), server) == servers.end())
            servers.push_back(server);
    }
    std::shuffle(servers.begin(), servers.end(), random);
    return servers;
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

std::string search_path(const directory_query &query) {
    std::string parameters;
    add_parameter(parameters, "name", query.name);
    add_parameter(parameters, "tag", query.tag);
    bool is_code = query.country.size() == 2 && is_ascii_letter(query.country[0]) &&
                   is_ascii_letter(query.country[1]);
    if (is_code) {
        std::string code = query.country;
        for (char &c : code)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        add_parameter(parameters, "countrycode", code);
    } else {
        add_parameter(parameters, "country", query.country);
    }
    add_parameter(parameters, "codec", query.codec);
    add_parameter(parameters, "hidebroken", "true");
    add_parameter(parameters, "limit", std::to_string(directory_limit));
    add_parameter(parameters, "order", "clickcount");
    add_parameter(parameters, "reverse", "true");
    return "/json/stations/search" + parameters;
}

std::string click_path(std::string_view uuid) {
    if (uuid.empty() || uuid.size() > 64 ||
        uuid.find_first_not_of("0123456789abcdefABCDEF-") != std::string_view::npos)
        return {};
    return "/json/url/" + std::string(uuid);
}

std::optional<proxy_parts> split_proxy_setting(std::string_view setting) {
    proxy_parts parts;
    size_t at = setting.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view credentials = setting.substr(0, at);
        size_t colon = credentials.find(':');
        parts.user = std::string(credentials.substr(0, colon));
        if (colon != std::string_view::npos)
            parts.password = std::string(credentials.substr(colon + 1));
        setting = setting.substr(at + 1);
    }
    if (setting.empty() || setting == "null" ||
        setting.find_first_of(" /") != std::string_view::npos)
        return std::nullopt;
    parts.server = std::string(setting);
    return parts;
}

std::string percent_encode(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) && byte < 0x80)
            encoded += c;
        else if (c == '-' || c == '.' || c == '_' || c == '~')
            encoded += c;
        else
            encoded += {'%', hex[byte >> 4], hex[byte & 15]};
    }
    return encoded;
}
