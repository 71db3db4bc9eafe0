// The notification icon's menu (a right click): Stations (the Stations button's menu itself,
// check marks included), Play, Stop, Record (checked while recording), Songs (checked as the
// box), Sleep timer, Copy song title, History..., Exit. Play, Stop, Record, the stations,
// Copy and History send the commands their buttons and keys send, so each does exactly what
// they do. All on the window's thread.
#pragma once

// Shows the menu at the mouse; its choice arrives as a WM_COMMAND.
void show_tray_menu();
// The menu's own commands (Songs, Exit); false for any other.
bool handle_tray_menu_command(int command_id);
