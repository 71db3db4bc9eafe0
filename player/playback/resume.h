// "Play last station at start": with [player] resume=on in brevora.ini the player remembers
// the station last chosen from the list (by its name and address, not its row: the editor may
// move rows) and the volume, and at start sets that volume and plays that station if the list
// still has it. With resume off, nothing is remembered and start-up is as without it. All on
// the window's thread.
#pragma once

bool resume_enabled();
// The system menu's item: also remembers the station chosen now and the volume.
void set_resume_enabled(bool on);

// A station of the list was chosen (row index).
void remember_chosen_station(int row);
// The volume slider moved (or the window closes); settled once the user let go of it.
void remember_volume(bool settled);

// Start-up, once the window shows: sets the remembered volume and chooses the remembered
// station. False (and nothing done) when resume is off or the list no longer has it.
bool resume_last_station();
