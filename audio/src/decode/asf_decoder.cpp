// ASF streams: the header is read and parsed here (tags, packet size), then the FFmpeg
// decoder reads the header again and the data packets after it. A live server may start a
// new header between two packets (a new program, or a reconnect): the packets are counted,
// so a header object at a packet boundary ends the current FFmpeg decoder and a new one
// starts on the new header.
//
// Threads: as decoder.h: one thread at a time.
#include "decoder.h"

#include "brevora_audio.h"
#include "input/wms/asf_header.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {

class asf_decoder final : public decoder {
  public:
    asf_decoder(const stream_format &format, byte_source source, int output_rate)
        : format_(format), source_(std::move(source)), output_rate_(output_rate) {}

    // Reads a header and opens a decoder on it. BASS_OK or an error code.
    int open_next() {
        int error = read_header();
        if (error != BASS_OK)
            return error;
        inner_ = open_ffmpeg_decoder(
            format_, [this](uint8_t *buffer, size_t size) { return read_packets(buffer, size); },
            output_rate_, &error);
        if (!inner_)
            return error;
        inner_->set_error_time_out(error_time_out_);
        return BASS_OK;
    }

    bool decode(chunk &out) override {
        for (;;) {
            if (inner_ && inner_->decode(out))
                return true;
            if (!header_follows_)
                return false;
            header_follows_ = false;
            // What the old header's decoder still gives is lost with it: a fraction of a
            // packet at the join.
            std::vector<std::string> commands = std::move(out.script_commands);
            if (open_next() != BASS_OK)
                return false;
            if (inner_->decode(out)) {
                out.new_header = true;
                out.script_commands.insert(out.script_commands.begin(), commands.begin(),
                                           commands.end());
                return true;
            }
            return false;
        }
    }

    int sample_rate() const override { return inner_ ? inner_->sample_rate() : 0; }
    int channels() const override { return inner_ ? inner_->channels() : 0; }
    uint32_t bitrate_kbps() const override {
        if (header_.max_bitrate)
            return (header_.max_bitrate + 999) / 1000;
        return inner_ ? inner_->bitrate_kbps() : 0;
    }
    std::vector<std::string> comments() const override { return header_.tags; }

  private:
    // Reads from the source into lookahead_ until it holds `wanted` bytes. False at the end
    // or when cancelled (cancelled_ says which).
    bool fill_lookahead(size_t wanted) {
        uint8_t block[4096];
        while (lookahead_.size() < wanted) {
            long got = source_(block, std::min(sizeof block, wanted - lookahead_.size()));
            if (got <= 0) {
                cancelled_ = got < 0;
                return false;
            }
            lookahead_.insert(lookahead_.end(), block, block + got);
        }
        return true;
    }

    int read_header() {
        for (size_t wanted = 4096;; wanted *= 2) {
            wanted = std::min(wanted, max_asf_header_size + asf_data_object_head);
            bool filled = fill_lookahead(wanted);
            asf_header parsed;
            asf_parse result = parse_asf_header(lookahead_.data(), lookahead_.size(), &parsed);
            if (result == asf_parse::ok) {
                header_ = std::move(parsed);
                position_ = 0;
                return BASS_OK;
            }
            if (result == asf_parse::invalid)
                return BASS_ERROR_FILEFORM;
            if (cancelled_)
                return BASS_ERROR_FILEFORM;
            if (!filled)
                return BASS_ERROR_ENDED;
            if (wanted == max_asf_header_size + asf_data_object_head)
                return BASS_ERROR_FILEFORM;
        }
    }

    // The FFmpeg decoder's byte source: the header, then whole packets until a new header.
    long read_packets(uint8_t *buffer, size_t size) {
        if (header_follows_)
            return 0;
        size_t allowed = size;
        if (position_ >= header_.data_start && header_.packet_size > 0) {
            size_t into_packet = (position_ - header_.data_start) % header_.packet_size;
            if (into_packet == 0) {
                if (!fill_lookahead(sizeof asf_header_object_guid))
                    return cancelled_ ? -1 : drain_lookahead(buffer, size);
                if (std::memcmp(lookahead_.data(), asf_header_object_guid,
                                sizeof asf_header_object_guid) == 0) {
                    header_follows_ = true;
                    return 0;
                }
            }
            allowed = std::min(size, header_.packet_size - into_packet);
        } else if (position_ < header_.data_start) {
            allowed = std::min(size, header_.data_start - position_);
        }
        if (!lookahead_.empty())
            return drain_lookahead(buffer, allowed);
        long got = source_(buffer, allowed);
        if (got > 0)
            position_ += static_cast<size_t>(got);
        return got;
    }

    long drain_lookahead(uint8_t *buffer, size_t size) {
        size_t count = std::min(size, lookahead_.size());
        std::copy_n(lookahead_.begin(), count, buffer);
        lookahead_.erase(lookahead_.begin(), lookahead_.begin() + static_cast<long>(count));
        position_ += count;
        return static_cast<long>(count);
    }

    const stream_format &format_;
    byte_source source_;
    const int output_rate_;
    asf_header header_;
    std::unique_ptr<decoder> inner_;
    std::vector<uint8_t> lookahead_; // read from the source, not yet given to FFmpeg
    size_t position_ = 0;            // bytes given to the current FFmpeg decoder
    bool header_follows_ = false;    // a new header waits at the front of lookahead_
    bool cancelled_ = false;
};

} // namespace

std::unique_ptr<decoder> open_asf_decoder(const stream_format &format, byte_source source,
                                          int output_rate, int *error) {
    auto opened = std::make_unique<asf_decoder>(format, std::move(source), output_rate);
    *error = opened->open_next();
    if (*error != BASS_OK)
        return nullptr;
    return opened;
}

} // namespace audio
