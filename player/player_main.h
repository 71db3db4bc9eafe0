// The player's start-up and orderly end; returns the exit code (always 0). start_argument is
// the command line's station link (an address or a playlist file), or null; a second start
// hands it to the player already running and ends at once.
#pragma once

int player_main(const wchar_t *start_argument = nullptr);
