#include "history/song_search.h"

#include "percent_encoding.h"

std::string search_address(const std::string &search_url, const std::string &utf8_title) {
    // Unreserved characters only: the title stays one query value whatever it holds.
    const std::string encoded = percent_encode(utf8_title, is_unreserved_byte);
    if (search_url.find("%s") == std::string::npos)
        return search_url + encoded;
    std::string address;
    for (size_t at = 0; at < search_url.size();) {
        if (search_url.compare(at, 2, "%s") == 0) {
            address += encoded;
            at += 2;
        } else {
            address += search_url[at++];
        }
    }
    return address;
}
