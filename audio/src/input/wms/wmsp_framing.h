// The framing of the Windows Media HTTP streaming protocol: the body of a streaming answer is
// a sequence of framed packets ("$H" ASF header, "$D" ASF data packet, "$C" stream change,
// "$E" end of stream, and others that carry nothing to play). This turns it back into a plain
// ASF stream: each complete header, then each data packet padded to the header's packet
// size. A new header after "$C" follows at a packet boundary, where the decoder looks for it.
//
// Threads: one owner (the stream's download thread).
#pragma once

#include "input/wms/asf_header.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

class wmsp_deframer {
  public:
    // Takes body bytes in any pieces.
    void feed(const uint8_t *data, size_t size);
    // Moves up to `size` bytes of the plain ASF stream into `out`; returns how many.
    size_t take(uint8_t *out, size_t size);

    bool ended() const { return ended_; }   // "$E" came: nothing more will
    bool failed() const { return failed_; } // the framing broke: nothing more will
    // The current header, once one is complete.
    const asf_header *header() const { return has_header_ ? &header_ : nullptr; }

  private:
    void take_packet(char type, const uint8_t *body, size_t size);
    void fail() {
        failed_ = true;
        input_.clear();
    }

    std::vector<uint8_t> input_;        // framed bytes not yet consumed: at most one packet
    std::vector<uint8_t> output_;       // plain ASF bytes not yet taken
    size_t output_start_ = 0;           // bytes of output_ already taken
    std::vector<uint8_t> header_bytes_; // a header being gathered from "$H" packets
    asf_header header_;
    bool has_header_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

} // namespace audio
