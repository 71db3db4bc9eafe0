// The player's start-up and orderly end; returns the exit code (always 0).
#pragma once

int player_main();
