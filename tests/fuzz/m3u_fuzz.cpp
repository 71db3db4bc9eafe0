// Feeds arbitrary bytes to the M3U reading rules as a playlist file and checks what the
// import would take from it.
#include "fuzz_require.h"
#include "import/m3u_playlist.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check_title(const char *title) {
    size_t length = std::strlen(title);
    require(length < playlist_title_size);
    require(length == 0 || title[0] != ' ');
    require(std::strpbrk(title, ",\r\n") == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!file)
        return 0;
    playlist_entry_state entry = {};
    char line[playlist_line_size];
    char url[playlist_line_size];
    size_t consumed = 0;
    while (read_playlist_line(file, line)) {
        size_t length = std::strlen(line);
        require(length < playlist_line_size);
        consumed += length;
        if (take_playlist_line(&entry, line, url, sizeof url)) {
            check_title(entry.title);
            require(std::strlen(entry.title) >= 2);
            size_t url_length = std::strlen(url);
            require(url_length >= 1 && url_length < playlist_line_size);
            require(url[url_length - 1] != '\n');
        }
    }
    std::fclose(file);
    require(consumed <= size);

    // The title rule on its own, with a small buffer as well.
    char *text = static_cast<char *>(std::malloc(size + 1));
    std::memcpy(text, data, size);
    text[size] = '\0';
    char title[playlist_title_size];
    parse_extinf(text, title, sizeof title);
    check_title(title);
    char small[5];
    parse_extinf(text, small, sizeof small);
    require(std::strlen(small) < sizeof small);
    std::free(text);
    return 0;
}
