// The encoder handles the API hands out. Every function may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>

namespace audio {

class encoder;

// 0 when every handle is taken.
uint32_t register_encoder(std::shared_ptr<encoder> started);
std::shared_ptr<encoder> find_encoder(uint32_t handle);
// Forgets the handle and returns its encoder (null when the handle named nothing).
std::shared_ptr<encoder> forget_encoder(uint32_t handle);

} // namespace audio
