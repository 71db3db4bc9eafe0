#include "recording.h"

#include "connection.h"
#include "playback/station_link.h"
#include "player_ids.h"
#include "player_state.h"
#include "song_file.h"

#include <rpc.h>
#include <shlobj.h>

#include <cstdio>
#include <algorithm>
#include <cwchar>
#include <string>

namespace {

const wchar_t working_file[] = L"rec.mp3";
const wchar_t tagging_file[] = L"rec.tagging";
const wchar_t extension[] = L".mp3";

// What every file of a recording is tagged with besides its song. Written when a recording
// starts, on the window's thread, while no encoder runs; read by the encoder's thread.
std::u16string station_name;
std::u16string station_address;
// The recording makes one file per song (its files are named by song_finished).
bool recording_songs = false;
// The title shown when a single-file recording started: its file's name and tag.
std::u16string recorded_title;

const wchar_t *wide(const std::u16string &text) {
    return reinterpret_cast<const wchar_t *>(text.c_str());
}

std::u16string window_text(int control_id) {
    wchar_t text[record_target_size] = L"";
    GetDlgItemTextW(main_window, control_id, text, record_target_size);
    return reinterpret_cast<const char16_t *>(text);
}

void release_record_button() {
    SendDlgItemMessageW(main_window, IDC_RECORD, BM_SETCHECK, BST_UNCHECKED, 0);
}

// Writes a UUID's text form into name (at least 37 characters of room).
void write_uuid_name(wchar_t *name, size_t name_size) {
    UUID uuid;
    RPC_WSTR text = nullptr;
    UuidCreate(&uuid);
    if (UuidToStringW(&uuid, &text) == RPC_S_OK) {
        std::swprintf(name, name_size, L"%ls", reinterpret_cast<wchar_t *>(text));
        RpcStringFreeW(&text);
    }
}

bool file_exists(const std::u16string &name) {
    return GetFileAttributesW(wide(name)) != INVALID_FILE_ATTRIBUTES;
}

std::u16string uuid_name() {
    wchar_t uuid[48] = L"";
    write_uuid_name(uuid, sizeof uuid / sizeof(wchar_t));
    return std::u16string(reinterpret_cast<const char16_t *>(uuid)) +
           reinterpret_cast<const char16_t *>(extension);
}

// Room for a file name, terminator included: a name has at most 255 characters, and with the
// current folder's path at most MAX_PATH, or the working file cannot be renamed to it.
size_t name_room() {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    const size_t fits = length > 0 && length + 2 < MAX_PATH ? MAX_PATH - length - 1 : 0;
    return std::min<size_t>({fits, 256, record_target_size});
}

// A finished file's name: the song's title made a valid file name by the platform's own rule
// (PathCleanupSpec), then bounded and unique; or a UUID's text form when the title gives no
// name. Any thread.
std::u16string final_name(const std::u16string &title, bool part) {
    // MAX_PATH holds more than any name's room, so copying at most that much never shortens
    // the name made from it.
    wchar_t cleaned[MAX_PATH] = L"";
    title.copy(reinterpret_cast<char16_t *>(cleaned), MAX_PATH - 1);
    if (cleaned[0])
        PathCleanupSpec(nullptr, cleaned);
    std::u16string name = song_file_name(reinterpret_cast<const char16_t *>(cleaned), part,
                                         file_exists, name_room());
    return name.empty() ? uuid_name() : name;
}

// Copies all of `from` after what `to` holds; false on any failure.
bool append_file(HANDLE to, const wchar_t *from) {
    HANDLE source = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE)
        return false;
    static char block[65536]; // one tagging at a time: the recordings' files come in turn
    bool copied = true;
    for (DWORD got = 0; copied && ReadFile(source, block, sizeof block, &got, nullptr) && got;) {
        DWORD written = 0;
        copied = WriteFile(to, block, got, &written, nullptr) && written == got;
    }
    CloseHandle(source);
    return copied;
}

