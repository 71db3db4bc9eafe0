#include "input/icy/icy_filter.h"

#include "input/text/text.h"

namespace audio {

std::optional<size_t> parse_icy_metaint(const std::optional<std::string> &header_value) {
    std::optional<size_t> value = header_value ? whole_number<size_t>(*header_value) : std::nullopt;
    if (!value || *value == 0 || *value > max_icy_metaint) {
        return std::nullopt;
    }
    return value;
}

icy_filter::icy_filter(size_t metaint, metadata_callback on_metadata)
    : metaint_(metaint), on_metadata_(std::move(on_metadata)), audio_left_(metaint) {}

void icy_filter::restart(size_t metaint) {
    metaint_ = metaint;
    audio_left_ = metaint;
    metadata_left_ = 0;
    in_metadata_ = false;
    block_.clear();
}

size_t icy_filter::filter(uint8_t *data, size_t size) {
    if (metaint_ == 0) {
        return size;
    }
    size_t out = 0;
    size_t in = 0;
    while (in < size) {
        if (!in_metadata_) {
            size_t take = size - in < audio_left_ ? size - in : audio_left_;
            for (size_t i = 0; i < take; ++i) {
                data[out++] = data[in + i];
            }
            in += take;
            audio_left_ -= take;
            if (audio_left_ == 0 && in < size) {
                metadata_left_ = static_cast<size_t>(data[in++]) * 16;
                in_metadata_ = metadata_left_ > 0;
                if (!in_metadata_) {
                    audio_left_ = metaint_;
                }
            }
            continue;
        }
        size_t take = size - in < metadata_left_ ? size - in : metadata_left_;
        block_.append(reinterpret_cast<const char *>(data + in), take);
        in += take;
        metadata_left_ -= take;
        if (metadata_left_ == 0) {
            // The text is NUL-padded; whatever follows the first NUL is padding.
            size_t end = block_.find('\0');
            if (end != std::string::npos) {
                block_.erase(end);
            }
            if (!block_.empty() && block_ != last_reported_) {
                last_reported_ = block_;
                on_metadata_(block_, out);
            }
            block_.clear();
            in_metadata_ = false;
            audio_left_ = metaint_;
        }
    }
    return out;
}

} // namespace audio
