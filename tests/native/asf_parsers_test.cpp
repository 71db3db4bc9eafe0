// The ASF header parser, script command text and the Windows Media streaming framing: what a
// stream's header and commands say, headers whose sizes lie, framing that breaks.
#include "input/wms/asf_header.h"
#include "input/text/unicode_text.h"
#include "input/wms/wmsp_framing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using bytes = std::vector<uint8_t>;

void put(bytes &out, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
bytes utf16(const std::string &ascii) {
    bytes out;
    for (char c : ascii)
        put(out, static_cast<unsigned char>(c), 2);
    put(out, 0, 2);
    return out;
}
bytes object(const bytes &id, const bytes &body) {
    bytes out = id;
    put(out, 24 + body.size(), 8);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
const uint8_t *header_id = audio::asf_header_object_guid;
bytes file_properties_id = {0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11,
                            0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
bytes description_id = {0x33, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                        0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
bytes extended_id = {0x40, 0xa4, 0xd0, 0xd2, 0x07, 0xe3, 0xd2, 0x11,
                     0x97, 0xf0, 0x00, 0xa0, 0xc9, 0x5e, 0xa8, 0x50};
bytes data_id = {0x36, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                 0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};

bytes file_properties(uint32_t packet_size, bool broadcast) {
    bytes body(64, 0);
    put(body, broadcast ? 1 : 0, 4);
    put(body, packet_size, 4);
    put(body, packet_size, 4);
    put(body, 128000, 4);
    return object(file_properties_id, body);
}
bytes description() {
    std::vector<bytes> texts = {utf16("Station"), utf16("Host"), utf16(""), utf16("About"),
                                bytes{}};
    bytes body;
    for (const auto &text : texts)
        put(body, text.size(), 2);
    for (const auto &text : texts)
        body.insert(body.end(), text.begin(), text.end());
    return object(description_id, body);
}
bytes extended() {
    bytes body;
    put(body, 4, 2);
    auto entry = [&](const std::string &name, int type, const bytes &value) {
        bytes n = utf16(name);
        put(body, n.size(), 2);
        body.insert(body.end(), n.begin(), n.end());
        put(body, type, 2);
        put(body, value.size(), 2);
        body.insert(body.end(), value.begin(), value.end());
    };
    entry("WM/Genre", 0, utf16("Jazz"));
    entry("WM/Picture", 1, bytes(10, 0xee)); // binary: skipped
    bytes dword;
    put(dword, 1999, 4);
    entry("WM/Year", 3, dword);
    entry("IsVBR", 2, bytes{1, 0, 0, 0});
    return object(extended_id, body);
}
bytes header_with(const std::vector<bytes> &objects) {
    bytes inner;
    for (const auto &each : objects)
        inner.insert(inner.end(), each.begin(), each.end());
    bytes out(header_id, header_id + 16);
    put(out, 30 + inner.size(), 8);
    put(out, objects.size(), 4);
    out.push_back(1);
    out.push_back(2);
    out.insert(out.end(), inner.begin(), inner.end());
    out.insert(out.end(), data_id.begin(), data_id.end());
    out.resize(out.size() + audio::asf_data_object_head - 16, 0);
    return out;
}

TEST(AsfHeader, ReadsPacketSizeFlagsAndTagsInOrder) {
    bytes header = header_with({file_properties(3200, true), description(), extended()});
    audio::asf_header parsed;
    ASSERT_EQ(audio::parse_asf_header(header.data(), header.size(), &parsed), audio::asf_parse::ok);
    EXPECT_EQ(parsed.packet_size, 3200u);
    EXPECT_TRUE(parsed.broadcast);
    EXPECT_EQ(parsed.max_bitrate, 128000u);
    EXPECT_EQ(parsed.data_start, header.size());
    EXPECT_EQ(parsed.tags,
              (std::vector<std::string>{"title=Station", "author=Host", "description=About",
                                        "WM/Genre=Jazz", "WM/Year=1999", "IsVBR=1"}));
}

TEST(AsfHeader, TruncatedHeadersAskForMoreAndLyingSizesAreRefused) {
    bytes header = header_with({file_properties(3200, false), description()});
    audio::asf_header parsed;
    for (size_t cut : {size_t(0), size_t(10), size_t(29), size_t(100), header.size() - 1})
        EXPECT_EQ(audio::parse_asf_header(header.data(), cut, &parsed), audio::asf_parse::need_more)
            << cut;

    struct {
        const char *name;
        size_t offset; // where a 64-bit size is overwritten
        uint64_t size;
    } lies[] = {
        {"header larger than any header", 16, 1ull << 40},
        {"header smaller than its head", 16, 10},
        {"object past the header's end", 30 + 16, 5000},
        {"object smaller than its head", 30 + 16, 8},
    };
    for (const auto &lie : lies) {
        SCOPED_TRACE(lie.name);
        bytes bad = header;
        for (int i = 0; i < 8; ++i)
            bad[lie.offset + i] = static_cast<uint8_t>(lie.size >> (8 * i));
        bad.resize(bad.size() + 6000, 0); // enough bytes that "need more" is no excuse
        EXPECT_EQ(audio::parse_asf_header(bad.data(), bad.size(), &parsed),
                  audio::asf_parse::invalid);
    }
    bytes huge_packets = header_with({file_properties(0x7fffffff, true)});
    EXPECT_EQ(audio::parse_asf_header(huge_packets.data(), huge_packets.size(), &parsed),
              audio::asf_parse::invalid);
    bytes not_asf(64, 0x41);
    EXPECT_EQ(audio::parse_asf_header(not_asf.data(), not_asf.size(), &parsed),
              audio::asf_parse::invalid);
}

TEST(AsfHeader, StringLengthsThatLieStopTheTagsWithoutReadingPastThem) {
    bytes lying = description();
    lying[24] = 0xff; // title length 0x??ff: beyond the object
    lying[25] = 0x7f;
    bytes header = header_with({lying});
    audio::asf_header parsed;
    ASSERT_EQ(audio::parse_asf_header(header.data(), header.size(), &parsed), audio::asf_parse::ok);
    EXPECT_TRUE(parsed.tags.empty());
}

TEST(AsfText, Utf16AndScriptCommands) {
    const uint8_t surrogate_pair[] = {'A', 0, 0x3d, 0xd8, 0x00, 0xde, 0, 0}; // "A😀"
    EXPECT_EQ(audio::utf16_to_utf8(surrogate_pair, sizeof surrogate_pair), "A\xf0\x9f\x98\x80");
    const uint8_t lone_low[] = {0x00, 0xdc, 'b', 0};
    EXPECT_EQ(audio::utf16_to_utf8(lone_low, sizeof lone_low), "\xef\xbf\xbd"
                                                               "b");
    auto command = [](const std::string &type, const std::string &text) {
        bytes out = utf16(type), body = utf16(text);
        out.insert(out.end(), body.begin(), body.end());
        return audio::script_command_text(out.data(), out.size());
    };
    EXPECT_EQ(command("TEXT", "Artist - Song"), "Artist - Song");
    EXPECT_EQ(command("Title", "Now"), "Now");
    EXPECT_EQ(command("URL", "http://example.org/"), std::nullopt);
    bytes unended = {'T', 0, 'E', 0, 'X', 0, 'T', 0};
    EXPECT_EQ(audio::script_command_text(unended.data(), unended.size()), std::nullopt);
}

// A framed packet; "$H" and "$D" carry the 8-byte payload head.
bytes framed(char type, const bytes &payload, bool with_head = true) {
    bytes body;
    if (with_head) {
        put(body, 0, 6);
        put(body, payload.size() + 8, 2);
    }
    body.insert(body.end(), payload.begin(), payload.end());
    bytes out = {'$', static_cast<uint8_t>(type)};
    put(out, body.size(), 2);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
bytes joined(const std::vector<bytes> &parts) {
    bytes out;
    for (const auto &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
bytes deframe(audio::wmsp_deframer &deframer, const bytes &input, size_t piece) {
    bytes out;
    uint8_t buffer[100];
    for (size_t offset = 0; offset < input.size(); offset += piece) {
        deframer.feed(input.data() + offset, std::min(piece, input.size() - offset));
        while (size_t got = deframer.take(buffer, sizeof buffer))
            out.insert(out.end(), buffer, buffer + got);
    }
    return out;
}

TEST(WmspFraming, GivesHeadersAndPaddedPacketsInAnyPieces) {
    bytes first = header_with({file_properties(64, true)});
    bytes second = header_with({file_properties(64, true), description()});
    bytes half_a(first.begin(), first.begin() + 40), half_b(first.begin() + 40, first.end());
    bytes session = joined({framed('H', half_a), framed('H', half_b), framed('D', bytes(60, 7)),
                            framed('M', bytes(5, 1), false), framed('D', bytes(64, 8)),
                            framed('C', bytes(4, 0), false), framed('H', second),
                            framed('D', bytes(10, 9)), framed('E', bytes(4, 0), false)});
    bytes expected = joined(
        {first, bytes(60, 7), bytes(4, 0), bytes(64, 8), second, bytes(10, 9), bytes(54, 0)});
    for (size_t piece : {size_t(1), size_t(7), session.size()}) {
        SCOPED_TRACE(piece);
        audio::wmsp_deframer deframer;
        EXPECT_EQ(deframe(deframer, session, piece), expected);
        EXPECT_TRUE(deframer.ended());
        EXPECT_FALSE(deframer.failed());
        ASSERT_NE(deframer.header(), nullptr);
        EXPECT_EQ(deframer.header()->tags.front(), "title=Station");
    }
}

TEST(WmspFraming, BrokenFramingEndsTheStreamWithoutMisalignedBytes) {
    bytes header = header_with({file_properties(64, true)});
    bytes cut(header.begin(), header.end() - 20);
    struct {
        const char *name;
        bytes session;
        size_t good_bytes; // what comes out before the break
    } cases[] = {
        {"not framing", bytes(40, 'x'), 0},
        {"data before any header", framed('D', bytes(10, 1)), 0},
        {"a truncated header, then data", joined({framed('H', cut), framed('D', bytes(10, 1))}), 0},
        {"a packet larger than the header says",
         joined({framed('H', header), framed('D', bytes(65, 1))}), header.size()},
        {"a header without a fixed packet size", framed('H', header_with({description()})), 0},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        audio::wmsp_deframer deframer;
        EXPECT_EQ(deframe(deframer, each.session, 3).size(), each.good_bytes);
        EXPECT_TRUE(deframer.failed());
    }
}

} // namespace
