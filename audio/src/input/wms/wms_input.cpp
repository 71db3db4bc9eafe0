#include "input/wms/wms_input.h"

namespace audio {

long wms_input::read(uint8_t *buffer, size_t size) {
    if (size == 0)
        return 0;
    for (;;) {
        size_t ready = deframer_.take(buffer, size);
        if (ready > 0) {
            returned_ += ready;
            return static_cast<long>(ready);
        }
        if (deframer_.ended() || deframer_.failed())
            return 0; // the broadcast ended, or its framing broke
        long got = framed_->read(buffer, size);
        if (got <= 0)
            return got;
        deframer_.feed(buffer, static_cast<size_t>(got));
    }
}

void wms_input::on_reconnect(const std::string &content_type) {
    deframer_ = wmsp_deframer();
    listener_.on_reconnect(content_type);
}

} // namespace audio
