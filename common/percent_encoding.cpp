#include "percent_encoding.h"

bool is_unreserved_byte(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

bool is_printable_ascii_byte(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F;
}

std::string percent_encode(std::string_view text, bool (*keep)(unsigned char byte)) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (keep(byte))
            encoded += c;
        else
            encoded += {'%', hex[byte >> 4], hex[byte & 15]};
    }
    return encoded;
}
