// The text helpers both programs share: strict UTF-8 one character at a time, and
// percent-encoding.
#include "percent_encoding.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, ReadsOneCharacterAndSaysWhereAMalformedOneBroke) {
    struct row {
        std::string bytes;
        char32_t code_point; // replacement_character when malformed
        size_t length;
    };
    const row rows[] = {
        {"A", U'A', 1},
        {"\xc3\xa9x", U'\u00e9', 2},
        {"\xe2\x82\xac", U'\u20ac', 3},
        {"\xf4\x8f\xbf\xbf", U'\U0010FFFF', 4},
        // Malformed: a byte that leads nothing, a follower missing or cut by the end, overlong
        // forms, a surrogate, beyond U+10FFFF.
        {"\x80", replacement_character, 1},
        {"\xc0\xaf", replacement_character, 1},
        {"\xf5\x80\x80\x80", replacement_character, 1},
        {"\xc3(", replacement_character, 1},
        {"\xe2\x82(", replacement_character, 2},
        {"\xe2\x82", replacement_character, 2},
        {"\xe0\x80\x80", replacement_character, 3},
        {"\xed\xa0\x80", replacement_character, 3},
        {"\xf4\x90\x80\x80", replacement_character, 4},
    };
    for (const row &expected : rows) {
        const utf8_character got = next_utf8_character(expected.bytes);
        EXPECT_EQ(got.code_point, expected.code_point) << expected.bytes;
        EXPECT_EQ(got.length, expected.length) << expected.bytes;
        EXPECT_EQ(got.well_formed, expected.code_point != replacement_character) << expected.bytes;
    }
    // Only the text given is read: a cut sequence never takes the byte behind it.
    EXPECT_FALSE(next_utf8_character(std::string_view("\xc3\xa9", 1)).well_formed);
}

TEST(PercentEncoding, EachRuleKeepsItsOwnBytes) {
    const std::string text = "a-Z_9.~ &/%\x7f\xc3\xa9";
    EXPECT_EQ(percent_encode(text, is_unreserved_byte), "a-Z_9.~%20%26%2F%25%7F%C3%A9");
    EXPECT_EQ(percent_encode(text, is_printable_ascii_byte), "a-Z_9.~%20&/%%7F%C3%A9");
    EXPECT_EQ(percent_encode("", is_unreserved_byte), "");
}

} // namespace
