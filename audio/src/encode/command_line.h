// Splits a command line into its program and arguments by the rules Windows programs use,
// so the same line the player builds for Windows ("lame.exe -b 128 - \"rec.mp3\"") starts
// the encoder natively too. Pure.
#pragma once

#include <string>
#include <vector>

namespace audio {

// Arguments are separated by blanks and tabs outside double quotes. The program name ends at
// the next blank, or at the closing quote when it starts with one; backslashes in it are
// plain characters. In the arguments that follow:
// - 2n backslashes before a quote give n backslashes and the quote opens or closes quoting;
// - 2n + 1 backslashes before a quote give n backslashes and a literal quote;
// - backslashes before anything else are plain characters;
// - inside quotes, two quotes in a row give one literal quote.
std::vector<std::string> split_command_line(const std::string &line);

} // namespace audio
