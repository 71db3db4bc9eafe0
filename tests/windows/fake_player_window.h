// The player's window against the scriptable fake audio library, fresh for every test.
#pragma once

#include "fake_audio.h"
#include "player_harness.h"

class PlayerWindow : public PlayerHarness {
  protected:
    void SetUp() override {
        reset_fake_audio();
        PlayerHarness::SetUp();
    }
};
