// The player's station-text decoding: UTF-8 when valid, Windows-1252 otherwise.
#include "playback/title_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct decoding {
    std::string bytes;
    std::u16string expected;
};

TEST(StationText, DecodesUtf8AndFallsBackToWindows1252) {
    const decoding cases[] = {
        {"", u""},
        {"Artist - Song", u"Artist - Song"},
        {"Caf\xc3\xa9 \xe2\x99\xab", u"Caf\u00e9 \u266b"},
        {"\xf0\x9f\x8e\xb5 \xf4\x8f\xbf\xbf", u"\U0001F3B5 \U0010FFFF"},
        {"Caf\xe9 del Mar", u"Caf\u00e9 del Mar"},
        {"d\xe9j\xe0", u"d\u00e9j\u00e0"},
        // Cut sequences at the end: every byte stands for itself.
        {"caf\xe9", u"caf\u00e9"},
        {"ab\xe2\x99", u"ab\u00e2\u2122"},
        {"x\xc3", u"x\u00c3"},
        // Not UTF-8: overlong, surrogate, above U+10FFFF, stray continuation, C0/F5 leads.
        {"\xc0\xaf", u"\u00c0\u00af"},
        {"\xed\xa0\x80", u"\u00ed\u00a0\u20ac"},
        {"\xf4\x90\x80\x80", u"\u00f4\u0090\u20ac\u20ac"},
        {"\xa9 2024", u"\u00a9 2024"},
        {"\xf5\xff", u"\u00f5\u00ff"},
        // 0x80-0x9F, the undefined five to the same code points.
        {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f",
         u"\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152"
         u"\u008d\u017d\u008f"},
        {"\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9d\x9e\x9f",
         u"\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153"
         u"\u009d\u017e\u0178"},
    };
    for (const decoding &next : cases)
        EXPECT_EQ(decode_station_text(next.bytes.data(), next.bytes.size()), next.expected)
            << next.bytes;
}

TEST(StationText, ReadsExactlyTheGivenLength) {
    // A lead byte before the end never takes the byte behind the text into its sequence.
    const char text[] = "ab\xe0\x80\x80";
    EXPECT_EQ(decode_station_text(text, 3), u"ab\u00e0");
    // Every other byte outside 0x80-0x9F is its own Latin-1 code point.
    for (int byte = 0xA0; byte <= 0xFF; ++byte) {
        const char latin[] = {'\xff', static_cast<char>(byte)};
        EXPECT_EQ(decode_station_text(latin, 2), (std::u16string{u'\u00ff', char16_t(byte)}));
    }
}

} // namespace
