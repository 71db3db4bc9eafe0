#include "recording.h"

#include "finished_file.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/stream_title.h"
#include "player_ids.h"
#include "settings/startup_settings.h"

#include <cstdio>
#include <cwchar>
#include <string>

wchar_t *record_target;
HENCODE encoder_handle;
bool recording_started;

namespace {

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

// Encoder's thread: a song's file is complete and its program has exited; the next song's
// program has not started yet, so "rec.mp3" is this song's. Never waits for the window.
void CALLBACK song_finished(HENCODE, DWORD flags, DWORD tag_type, const char *tags, void *) {
    const bool whole = (flags & BASS_SONG_FROM_START) && (flags & BASS_SONG_TO_END);
    const std::u16string title = stream_title(tag_type, tags).value_or(u"");
    name_recording(final_name(title, !whole), title);
}

void note_station() {
    recording_station.name = window_text(IDC_STATION_LINE);
    recording_station.address.clear();
    if (current_station >= 0 && current_station < station_total && station_urls[current_station]) {
        wchar_t address[record_target_size] = L"";
        MultiByteToWideChar(CP_ACP, 0, station_urls[current_station], -1, address,
                            record_target_size);
        address[record_target_size - 1] = L'\0';
        recording_station.address = reinterpret_cast<const char16_t *>(address);
    }
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
        show_library_error("Can't start recording");
        return;
    }
    recording_started = true;
    SetWindowTextA(main_window, "Brevora  [REC]");
}

} // namespace

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

void finish_recording() {
    stop_recording(true);
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