// Puts an ID3v2 tag before the MP3 frames of `name`. The tagged copy replaces the file only
// once it is whole, so a failure (a full disk) leaves the untagged recording. Any thread.
void tag_recording(const wchar_t *name, const std::u16string &title) {
    song_fields fields = split_song_title(title);
    fields.album = station_name;
    fields.comment = station_address;
    const std::vector<uint8_t> tag = id3v2_tag(fields);
    HANDLE tagged = CreateFileW(tagging_file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (tagged == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    bool whole = WriteFile(tagged, tag.data(), static_cast<DWORD>(tag.size()), &written, nullptr) &&
                 written == tag.size() && append_file(tagged, name);
    whole = CloseHandle(tagged) && whole;
    if (!whole || !MoveFileExW(tagging_file, name, MOVEFILE_REPLACE_EXISTING))
        DeleteFileW(tagging_file);
}

// Gives the working file its name, or a UUID's if that fails (a name the file system refuses):
// a "rec.mp3" left behind would be overwritten by the next recording. Then tags it.
void name_recording(const std::u16string &name, const std::u16string &title) {
    for (const std::u16string &each : {name, uuid_name()})
        if (MoveFileW(working_file, wide(each))) {
            tag_recording(wide(each), title);
            return;
        }
}

// Encoder's thread: a song's file is complete and its program has exited; the next song's
// program has not started yet, so "rec.mp3" is this song's. Never waits for the window.
void CALLBACK song_finished(HENCODE, DWORD flags, DWORD tag_type, const char *tags, void *) {
    const bool whole = (flags & BASS_SONG_FROM_START) && (flags & BASS_SONG_TO_END);
    const std::u16string title = song_title_from_tags(tag_type, tags);
    name_recording(final_name(title, !whole), title);
}

// A "rec.mp3" left by a player that ended mid-recording was never renamed; the next
// recording would overwrite it, so give it a name of its own first.
void keep_leftover_recording() {
    if (GetFileAttributesW(working_file) != INVALID_FILE_ATTRIBUTES)
        MoveFileW(working_file, wide(final_name(u"", false)));
}

void note_station() {
    station_name = window_text(IDC_STATION_LINE);
    const std::wstring address = playing_station_address();
    station_address.assign(address.begin(), address.end());
}

void start_recording() {
    note_station();
    recording_songs = IsDlgButtonChecked(main_window, IDC_SONGS) == BST_CHECKED;
    recorded_title = window_text(IDC_TITLE_LINE);
    const std::u16string target = final_name(recorded_title, false);
    std::swprintf(record_target, record_target_size, L"%ls", wide(target));
    keep_leftover_recording();

    char command_line[260];
    std::snprintf(command_line, sizeof command_line, "lame.exe %s - \"rec.mp3\"", encoder_options);
    // Both begin with what has played of the song so far (the library's history).
    encoder_handle = recording_songs
                         ? BASS_Encode_StartSongs(current_stream.load(), command_line,
                                                  BASS_ENCODE_SONG_START, song_finished, nullptr)
                         : BASS_Encode_Start(current_stream.load(), command_line,
                                             BASS_ENCODE_SONG_START, nullptr, nullptr);
    if (!encoder_handle) {
        // Showing "[REC]" with nothing recording would lose what the user meant to keep.
        release_record_button();
        show_error("Can't start recording");
        return;
    }
    recording_started = true;
    SetWindowTextA(main_window, "Brevora  [REC]");
}

} // namespace

void make_uuid_name() {
    write_uuid_name(record_target, record_target_size);
}

bool stop_recording(bool reset_controls) {
    // An encoder that ended by itself (it crashed, the disk filled up) left its file as
    // rec.mp3 and the window claiming "[REC]": this is where that is noticed and finished.
    if (!recording_started)
        return false;
    recording_started = false;
    // Harmless when the encoder has already ended. One file per song: the last file has
    // been named and tagged by the time this returns.
    BASS_Encode_Stop(encoder_handle);
    if (!recording_songs)
        name_recording(reinterpret_cast<const char16_t *>(record_target), recorded_title);
    if (reset_controls) {
        release_record_button();
        SetWindowTextA(main_window, "Brevora");
    }
    return true;
}

void record_command() {
    SetFocus(main_window);
    toggle_recording();
}

void toggle_recording() {
    BASS_CHANNELINFO info;
    if (!BASS_ChannelGetInfo(current_stream.load(), &info)) {
        release_record_button();
        return;
    }
    if (stop_recording(false)) {
        SetWindowTextA(main_window, "Brevora");
        return;
    }
    start_recording();
}
