#include "history/song_search.h"

namespace {

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

std::string percent_encode(const std::string &utf8_text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : utf8_text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (unreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string search_address(const std::string &search_url, const std::string &utf8_title) {
    const std::string encoded = percent_encode(utf8_title);
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
