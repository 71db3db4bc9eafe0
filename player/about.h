// The About box: the program, its version, what it plays and what built it.
#pragma once

// Window's thread: the "?" button.
void show_about();
