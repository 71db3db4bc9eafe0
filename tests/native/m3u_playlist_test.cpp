// The station editor's M3U reading rules, which need no window: how a file splits into line
// pieces, the markers, the "#EXTINF:" title, and which lines of a playlist make a row.
#include "import/m3u_playlist.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using pieces = std::vector<std::string>;
using rows = std::vector<std::pair<std::string, std::string>>; // title, URL

// The file's content as the reader hands it out, piece by piece.
pieces pieces_of(const std::string &content) {
    std::FILE *file = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    pieces read;
    char line[playlist_line_size];
    while (read_playlist_line(file, line))
        read.push_back(line);
    std::fclose(file);
    return read;
}

// What an import of the file takes from it, in file order.
rows rows_of(const std::string &content, size_t url_size = playlist_line_size) {
    playlist_entry_state state = {};
    rows taken;
    std::vector<char> url(url_size);
    for (const std::string &line : pieces_of(content))
        if (take_playlist_line(&state, line.c_str(), url.data(), url.size()))
            taken.emplace_back(state.title, url.data());
    return taken;
}

std::string title_of(const std::string &line, size_t title_size = playlist_title_size) {
    std::vector<char> title(title_size);
    parse_extinf(line.c_str(), title.data(), title.size());
    return title.data();
}

const std::string x255(255, 'x');

TEST(M3uPlaylist, LinesArriveInPiecesOfAtMost255Characters) {
    const struct {
        std::string content;
        pieces expected;
    } cases[] = {
        {"", {}},
        {"a\r\nb\rc\n\r\r\nlast", {"a\n", "b\rc\n", "\r\n", "last"}},
        {"\r", {"\r"}}, // a carriage return at the end stays
        {std::string(300, 'x') + "\r\n", {x255, std::string(45, 'x') + "\n"}},
        {x255 + "\n", {x255, "\n"}},
        {std::string(254, 'x') + "\r\n", {std::string(254, 'x') + "\n"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pieces_of(c.content), c.expected) << ::testing::PrintToString(c.content);
}

TEST(M3uPlaylist, MarkersAreCaseSensitivePrefixes) {
    const struct {
        const char *line;
        bool marker, extinf;
    } cases[] = {
        {"#EXTM3U\n", true, false},      {"#EXTM3U extra", true, false},
        {"#extm3u\n", false, false},     {" #EXTM3U\n", false, false},
        {"#EXTINF:", false, true},       {"#EXTINF\n", false, false},
        {"#extinf:1,a\n", false, false}, {"", false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(is_m3u_marker_line(c.line), c.marker) << c.line;
        EXPECT_EQ(is_extinf_line(c.line), c.extinf) << c.line;
    }
}

TEST(M3uPlaylist, TitleIsTheRestAfterTheFirstCommaWithoutCommasOrLeadingSpaces) {
    const struct {
        const char *line, *title;
    } cases[] = {
        {"#EXTINF:-1,Radio One\r\n", "Radio One"},
        {"#EXTINF:123, Artist, Title\n", "Artist Title"},
        {"#EXTINF:0,   \tTabbed  \n", "\tTabbed  "},
        {"#EXTINF:0,,, x,y\n", "xy"},
        {"#EXTINF:0,a\rb\n", "ab"},
        {"#EXTINF:-1 no comma\n", ""},
        {"#EXTINF:", ""},
        {"#EXT", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(title_of(c.line), c.title) << c.line;
    EXPECT_EQ(title_of("#EXTINF:1,abcdef", 4), "abc");
    EXPECT_EQ(title_of("#EXTINF:-1," + std::string(244, 't')), std::string(244, 't'));
}

TEST(M3uPlaylist, ExtendedWhenAnyPieceBeginsWithTheMarker) {
    const struct {
        std::string content;
        bool extended;
    } cases[] = {
        {"#EXTM3U\n#EXTINF:1,A\nhttp://a\n", true},
        {"#EXTINF:1,A\nhttp://a\n#EXTM3U\n", true},
        {"#EXTM3U extra text", true},
        {x255 + "#EXTM3U\n", true}, // the second piece of a long line is a line of its own
        {"#EXTINF:1,A\nhttp://a\n", false},
        {"#extm3u\n#extinf:1,A\nhttp://a\n", false},
        {"x#EXTM3U\n", false},
        {"", false},
    };
    const std::string path = ::testing::TempDir() + "m3u_playlist_test.m3u";
    for (const auto &c : cases) {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(c.content.data(), 1, c.content.size(), file);
        std::fclose(file);
        EXPECT_EQ(is_extended_m3u(path.c_str()), c.extended) << ::testing::PrintToString(c.content);
    }
    std::remove(path.c_str());
    EXPECT_FALSE(is_extended_m3u(path.c_str())); // missing
}

TEST(M3uPlaylist, AnEntryWithATitleOfTwoOrMoreCharactersAndAUrlLineMakesARow) {
    const struct {
        const char *what;
        std::string content;
        rows expected;
    } cases[] = {
        {"plain",
         "#EXTM3U\r\n#EXTINF:-1,Radio One\r\nhttp://one/stream\r\n",
         {{"Radio One", "http://one/stream"}}},
        {"one-character title", "#EXTINF:5,X\nhttp://x\n", {}},
        {"no comma", "#EXTINF:5 no comma\nhttp://x\n", {}},
        {"no #EXTINF before", "#EXTM3U\nhttp://x\n", {}},
        {"the later #EXTINF wins",
         "#EXTINF:1,First\n#EXTINF:1,Second\nhttp://second\n",
         {{"Second", "http://second"}}},
        {"blank and short lines and markers are passed over",
         "#EXTINF:1,Skips\n\n\r\nx\n#EXTM3U\nhttp://after\n",
         {{"Skips", "http://after"}}},
        {"a comment is a URL line",
         "#EXTINF:1,Comment\n# a comment\nhttp://ignored\n",
         {{"Comment", "# a comment"}}},
        {"a URL line answers its entry once",
         "#EXTINF:1,Once\nhttp://a\nhttp://b\n",
         {{"Once", "http://a"}}},
        {"a group row", "#EXTINF:1,Heading\nnull\n", {{"Heading", "null"}}},
        {"three characters are a URL line", "#EXTINF:1,Short\nab\n", {{"Short", "ab"}}},
        {"last line without line feed", "#EXTINF:1,Last\nhttp://last", {{"Last", "http://last"}}},
        {"lower-case #extinf is no entry", "#EXTM3U\n#extinf:1,Lower\nhttp://lower\n", {}},
        {"the rest of a long #EXTINF line is its URL line",
         "#EXTINF:-1," + std::string(292, 't') + "\nhttp://real\n",
         {{std::string(244, 't'), std::string(48, 't')}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rows_of(c.content), c.expected) << c.what;
    EXPECT_EQ(rows_of("#EXTINF:1,Cut\nhttp://long\n", 5), (rows{{"Cut", "http"}}));
}

} // namespace
