#include "input/playlist/sniffing.h"

#include "input/text/text.h"

namespace audio {

bool is_generic_content_type(const std::string &type) {
    return type.empty() || type == "text/plain" || type == "application/octet-stream" ||
           type == "text/html" || type == "video/x-ms-asf";
}

bool looks_like_html(const std::string &start) {
    std::string lower = to_lower(start.substr(0, 64));
    size_t first = lower.find_first_not_of(" \t\r\n");
    return first != std::string::npos &&
           (lower.compare(first, 9, "<!doctype") == 0 || lower.compare(first, 5, "<html") == 0);
}

} // namespace audio
