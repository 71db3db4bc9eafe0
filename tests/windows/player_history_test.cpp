// The song history: history.csv as a spreadsheet program reads it, kept to the newest 1,000
// songs, a damaged file set aside; the History window's list, Copy, Export and Clear; and
// Ctrl+C, which copies the song title in the main window.
#include "player_playback_fixture.h"

#include "../native/csv_rows.h"
#include "history/song_history.h"
#include "playback/window_messages.h"
#include "settings/whole_file.h"

#include <commctrl.h>
#include <commdlg.h>

namespace {

using namespace std::string_literals;

const char b1_url[] = "http://127.0.0.1:9/b1";
const HSTREAM b1_stream = 12;

std::string read_file(const std::wstring &path) {
    std::string text;
    read_whole_file(path, 64 << 20, text);
    return text;
}

void write_file(const std::wstring &path, const std::string &text) {
    ASSERT_TRUE(write_whole_file(path, text));
}

std::wstring clipboard_text() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return L"(clipboard busy)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t *>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void put_on_clipboard(const std::wstring &text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::copy(text.c_str(), text.c_str() + text.size() + 1,
              static_cast<wchar_t *>(GlobalLock(memory)));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

class SongHistory : public Playback {
  protected:
    const std::wstring history_path = path_beside_program(L"history.csv");

    // Starts the player on b1 (row 3), a stream that calls itself "Stream Name".
    void play_b1(const std::string &title, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        write_station_file(two_groups);
        fake_stream &stream = prepare_stream(b1_url, b1_stream);
        stream.buffered = 80000;
        stream.tags[BASS_TAG_ICY] = "icy-name:Stream Name\0"s;
        stream.tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        ASSERT_TRUE(start_player());
        choose(3);
        ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(12,0)"));
        heard();
    }
    // The station announces a new title; the history has taken it (or left it out) on return.
    void announce(const std::string &title, HSTREAM stream = b1_stream) {
        {
            std::lock_guard<std::mutex> guard(fake.lock);
            fake.streams[stream].tags[BASS_TAG_META] = "StreamTitle='" + title + "';";
        }
        fire_syncs(stream, BASS_SYNC_META);
        heard();
    }
    // The window takes the title line's text now, not only when its posted notice arrives.
    void heard() { SendMessageW(main_window, WM_NOW_PLAYING_CHANGED, 0, 0); }
    // history.csv's rows after its byte-order mark, header included.
    std::vector<std::vector<std::string>> history_rows() {
        const std::string text = read_file(history_path);
        EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
        return csv_rows(text.substr(std::min<size_t>(3, text.size())));
    }
    std::vector<std::string> listed_titles() {
        std::vector<std::string> titles;
        for (const auto &row : history_rows())
            titles.push_back(row.size() == 3 ? row[2] : "(not three fields)");
        return titles;
    }
    // A history of count songs heard a day ago, titled "Old 1" ... on station "Old".
    static std::string old_history(int count) {
        std::string text = "\xEF\xBB\xBFtime,station,title\r\n";
        for (int song = 1; song <= count; ++song)
            text += "2026-01-01T00:00:00+00:00,Old,Old " + std::to_string(song) + "\r\n";
        return text;
    }
};

TEST_F(SongHistory, TitleChangesAreWrittenButNotEmptyOrRepeatedOnes) {
    ASSERT_NO_FATAL_FAILURE(play_b1("First"));
    for (const char *title : {"", "Second", "First", "   ", "Third, \"live\"", "Second"})
        announce(title);
    EXPECT_EQ(listed_titles(),
              (std::vector<std::string>{"title", "First", "Second", "Third, \"live\""}));
    const auto rows = history_rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "station", "title"}));
    for (size_t row = 1; row < rows.size(); ++row) {
        // The list's name for the station, not the stream's; the local time with its offset.
        EXPECT_EQ(rows[row][1], "b1");
        long long seconds = 0;
        EXPECT_TRUE(parse_history_time(rows[row][0], seconds)) << rows[row][0];
        EXPECT_EQ(rows[row][0].size(), std::string("2026-12-09T18:04:05+01:00").size());
    }
    // The same title on another station is another song heard.
    prepare_stream("http://127.0.0.1:9/a1", 11).buffered = 80000;
    set_stream(11, [](fake_stream &s) { s.tags[BASS_TAG_META] = "StreamTitle='First';"; });
    choose(1);
    ASSERT_TRUE(wait_for_call("BASS_ChannelPlay(11,0)"));
    heard();
    const auto last = history_rows().back();
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[1], "a1");
    EXPECT_EQ(last[2], "First");
}

