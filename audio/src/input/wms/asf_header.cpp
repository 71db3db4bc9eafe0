// ASF header parsing. The header comes from the network, so every length in it is compared
// with the bytes actually left before anything is read.
#include "input/wms/asf_header.h"

#include "input/text/text.h"
#include "input/text/unicode_text.h"

#include <cstring>
#include <string_view>

namespace audio {

const uint8_t asf_header_object_guid[16] = {0x30, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                                            0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};

namespace {

constexpr size_t object_head = 24; // GUID and 64-bit size

uint64_t little_endian(const uint8_t *p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

// The objects read, and the stream type of script commands, by their GUIDs' text form.
constexpr std::string_view file_properties_guid = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
constexpr std::string_view stream_properties_guid = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
constexpr std::string_view script_command_stream_type_guid = "59DACFC0-59E6-11D0-A3AC-00A0C90348F6";
constexpr std::string_view content_description_guid = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
constexpr std::string_view extended_content_description_guid =
    "D2D0A440-E307-11D2-97F0-00A0C95EA850";
constexpr std::string_view data_object_guid = "75B22636-668E-11CF-A6D9-00AA0062CE6C";

// Whether p starts with the GUID written in its usual text form: the first three groups
// are stored little-endian, the last two byte by byte.
bool starts_with_guid(const uint8_t *p, std::string_view guid_text) {
    static const size_t byte_at[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    for (size_t i = 0; i < 16; ++i) {
        if (whole_number<uint8_t>(guid_text.substr(byte_at[i], 2), 16) != p[i])
            return false;
    }
    return true;
}

// Title, author, copyright, description and rating: five lengths, then the five strings.
void read_content_description(const uint8_t *p, size_t size, std::vector<std::string> &tags) {
    static const char *const names[] = {"title", "author", "copyright", "description", "rating"};
    if (size < 10)
        return;
    size_t offset = 10;
    for (int i = 0; i < 5; ++i) {
        size_t length = static_cast<size_t>(little_endian(p + 2 * i, 2));
        if (length > size - offset)
            return;
        std::string value = utf16_to_utf8(p + offset, length);
        if (!value.empty())
            tags.push_back(std::string(names[i]) + "=" + value);
        offset += length;
    }
}

// Descriptors: name, value type, value. Binary values (pictures and the like) are skipped.
void read_extended_content(const uint8_t *p, size_t size, std::vector<std::string> &tags) {
    if (size < 2)
        return;
    size_t count = static_cast<size_t>(little_endian(p, 2));
    size_t offset = 2;
    for (size_t i = 0; i < count; ++i) {
        if (size - offset < 2)
            return;
        size_t name_length = static_cast<size_t>(little_endian(p + offset, 2));
        offset += 2;
        if (name_length > size - offset || size - offset - name_length < 4)
            return;
        std::string name = utf16_to_utf8(p + offset, name_length);
        offset += name_length;
        unsigned type = static_cast<unsigned>(little_endian(p + offset, 2));
        size_t value_length = static_cast<size_t>(little_endian(p + offset + 2, 2));
        offset += 4;
        if (value_length > size - offset)
            return;
        const uint8_t *value = p + offset;
        offset += value_length;
        std::string text;
        static const int integer_bytes[] = {0, 0, 4, 4, 8, 2}; // BOOL, DWORD, QWORD, WORD
        if (type == 0)
            text = utf16_to_utf8(value, value_length);
        else if (type >= 2 && type <= 5 && value_length >= size_t(integer_bytes[type]))
            text = std::to_string(little_endian(value, integer_bytes[type]));
        else
            continue;
        if (!name.empty())
            tags.push_back(name + "=" + text);
    }
}

// False for an object whose values cannot be right.
bool read_object(const uint8_t *p, size_t size, asf_header *header) {
    const uint8_t *body = p + object_head;
    size_t body_size = size - object_head;
    if (starts_with_guid(p, file_properties_guid) && body_size >= 80) {
        header->broadcast = (little_endian(body + 64, 4) & 1) != 0;
        uint32_t min_packet = static_cast<uint32_t>(little_endian(body + 68, 4));
        uint32_t max_packet = static_cast<uint32_t>(little_endian(body + 72, 4));
        // Packets are padded to this size: a size no stream uses is refused, not allocated.
        if (min_packet > max_asf_packet_size)
            return false;
        header->packet_size = min_packet == max_packet ? min_packet : 0;
        header->max_bitrate = static_cast<uint32_t>(little_endian(body + 76, 4));
    } else if (starts_with_guid(p, stream_properties_guid) && body_size >= 50) {
        header->streams.push_back(body[48] & 0x7f);
        if (starts_with_guid(body, script_command_stream_type_guid))
            header->command_stream = body[48] & 0x7f;
    } else if (starts_with_guid(p, content_description_guid)) {
        read_content_description(body, body_size, header->tags);
    } else if (starts_with_guid(p, extended_content_description_guid)) {
        read_extended_content(body, body_size, header->tags);
    }
    return true;
}

} // namespace

asf_parse parse_asf_header(const uint8_t *data, size_t size, asf_header *header) {
    const size_t header_head = 30; // object head, object count, two reserved bytes
    if (size < header_head)
        return size >= 16 && std::memcmp(data, asf_header_object_guid, 16) != 0
                   ? asf_parse::invalid
                   : asf_parse::need_more;
    if (std::memcmp(data, asf_header_object_guid, 16) != 0)
        return asf_parse::invalid;
    uint64_t header_size = little_endian(data + 16, 8);
    if (header_size < header_head || header_size > max_asf_header_size)
        return asf_parse::invalid;
    size_t total = static_cast<size_t>(header_size) + asf_data_object_head;
    if (size < total)
        return asf_parse::need_more;
    if (!starts_with_guid(data + header_size, data_object_guid))
        return asf_parse::invalid;

    asf_header parsed;
    parsed.header_size = static_cast<size_t>(header_size);
    parsed.data_start = total;
    // Sub-objects must tile the header exactly; one whose size lies ends the header.
    for (size_t offset = header_head; offset < parsed.header_size;) {
        size_t left = parsed.header_size - offset;
        if (left < object_head)
            return asf_parse::invalid;
        uint64_t object_size = little_endian(data + offset + 16, 8);
        if (object_size < object_head || object_size > left)
            return asf_parse::invalid;
        if (!read_object(data + offset, static_cast<size_t>(object_size), &parsed))
            return asf_parse::invalid;
        offset += static_cast<size_t>(object_size);
    }
    *header = std::move(parsed);
    return asf_parse::ok;
}

std::optional<std::string> script_command_text(const uint8_t *data, size_t size) {
    // The type ends at the first NUL code unit.
    size_t end = 0;
    while (end + 1 < size && (data[end] | data[end + 1]))
        end += 2;
    if (end + 1 >= size)
        return std::nullopt;
    std::string type = to_lower(utf16_to_utf8(data, end));
    if (type != "text" && type != "title")
        return std::nullopt;
    return utf16_to_utf8(data + end + 2, size - end - 2);
}

} // namespace audio
