#include "recording.h"

#include "finished_file.h"

#include "playback/connection.h"
#include "playback/player_state.h"
#include "playback/station_link.h"
#include "playback/stream_title.h"
#include "playback/window_messages.h"
#include "player_ids.h"
#include "settings/startup_settings.h"

#include <process.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

wchar_t *record_target;
HENCODE encoder_handle;
bool recording_started;

namespace {

// What a recording's files need besides its globals (encoder_handle, record_target), from
// Record until its files are complete. The window's thread owns it while it records, then
// the thread that finishes it; the encoder's thread reads it meanwhile (a recording of songs
// names each song's file there).
struct recording_job {
    recording_files files;
    bool songs = false;    // one file per song, each named by song_finished
    std::u16string title;  // a single file's: the title shown when it started, its tag
    std::u16string target; // and its name, chosen then
    HENCODE encoder = 0;
    HSTREAM stream = 0;        // set when the stream stops with the recording: freed first
    HWND window = nullptr;     // told when the files are complete
    HANDLE began = nullptr;    // set by the finishing thread before it releases anything
    HANDLE complete = nullptr; // set by the finishing thread once the files are complete
};

// The running recording's job; null when the globals were set without one. Window's thread.
std::unique_ptr<recording_job> running_job;

// Recordings being finished, each by a thread of its own. Window's thread.
struct finishing_recording {
    HANDLE complete; // the job's
    std::u16string working_file;
};
std::vector<finishing_recording> finishing;

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
// program has not started yet, so the working file is this song's. Never waits for the
// window.
void CALLBACK song_finished(HENCODE, DWORD flags, DWORD tag_type, const char *tags, void *user) {
    const auto *job = static_cast<const recording_job *>(user);
    const bool whole = (flags & BASS_SONG_FROM_START) && (flags & BASS_SONG_TO_END);
    const std::u16string title = stream_title(tag_type, tags).value_or(u"");
    name_recording(job->files, final_name(title, !whole), title);
}

// The first working file that no recording being finished still writes.
std::u16string free_working_file() {
    forget_finished_recordings();
    for (int number = 1;; ++number) {
        const std::u16string name = working_file_name(number);
        if (std::none_of(finishing.begin(), finishing.end(), [&](const finishing_recording &each) {
                return each.working_file == name;
            }))
            return name;
    }
}

recording_files note_files() {
    recording_files files;
    files.working_file = free_working_file();
    files.station_name = window_text(IDC_STATION_LINE);
    const std::wstring address = playing_station_address();
    files.station_address.assign(address.begin(), address.end());
    return files;
}

// The encoder's command line; working files have ASCII names.
void write_command_line(char *line, size_t size, const std::u16string &working_file) {
    std::string name;
    for (char16_t unit : working_file)
        name += static_cast<char>(unit);
    std::snprintf(line, size, "lame.exe %s - \"%s\"", encoder_options, name.c_str());
}

void start_recording() {
    auto job = std::make_unique<recording_job>();
    job->files = note_files();
    job->songs = IsDlgButtonChecked(main_window, IDC_SONGS) == BST_CHECKED;
    job->title = window_text(IDC_TITLE_LINE);
    job->target = final_name(job->title, false);
    job->window = main_window;
    std::swprintf(record_target, record_target_size, L"%ls", wide(job->target));
    keep_leftover_recording(job->files.working_file);

    char command_line[260];
    write_command_line(command_line, sizeof command_line, job->files.working_file);
    // Both begin with what has played of the song so far (the library's history).
    encoder_handle = job->songs
                         ? BASS_Encode_StartSongs(current_stream.load(), command_line,
                                                  BASS_ENCODE_SONG_START, song_finished, job.get())
                         : BASS_Encode_Start(current_stream.load(), command_line,
                                             BASS_ENCODE_SONG_START, nullptr, nullptr);
    if (!encoder_handle) {
        // Showing "[REC]" with nothing recording would lose what the user meant to keep.
        release_record_button();
        show_library_error("Can't start recording");
        return;
    }
    running_job = std::move(job);
    recording_started = true;
    SetWindowTextA(main_window, "Brevora  [REC]");
}

// Not on the window's thread (but where no thread can be started). The stream the recording
// stops with is freed first: it is silent at once, and its encoder finishes the file (the
// history to its end, then what played before the stop). Then the encoder's handle is
// released and a single file named and tagged.
void finish(const recording_job &job) {
    if (job.stream)
        BASS_StreamFree(job.stream);
    BASS_Encode_Stop(job.encoder);
    if (!job.songs)
        name_recording(job.files, job.target, job.title);
}

unsigned __stdcall finishing_thread(void *argument) {
    std::unique_ptr<recording_job> job(static_cast<recording_job *>(argument));
    SetEvent(job->began);
    finish(*job);
    SetEvent(job->complete);
    PostMessageW(job->window, WM_RECORDING_FINISHED, 0, 0);
    return 0;
}

// The running recording's job, with its globals' encoder and name.
std::unique_ptr<recording_job> take_running_job() {
    std::unique_ptr<recording_job> job = std::move(running_job);
    if (!job) {
        job = std::make_unique<recording_job>();
        job->files.working_file = working_file_name(1);
        job->window = main_window;
    }
    job->encoder = encoder_handle;
    job->target = reinterpret_cast<const char16_t *>(record_target);
    return job;
}

// Hands the running recording to a thread of its own (finishes it here when none starts);
// `stream`, when given, stops with it.
void finish_in_background(HSTREAM stream) {
    std::unique_ptr<recording_job> job = take_running_job();
    recording_started = false;
    job->stream = stream;
    const std::u16string working_file = job->files.working_file;
    const HANDLE began = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE complete = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    job->began = began;
    job->complete = complete;
    recording_job *handed = job.release();
    const uintptr_t thread =
        began && complete ? _beginthreadex(nullptr, 0, finishing_thread, handed, 0, nullptr) : 0;
    if (thread) {
        // Only a thread's start: once it runs it reaches the encoder before anything the
        // window does next could free the stream, which would hold the window meanwhile.
        WaitForSingleObject(began, INFINITE);
        CloseHandle(reinterpret_cast<HANDLE>(thread));
        finishing.push_back({complete, working_file});
    } else {
        finish(*std::unique_ptr<recording_job>(handed));
        if (complete)
            CloseHandle(complete);
    }
    if (began)
        CloseHandle(began);
}

} // namespace

bool stop_recording(bool reset_controls) {
    // An encoder that ended by itself (it crashed, the disk filled up) left its working file
    // and the window claiming "[REC]": this is where that is noticed and finished.
    if (!recording_started)
        return false;
    finish_in_background(0);
    if (reset_controls) {
        release_record_button();
        SetWindowTextA(main_window, "Brevora");
    }
    return true;
}

bool take_recorded_stream(HSTREAM stream) {
    if (!recording_started)
        return false;
    finish_in_background(stream);
    release_record_button();
    SetWindowTextA(main_window, "Brevora");
    return true;
}

bool recordings_unfinished() {
    forget_finished_recordings();
    return recording_started || !finishing.empty();
}

void forget_finished_recordings() {
    for (size_t i = 0; i < finishing.size();) {
        if (WaitForSingleObject(finishing[i].complete, 0) == WAIT_OBJECT_0) {
            CloseHandle(finishing[i].complete);
            finishing.erase(finishing.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

void finish_recordings() {
    if (recording_started)
        finish_in_background(0);
    for (const finishing_recording &each : finishing) {
        WaitForSingleObject(each.complete, INFINITE);
        CloseHandle(each.complete);
    }
    finishing.clear();
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
