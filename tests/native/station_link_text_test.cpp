// Station links: which texts are stream addresses, and the first address of the playlist
// files a web page hands out.
#include "playback/station_link_text.h"

#include <gtest/gtest.h>

namespace {

TEST(StationLinkText, StreamAddressesByScheme) {
    for (const char *address : {"http://a/", "HTTPS://a:8000/x", "mms://a/b", "mmsh://a"})
        EXPECT_TRUE(is_stream_address(address)) << address;
    for (const char *other : {"http://", "ftp://a/", "file:///C:/x.pls", "C:\\x.m3u", "", "www.a"})
        EXPECT_FALSE(is_stream_address(other)) << other;
}

TEST(StationLinkText, FirstStreamAddressOfEachKindOfPlaylist) {
    const struct {
        const char *name, *text, *first;
    } cases[] = {
        {"PLS",
         "[playlist]\r\nNumberOfEntries=2\r\nTitle1=x\r\nFile1=ftp://no\r\n"
         "file2 = http://a:8000/live\r\n",
         "http://a:8000/live"},
        {"PLS with a BOM and blanks", "\xEF\xBB\xBF  [Playlist]\nFile1=https://b/\n", "https://b/"},
        {"M3U", "#EXTM3U\r\n#EXTINF:-1,Jazz\r\nrelative.mp3\r\n\r\nhttp://c/jazz\r\n",
         "http://c/jazz"},
        {"M3U8 master", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=128000\nhttp://d/128.m3u8\n",
         "http://d/128.m3u8"},
        {"ASX", "<ASX version=\"3.0\"><Entry><Ref HREF = 'mms://e/x?a=1&amp;b=2' /></Entry></ASX>",
         "mms://e/x?a=1&b=2"},
        {"ASX entry reference", "<asx><entryref href=\"http://f/more.asx\"/></asx>",
         "http://f/more.asx"},
        {"nothing playable", "[playlist]\nFile1=C:\\music\\a.mp3\n", ""},
        {"binary junk", "\x01\x02<ref href=\"", ""},
        {"ASX with an unended attribute", "<asx><ref href=\"http://g/", "http://g/"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(first_playlist_entry(c.text), c.first) << c.name;
}

} // namespace
