// Segment decryption (mbedTLS AES) and unpacking of packed audio and MPEG-TS.
#include "input/hls/hls_segment.h"

#include "input/hls/id3_title.h"
#include "input/hls/mpegts_audio.h"

#include <mbedtls/aes.h>

namespace audio {

aes_block sequence_iv(uint64_t sequence) {
    aes_block iv{};
    for (int i = 0; i < 8; ++i)
        iv[15 - i] = static_cast<uint8_t>(sequence >> (8 * i));
    return iv;
}

bool decrypt_aes128(std::string &data, const aes_block &key, const aes_block &iv) {
    if (data.empty() || data.size() % 16 != 0)
        return false;
    mbedtls_aes_context context;
    mbedtls_aes_init(&context);
    aes_block chain = iv;
    auto *bytes = reinterpret_cast<unsigned char *>(data.data());
    bool ok = mbedtls_aes_setkey_dec(&context, key.data(), 128) == 0 &&
              mbedtls_aes_crypt_cbc(&context, MBEDTLS_AES_DECRYPT, data.size(), chain.data(), bytes,
                                    bytes) == 0;
    mbedtls_aes_free(&context);
    if (!ok)
        return false;
    const uint8_t padding = bytes[data.size() - 1];
    if (padding == 0 || padding > 16)
        return false;
    for (size_t i = data.size() - padding; i < data.size(); ++i)
        if (bytes[i] != padding)
            return false;
    data.erase(data.size() - padding);
    return true;
}

unpacked_segment unpack_segment(std::string bytes) {
    unpacked_segment result;
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.data());
    if (looks_like_mpegts(data, bytes.size())) {
        mpegts_contents contents = extract_mpegts_audio(data, bytes.size());
        for (const std::string &tag : contents.id3)
            if (std::optional<std::string> title =
                    id3_stream_title(reinterpret_cast<const uint8_t *>(tag.data()), tag.size()))
                result.titles.push_back(*title);
        result.audio = std::move(contents.audio);
        return result;
    }
    // Packed audio opens with an ID3 tag (its timestamp, perhaps a title); the decoder
    // would take a tag in the middle of the stream for broken frames.
    size_t start = 0;
    while (size_t tag = id3_tag_size(data + start, bytes.size() - start)) {
        if (tag > bytes.size() - start)
            break;
        if (std::optional<std::string> title = id3_stream_title(data + start, tag))
            result.titles.push_back(*title);
        start += tag;
    }
    result.audio = start ? bytes.substr(start) : std::move(bytes);
    return result;
}

} // namespace audio
