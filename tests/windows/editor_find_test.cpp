// Finding stations in the directory from the editor, against the local stand-in server of
// tests/servers/directory_test_server.py: searching, every outcome line, adding results to
// the list and saving them, and what fits into stations.ini.
#include "editor_test_support.h"
#include "directory/find_dialog.h"
#include "version.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// A folder of the fixture, as Wine shows it: the Unix root is drive Z:.
std::string fixture_file(const char *name) {
    const char *state = std::getenv("BREVORA_DIRECTORY_STATE");
    std::string path = std::string("Z:") + (state ? state : "") + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

int fixture_port() {
    std::ifstream in(fixture_file("ready.json"));
    std::stringstream text;
    text << in.rdbuf();
    size_t at = text.str().find("\"http\": ");
    return at == std::string::npos ? 0 : std::atoi(text.str().c_str() + at + 8);
}

const char dead_server[] = "http://127.0.0.1:1";

class FindTest : public EditorTest {
  protected:
    std::string origin;
    HWND find = nullptr;

    void SetUp() override {
        EditorTest::SetUp();
        int port = fixture_port();
        ASSERT_NE(port, 0) << "the directory server fixture is not running";
        origin = "http://127.0.0.1:" + std::to_string(port);
    }

    void TearDown() override {
        if (find && IsWindow(find))
            DestroyWindow(find);
        EditorTest::TearDown();
    }

    // The editor on rows, then its Find dialog, modeless on this thread as the window's own
    // modal run would show it.
    void open_find(const std::string &rows, const std::string &directory_setting,
                   const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        open_window_on("[config]\r\ndirectory=" + directory_setting + "\r\n" + rows);
        find = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FIND), dialog,
                                  find_dialog, 0);
        ASSERT_NE(find, nullptr);
        find_dialog_handler = [](HWND) {}; // this one stays open
        ShowWindow(find, SW_SHOW);
    }

    void set_directory(const std::string &setting) {
        WritePrivateProfileStringA("config", "directory", setting.c_str(), ini_path);
    }

    std::string status() const {
        char text[1024] = "";
        GetDlgItemTextA(find, IDC_FIND_STATUS, text, sizeof text);
        return text;
    }

    // Runs the window's messages as its modal loop would, until condition holds. A condition
    // that no message announces (the server's log) is looked at again every recheck_ms.
    template <typename Condition>
    bool pump_until(Condition condition, DWORD timeout_ms = 30000, DWORD recheck_ms = INFINITE) {
        ULONGLONG deadline = GetTickCount64() + timeout_ms;
        while (!condition()) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return false;
            DWORD wait = static_cast<DWORD>(deadline - now);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(wait, recheck_ms), QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (IsDialogMessageA(find, &message) || IsDialogMessageA(dialog, &message))
                    continue;
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        return true;
    }

    // Types name into the name field, presses Enter there and waits for the outcome line.
    std::string search_for(const std::string &name, const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        HWND field = GetDlgItem(find, IDC_FIND_NAME);
        SetWindowTextA(field, name.c_str());
        SetDlgItemTextA(find, IDC_FIND_STATUS, ""); // the search writes it anew
        SetFocus(field);
        PostMessageA(field, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(field, WM_KEYUP, VK_RETURN, 0xC0000001);
        EXPECT_TRUE(pump_until([&] { return !status().empty() && status() != "Searching..."; }))
            << "no outcome: " << status();
        return status();
    }

    std::vector<std::string> results() const {
        std::vector<std::string> lines;
        HWND list = GetDlgItem(find, IDC_FIND_RESULTS);
        int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; row++) {
            char text[1024] = "";
            SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        return lines;
    }

    void add_results(std::initializer_list<int> rows) {
        for (int row : rows)
            SendDlgItemMessageA(find, IDC_FIND_RESULTS, LB_SETSEL, TRUE, row);
        SendMessageA(find, WM_COMMAND, MAKEWPARAM(IDC_FIND_ADD, BN_CLICKED), 0);
    }

    // The server's request log, one JSON line each.
    static std::vector<std::string> requests() {
        std::ifstream in(fixture_file("requests.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static std::string value_of(const std::string &section, const std::string &key,
                                const std::string &file) {
        char text[1024] = "";
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", text, sizeof text,
                                 file.c_str());
        return text;
    }
};

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

TEST_F(FindTest, SearchAddThreeAfterAGroupAndSaveKeepsThemAndEverySetting) {
    open_find("my_own_key=kept as typed\r\n[stations]\r\nstation_count=2\r\n"
              "station_name_1=Jazz\r\nstation_url_1=null\r\n"
              "station_name_2=Other\r\nstation_url_2=http://other/\r\n",
              origin);
    click_row(0);
    SetDlgItemTextA(find, IDC_FIND_TAG, "smooth"); // marks this test's request in the log
    EXPECT_EQ(search_for("jazz"), "Found 100 stations.");
    std::vector<std::string> lines = results();
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[0], "Jazz 1\tMP3\t128 kbps\tDE");
    EXPECT_EQ(lines[4], "Jazz 5\tFLAC\t\tGB"); // bitrate 0: unknown, not shown

    // The directory's rules: what the search asked, and who asked.
    std::vector<std::string> asked;
    for (const std::string &line : requests())
        if (contains(line, R"("tag": "smooth")"))
            asked.push_back(line);
    ASSERT_EQ(asked.size(), 1u);
    const std::string &search = asked.back();
    for (const char *part :
         {R"("path": "/json/stations/search")", R"("name": "jazz")", R"("hidebroken": "true")",
          R"("limit": "100")", R"("order": "clickcount")", R"("reverse": "true")"})
        EXPECT_TRUE(contains(search, part)) << part << " in " << search;
    EXPECT_TRUE(
        contains(search, std::string(R"("user_agent": "Brevora/)") + BREVORA_VERSION_TEXT + "\""))
        << search;

    add_results({0, 2, 4});
    EXPECT_EQ(names(), (std::vector<std::string>{"Jazz", "Jazz 1", "Jazz 3", "Jazz 5", "Other"}));
    expect_list_matches_box();
    EXPECT_EQ(selected_row(), 1);
    EXPECT_EQ(status(), "Added 3 stations to the list. Save keeps them.");
    EXPECT_EQ(value_of("stations", "station_count", ini_path), "2") << "written before Save";
    // One click counted for each, in the background.
    const std::string clicked = "/json/url/5ca1ab1e-0000-4000-8000-0001000000";
    std::vector<std::string> clicks;
    EXPECT_TRUE(pump_until(
        [&] {
            clicks.clear();
            for (const std::string &line : requests())
                if (size_t at = line.find(clicked); at != std::string::npos)
                    clicks.push_back(line.substr(at + clicked.size(), 2));
            return clicks.size() >= 3;
        },
        15000, 20));
    std::sort(clicks.begin(), clicks.end());
    EXPECT_EQ(clicks, (std::vector<std::string>{"00", "02", "04"}));

    SendMessageA(find, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(find));
    command(IDC_SAVE);
    EXPECT_EQ(value_of("stations", "station_count", ini_path), "5");
    EXPECT_EQ(value_of("stations", "station_name_3", ini_path), "Jazz 3");
    EXPECT_EQ(value_of("stations", "station_url_3", ini_path), origin + "/stream/jazz-3");
    EXPECT_EQ(value_of("config", "my_own_key", ini_path), "kept as typed");
    EXPECT_EQ(value_of("config", "directory", ini_path), origin);
    EXPECT_EQ(value_of("config", "lame_options", ini_path), "-b 128");
}

