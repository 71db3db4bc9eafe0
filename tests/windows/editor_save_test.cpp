// Saving the list to stations.ini, and the editor's modal run: close, Escape and Enter.
#include "editor_test_support.h"

#include <iterator>
#include <thread>

namespace {

const std::string old_file = "[stations]\r\nstation_count=4\r\n"
                             "station_name_1=Old A\r\nstation_url_1=http://a\r\n"
                             "station_name_2=Old B\r\nstation_url_2=http://b\r\n"
                             "station_name_3=Old C\r\nstation_url_3=http://c\r\n"
                             "station_name_4=Old D\r\nstation_url_4=http://d\r\n"
                             "[config]\r\nuse_proxy=on\r\nproxy=" +
                             std::string(70, 'p') +
                             "\r\nlame_options=-b 192\r\n[foreign]\r\nkey=value\r\n";

TEST_F(EditorTest, SaveWritesConfigThenExactlyTheRowsAndEnds) {
    open_window_on(old_file);
    click_row(1);
    command(IDC_DELETE);
    click_row(1);
    command(IDC_DELETE);
    click_row(0);
    set_fields("Rock", "null");
    command(IDC_UPDATE);
    command(IDC_SAVE);
    expect_no_message();
    EXPECT_FALSE(IsWindowVisible(dialog)) << "the window stays open after Save";
    EXPECT_EQ(read_file(ini_path), "[config]\r\nuse_proxy=on\r\nproxy=" + std::string(70, 'p') +
                                       "\r\nlame_options=-b 192\r\n"
                                       "[stations]\r\nstation_count=2\r\n"
                                       "station_name_1=Rock\r\nstation_url_1=null\r\n"
                                       "station_name_2=Old D\r\nstation_url_2=http://d\r\n");
    EXPECT_EQ(read_file(ini_path + std::string(".tmp")), "<missing>");
}

TEST_F(EditorTest, SaveGivesMissingSettingsTheirDefaultsAndKeepsLongOnes) {
    open_window_on(
        "[stations]\r\nstation_count=1\r\nstation_name_1=A\r\nstation_url_1=http://a\r\n");
    command(IDC_SAVE);
    EXPECT_EQ(read_file(ini_path), "[config]\r\nuse_proxy=null\r\nproxy=null\r\n"
                                   "lame_options=-b 128\r\n"
                                   "[stations]\r\nstation_count=1\r\n"
                                   "station_name_1=A\r\nstation_url_1=http://a\r\n");

    // The player reads proxy with a 200-byte buffer: a long value survives a save.
    free_station_list();
    DestroyWindow(dialog);
    std::string proxy(199, 'q');
    open_window_on("[config]\r\nuse_proxy=on-and-more\r\nproxy=" + proxy +
                   "\r\nlame_options=" + std::string(150, 'l') +
                   "\r\n[stations]\r\nstation_count=1\r\nstation_name_1=A\r\nstation_url_1=u\r\n");
    command(IDC_SAVE);
    char value[400];
    GetPrivateProfileStringA("config", "proxy", "", value, sizeof value, ini_path);
    EXPECT_EQ(std::string(value), proxy);
    GetPrivateProfileStringA("config", "use_proxy", "", value, sizeof value, ini_path);
    EXPECT_STREQ(value, "on-and-more");
    GetPrivateProfileStringA("config", "lame_options", "", value, sizeof value, ini_path);
    EXPECT_EQ(std::string(value), std::string(127, 'l'));
}

TEST_F(EditorTest, SaveKeepsEverySettingItDoesNotKnowAsWritten) {
    // Keys compare without case, as the file's reader does; of a key given twice the first
    // is the one in effect. A line without "=" is no setting.
    const std::string long_value(5000, 'v');
    open_window_on("[config]\r\nlame_options=-V 2\r\ndirectory=http://127.0.0.1:8123 "
                   "https://de1.example\r\nMy_Key=\"quoted, as typed\"\r\nlong=" +
                   long_value +
                   "\r\nUSE_PROXY=on\r\nnot a setting\r\nmy_key=second\r\nempty=\r\n"
                   "[stations]\r\nstation_count=1\r\nstation_name_1=A\r\nstation_url_1=u\r\n");
    command(IDC_SAVE);
    EXPECT_EQ(read_file(ini_path),
              "[config]\r\nuse_proxy=on\r\nproxy=null\r\nlame_options=-V 2\r\n"
              "directory=http://127.0.0.1:8123 https://de1.example\r\n"
              "My_Key=\"quoted, as typed\"\r\nlong=" +
                  long_value +
                  "\r\nempty=\r\n"
                  "[stations]\r\nstation_count=1\r\nstation_name_1=A\r\nstation_url_1=u\r\n");
}

TEST_F(EditorTest, SavedRowsReadBackThroughTheProfileFunctions) {
    open_window_on("[config]\r\nproxy=host:8080\r\nMy_Key=kept\r\n");
    const std::string texts[] = {
        "Jazz = Blues",    "[Rock]", "; not a comment",    "Caf\xe9 \x80", "with \"inner\" quotes",
        "'single' inside", "null",   std::string(199, 'n')};
    std::vector<std::pair<std::string, std::string>> rows;
    station_node *last = nullptr;
    for (int row = 0; row < 300; row++) {
        const std::string &text = texts[row % std::size(texts)];
        rows.emplace_back(text.substr(0, 196) + std::to_string(row % 1000),
                          row % 9 == 0 ? "null" : "http://h/" + text.substr(0, 190));
        station_node *node = make_node(rows.back().first.c_str(), rows.back().second.c_str());
        ASSERT_NE(node, nullptr);
        append_after_last(last, node);
        last = node;
    }
    refresh_list();
    command(IDC_SAVE);
    expect_no_message();
    EXPECT_EQ(GetPrivateProfileIntA("stations", "station_count", 0, ini_path), 300);
    char value[setting_buffer_size];
    for (size_t row = 0; row < rows.size(); row++) {
        const std::string number = std::to_string(row + 1);
        GetPrivateProfileStringA("stations", ("station_name_" + number).c_str(), "<missing>", value,
                                 sizeof value, ini_path);
        ASSERT_EQ(value, rows[row].first) << "row " << number;
        GetPrivateProfileStringA("stations", ("station_url_" + number).c_str(), "<missing>", value,
                                 sizeof value, ini_path);
        ASSERT_EQ(value, rows[row].second) << "row " << number;
    }
    GetPrivateProfileStringA("config", "proxy", "", value, sizeof value, ini_path);
    EXPECT_STREQ(value, "host:8080");
    GetPrivateProfileStringA("config", "my_key", "", value, sizeof value, ini_path);
    EXPECT_STREQ(value, "kept");
}

TEST_F(EditorTest, SaveOfAnEmptyListLeavesTheFileAndEnds) {
    open_window_on(old_file);
    for (int row = 0; row < 4; row++) {
        click_row(0);
        command(IDC_DELETE);
    }
    ASSERT_EQ(row_count(), 0);
    command(IDC_SAVE);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(read_file(ini_path), old_file);
}

TEST_F(EditorTest, FailedSaveKeepsTheOldFileTheWindowAndTheList) {
    open_window_on(old_file);
    click_row(0);
    command(IDC_DELETE);
    std::vector<std::pair<std::string, std::string>> edited = nodes();

    // Another program holds stations.ini open and lets nobody delete it: it cannot be
    // replaced, though the new file was written in full.
    HANDLE held = CreateFileA(ini_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    message_box_record box = expect_one_message([&] { command(IDC_SAVE); });
    CloseHandle(held);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_HAND));
    EXPECT_NE(box.text.find("Could not save"), std::string::npos) << box.text;
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(read_file(ini_path), old_file);
    EXPECT_EQ(read_file(ini_path + std::string(".tmp")), "<missing>");
    EXPECT_EQ(nodes(), edited);
    expect_list_matches_box();

