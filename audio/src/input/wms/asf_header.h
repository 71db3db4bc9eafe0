// The ASF header object of a Windows Media stream: what a player needs from it (packet size,
// bitrate, broadcast flag, the command stream) and its text tags; and the text of ASF script
// commands. Every object size is checked against what is left before it is used.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// The header object's GUID as it lies in the stream.
extern const uint8_t asf_header_object_guid[16];

struct asf_header {
    size_t header_size = 0;   // the header object's own size
    size_t data_start = 0;    // where the first data packet begins (after the data object's head)
    uint32_t packet_size = 0; // fixed data packet size; 0 when packets vary
    uint32_t max_bitrate = 0; // bits per second, 0 when not given
    bool broadcast = false;   // a live stream: no length, no end
    int command_stream = 0;   // stream number of the script command stream; 0: none
    std::vector<int> streams; // every stream's number, in header order
    // "title=", "author=", "copyright=", "description=", "rating=" (when not empty), then
    // the extended content entries as "name=value", all UTF-8.
    std::vector<std::string> tags;
};

enum class asf_parse { ok, need_more, invalid };

// A header object at data[0], followed by the data object's 50-byte head. need_more: the
// bytes end before both are complete. Headers over max_asf_header_size are invalid.
asf_parse parse_asf_header(const uint8_t *data, size_t size, asf_header *header);

constexpr size_t max_asf_header_size = 1024 * 1024;
// Larger data packets than any encoder makes (they are a few KiB): such a header is invalid.
constexpr uint32_t max_asf_packet_size = 256 * 1024;
// The data object's head: GUID, size, file id, packet count, reserved.
constexpr size_t asf_data_object_head = 50;

// A script command's payload: its type and its text, each UTF-16LE ended by a NUL. The text
// of a TEXT or TITLE command (any case); nullopt for other types or a malformed payload.
std::optional<std::string> script_command_text(const uint8_t *data, size_t size);

} // namespace audio