TEST_F(SongHistory, TheSameTitleAfterTenMinutesIsListedAgain) {
    write_file(history_path, old_history(1));
    ASSERT_NO_FATAL_FAILURE(play_b1("Old 1"));
    announce("Old 1"); // on another station, and long ago
    EXPECT_EQ(listed_titles(), (std::vector<std::string>{"title", "Old 1", "Old 1"}));
}

TEST_F(SongHistory, TheNewestThousandSongsAreKept) {
    write_file(history_path, old_history(1000));
    ASSERT_NO_FATAL_FAILURE(play_b1("New"));
    const std::vector<std::string> titles = listed_titles();
    ASSERT_EQ(titles.size(), 1001u);
    EXPECT_EQ(titles[1], "Old 2");
    EXPECT_EQ(titles.back(), "New");
    EXPECT_EQ(GetFileAttributesW((history_path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SongHistory, ADamagedFileIsSetAsideAndANewOneBegun) {
    const std::string damaged = "not,a\r\nhistory\0\x01"s + old_history(2);
    write_file(history_path, damaged);
    write_file(history_path + L".bad", "an older damaged file");
    ASSERT_NO_FATAL_FAILURE(play_b1("Fresh"));
    EXPECT_EQ(read_file(history_path + L".bad"), "an older damaged file");
    EXPECT_EQ(read_file(history_path + L".bad.2"), damaged);
    EXPECT_EQ(listed_titles(), (std::vector<std::string>{"title", "Fresh"}));
}

TEST_F(SongHistory, AnEmptyFileGetsItsHeaderBeforeTheFirstSong) {
    write_file(history_path, "");
    ASSERT_NO_FATAL_FAILURE(play_b1("First"));
    EXPECT_EQ(listed_titles(), (std::vector<std::string>{"title", "First"}));
}

// The History window, as its controls show it.
class HistoryWindow : public SongHistory {
  protected:
    HWND open() {
        PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_HISTORY, 1), 0);
        HWND window = wait_for_message_box(L"History");
        if (window)
            eventually([&] { return row_count(window) == song_total(); });
        return window;
    }
    static HWND list(HWND window) { return GetDlgItem(window, IDC_HISTORY_LIST); }
    static int row_count(HWND window) {
        return static_cast<int>(SendMessageW(list(window), LVM_GETITEMCOUNT, 0, 0));
    }
    int song_total() { return static_cast<int>(history_rows().size()) - 1; }
    static std::wstring cell(HWND window, int row, int column) {
        wchar_t text[256] = L"";
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(list(window), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return text;
    }
    static void select(HWND window, std::initializer_list<int> rows) {
        for (const int row : rows) {
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED;
            SendMessageW(list(window), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&state));
        }
    }
};

TEST_F(HistoryWindow, ListsNewestFirstFollowsTheHistoryAndCopiesTheSelectedTitles) {
    write_file(history_path, old_history(2));
    ASSERT_NO_FATAL_FAILURE(play_b1("Caf\xC3\xA9 - Live"));
    const HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), main_window);
    ASSERT_EQ(row_count(window), 3);
    EXPECT_EQ(cell(window, 0, 1), L"b1");
    EXPECT_EQ(cell(window, 0, 2), L"Caf\u00e9 - Live");
    EXPECT_EQ(cell(window, 2, 0), L"2026-01-01 00:00:00");
    EXPECT_EQ(cell(window, 2, 2), L"Old 1");

    announce("Next");
    ASSERT_EQ(row_count(window), 4);
    EXPECT_EQ(cell(window, 0, 2), L"Next");

    select(window, {0, 2});
    put_on_clipboard(L"before");
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_COPY, BN_CLICKED), 0);
    EXPECT_EQ(clipboard_text(), L"Next\r\nOld 2");

    // Several windows would only confuse: the open one comes forward.
    PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_HISTORY, 1), 0);
    SendMessageW(main_window, WM_NULL, 0, 0);
    EXPECT_EQ(find_message_box(L"History"), window);
    close_player();
    EXPECT_FALSE(IsWindow(window));
}

