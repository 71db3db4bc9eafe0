#include "now_playing.h"

#include "player_ids.h"
#include "player_state.h"
#include "stream_title.h"
#include "tag_entries.h"
#include "title_text.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void show_wide_text(int control_id, const std::u16string &text) {
    set_line_wide(control_id, reinterpret_cast<const wchar_t *>(text.c_str()));
}

// Shows a tag text from the library: UTF-8, or the Windows-1252 bytes older stations send.
// Decoded with the text's own length: the system's UTF-8 conversion given -1 may take the
// terminator into a cut multi-byte sequence at the end and leave the copy unended.
void show_tag_text(int control_id, const char *text) {
    show_wide_text(control_id, decode_station_text(text, std::strlen(text)));
}

// The station's name and address from a tag block, each on its line of the frame.
void show_station_entries(const char *block, std::string_view name_key,
                          std::string_view address_key) {
    for (const char *entry = block; *entry; entry = next_entry(entry)) {
        if (const char *name = value_after_key(entry, name_key))
            show_tag_text(IDC_STATION_LINE, name);
        else if (const char *address = value_after_key(entry, address_key))
            show_tag_text(IDC_INFO_LINE, address);
    }
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
    show_station_entries(headers, "icy-name:", "icy-url:");
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

} // namespace

void update_title() {
    const HSTREAM stream = current_stream.load();
    std::optional<std::u16string> title;
    if (stream_is_wma.load())
        title = stream_title(BASS_TAG_WMA_META, BASS_ChannelGetTags(stream, BASS_TAG_WMA_META));
    else if (const char *metadata = BASS_ChannelGetTags(stream, BASS_TAG_META))
        title = stream_title(BASS_TAG_META, metadata);
    else
        title = stream_title(BASS_TAG_OGG, BASS_ChannelGetTags(stream, BASS_TAG_OGG));
    if (title)
        show_wide_text(IDC_TITLE_LINE, *title);
}

void show_wma_tags() {
    const char *tags = BASS_ChannelGetTags(current_stream.load(), BASS_TAG_WMA);
    if (!tags)
        return;
    show_station_entries(tags, "title=", "author=");
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
