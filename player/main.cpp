// The program's entry: everything else is in player_core, which the tests link too.
#include "player_main.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return player_main();
}
