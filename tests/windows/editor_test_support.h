// Runs the editor's window in-process for tests: each test gets its own folder for
// stations.ini, and a hook on the window's thread records and closes every message box the
// window shows as it comes up, so commands that show one return.
#pragma once

#include "call_site.h"
#include "list/editor_commands.h"
#include "editor_dialog.h"
#include "editor_ids.h"
#include "station_file.h"
#include "list/station_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Under Wine on a bare X display every hidden top-level window waits two seconds for a
// window manager that is not there. Telling Wine, for this test program only, that no
// manager looks after its windows takes the wait away; it is read when the first window
// opens, so this runs before main.
inline const bool unmanaged_windows_for_tests = [] {
    char module_path[MAX_PATH];
    GetModuleFileNameA(nullptr, module_path, sizeof module_path);
    std::string program = std::strrchr(module_path, '\\') + 1;
    std::string key = "Software\\Wine\\AppDefaults\\" + program + "\\X11 Driver";
    return RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Managed", REG_SZ, "N", 2) ==
           ERROR_SUCCESS;
}();

struct message_box_record {
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    HWND owner = nullptr;
};

class EditorTest : public ::testing::Test {
  protected:
    std::string folder;
    HWND dialog = nullptr;

    void SetUp() override {
        char module_path[MAX_PATH];
        GetModuleFileNameA(nullptr, module_path, sizeof module_path);
        std::string directory(module_path);
        directory = directory.substr(0, directory.rfind('\\'));
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = directory + "\\editor-" + test->test_suite_name() + "-" + test->name();
        remove_folder_content();
        CreateDirectoryA(folder.c_str(), nullptr);
        std::snprintf(ini_path, sizeof ini_path, "%s\\stations.ini", folder.c_str());
        station_head = nullptr;
        window_thread = GetCurrentThreadId();
        editor_shown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        watched_test = this;
        shown_hook =
            SetWindowsHookExW(WH_CALLWNDPROCRET, on_window_message, nullptr, window_thread);
        ASSERT_NE(shown_hook, nullptr);
    }

    void TearDown() override {
        if (shown_hook)
            UnhookWindowsHookEx(shown_hook);
        watched_test = nullptr;
        CloseHandle(editor_shown);
        if (dialog)
            DestroyWindow(dialog);
        free_station_list();
        station_listbox = nullptr;
        remove_folder_content();
        RemoveDirectoryA(folder.c_str());
    }

    std::string path_of(const std::string &name) const { return folder + "\\" + name; }

    static void write_file(const std::string &path, const std::string &content,
                           const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        FILE *file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }

    static std::string read_file(const std::string &path) {
        std::string content;
        FILE *file = std::fopen(path.c_str(), "rb");
        if (!file)
            return "<missing>";
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            content.append(buffer, got);
        std::fclose(file);
        return content;
    }

