// Runs the player's real start-up and modal dialog on a thread of the test process, so a
// test can drive the window with the messages a user's clicks send and read back its state.
#pragma once

#include "call_site.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

class PlayerHarness : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes brevora.ini beside the test program; every test starts and ends without one.
    void write_player_settings(const std::string &content,
                               const call_site &where = call_site::current());
    // Writes stations.ini beside the test program (empty content removes it).
    void write_station_file(const std::string &content,
                            const call_site &where = call_site::current());
    // Starts the player and waits until its window shows; false if it never did.
    bool start_player();
    // Closes the window as the close box does and waits for the player to end.
    void close_player(const call_site &where = call_site::current());

    // Runs a command on the window's thread, as a click would.
    void click(int control_id);
    std::string control_text(int control_id);
    std::wstring control_wide_text(int control_id);
    std::string window_title();

    // Waits for a message box with this caption on any thread; null after timeout_ms.
    HWND wait_for_message_box(const wchar_t *caption, int timeout_ms = 15000);
    // The text of a message box, and closes it.
    std::wstring answer_message_box(HWND box);

    // Runs on the player's thread just before the player starts (tests set up COM there).
    std::function<void()> before_start;
    // The command line's station link the player starts with; empty for none.
    std::wstring start_argument;
    std::thread player_thread;
    int exit_code = -1;
    std::atomic<bool> player_ended{false};
    HANDLE ended_event = nullptr;
};

// A port of the test server a CTest fixture started (tests/servers/server_fixture_ctl.sh):
// the value of `name` in the JSON line it left in the folder the environment variable
// `state_variable` names; 0 when there is none.
int server_fixture_port(const char *state_variable, const std::string &name = "http");

// While it lives, a folder of the test's own under the temporary folder is the current one
// (recordings land in the current folder); it is emptied before and removed after.
class scratch_current_folder {
  public:
    explicit scratch_current_folder(const wchar_t *name);
    ~scratch_current_folder();
    scratch_current_folder(const scratch_current_folder &) = delete;
    scratch_current_folder &operator=(const scratch_current_folder &) = delete;

  private:
    void empty();
    wchar_t folder_[MAX_PATH] = L"";
    wchar_t previous_[MAX_PATH] = L"";
};

// A visible message box of this process with the caption (any caption when null), or null.
HWND find_message_box(const wchar_t *caption);

// Waits until condition() holds or timeout_ms pass, checking every 10 ms, pumping nothing.
// Only for what announces itself to nobody: window texts and windows of the player's threads.
template <typename Condition> bool eventually(Condition condition, int timeout_ms = 15000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}
