#include "finished_file.h"

#include "id3v2_tag.h"
#include "recording.h"
#include "song_file_name.h"

#include <windows.h>

#include <rpc.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

recorded_station recording_station;

namespace {

const wchar_t working_file[] = L"rec.mp3";
const wchar_t tagging_file[] = L"rec.tagging";

const wchar_t *wide(const std::u16string &text) {
    return reinterpret_cast<const wchar_t *>(text.c_str());
}

bool file_exists(const std::u16string &name) {
    return GetFileAttributesW(wide(name)) != INVALID_FILE_ATTRIBUTES;
}

std::u16string uuid_name() {
    UUID uuid;
    RPC_WSTR text = nullptr;
    UuidCreate(&uuid);
    std::u16string name;
    if (UuidToStringW(&uuid, &text) == RPC_S_OK) {
        name = reinterpret_cast<const char16_t *>(text);
        RpcStringFreeW(&text);
    }
    return name + u".mp3";
}

// Room for a file name, terminator included: a name has at most 255 characters, and with the
// current folder's path at most MAX_PATH, or the working file cannot be renamed to it.
size_t name_room() {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    const size_t fits = length > 0 && length + 2 < MAX_PATH ? MAX_PATH - length - 1 : 0;
    return std::min<size_t>({fits, 256, record_target_size});
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
// once it is whole, so a failure (a full disk) leaves the untagged recording.
void tag_recording(const wchar_t *name, const std::u16string &title) {
    song_fields fields = split_song_title(title);
    fields.album = recording_station.name;
    fields.comment = recording_station.address;
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

} // namespace

std::u16string final_name(const std::u16string &title, bool part) {
    // MAX_PATH holds more than any name's room, so copying at most that much never shortens
    // the name made from it.
    wchar_t cleaned[MAX_PATH] = L"";
    title.copy(reinterpret_cast<char16_t *>(cleaned), MAX_PATH - 1);
    if (cleaned[0])
        PathCleanupSpec(nullptr, cleaned);
    std::u16string name =
        song_file_name(reinterpret_cast<const char16_t *>(cleaned), part, file_exists, name_room());
    return name.empty() ? uuid_name() : name;
}

void name_recording(const std::u16string &name, const std::u16string &title) {
    for (const std::u16string &each : {name, uuid_name()})
        if (MoveFileW(working_file, wide(each))) {
            tag_recording(wide(each), title);
            return;
        }
}

void keep_leftover_recording() {
    if (GetFileAttributesW(working_file) != INVALID_FILE_ATTRIBUTES)
        MoveFileW(working_file, wide(final_name(u"", false)));
}
