// The notification icon's menu (a right click): Stations (the Stations button's menu itself,
// check marks included), Play, Stop, Record (checked while recording), Songs (checked as the
// box), Sleep timer, Copy song title, Exit. Play, Stop, Record and the stations send the
// commands their buttons send, so each does exactly what its button does. All on the
// window's thread.
#pragma once

// Shows the menu at the mouse; its choice arrives as a WM_COMMAND.
void show_tray_menu();
// The menu's own commands (Songs, Copy song title, Exit); false for any other.
bool handle_tray_menu_command(int command_id);
