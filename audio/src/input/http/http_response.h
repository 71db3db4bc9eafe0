// Parsing an HTTP/1.x or SHOUTcast ("ICY 200 OK") response: the head, and a chunked body.
// Pure: bytes in, results out, so plain strings test them and a fuzzer can drive them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// Big enough for a SHOUTcast HTML notice and a 40 KB header block; small enough that a
// server sending endless headers fails quickly instead of eating memory.
constexpr size_t max_header_line = 8 * 1024;
constexpr size_t max_header_block = 64 * 1024;

struct response_head {
    std::string status_line;               // verbatim, without its line ending
    std::vector<std::string> header_lines; // verbatim, without line endings
    int status_code = 0;
    bool is_icy = false; // "ICY nnn": HTTP/1.0 semantics, body ends at close
    bool is_http_1_0 = false;

    // The first header with this name (any case), its value trimmed; nullopt if absent.
    std::optional<std::string> header(const std::string &name) const;
    bool is_chunked() const;
    std::optional<uint64_t> content_length() const;
    std::string content_type() const; // lower case, without parameters
    // A live stream never ends by itself: an ICY answer, icy-/ice- headers, or no length.
    // Its Content-Length, if any, is not the end (Icecast sends a fake one to some agents).
    bool is_live() const;
};

// Feeds bytes until the blank line that ends the head. Accepts CRLF or LF-only lines.
class response_head_parser {
  public:
    enum class state { need_more, done, error };

    // Consumes bytes up to and including the end of the head; returns how many it used.
    // Bytes after the head (the body) are left to the caller.
    size_t feed(const char *data, size_t size);
    state current_state() const { return state_; }
    const std::string &error_text() const { return error_; }
    const response_head &head() const { return head_; }

  private:
    void finish_line();
    void fail(const std::string &why);

    state state_ = state::need_more;
    std::string line_;
    size_t total_ = 0;
    std::string error_;
    response_head head_;
};

// Removes chunked transfer framing in place.
class chunked_decoder {
  public:
    // Compacts the payload of data[0..size) to its front; returns the payload length.
    size_t decode(uint8_t *data, size_t size);
    bool failed() const { return state_ == state::error; }
    bool finished() const { return state_ == state::finished; }

  private:
    void take_size_byte(uint8_t c);
    void take_framing_byte(uint8_t c); // a byte of the framing, not of a chunk's payload
    enum class state {
        size_line,
        extension,
        size_lf,
        payload,
        payload_cr,
        payload_lf,
        trailer,
        finished,
        error
    };
    state state_ = state::size_line;
    uint64_t remaining_ = 0;
    size_t size_digits_ = 0;
    size_t trailer_line_length_ = 0;
};

} // namespace audio
