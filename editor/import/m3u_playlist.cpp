#include "m3u_playlist.h"

#include <cstring>

namespace {

const char m3u_marker[] = "#EXTM3U";
const char extinf_marker[] = "#EXTINF:";
// A piece of two characters or fewer, line feed included, is blank or noise, not a URL.
constexpr size_t shortest_url_line = 3;

bool starts_with(const char *text, const char *prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Copies text without its final line feed, if it has one.
void copy_without_line_feed(const char *text, char *copy, size_t copy_size) {
    if (copy_size == 0)
        return;
    size_t length = std::strlen(text);
    if (length > 0 && text[length - 1] == '\n')
        length--;
    if (length > copy_size - 1)
        length = copy_size - 1;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
}

} // namespace

bool read_playlist_line(std::FILE *file, char line[playlist_line_size]) {
    size_t length = 0;
    while (length < playlist_line_size - 1) {
        int character = std::getc(file);
        if (character == EOF)
            break;
        if (character == '\r') {
            int following = std::getc(file);
            if (following == '\n')
                character = '\n';
            else if (following != EOF)
                std::ungetc(following, file);
        }
        line[length++] = static_cast<char>(character);
        if (character == '\n')
            break;
    }
    line[length] = '\0';
    return length > 0;
}

bool is_m3u_marker_line(const char *line) {
    return starts_with(line, m3u_marker);
}

bool is_extinf_line(const char *line) {
    return starts_with(line, extinf_marker);
}

void parse_extinf(const char *line, char *title, size_t title_size) {
    if (title_size == 0)
        return;
    size_t length = 0;
    title[0] = '\0';
    size_t start = std::strlen(extinf_marker);
    if (std::strlen(line) < start)
        return;
    bool in_title = false;
    for (const char *character = line + start; *character != '\0'; character++) {
        if (*character == '\r' || *character == '\n')
            continue;
        if (*character == ',') {
            in_title = true;
            continue;
        }
        if (!in_title || (*character == ' ' && length == 0))
            continue;
        if (length + 1 < title_size)
            title[length++] = *character;
    }
    title[length] = '\0';
}

bool is_extended_m3u(const char *path) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return false;
    char line[playlist_line_size];
    bool found = false;
    while (!found && read_playlist_line(file, line))
        found = is_m3u_marker_line(line);
    std::fclose(file);
    return found;
}

bool take_playlist_line(playlist_entry_state *state, const char *line, char *url, size_t url_size) {
    if (is_extinf_line(line)) {
        parse_extinf(line, state->title, sizeof state->title);
        state->waiting_for_url = true;
        return false;
    }
    if (is_m3u_marker_line(line) || std::strlen(line) < shortest_url_line)
        return false;
    // Any other line answers the pending "#EXTINF:" line, whether it makes a row or not.
    bool makes_row = state->waiting_for_url && std::strlen(state->title) >= 2;
    state->waiting_for_url = false;
    if (makes_row)
        copy_without_line_feed(line, url, url_size);
    return makes_row;
}
