// brevora-editor: edits the station list that the player reads.
#include "editor_dialog.h"
#include "station_file.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    locate_station_file();
    run_editor(instance);
    return 0;
}
