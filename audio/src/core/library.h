// Whether BASS_Init has run and which output the library plays through.
#pragma once

namespace audio {

bool library_initialised();

} // namespace audio
