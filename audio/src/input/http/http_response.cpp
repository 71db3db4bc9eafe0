#include "input/http/http_response.h"

#include "input/text/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace audio {

namespace {

// Header values are trimmed of spaces and tabs only.
std::string trim(const std::string &text) {
    return audio::trim(text, " \t");
}

// "HTTP/1.1 200 OK", "HTTP/1.0 404", "ICY 200 OK" → the code; 0 when malformed.
int parse_status_line(const std::string &line, bool *is_icy, bool *is_http_1_0) {
    std::string protocol;
    if (line.rfind("ICY ", 0) == 0) {
        *is_icy = true;
        *is_http_1_0 = true;
        protocol = "ICY ";
    } else if (line.rfind("HTTP/1.", 0) == 0 && line.size() > 8 && line[8] == ' ') {
        *is_http_1_0 = line[7] == '0';
        protocol = line.substr(0, 9);
    } else {
        return 0;
    }
    if (line.size() < protocol.size() + 3) {
        return 0;
    }
    int code = whole_number<unsigned>(line.substr(protocol.size(), 3)).value_or(0);
    if (line.size() > protocol.size() + 3 && line[protocol.size() + 3] != ' ') {
        return 0;
    }
    return code >= 100 ? code : 0;
}

} // namespace

std::optional<std::string> response_head::header(const std::string &name) const {
    std::string wanted = to_lower(name);
    for (const std::string &line : header_lines) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && to_lower(trim(line.substr(0, colon))) == wanted) {
            return trim(line.substr(colon + 1));
        }
    }
    return std::nullopt;
}

bool response_head::is_chunked() const {
    if (is_icy || is_http_1_0) {
        return false;
    }
    std::optional<std::string> coding = header("Transfer-Encoding");
    return coding && to_lower(*coding).find("chunked") != std::string::npos;
}

std::optional<uint64_t> response_head::content_length() const {
    std::optional<std::string> value = header("Content-Length");
    return value ? whole_number<uint64_t>(*value) : std::nullopt;
}

std::string response_head::content_type() const {
    std::string value = to_lower(header("Content-Type").value_or(""));
    return trim(value.substr(0, value.find(';')));
}

bool response_head::is_live() const {
    if (is_icy || !content_length()) {
        return true;
    }
    for (const std::string &line : header_lines) {
        std::string name = to_lower(line.substr(0, 4));
        if (name == "icy-" || name == "ice-") {
            return true;
        }
    }
    return false;
}

size_t response_head_parser::feed(const char *data, size_t size) {
    size_t used = 0;
    while (used < size && state_ == state::need_more) {
        char c = data[used++];
        if (++total_ > max_header_block) {
            fail("response header block too large");
            break;
        }
        if (c == '\n') {
            if (!line_.empty() && line_.back() == '\r') {
                line_.pop_back();
            }
            finish_line();
        } else if (line_.size() >= max_header_line) {
            fail("response header line too long");
        } else {
            line_ += c;
        }
    }
    return used;
}

void response_head_parser::finish_line() {
    if (head_.status_line.empty()) {
        head_.status_code = parse_status_line(line_, &head_.is_icy, &head_.is_http_1_0);
        if (head_.status_code == 0) {
            fail("not an HTTP or ICY status line");
            return;
        }
        head_.status_line = line_;
    } else if (line_.empty()) {
        state_ = state::done;
    } else if ((line_[0] == ' ' || line_[0] == '\t') && !head_.header_lines.empty()) {
        // obs-fold: a continuation of the previous header's value.
        head_.header_lines.back() += " " + trim(line_);
    } else {
        head_.header_lines.push_back(line_);
    }
    line_.clear();
}

void response_head_parser::fail(const std::string &why) {
    state_ = state::error;
    error_ = why;
}

void chunked_decoder::take_size_byte(uint8_t c) {
    if (std::isxdigit(c)) {
        // 15 hex digits is far beyond any real chunk; more would overflow.
        if (++size_digits_ > 15) {
            state_ = state::error;
            return;
        }
        int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        remaining_ = remaining_ * 16 + static_cast<uint64_t>(digit);
    } else if (size_digits_ == 0) {
        state_ = state::error;
    } else if (c == ';' || c == ' ' || c == '\t') {
        state_ = state::extension;
    } else if (c == '\r') {
        state_ = state::size_lf;
    } else if (c == '\n') {
        state_ = remaining_ == 0 ? state::trailer : state::payload;
    } else {
        state_ = state::error;
    }
}

void chunked_decoder::take_framing_byte(uint8_t c) {
    switch (state_) {
    case state::size_line:
        take_size_byte(c);
        break;
    case state::extension:
        if (c == '\n') {
            state_ = remaining_ == 0 ? state::trailer : state::payload;
        }
        break;
    case state::size_lf:
        state_ = c != '\n' ? state::error : remaining_ == 0 ? state::trailer : state::payload;
        break;
    case state::payload_cr:
        state_ = c == '\r' ? state::payload_lf : c == '\n' ? state::size_line : state::error;
        size_digits_ = 0;
        break;
    case state::payload_lf:
        state_ = c == '\n' ? state::size_line : state::error;
        break;
    case state::trailer:
        // Trailer lines are ignored; an empty one ends the body.
        if (c == '\n') {
            if (trailer_line_length_ == 0) {
                state_ = state::finished;
            }
            trailer_line_length_ = 0;
        } else if (c != '\r') {
            ++trailer_line_length_;
        }
        break;
    case state::payload:
    case state::finished:
    case state::error:
        break;
    }
}

size_t chunked_decoder::decode(uint8_t *data, size_t size) {
    size_t out = 0;
    for (size_t in = 0; in < size && state_ != state::error && state_ != state::finished;) {
        if (state_ != state::payload) {
            take_framing_byte(data[in++]);
            continue;
        }
        size_t take = static_cast<size_t>(std::min<uint64_t>(size - in, remaining_));
        std::memmove(data + out, data + in, take);
        out += take;
        in += take;
        remaining_ -= take;
        if (remaining_ == 0) {
            state_ = state::payload_cr;
        }
    }
    return out;
}

} // namespace audio
