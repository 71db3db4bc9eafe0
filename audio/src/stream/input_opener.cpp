#include "input_opener.h"

#include <mutex>

namespace audio {

namespace {
std::mutex opener_lock; // guards replacement
input_opener replacement;
} // namespace

void set_input_opener(input_opener opener) {
    std::lock_guard<std::mutex> guard(opener_lock);
    replacement = std::move(opener);
}

input_opener current_input_opener() {
    std::lock_guard<std::mutex> guard(opener_lock);
    if (replacement)
        return replacement;
    return open_network_input;
}

} // namespace audio
