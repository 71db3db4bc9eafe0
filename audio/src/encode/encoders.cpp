#include "encoders.h"

#include "core/handle_table.h"
#include "encoder.h"

namespace audio {

namespace {

handle_table<encoder> &encoders() {
    static handle_table<encoder> table;
    return table;
}

} // namespace

uint32_t register_encoder(std::shared_ptr<encoder> started) {
    return encoders().add(std::move(started));
}

std::shared_ptr<encoder> find_encoder(uint32_t handle) {
    return encoders().find(handle);
}

std::shared_ptr<encoder> forget_encoder(uint32_t handle) {
    return encoders().remove(handle);
}

} // namespace audio