    // Opens the window modelessly on this thread, as the modal run would, and shows it.
    void open_window(const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EDITOR),
                                    nullptr, editor_dialog, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
    }

    void open_window_on(const std::string &ini_content,
                        const call_site &where = call_site::current()) {
        write_file(ini_path, ini_content, where);
        open_window(where);
    }

    // What a click on a button sends.
    LRESULT command(int id, int code = BN_CLICKED) {
        return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
                            reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }

    // What a click on a row does: the list box selects it and notifies the window.
    void click_row(int index) {
        SendMessageA(station_listbox, LB_SETCURSEL, index, 0);
        command(IDC_STATION_LIST, LBN_SELCHANGE);
    }

    void set_fields(const std::string &name, const std::string &url) {
        SetDlgItemTextA(dialog, IDC_STATION_NAME, name.c_str());
        SetDlgItemTextA(dialog, IDC_STATION_URL, url.c_str());
    }

    std::string field(int id) const {
        char text[1024] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }

    std::vector<std::string> row_texts() const {
        std::vector<std::string> texts;
        int count = static_cast<int>(SendMessageA(station_listbox, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; row++) {
            char text[1024] = "";
            SendMessageA(station_listbox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        return texts;
    }

    // The rows as (name, url) pairs, walking the list; checks the back links on the way.
    std::vector<std::pair<std::string, std::string>>
    nodes(const call_site &where = call_site::current()) const {
        call_site_trace trace(where);
        std::vector<std::pair<std::string, std::string>> result;
        const station_node *previous = nullptr;
        for (const station_node *node = station_head; node; node = node->next) {
            EXPECT_EQ(node->prev, previous) << "broken back link at row " << result.size();
            EXPECT_EQ(node->is_group, std::string(node->url) == "null" ? 1 : 0);
            result.emplace_back(node->name, node->url);
            previous = node;
        }
        return result;
    }

    std::vector<std::string> names(const call_site &where = call_site::current()) const {
        std::vector<std::string> result;
        for (auto &row : nodes(where))
            result.push_back(row.first);
        return result;
    }

    static std::string expected_row_text(const station_node *node) {
        std::string text = (node->is_group ? "  [+]  " : std::string(15, ' ')) + node->name;
        return text.substr(0, row_text_limit);
    }

    // After every command list box row i shows node i, and there are as many of each.
    void expect_list_matches_box(const call_site &where = call_site::current()) const {
        call_site_trace trace(where);
        std::vector<std::string> texts = row_texts();
        size_t row = 0;
        for (const station_node *node = station_head; node; node = node->next, row++) {
            ASSERT_LT(row, texts.size()) << "more nodes than list box rows";
            EXPECT_EQ(texts[row], expected_row_text(node)) << "row " << row;
        }
        EXPECT_EQ(row, texts.size()) << "more list box rows than nodes";
    }

    int top_row() const {
        return static_cast<int>(SendMessageA(station_listbox, LB_GETTOPINDEX, 0, 0));
    }

    std::vector<message_box_record> take_message_boxes() { return std::exchange(records, {}); }

    // Runs action on this thread and expects exactly one message box from it.
    message_box_record expect_one_message(const std::function<void()> &action,
                                          const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        take_message_boxes();
        action();
        std::vector<message_box_record> shown = take_message_boxes();
        EXPECT_EQ(shown.size(), 1u);
        return shown.empty() ? message_box_record{} : shown.front();
    }

    void expect_no_message(const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        EXPECT_TRUE(take_message_boxes().empty());
    }

    // Called on the window's thread for the next file dialog as it comes up, then dropped; it
    // must close the dialog. Without one the dialog is cancelled.
    std::function<void(HWND)> file_dialog_handler;
    // The same for the next "Find stations" dialog.
    std::function<void(HWND)> find_dialog_handler;

    DWORD window_thread = 0;
    // Set, with shown_editor, when a "Station Editor" window comes up.
    HANDLE editor_shown = nullptr;
    std::atomic<HWND> shown_editor{nullptr};

  private:
    inline static EditorTest *watched_test = nullptr; // the running test, for the hook
    HHOOK shown_hook = nullptr;
    std::vector<message_box_record> records; // only the window's thread touches these
    std::vector<HWND> handled;

    void remove_folder_content() {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(path.c_str());
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }

    static std::string window_text(HWND window) {
        char text[1024] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    static std::string class_of(HWND window) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        return name;
    }

    static message_box_record describe_message_box(HWND box) {
        message_box_record record;
        record.caption = window_text(box);
        record.owner = GetWindow(box, GW_OWNER);
        EnumChildWindows(
            box,
            [](HWND child, LPARAM data) -> BOOL {
                auto *found = reinterpret_cast<message_box_record *>(data);
                if (class_of(child) != "Static")
                    return TRUE;
                if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                    found->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
                else if (!window_text(child).empty())
                    found->text = window_text(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&record));
        return record;
    }

    // On the window's thread, after each message a window of it handled: a window that has
    // just been shown is set up and on screen.
    static LRESULT CALLBACK on_window_message(int code, WPARAM sent, LPARAM message) {
        const auto *handled_message = reinterpret_cast<const CWPRETSTRUCT *>(message);
        if (code == HC_ACTION && watched_test && handled_message->message == WM_WINDOWPOSCHANGED &&
            (reinterpret_cast<const WINDOWPOS *>(handled_message->lParam)->flags &
             SWP_SHOWWINDOW) &&
            !(GetWindowLongA(handled_message->hwnd, GWL_STYLE) & WS_CHILD))
            watched_test->window_shown(handled_message->hwnd);
        return CallNextHookEx(nullptr, code, sent, message);
    }

    void window_shown(HWND window) {
        // A closed window's handle may come back for a later one.
        handled.erase(
            std::remove_if(handled.begin(), handled.end(), [](HWND old) { return !IsWindow(old); }),
            handled.end());
        if (class_of(window) != "#32770" ||
            std::find(handled.begin(), handled.end(), window) != handled.end())
            return;
        const std::string title = window_text(window);
        if (title == "Station Editor") {
            shown_editor = window;
            SetEvent(editor_shown);
            return;
        }
        handled.push_back(window);
        if (title == "Import m3u playlist" || title == "Find stations") {
            auto &next = title == "Find stations" ? find_dialog_handler : file_dialog_handler;
            if (auto handler = std::exchange(next, nullptr))
                handler(window);
            else
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        records.push_back(describe_message_box(window));
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
};
