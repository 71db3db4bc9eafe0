#include "directory_servers.h"

#include "base_address.h"
#include "station_file.h"

#include <algorithm>

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

} // namespace

std::vector<std::string> directory_servers(std::string_view setting,
                                           const directory_name_lookup &lookup,
                                           std::mt19937 &random) {
    std::vector<std::string> servers;
    for (std::string &word : split_blanks(setting)) {
        if (word != unset_setting_value)
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
