// For the Windows audio tests: frees the audio library, and with it every stream and library
// thread, when a test leaves its scope on any path, an early ASSERT_ return included. Declare
// it after the locals the test hands the library as callback state, so they outlive it.
#pragma once

#include "brevora_audio.h"

class audio_library_scope {
  public:
    audio_library_scope() = default;
    ~audio_library_scope() { BASS_Free(); } // fails harmlessly if the test freed it already
    audio_library_scope(const audio_library_scope &) = delete;
    audio_library_scope &operator=(const audio_library_scope &) = delete;
};
