#include "search_request.h"

#include "percent_encoding.h"

#include <cctype>

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void add_parameter(std::string &query, const char *key, const std::string &value) {
    if (value.empty())
        return;
    query += std::string(query.empty() ? "?" : "&") + key + "=" +
             percent_encode(value, is_unreserved_byte);
}

} // namespace

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
