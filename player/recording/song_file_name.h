// A recorded song's file name, from its title. Titles are text from a stranger's server, so
// everything here treats them as hostile: bounded, cleaned, never split inside a character.
// Pure; any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The recording's file name (no folder) for a song: the title made a valid Windows file name,
// " (part)" when the file misses its song's start or end, " (2)" ... " (999)" while `exists`
// says the name is taken, and ".mp3". The name and its terminator fit `room` characters: the
// title is cut to make room, never inside a surrogate pair. "" when the title leaves nothing
// usable or every number is taken: the caller then names the file otherwise.
std::u16string song_file_name(const std::u16string &title, bool part,
                              const std::function<bool(const std::u16string &)> &exists,
                              size_t room);
