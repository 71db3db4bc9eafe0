#include "finished_file.h"

#include "id3v2_tag.h"
#include "recording.h"
#include "song_file_name.h"

#include <windows.h>

#include <rpc.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const char16_t working_extension[] = u".mp3";
const char16_t tagging_extension[] = u".tagging";

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
    // Files of two recordings may be tagged at once: the block is this call's own.
    std::vector<char> block(65536);
    bool copied = true;
    for (DWORD got = 0;
         copied &&
         ReadFile(source, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got;) {
        DWORD written = 0;
        copied = WriteFile(to, block.data(), got, &written, nullptr) && written == got;
    }
    CloseHandle(source);
    return copied;
}

// Puts an ID3v2 tag before the MP3 frames of `name`. The tagged copy (beside the working
// file, named after it) replaces the file only once it is whole, so a failure (a full disk)
// leaves the untagged recording.
void tag_recording(const recording_files &files, const wchar_t *name, const std::u16string &title) {
    song_fields fields = split_song_title(title);
    fields.album = files.station_name;
    fields.comment = files.station_address;
    const std::vector<uint8_t> tag = id3v2_tag(fields);
    const std::u16string tagging_name =
        files.working_file.substr(0, files.working_file.rfind(working_extension)) +
        tagging_extension;
    const wchar_t *tagging_file = wide(tagging_name);
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

std::u16string working_file_name(int number) {
    if (number <= 1)
        return std::u16string(u"rec") + working_extension;
    const std::string digits = std::to_string(number);
    return u"rec (" + std::u16string(digits.begin(), digits.end()) + u")" + working_extension;
}

void name_recording(const recording_files &files, const std::u16string &name,
                    const std::u16string &title) {
    for (const std::u16string &each : {name, uuid_name()})
        if (MoveFileW(wide(files.working_file), wide(each))) {
            tag_recording(files, wide(each), title);
            return;
        }
}

void keep_leftover_recording(const std::u16string &working_file) {
    if (file_exists(working_file))
        MoveFileW(wide(working_file), wide(final_name(u"", false)));
}
