// The player's own settings file: what is read from hand-edited and damaged files, and that
// what is written reads back the same.
#include "settings/player_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct reading {
    const char *name;
    std::string text;
    bool minimize_to_tray, notify_songs, resume;
    std::vector<int> sleep_choices;
    int volume;
    std::string last_station_name, search_url;
};

std::string with_nul(const char *before, const char *after) {
    return std::string(before) + '\0' + after;
}

const std::vector<int> default_choices = {15, 30, 45, 60, 90, 120};
const std::string default_search = player_settings{}.search_url;

TEST(PlayerSettings, ReadsWhatItCanAndKeepsDefaultsForTheRest) {
    const reading cases[] = {
        {"empty", "", false, false, false, default_choices, 100, "", default_search},
        {"written by hand",
         "\xEF\xBB\xBF; comment\n[Player]\n MINIMIZE_TO_TRAY = On \r\nnotify_songs=on\rresume=on\n"
         "sleep_choices= 5, 720 ,5,0,721,abc,30\nvolume=42\nlast_station_name=\"Jazz FM\"\n"
         "search_url=https://example.org/?q=%s",
         true,
         true,
         true,
         {5, 30, 720},
         42,
         "Jazz FM",
         "https://example.org/?q=%s"},
        {"first of a repeated key, other sections ignored",
         "[other]\nresume=on\n[player]\nvolume=7\nvolume=9\n[player2]\nnotify_songs=on", false,
         false, false, default_choices, 7, "", default_search},
        {"values out of range or unknown",
         "[player]\nresume=yes\nvolume=101\nsleep_choices=0,999\nsearch_url=cmd.exe /c x\n"
         "last_station_name=" +
             std::string(200, 'n'),
         false, false, false, default_choices, 100, "", default_search},
        {"damage: NUL bytes, no line ends, a lone section",
         with_nul("[player\nresume=on\n[player]\nvolume=3", " 9\nnotify_songs=on"), false, true,
         false, default_choices, 3, "", default_search},
    };
    for (const reading &c : cases) {
        const player_settings s = parse_player_settings(c.text);
        EXPECT_EQ(s.minimize_to_tray, c.minimize_to_tray) << c.name;
        EXPECT_EQ(s.notify_songs, c.notify_songs) << c.name;
        EXPECT_EQ(s.resume, c.resume) << c.name;
        EXPECT_EQ(s.sleep_choices, c.sleep_choices) << c.name;
        EXPECT_EQ(s.volume, c.volume) << c.name;
        EXPECT_EQ(s.last_station_name, c.last_station_name) << c.name;
        EXPECT_EQ(s.search_url, c.search_url) << c.name;
    }
}

TEST(PlayerSettings, WrittenFileReadsBackWithUnknownKeysAndSectionsKept) {
    const player_settings written = parse_player_settings(
        "[player]\nclose_to_tray=on\nfuture_key=kept\nvolume=55\nlast_station_url=http://a/b\n"
        "last_station_name=Caf\xC3\xA9\n[window]\nx=10\n");
    const std::string text = format_player_settings(written);
    const player_settings read = parse_player_settings(text);
    EXPECT_TRUE(read.close_to_tray);
    EXPECT_EQ(read.volume, 55);
    EXPECT_EQ(read.last_station_url, "http://a/b");
    EXPECT_EQ(read.last_station_name, "Caf\xC3\xA9");
    ASSERT_EQ(read.unknown_player_keys.size(), 1u);
    EXPECT_EQ(read.unknown_player_keys[0].second, "kept");
    EXPECT_EQ(read.other_lines, (std::vector<std::string>{"[window]", "x=10"}));
    EXPECT_EQ(format_player_settings(read), text);
}

TEST(PlayerSettings, LineBreaksInATextNeverSplitTheFile) {
    player_settings settings;
    settings.last_station_name = "two\r\nlines";
    settings.last_station_url = "resume=on";
    const player_settings read = parse_player_settings(format_player_settings(settings));
    EXPECT_EQ(read.last_station_name, "two  lines");
    EXPECT_FALSE(read.resume);
}

} // namespace