// Fills in the Save As dialog's file name, once it shows the name offered, and presses Save.
void save_as(HWND dialog, const std::wstring &path) {
    HWND name_box = nullptr;
    // The file name box: edt1 in the classic template, cmb13 in the Explorer one.
    ASSERT_TRUE(eventually([&] {
        for (const int id : {0x480, 0x47c}) {
            wchar_t name[64] = L"";
            name_box = GetDlgItem(dialog, id);
            if (name_box && GetWindowTextW(name_box, name, 64) && wcscmp(name, L"history.csv") == 0)
                return true;
        }
        return false;
    }));
    SetWindowTextW(name_box, path.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(HistoryWindow, ExportsTheFileAndClearsAfterAsking) {
    write_file(history_path, old_history(3));
    ASSERT_NO_FATAL_FAILURE(play_b1("A, \"B\""));
    const HWND window = open();
    ASSERT_NE(window, nullptr);

    const std::wstring exported = path_beside_program(L"history-export.csv");
    DeleteFileW(exported.c_str());
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_EXPORT, BN_CLICKED), 0);
    const HWND save = wait_for_message_box(L"Export history");
    ASSERT_NE(save, nullptr);
    ASSERT_NO_FATAL_FAILURE(save_as(save, exported));
    // Written once the dialog has returned.
    EXPECT_TRUE(eventually([&] { return read_file(exported) == read_file(history_path); }))
        << read_file(exported);
    DeleteFileW(exported.c_str());

    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_CLEAR, BN_CLICKED), 0);
    HWND question = wait_for_message_box(L"Clear history");
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(eventually([&] { return !IsWindow(question); }));
    EXPECT_EQ(row_count(window), 4);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_CLEAR, BN_CLICKED), 0);
    question = wait_for_message_box(L"Clear history");
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(eventually([&] { return row_count(window) == 0; }));
    EXPECT_EQ(read_file(history_path), "\xEF\xBB\xBFtime,station,title\r\n");
}

// Presses Ctrl and a key in the window with the focus, as the keyboard would; returns once
// condition() holds or the deadline passes.
template <typename Condition> bool press_ctrl(char key, Condition condition) {
    const DWORD window_thread = GetWindowThreadProcessId(main_window, nullptr);
    // Attached, the two threads share one keyboard state: the window's reads Ctrl as down.
    AttachThreadInput(GetCurrentThreadId(), window_thread, TRUE);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    HWND focus = GetFocus();
    PostMessageW(focus ? focus : main_window, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    const bool happened = eventually(condition);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), window_thread, FALSE);
    return happened;
}

TEST_F(HistoryWindow, CtrlCCopiesTheWholeTitleLineAndCtrlHOpensTheHistory) {
    const std::string long_title = "Artist - " + std::string(300, 'x') + " \xE2\x99\xAB";
    ASSERT_NO_FATAL_FAILURE(play_b1(long_title));
    put_on_clipboard(L"before");
    EXPECT_TRUE(press_ctrl('C', [] { return clipboard_text() != L"before"; }));
    EXPECT_EQ(clipboard_text(), L"Artist - " + std::wstring(300, L'x') + L" \u266b");
    EXPECT_TRUE(press_ctrl('H', [] { return find_message_box(L"History") != nullptr; }));

    // With no title, the clipboard keeps what it held.
    announce("");
    put_on_clipboard(L"kept");
    SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_COPY_TITLE, 1), 0);
    EXPECT_EQ(clipboard_text(), L"kept");
}

} // namespace
