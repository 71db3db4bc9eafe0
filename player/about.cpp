#include "about.h"

#include "playback/player_state.h"
#include "version.h"

namespace {

#define STRINGIFY_VALUE(x) #x
#define STRINGIFY(x) STRINGIFY_VALUE(x)

// Kept by hand: the formatter would split the macro calls across lines.
// clang-format off
const char about_text[] =
    "Brevora v" BREVORA_VERSION_SHORT "\n"
    "A small, fast internet radio player.\n"
    "\n"
    "Supports MP3, WMA, ASX, AAC, AAC+ & Ogg Vorbis Streams (SHOUTcast, Icecast etc...)\n"
    "Built with MinGW-w64 GCC " STRINGIFY(__GNUC__) "." STRINGIFY(__GNUC_MINOR__) "\n"
    "\n"
    "Visit https://brevora.org";
// clang-format on

} // namespace

void show_about() {
    SetFocus(main_window);
    MessageBoxA(main_window, about_text, "About", MB_OK | MB_ICONINFORMATION);
}