    // A folder where the new file would be written.
    std::string in_the_way = ini_path + std::string(".tmp");
    ASSERT_TRUE(CreateDirectoryA(in_the_way.c_str(), nullptr));
    box = expect_one_message([&] { command(IDC_SAVE); });
    EXPECT_EQ(box.caption, "Error");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(read_file(ini_path), old_file);
    RemoveDirectoryA(in_the_way.c_str());

    // Once the way is clear the same list saves, with nothing left from the failed tries.
    click_row(0);
    command(IDC_DELETE);
    command(IDC_SAVE);
    expect_no_message();
    EXPECT_FALSE(IsWindowVisible(dialog));
    std::string saved = read_file(ini_path);
    EXPECT_NE(saved.find("station_count=2\r\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("station_name_3"), std::string::npos) << saved;
    EXPECT_NE(saved.find("station_name_2=Old D"), std::string::npos) << saved;
}

// --- The modal run -------------------------------------------------------------------

// Runs the editor modally on this thread while drive() works it from another thread.
class EditorRunTest : public EditorTest {
  protected:
    void run(const std::function<void(HWND)> &drive,
             const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        bool shown = false;
        std::thread driver([&] {
            shown = WaitForSingleObject(editor_shown, 15000) == WAIT_OBJECT_0;
            if (shown)
                drive(shown_editor);
        });
        run_editor(GetModuleHandleA(nullptr));
        driver.join();
        ASSERT_TRUE(shown) << "the editor window never showed";
        EXPECT_EQ(station_head, nullptr) << "the list outlives the run";
    }
};

TEST_F(EditorRunTest, OpensCentredWithoutOwnerAndClosingWritesNothing) {
    write_file(ini_path, old_file);
    run([](HWND window) {
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
        RECT frame, screen;
        GetWindowRect(window, &frame);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
        EXPECT_NEAR((frame.left + frame.right) / 2, (screen.left + screen.right) / 2, 2);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, (screen.top + screen.bottom) / 2, 2);
        SendMessageA(GetDlgItem(window, IDC_STATION_LIST), LB_SETCURSEL, 0, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_DELETE, BN_CLICKED), 0);
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(read_file(ini_path), old_file);
}

TEST_F(EditorRunTest, EscapeDoesNothingAndEnterSaves) {
    write_file(ini_path, old_file);
    run([](HWND window) {
        HWND name_field = GetDlgItem(window, IDC_STATION_NAME);
        SetDlgItemTextA(window, IDC_STATION_NAME, "Typed");
        SetDlgItemTextA(window, IDC_STATION_URL, "http://typed");
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ADD, BN_CLICKED), 0);
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(name_field), TRUE);
        // Were Escape to end the window, the Enter after it would never save.
        PostMessageA(name_field, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(name_field, WM_KEYDOWN, VK_RETURN, 0);
    });
    std::string saved = read_file(ini_path);
    EXPECT_NE(saved.find("station_count=5\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("station_name_5=Typed\r\nstation_url_5=http://typed\r\n"),
              std::string::npos)
        << saved;
}

} // namespace
