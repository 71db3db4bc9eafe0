// Windows Media HTTP streaming framing. Packet lengths come from the network: each is at most
// 64 KiB by its 16-bit field, the gathered header is capped by max_asf_header_size, and a
// data packet larger than the header's packet size ends the stream rather than misalign it.
#include "input/wms/wmsp_framing.h"

#include <algorithm>

namespace audio {

namespace {

constexpr size_t framing_head = 4; // '$', type, 16-bit length of what follows
// Location id, incarnation, flags and a repeat of the length, before a header or data payload.
constexpr size_t payload_head = 8;

} // namespace

void wmsp_deframer::feed(const uint8_t *data, size_t size) {
    if (failed_ || ended_)
        return;
    input_.insert(input_.end(), data, data + size);
    size_t used = 0;
    while (!failed_ && !ended_ && input_.size() - used >= framing_head) {
        const uint8_t *p = input_.data() + used;
        if (p[0] != '$') {
            fail();
            return;
        }
        size_t length = static_cast<size_t>(p[2] | p[3] << 8);
        if (input_.size() - used - framing_head < length)
            break; // the rest of this packet is still on its way
        // The type's top bit is a flag of its own; the letter is in the low seven.
        take_packet(static_cast<char>(p[1] & 0x7f), p + framing_head, length);
        used += framing_head + length;
    }
    if (!failed_)
        input_.erase(input_.begin(), input_.begin() + static_cast<long>(used));
}

void wmsp_deframer::take_packet(char type, const uint8_t *body, size_t size) {
    switch (type) {
    case 'H': {
        if (size < payload_head)
            return fail();
        header_bytes_.insert(header_bytes_.end(), body + payload_head, body + size);
        asf_header parsed;
        asf_parse result = parse_asf_header(header_bytes_.data(), header_bytes_.size(), &parsed);
        if (result == asf_parse::invalid)
            return fail();
        if (result == asf_parse::need_more) {
            if (header_bytes_.size() > max_asf_header_size + asf_data_object_head)
                fail();
            return;
        }
        if (parsed.packet_size == 0 || header_bytes_.size() != parsed.data_start)
            return fail(); // data packets could not be told apart
        header_ = std::move(parsed);
        has_header_ = true;
        output_.insert(output_.end(), header_bytes_.begin(), header_bytes_.end());
        header_bytes_.clear();
        return;
    }
    case 'D': {
        if (size < payload_head || !has_header_ || !header_bytes_.empty())
            return fail(); // data before a whole header: the header was cut short
        size_t payload = size - payload_head;
        if (payload > header_.packet_size)
            return fail();
        output_.insert(output_.end(), body + payload_head, body + size);
        // Servers leave out a packet's padding; the demuxer expects it.
        output_.resize(output_.size() + header_.packet_size - payload, 0);
        return;
    }
    case 'C':
        // A new header follows: whatever was gathered of one is void.
        header_bytes_.clear();
        return;
    case 'E':
        ended_ = true;
        return;
    default:
        return; // metadata, packet pairs: nothing to play
    }
}

size_t wmsp_deframer::take(uint8_t *out, size_t size) {
    size_t count = std::min(size, output_.size() - output_start_);
    std::copy_n(output_.begin() + static_cast<long>(output_start_), count, out);
    output_start_ += count;
    if (output_start_ == output_.size()) {
        output_.clear();
        output_start_ = 0;
    }
    return count;
}

} // namespace audio
