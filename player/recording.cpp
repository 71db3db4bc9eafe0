#include "recording.h"

#include "connection.h"
#include "player_ids.h"
#include "player_state.h"

#include <rpc.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t working_file[] = L"rec.mp3";
const wchar_t extension[] = L".mp3";
// Room left for the title so that the name and ".mp3" fit record_target with its terminator.
const size_t title_room = record_target_size - 1 - (sizeof extension / sizeof(wchar_t) - 1);

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

void append_extension() {
    const size_t length = std::wcslen(record_target);
    std::swprintf(record_target + length, record_target_size - length, L"%ls", extension);
}

// A "rec.mp3" left by a player that ended mid-recording was never renamed; the next
// recording would overwrite it, so give it a name of its own first.
void keep_leftover_recording() {
    if (GetFileAttributesW(working_file) == INVALID_FILE_ATTRIBUTES)
        return;
    wchar_t leftover_name[48] = L"";
    write_uuid_name(leftover_name, sizeof leftover_name / sizeof(wchar_t));
    if (!leftover_name[0])
        return;
    const size_t length = std::wcslen(leftover_name);
    std::swprintf(leftover_name + length, sizeof leftover_name / sizeof(wchar_t) - length, L"%ls",
                  extension);
    MoveFileW(working_file, leftover_name);
}

void start_recording() {
    GetWindowTextW(GetDlgItem(main_window, IDC_TITLE_LINE), record_target, record_target_size);
    if (record_target[0]) {
        PathCleanupSpec(nullptr, record_target);
        if (std::wcslen(record_target) > title_room)
            record_target[title_room] = L'\0';
    } else {
        make_uuid_name();
    }
    append_extension();
    if (GetFileAttributesW(record_target) != INVALID_FILE_ATTRIBUTES) {
        make_uuid_name();
        append_extension();
    }
    keep_leftover_recording();

    char command_line[260];
    std::snprintf(command_line, sizeof command_line, "lame.exe %s - \"rec.mp3\"", encoder_options);
    encoder_handle = BASS_Encode_Start(current_stream.load(), command_line, 0, nullptr, nullptr);
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
    BASS_Encode_Stop(encoder_handle); // harmless when the encoder has already ended
    MoveFileW(working_file, record_target);
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
