// Playing a station outside the list: an address or a playlist file given on the command line
// (brevora.exe ADDRESS|FILE) or handed over by a second start. While one plays, no row of the
// Stations menu is checked, Play plays it again, and the station line shows the stream's own
// name. All on the window's thread.
#pragma once

#include <string>

// Before the window opens: the link the command line gave (empty for none); also forgets the
// link of an earlier run in this process (tests).
void reset_station_links(const std::wstring &start_link);
// A link to play once the window reads WM_PLAY_STATION_LINK (a second start's hand-over).
void set_pending_station_link(const std::wstring &link);
// Plays the pending link, if there is one; false when there was none.
bool play_pending_station_link();

// Play and the media keys: plays the link again when the last station played was one (without
// moving the focus); false otherwise.
bool replay_station_link();
// A station of the list was chosen: Play plays that one from now on.
void forget_station_link();
// The station last played is a link, not a row of the list.
bool station_link_chosen();

// The playing station's name: its name in the list, or for a link the stream's own name (its
// address while the stream has told none). Empty when nothing plays.
std::wstring playing_station_name();
// The address of the station last chosen, from the list or a link (a recording's tag).
std::wstring playing_station_address();
