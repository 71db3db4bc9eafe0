// A Windows Media HTTP stream as a network input: the framed body of the session's play
// answer (read through another input, which reconnects it) turned into plain ASF.
//
// Threads: read() on the stream's download thread; interrupt() on any thread.
#pragma once

#include "input/network_input.h"
#include "input/wms/wmsp_framing.h"

namespace audio {

// Stands between the framed input and the stream's listener, so that it learns of each
// reconnect: a new session starts with its own header.
class wms_input final : public network_input, public input_listener {
  public:
    explicit wms_input(input_listener &listener) : listener_(listener) {}
    // The input whose bytes are framed; it must report to this object as its listener.
    void attach(std::unique_ptr<network_input> framed) { framed_ = std::move(framed); }

    long read(uint8_t *buffer, size_t size) override;
    void interrupt() override { framed_->interrupt(); }
    bool is_icy() const override { return framed_->is_icy(); }
    std::string content_type() const override { return framed_->content_type(); }
    uint32_t bitrate_kbps() const override { return framed_->bitrate_kbps(); }

    void on_response(const std::string &status_line,
                     const std::vector<std::string> &header_lines) override {
        listener_.on_response(status_line, header_lines);
    }
    // The framed bytes' positions are not the ASF's: a title from the framed answer takes
    // effect after the ASF bytes handed on so far.
    void on_metadata(const std::string &metadata, uint64_t) override {
        listener_.on_metadata(metadata, returned_);
    }
    void on_reconnect(const std::string &content_type) override;

  private:
    input_listener &listener_;
    std::unique_ptr<network_input> framed_;
    wmsp_deframer deframer_;
    uint64_t returned_ = 0; // ASF bytes read() has returned
};

} // namespace audio
