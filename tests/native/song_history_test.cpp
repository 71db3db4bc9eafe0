// The song history's file read back as RFC 4180 CSV, damaged files told from torn ones, the
// repeat rule, and the Search address.
#include "history/song_history.h"
#include "history/song_search.h"

#include "csv_rows.h"

#include <gtest/gtest.h>

namespace {

const std::string start = history_file_start();

TEST(SongHistory, LinesReadBackAsCsvAndThroughTheReader) {
    const std::vector<heard_song> songs = {
        {"2026-12-09T18:04:05+01:00", "Jazz FM", "Plain"},
        {"2026-12-09T18:07:00+01:00", "Caf\xC3\xA9, \"Live\"", "Line\r\nbreak, \"quoted\""},
        {"2026-12-09T18:09:00-05:30", "", "a"},
    };
    std::string file = start;
    for (const heard_song &song : songs)
        file += format_history_line(song);
    ASSERT_EQ(file.substr(0, 3), "\xEF\xBB\xBF");
    const auto rows = csv_rows(file.substr(3));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "station", "title"}));
    for (size_t i = 0; i < songs.size(); ++i)
        EXPECT_EQ(rows[i + 1],
                  (std::vector<std::string>{songs[i].time, songs[i].station, songs[i].title}));
    const history_reading reading = parse_history(file);
    EXPECT_TRUE(reading.readable);
    EXPECT_FALSE(reading.torn_end);
    ASSERT_EQ(reading.songs.size(), songs.size());
    EXPECT_EQ(reading.songs[1].title, songs[1].title);
    EXPECT_EQ(reading.songs[1].station, songs[1].station);
}

TEST(SongHistory, DamagedFilesAreToldFromTornOnes) {
    const std::string line = format_history_line({"2026-12-09T18:04:05+01:00", "S", "T"});
    const struct {
        const char *name;
        std::string text;
        bool readable, torn;
        size_t songs;
    } cases[] = {
        {"empty", "", true, false, 0},
        {"header only, no BOM", "time,station,title\r\n", true, false, 0},
        {"last line without its end", start + line + line.substr(0, line.size() - 2), true, false,
         2},
        {"last line cut in a quoted field", start + line + "2026-12-09T18:04:05+01:00,\"S", true,
         true, 1},
        {"zeros after the last line", start + line + std::string(40, '\0'), true, true, 1},
        {"another file's header", "name,url\r\n" + line, false, false, 0},
        {"two fields", start + "2026-12-09T18:04:05+01:00,S\r\n" + line, false, false, 0},
        {"a bad time", start + "yesterday,S,T\r\n" + line, false, false, 0},
        {"text after a closing quote", start + "2026-12-09T18:04:05Z,\"S\"x,T\r\n", false, false,
         0},
        {"a quote in a bare field", start + "2026-12-09T18:04:05Z,S\"x,T\r\n", false, false, 0},
        {"a zero inside", start + line + std::string("\0", 1) + line, false, false, 0},
    };
    for (const auto &c : cases) {
        const history_reading reading = parse_history(c.text);
        EXPECT_EQ(reading.readable, c.readable) << c.name;
        EXPECT_EQ(reading.torn_end, c.torn) << c.name;
        EXPECT_EQ(reading.songs.size(), c.songs) << c.name;
    }
}

TEST(SongHistory, TimesWriteAndReadWithTheirOffset) {
    EXPECT_EQ(format_history_time({2026, 12, 9, 18, 4, 5, 60}), "2026-12-09T18:04:05+01:00");
    EXPECT_EQ(format_history_time({2026, 1, 2, 3, 4, 5, -330}), "2026-01-02T03:04:05-05:30");
    long long seconds = 0;
    ASSERT_TRUE(parse_history_time("2026-12-09T18:04:05+01:00", seconds));
    EXPECT_EQ(seconds, 1796835845LL); // 17:04:05 UTC
    long long same = 0;
    ASSERT_TRUE(parse_history_time("2026-12-09T11:34:05-05:30", same));
    EXPECT_EQ(same, seconds);
    for (const char *bad : {"2026-13-09T18:04:05Z", "2026-12-09 18:04:05Z", "2026-12-09T18:04:05",
                            "2026-12-09T18:04:05+1:00", "2026-12-09T18:04"})
        EXPECT_FALSE(parse_history_time(bad, seconds)) << bad;
    EXPECT_EQ(shown_history_time("2026-12-09T18:04:05+01:00"), "2026-12-09 18:04:05");
}

TEST(SongHistory, TheSameTitleOnTheSameStationWithinTenMinutesIsNotListedAgain) {
    long long now = 0;
    ASSERT_TRUE(parse_history_time("2026-12-09T18:10:00+00:00", now));
    const std::vector<heard_song> songs = {
        {"2026-12-09T17:59:59+00:00", "A", "Old"},
        {"2026-12-09T18:00:01+00:00", "A", "Song"},
        {"2026-12-09T18:05:00+00:00", "A", "Announcement"},
    };
    const struct {
        const char *station, *title;
        bool listed;
    } cases[] = {
        {"A", "Song", false},  {"A", "Announcement", false}, {"B", "Song", true},
        {"A", "Old", true},    {"A", "song", true},          {"A", "", false},
        {"A", "  \t ", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(worth_listing(songs, c.station, c.title, now), c.listed)
            << c.station << "/" << c.title;
}

TEST(SongSearch, TheTitleIsPercentEncodedInPlaceOfPercentS) {
    EXPECT_EQ(search_address("https://example.org/?q=%s", "AZaz09-._~ &#%+/?\xC3\xA9"),
              "https://example.org/?q=AZaz09-._~%20%26%23%25%2B%2F%3F%C3%A9");
    EXPECT_EQ(search_address("https://example.org/?q=%s&x=%s", "a b"),
              "https://example.org/?q=a%20b&x=a%20b");
    EXPECT_EQ(search_address("https://example.org/search?q=", "a&b"),
              "https://example.org/search?q=a%26b");
}

} // namespace
