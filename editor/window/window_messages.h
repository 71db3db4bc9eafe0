// Every message of the editor's own (WM_APP and above) that reaches one of its windows: who
// sends it, from which thread, and what the window does with it. The editor window itself
// receives none; everything else it gets is the system's.
#pragma once

#include <windows.h>

// Posted by a directory search's worker thread (directory/directory_search.cpp) to the
// "Find stations" dialog, once the search has left its outcome on the board; wParam is the
// search's serial. The dialog, on its own thread, takes the outcome if it is still the
// newest search's and shows it; an older search's message finds nothing and is dropped.
constexpr UINT search_done_message = WM_APP + 17;