TEST_F(FindTest, EveryOutcomeHasItsLineAndDeadServersAreSkipped) {
    open_find("", std::string(dead_server) + " " + origin);
    struct row {
        const char *name;
        std::string status;
        size_t results;
    };
    const row rows[] = {
        {"jazz", "Found 100 stations.", 100}, // after the dead server
        {"overlimit", "Found 100 stations.", 100},
        {"nothing", "No stations found.", 0},
        {"malformed", "The answer from " + origin + " is not the station directory's.", 0},
        {"huge", "The answer from " + origin + " is too large.", 0},
    };
    for (const row &expected : rows) {
        EXPECT_EQ(search_for(expected.name), expected.status) << expected.name;
        EXPECT_EQ(results().size(), expected.results) << expected.name;
    }
    set_directory(std::string(dead_server) + "  http://127.0.0.1:9/");
    EXPECT_EQ(search_for("jazz"),
              "No directory server answered. Tried: http://127.0.0.1:1, http://127.0.0.1:9.");
    EXPECT_EQ(row_count(), 0);
}

TEST_F(FindTest, TheSearchGoesThroughThePlayersProxyWhenItIsOn) {
    // Nothing listens at the directory's address: only the proxy can answer for it. (A name,
    // not the proxy's own address: Wine's WinHTTP then sends the proxy a path only.)
    const std::string proxy = origin.substr(std::strlen("http://"));
    open_find("", "http://localhost:1");
    WritePrivateProfileStringA("config", "use_proxy", "on", ini_path);
    WritePrivateProfileStringA("config", "proxy", proxy.c_str(), ini_path);
    SetDlgItemTextA(find, IDC_FIND_TAG, "proxied"); // marks this test's request in the log
    EXPECT_EQ(search_for("jazz"), "Found 100 stations.");
    std::vector<std::string> asked;
    for (const std::string &line : requests())
        if (contains(line, R"("tag": "proxied")"))
            asked.push_back(line);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(contains(asked[0], R"("via_proxy": true)")) << asked[0];

    // "On" is not "on": a direct connection, which nothing answers.
    WritePrivateProfileStringA("config", "use_proxy", "On", ini_path);
    EXPECT_EQ(search_for("jazz"), "No directory server answered. Tried: http://localhost:1.");
}

