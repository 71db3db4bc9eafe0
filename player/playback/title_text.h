// Station texts (titles, names) to UTF-16 for the window. Pure; any thread.
#pragma once

#include <cstddef>
#include <string>

// Decodes exactly length bytes: as UTF-8 when they are valid UTF-8, else as Windows-1252,
// the encoding older stations send, with every byte mapped (the five it leaves undefined
// to the same code points).
std::u16string decode_station_text(const char *text, size_t length);
