// Drives the programs of an unpacked package as separate processes, as a user would: the
// editor lists every row of the packaged stations.ini, and the player plays a local station
// and records it through the packaged lame.exe. Run by package_test.sh, which unpacks the zip,
// starts the station and passes (environment):
//   BREVORA_PACKAGE_FOLDER   the unpacked folder (a Windows path)
//   BREVORA_PACKAGE_STATION  the station's URL
//   BREVORA_PACKAGE_TITLE    the song title the station announces
#include "id3v2_length.h"
#include "player_harness.h" // eventually()
#include "player_ids.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string setting(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string package_file(const std::string &name) {
    return setting("BREVORA_PACKAGE_FOLDER") + "\\" + name;
}

std::string file_content(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void write_file(const std::string &path, const std::string &content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}

long long file_size(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string window_text(HWND window) {
    char text[512] = "";
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    return text;
}

// One program of the package, started in its own process; closed and waited for at the end.
class program_process {
  public:
    program_process(const std::string &exe, const std::string &current_folder) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string command = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  current_folder.c_str(), &startup, &process_);
    }
    ~program_process() {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    program_process(const program_process &) = delete;
    program_process &operator=(const program_process &) = delete;

    bool started() const { return started_; }

    // The process's visible top-level window with this title, or null after 60 s.
    HWND wait_for_window(const char *title) {
        HWND found = nullptr;
        eventually(
            [&] {
                found = FindWindowA(nullptr, title);
                DWORD owner = 0;
                if (found)
                    GetWindowThreadProcessId(found, &owner);
                return found && owner == process_.dwProcessId && IsWindowVisible(found);
            },
            60000);
        return found;
    }

    // Closes the window as its close box does; the exit code, or -1 if it did not end.
    int close(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

  private:
    bool started_ = false;
    PROCESS_INFORMATION process_ = {};
};

TEST(Package, TheEditorListsEveryPackagedStation) {
    const std::string ini = package_file("stations.ini");
    const int rows = GetPrivateProfileIntA("stations", "station_count", 0, ini.c_str());
    ASSERT_GE(rows, 15) << ini;

    program_process editor(package_file("brevora-editor.exe"), setting("BREVORA_PACKAGE_FOLDER"));
    ASSERT_TRUE(editor.started()) << GetLastError();
    HWND window = editor.wait_for_window("Station Editor");
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, 1002);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), rows);
    for (int row = 0; row < rows; ++row) {
        char name[256] = "";
        GetPrivateProfileStringA("stations", ("station_name_" + std::to_string(row + 1)).c_str(),
                                 "", name, sizeof name, ini.c_str());
        // Only the wide form of LB_GETTEXT is carried across processes whole.
        wchar_t shown[512] = L"";
        ASSERT_LT(SendMessageW(list, LB_GETTEXTLEN, row, 0), 512);
        SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(shown));
        char shown_text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, shown, -1, shown_text, sizeof shown_text, nullptr, nullptr);
        const std::string text = shown_text;
        EXPECT_TRUE(name[0] && text.size() > strlen(name) &&
                    text.compare(text.size() - strlen(name), std::string::npos, name) == 0)
            << "row " << row + 1 << ": \"" << text << "\" for \"" << name << "\"";
    }
    EXPECT_EQ(editor.close(window), 0);
}

// The player reads the stations.ini beside it: the test puts the local station there and
// gives the packaged file back afterwards.
class PackagedPlayer : public ::testing::Test {
  protected:
    void SetUp() override {
        packaged_list = file_content(ini);
        ASSERT_FALSE(packaged_list.empty());
        write_file(ini, "[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                        "station_url_1=null\r\nstation_name_2=Package test\r\nstation_url_2=" +
                            setting("BREVORA_PACKAGE_STATION") + "\r\n");
        char temporary[MAX_PATH];
        GetTempPathA(MAX_PATH, temporary);
        recordings = std::string(temporary) + "brevora-package-recordings";
        CreateDirectoryA(recordings.c_str(), nullptr);
    }
    void TearDown() override {
        if (!packaged_list.empty())
            write_file(ini, packaged_list);
    }

    const std::string ini = package_file("stations.ini");
    std::string packaged_list;
    std::string recordings; // the player's current folder, where recordings land
};

TEST_F(PackagedPlayer, PlaysTheLocalStationAndRecordsItIntoAnMp3NamedAfterTheSong) {
    const std::string title = setting("BREVORA_PACKAGE_TITLE");
    const std::string recording = recordings + "\\" + title + ".mp3";
    const std::string working_file = recordings + "\\rec.mp3";
    DeleteFileA(recording.c_str());
    DeleteFileA(working_file.c_str());

    program_process player(package_file("brevora.exe"), recordings);
    ASSERT_TRUE(player.started()) << GetLastError();
    HWND window = player.wait_for_window("Brevora");
    ASSERT_NE(window, nullptr);
    // Row 2 is the station (row 1 its group): chosen from the menu.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    HWND bitrate = GetDlgItem(window, IDC_BITRATE_LABEL);
    HWND title_line = GetDlgItem(window, IDC_TITLE_LINE);
    EXPECT_TRUE(eventually([&] { return window_text(bitrate) == "128 Kbps MP3"; }, 60000))
        << window_text(GetDlgItem(window, IDC_STATION_LINE)) << " / " << window_text(bitrate);
    ASSERT_TRUE(eventually([&] { return window_text(title_line) == title; }, 60000))
        << window_text(title_line);

    HWND record = GetDlgItem(window, IDC_RECORD);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RECORD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(record));
    ASSERT_TRUE(eventually([&] { return window_text(window) == "Brevora  [REC]"; }));
    // Three seconds of 128 kbps MP3, written by lame.exe as it encodes.
    constexpr long long three_seconds = 3 * 128000 / 8;
    EXPECT_TRUE(eventually([&] { return file_size(working_file) >= three_seconds; }, 60000))
        << file_size(working_file) << " bytes of rec.mp3";
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RECORD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(record));
    EXPECT_TRUE(eventually([&] { return window_text(window) == "Brevora"; }));
    // Finished, named and then tagged on a thread of its own: done once the tag is there.
    EXPECT_TRUE(eventually([&] {
        return file_size(recording) >= three_seconds &&
               file_content(recording).rfind("ID3", 0) == 0;
    })) << recording;
    EXPECT_EQ(file_size(working_file), -1);
    const std::string mp3 = file_content(recording);
    // The player's ID3v2.3 tag, then an MPEG-1 Layer III frame header as lame.exe writes it.
    ASSERT_GE(mp3.size(), 12u);
    ASSERT_EQ(mp3.compare(0, 4, "ID3\x03"), 0);
    const size_t frames =
        id3v2_length(reinterpret_cast<const unsigned char *>(mp3.data()), mp3.size());
    ASSERT_GE(mp3.size(), frames + 2);
    EXPECT_EQ(static_cast<unsigned char>(mp3[frames]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(mp3[frames + 1]) & 0xFE, 0xFA);

    EXPECT_EQ(player.close(window), 0);
    DeleteFileA(recording.c_str());
}

} // namespace