TEST_F(FindTest, ASlowSearchKeepsTheWindowFreeAndCloseEndsItAtOnce) {
    open_find("", origin);
    HWND field = GetDlgItem(find, IDC_FIND_NAME);
    SetWindowTextA(field, "slow");
    SendMessageA(find, WM_COMMAND, IDC_FIND_SEARCH, 0);
    EXPECT_EQ(status(), "Searching...");
    // A new search supersedes it: its answer, whenever it comes, is dropped.
    EXPECT_EQ(search_for("nothing"), "No stations found.");

    SetWindowTextA(field, "slow");
    SendMessageA(find, WM_COMMAND, IDC_FIND_SEARCH, 0);
    ULONGLONG start = GetTickCount64();
    SendMessageA(find, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(find));
    EXPECT_LT(GetTickCount64() - start, 1000u) << "Close waited for the search";
}

TEST_F(FindTest, NamesAreFittedToTheCodePageAndLongAddressesLeftOut) {
    ASSERT_EQ(GetACP(), 1252u) << "the expected bytes below are Windows-1252's";
    open_find("", origin);
    EXPECT_EQ(search_for("fit"),
              "Found 4 stations. 1 left out: their address is too long for stations.ini.");
    std::vector<std::string> lines = results();
    ASSERT_EQ(lines.size(), 3u);
    add_results({0, 1, 2});
    SendMessageA(find, WM_COMMAND, IDCANCEL, 0);
    command(IDC_SAVE);
    // Read back as the programs read it, through 200-byte buffers.
    char text[200];
    GetPrivateProfileStringA("stations", "station_name_1", "", text, sizeof text, ini_path);
    EXPECT_EQ(std::string(text), "Caf\xe9 \xdcml\xe4ut ?? \x80");
    GetPrivateProfileStringA("stations", "station_name_2", "", text, sizeof text, ini_path);
    EXPECT_EQ(std::string(text), std::string(199, '\xe9'));
    EXPECT_EQ(value_of("stations", "station_url_3", ini_path), origin + "/listen.pls");
    EXPECT_EQ(value_of("stations", "station_count", ini_path), "3");
}

TEST_F(FindTest, FindButtonOpensTheDialogOverTheEditor) {
    open_window_on("[config]\r\ndirectory=" + origin + "\r\n");
    HWND shown = nullptr, owner = nullptr;
    find_dialog_handler = [&](HWND window) {
        shown = window;
        owner = GetWindow(window, GW_OWNER);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "not modal";
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    };
    command(IDC_FIND);
    EXPECT_NE(shown, nullptr);
    EXPECT_EQ(owner, dialog);
    EXPECT_TRUE(IsWindowEnabled(dialog));
}

} // namespace
