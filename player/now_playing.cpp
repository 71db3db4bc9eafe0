#include "now_playing.h"

#include "player_ids.h"
#include "player_state.h"
#include "title_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Shows a tag text from the library: UTF-8, or the Windows-1252 bytes older stations send.
void show_tag_text(int control_id, const char *utf8_text) {
    wchar_t *wide_text = utf8_to_wide(utf8_text);
    if (!wide_text)
        return;
    set_line_wide(control_id, wide_text);
    std::free(wide_text);
}

// An entry matches a key when it begins with it, letter case aside.
bool matches_key(const char *entry, const char *key) {
    return _strnicmp(entry, key, std::strlen(key)) == 0;
}

// Steps through a block of NUL-terminated entries ended by an empty one.
const char *next_entry(const char *entry) {
    return entry + std::strlen(entry) + 1;
}

void CALLBACK meta_sync(HSYNC, DWORD, DWORD, void *) {
    update_title();
}
void CALLBACK wma_change_sync(HSYNC, DWORD, DWORD, void *) {
    show_wma_tags();
}

void show_station_headers(HSTREAM stream) {
    const char *headers = BASS_ChannelGetTags(stream, BASS_TAG_ICY);
    if (!headers)
        headers = BASS_ChannelGetTags(stream, BASS_TAG_HTTP);
    if (!headers) {
        set_line_text(IDC_STATION_LINE, "");
        return;
    }
    for (const char *line = headers; *line; line = next_entry(line)) {
        if (matches_key(line, "icy-name:"))
            show_tag_text(IDC_STATION_LINE, line + 9);
        else if (matches_key(line, "icy-url:"))
            show_tag_text(IDC_INFO_LINE, line + 8);
    }
}

const char *format_suffix(HSTREAM stream) {
    BASS_CHANNELINFO info;
    if (!BASS_ChannelGetInfo(stream, &info))
        return " ?";
    switch (info.ctype) {
    case BASS_CTYPE_STREAM_MP3:
        return " MP3";
    case BASS_CTYPE_STREAM_MP2:
        return " MP2";
    case BASS_CTYPE_STREAM_MP1:
        return " MP1";
    case BASS_CTYPE_STREAM_OGG:
        return " Ogg";
    case BASS_CTYPE_STREAM_AAC:
        return " AAC";
    case BASS_CTYPE_STREAM_MP4:
        return " MP4";
    default:
        return " ?";
    }
}

void show_bitrate(HSTREAM stream) {
    // The download buffer holds NET_BUFFER milliseconds of the stream, so its size gives
    // the bitrate.
    const DWORD buffer_bytes =
        static_cast<DWORD>(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END));
    const DWORD buffer_ms = BASS_GetConfig(BASS_CONFIG_NET_BUFFER);
    const DWORD kilobits = buffer_ms ? (buffer_bytes * 8) / buffer_ms : 0;
    char label[48];
    std::snprintf(label, sizeof label, "%lu Kbps%s", static_cast<unsigned long>(kilobits),
                  format_suffix(stream));
    set_line_text(IDC_BITRATE_LABEL, label);
}

// Ogg comments are UTF-8: a text cut to fit loses the character the cut split, which would
// otherwise make the whole text invalid UTF-8 (and read as Windows-1252).
void drop_cut_character(char *text) {
    const size_t length = std::strlen(text);
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return;
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length - (start - 1) < needed)
        text[start - 1] = '\0';
}

void show_ogg_title(const char *comments) {
    const char *artist = nullptr;
    const char *title = nullptr;
    for (const char *entry = comments; *entry; entry = next_entry(entry)) {
        if (matches_key(entry, "artist="))
            artist = entry + 7;
        else if (matches_key(entry, "title="))
            title = entry + 6;
    }
    if (!title)
        return;
    if (!artist) {
        show_tag_text(IDC_TITLE_LINE, title);
        return;
    }
    char text[100];
    if (std::snprintf(text, sizeof text, "%s - %s", artist, title) >= int{sizeof text})
        drop_cut_character(text);
    show_tag_text(IDC_TITLE_LINE, text);
}

} // namespace

wchar_t *utf8_to_wide(const char *text) {
    // Decoded with the text's own length: the system's UTF-8 conversion given -1 may take
    // the terminator into a cut multi-byte sequence at the end and leave the copy unended.
    const std::u16string wide = decode_station_text(text, std::strlen(text));
    wchar_t *wide_text = static_cast<wchar_t *>(std::malloc((wide.size() + 1) * sizeof(wchar_t)));
    if (!wide_text)
        return nullptr;
    std::copy(wide.begin(), wide.end(), wide_text);
    wide_text[wide.size()] = L'\0';
    return wide_text;
}

void update_title() {
    const HSTREAM stream = current_stream.load();
    if (stream_is_wma.load()) {
        const char *wma_title = BASS_ChannelGetTags(stream, BASS_TAG_WMA_META);
        if (wma_title)
            show_tag_text(IDC_TITLE_LINE, wma_title);
        return;
    }
    const char *metadata = BASS_ChannelGetTags(stream, BASS_TAG_META);
    if (metadata) {
        static const char prefix[] = "StreamTitle='";
        const char *start = std::strstr(metadata, prefix);
        if (!start)
            return;
        start += sizeof prefix - 1;
        const char *end = std::strstr(start, "';");
        if (!end)
            return;
        show_tag_text(IDC_TITLE_LINE, std::string(start, end).c_str());
        return;
    }
    const char *comments = BASS_ChannelGetTags(stream, BASS_TAG_OGG);
    if (comments)
        show_ogg_title(comments);
}

void show_wma_tags() {
    const char *tags = BASS_ChannelGetTags(current_stream.load(), BASS_TAG_WMA);
    if (!tags)
        return;
    for (const char *entry = tags; *entry; entry = next_entry(entry)) {
        if (matches_key(entry, "title="))
            show_tag_text(IDC_STATION_LINE, entry + 6);
        else if (matches_key(entry, "author="))
            show_tag_text(IDC_INFO_LINE, entry + 7);
    }
}

void begin_now_playing() {
    const HSTREAM stream = current_stream.load();
    if (stream_is_wma.load()) {
        show_wma_tags();
        BASS_ChannelSetSync(stream, BASS_SYNC_WMA_META, 0, meta_sync, nullptr);
        BASS_ChannelSetSync(stream, BASS_SYNC_WMA_CHANGE, 0, wma_change_sync, nullptr);
        set_line_text(IDC_BITRATE_LABEL, "WMA");
    } else {
        show_station_headers(stream);
        BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, meta_sync, nullptr);
        BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, meta_sync, nullptr);
        show_bitrate(stream);
    }
    update_title();
}
