// The player's icon in the notification area, from start to exit, added again when Explorer
// restarts; its tip says what plays (and when the sleep timer ends), its balloon names a new
// song. A left click shows the window or, when it is in front, hides it; a right click opens
// the tray menu. The texts are pure (any thread); the icon is the window's thread's.
#pragma once

#include <cstddef>
#include <string>

// The shell's buffers, in UTF-16 units without their terminator.
constexpr size_t tip_units_max = 127;
constexpr size_t balloon_text_units_max = 255;
constexpr size_t balloon_title_units_max = 63;

// The text whole when it fits max_units; else its start, cut where a character ends (never
// inside a surrogate pair, never before a combining mark) and ended with "…".
std::u16string fit_to_characters(const std::u16string &text, size_t max_units);

// The tip: "Brevora" when stopped; while a station plays, the song title (the station when
// there is none) over the station; then "Sleep in N min" while the timer runs. Fitted whole:
// the sleep line is kept, the station line cut to half the room, the title to the rest.
std::u16string notification_tip(bool playing, const std::u16string &title,
                                const std::u16string &station, int sleep_minutes_left);

// Once per song: a balloon for a title only when it differs from the last title seen on
// the same station (a reconnect brings the same title back), never for an empty title.
// Titles seen while balloons are off or the window is in front count as seen.
class song_notice_rule {
  public:
    bool should_notify(int station_row, const std::u16string &title, bool enabled,
                       bool window_in_front);
    void forget() { last_row_ = -1, last_title_.clear(); }

  private:
    int last_row_ = -1;
    std::u16string last_title_;
};

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

// What the icon hands the shell goes through this call: Shell_NotifyIconW unless a test has
// put its own stand-in for the shell here (null gives Shell_NotifyIconW back).
using notify_icon_call = BOOL(WINAPI *)(DWORD message, NOTIFYICONDATAW *data);
void set_notify_icon_call(notify_icon_call call);

// Set-up: adds the icon. Returns whether the shell took it; a shell that was not there yet
// gets it with its "TaskbarCreated".
bool add_notification_icon(HWND window);
// Whether the icon is in the notification area: only then may the window hide in it.
bool notification_icon_shown();
// Whether message is the shell's "TaskbarCreated" (Explorer restarted); adds the icon again.
bool handle_taskbar_created(UINT message);
// Shows the state of the player in the tip: the texts of the window, the sleep timer.
void refresh_notification_tip();
// A new title in the title line: a balloon when the rule and the option allow, and the tip.
void notify_song_changed();
// WM_NOTIFICATION_ICON.
void handle_notification_icon_message(LPARAM mouse_message);
// Shows the window, restored, in front.
void show_main_window();
// Window's destruction: removes the icon.
void remove_notification_icon();
#endif
