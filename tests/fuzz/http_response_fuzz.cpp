// Response heads and chunked bodies from a hostile server: any bytes, fed in two pieces.
#include "input/http/http_response.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    audio::response_head_parser parser;
    size_t split = size > 0 ? data[0] % (size + 1) : 0;
    const char *text = reinterpret_cast<const char *>(data);
    size_t used = parser.feed(text, split);
    if (parser.current_state() == audio::response_head_parser::state::need_more) {
        used += parser.feed(text + split, size - split);
    }
    if (parser.current_state() == audio::response_head_parser::state::done) {
        const audio::response_head &head = parser.head();
        (void)head.content_length();
        (void)head.content_type();
        (void)head.is_live();
        if (head.is_chunked() || head.status_code == 200) {
            std::vector<uint8_t> body(data + used, data + size);
            audio::chunked_decoder decoder;
            size_t half = body.size() / 2;
            size_t first = decoder.decode(body.data(), half);
            size_t second = decoder.decode(body.data() + half, body.size() - half);
            if (first > half || second > body.size() - half) {
                __builtin_trap(); // decoding never grows the data
            }
        }
    }
    return 0;
}
