// The recorder's song files: titles from each tag kind, the artist and title split, file
// names for hostile titles within their room, and the ID3v2 tag as a real reader (ffprobe)
// reads it back in front of an MP3.
#include "playback/stream_title.h"
#include "recording/id3v2_tag.h"
#include "recording/song_file_name.h"

#include "stream_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>

namespace {

// A tag block with its NULs, the last one included (Ogg comments end with an empty entry).
template <size_t N> std::string block(const char (&text)[N]) {
    return std::string(text, N);
}

// No title (nullopt) leaves the title line as it was; an empty one clears it.
struct tag_case {
    unsigned type;
    std::string bytes;
    std::optional<std::u16string> title;
};

TEST(SongFile, TitleFromEachTagKind) {
    const tag_case cases[] = {
        {BASS_TAG_META, "StreamTitle='Artist - Song';StreamUrl='';", u"Artist - Song"},
        {BASS_TAG_META, "StreamTitle='Rock 'n' Roll';", u"Rock 'n' Roll"},
        {BASS_TAG_META, "StreamTitle='Caf\xc3\xa9 \xe2\x99\xab';", u"Caf\u00e9 \u266b"},
        {BASS_TAG_META, "StreamTitle='Mot\xf6rhead';", u"Mot\u00f6rhead"},
        {BASS_TAG_META, "StreamTitle='cut before its end", std::nullopt},
        {BASS_TAG_META, "StreamUrl='http://x/';", std::nullopt},
        {BASS_TAG_META, "StreamTitle='';", u""},
        {BASS_TAG_OGG, block("ARTIST=Band\0Title=Song\0"), u"Band - Song"},
        {BASS_TAG_OGG, block("subtitle=no\0title=Only\0"), u"Only"},
        {BASS_TAG_OGG, block("artist=Mot\xf6rhead\0title=Ace\0"), u"Mot\u00f6rhead - Ace"},
        {BASS_TAG_OGG, block("artist=Nobody\0"), std::nullopt},
        {BASS_TAG_OGG, block(""), std::nullopt},
        // "artist - title" fits the title line's 99 bytes, never ending in a cut character.
        {BASS_TAG_OGG, "artist=" + std::string(95, 'a') + block("\0title=\xc3\xa9t\0"),
         std::u16string(95, u'a') + u" - "},
        {BASS_TAG_OGG, "artist=" + std::string(94, 'a') + block("\0title=\xc3\xa9t\0"),
         std::u16string(94, u'a') + u" - \u00e9"},
        {BASS_TAG_OGG, "title=" + std::string(150, 't') + block("\0"), std::u16string(150, u't')},
        {BASS_TAG_WMA_META, "Song \xe2\x99\xab", u"Song \u266b"},
        {BASS_TAG_WMA_META, "", u""},
        {BASS_TAG_HTTP, "StreamTitle='not this kind';", std::nullopt},
    };
    for (const tag_case &next : cases)
        EXPECT_EQ(stream_title(next.type, next.bytes.c_str()), next.title) << next.bytes;
    EXPECT_EQ(stream_title(BASS_TAG_META, nullptr), std::nullopt);
}

TEST(SongFile, SplitsArtistAndTitleAtTheFirstSeparator) {
    const struct {
        std::u16string shown, artist, title;
    } cases[] = {
        {u"Artist - Title", u"Artist", u"Title"},
        {u"A - B - C", u"A", u"B - C"},
        {u"Jay-Z-no separator", u"", u"Jay-Z-no separator"},
        {u" - Untitled", u"", u"Untitled"},
        {u"", u"", u""},
    };
    for (const auto &next : cases) {
        const song_fields fields = split_song_title(next.shown);
        EXPECT_EQ(fields.artist, next.artist);
        EXPECT_EQ(fields.title, next.title);
        EXPECT_TRUE(fields.album.empty() && fields.comment.empty());
    }
}

const size_t player_room = 260;

TEST(SongFile, NamesHostileTitlesSafely) {
    const std::u16string pair = u"\U0001F3B5";
    const struct {
        std::u16string title;
        bool part;
        std::u16string name;
    } cases[] = {
        {u"x\" --some-option \"y", false, u"x --some-option y.mp3"},
        {u"%PATH% ^ & | < > ", false, u"%PATH% ^ &.mp3"},
        {u"AC/DC: Back\\in Black?*", false, u"ACDC Backin Black.mp3"},
        {u"It's 100% Rock & Roll ^_^", false, u"It's 100% Rock & Roll ^_^.mp3"},
        {u"First line\r\nsecond\tline\u0085", false, u"First linesecondline.mp3"},
        {u"  Blanks and dots . . ", false, u"Blanks and dots.mp3"},
        {u"Song", true, u"Song (part).mp3"},
        {u"Mot\u00f6rhead \u2013 Ace " + pair, false,
         u"Mot\u00f6rhead \u2013 Ace " + pair + u".mp3"},
        {u"Lone \xD800 surrogate", false, u"Lone  surrogate.mp3"},
        {u"nul", false, u"_nul.mp3"},
        {u"Com1.live", true, u"_Com1.live (part).mp3"},
        {u"CONNECTED", false, u"CONNECTED.mp3"},
        {u"...", false, u""},
        {u"\\/:*?\"<>|", false, u""},
        {u" \r\n ", true, u""},
        {std::u16string(300, u'a'), false, std::u16string(255, u'a') + u".mp3"},
        {std::u16string(300, u'a'), true, std::u16string(248, u'a') + u" (part).mp3"},
        {std::u16string(254, u'a') + pair + u"b", false, std::u16string(254, u'a') + u".mp3"},
        {std::u16string(250, u'a') + std::u16string(20, u' ') + u"b", false,
         std::u16string(250, u'a') + u".mp3"},
    };
    for (const auto &next : cases)
        EXPECT_EQ(song_file_name(next.title, next.part, nullptr, player_room), next.name)
            << next.title.size();
}

TEST(SongFile, NumbersNamesThatAreTaken) {
    const std::set<std::u16string> taken = {u"Song.mp3", u"Song (2).mp3", u"Song (part).mp3",
                                            std::u16string(255, u'a') + u".mp3"};
    const auto exists = [&](const std::u16string &name) { return taken.count(name) > 0; };
    EXPECT_EQ(song_file_name(u"Song", false, exists, player_room), u"Song (3).mp3");
    EXPECT_EQ(song_file_name(u"Song", true, exists, player_room), u"Song (part) (2).mp3");
    EXPECT_EQ(song_file_name(u"Other", false, exists, player_room), u"Other.mp3");
    EXPECT_EQ(song_file_name(std::u16string(300, u'a'), false, exists, player_room),
              std::u16string(251, u'a') + u" (2).mp3");
    const auto everything = [](const std::u16string &) { return true; };
    EXPECT_EQ(song_file_name(u"Song", false, everything, player_room), u"");
}

// Whatever the room, title and mark, with every name but the third taken: the name and its
// terminator fit, it ends in its suffix, and no surrogate pair is split.
TEST(SongFile, NameAlwaysFitsItsRoom) {
    const std::u16string titles[] = {u"Song", u"\U0001F3B5\U0001F3B5\U0001F3B5\U0001F3B5",
                                     u"a.b.c.d.e.f", std::u16string(300, u'x')};
    const auto all_but_third = [](const std::u16string &name) {
        return name.find(u" (3).mp3") == std::u16string::npos;
    };
    for (size_t room = 0; room <= 40; ++room)
        for (const std::u16string &title : titles)
            for (bool part : {false, true}) {
                const std::u16string name = song_file_name(title, part, all_but_third, room);
                if (name.empty())
                    continue;
                const std::u16string suffix = part ? u" (part) (3).mp3" : u" (3).mp3";
                EXPECT_LE(name.size() + 1, room);
                ASSERT_GT(name.size(), suffix.size()) << room;
                EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix) << room;
                const char16_t last = name[name.size() - suffix.size() - 1];
                EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << room;
            }
    EXPECT_EQ(song_file_name(u"Song", false, nullptr, 10), u"Song.mp3");
    EXPECT_EQ(song_file_name(u"Song", false, nullptr, 6), u"S.mp3");
    EXPECT_EQ(song_file_name(u"Song", false, nullptr, 5), u"");
}

// The tags ffprobe reads from a file ("TAG:name=value" lines).
std::map<std::string, std::string> tags_read_by_ffprobe(const std::string &path) {
    std::map<std::string, std::string> tags;
    const std::string command =
        "ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 '" + path + "'";
    FILE *output = popen(command.c_str(), "r");
    if (!output)
        return tags;
    std::string text;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, output)) > 0;)
        text.append(chunk, got);
    pclose(output);
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (line.rfind("TAG:", 0) == 0 && equals != std::string::npos)
            tags[line.substr(4, equals - 4)] = line.substr(equals + 1);
    }
    return tags;
}

TEST(SongFile, TagIsReadBackByARealReader) {
    // Without an ID3v2 tag of its own, as the recorder's encoder writes its files.
    const std::vector<uint8_t> mp3 = stream_test::encode_tone(
        "song_file.mp3", 440, 1, "-c:a libmp3lame -b:a 128k -id3v2_version 0");
    ASSERT_FALSE(mp3.empty()) << "the ffmpeg program is needed";
    const std::filesystem::path folder =
        testing::TempDir() + "brevora_song_file_" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::u16string pair = u"\U0001F3B5";
    const struct {
        song_fields fields;
        std::map<std::string, std::string> read;
    } cases[] = {
        {{u"Ace of Spades", u"Mot\u00f6rhead \u2013 Ace", u"Radio \u00dcnicode \u266b",
          u"http://radio.example:8000/live"},
         {{"title", "Ace of Spades"},
          {"artist", "Mot\xc3\xb6rhead \xe2\x80\x93 Ace"},
          {"album", "Radio \xc3\x9cnicode \xe2\x99\xab"},
          {"comment", "http://radio.example:8000/live"}}},
        {{u"x\" --some-option \"y 100% ^&|<>", u"", u"Station", u""},
         {{"title", "x\" --some-option \"y 100% ^&|<>"}, {"album", "Station"}}},
        {{pair + u" Song", u"", u"", u"comment " + pair},
         {{"title", "\xf0\x9f\x8e\xb5 Song"}, {"comment", "comment \xf0\x9f\x8e\xb5"}}},
        // Cut at 1,000 units, here before a pair rather than inside it.
        {{std::u16string(999, u'a') + pair + u"b", u"", std::u16string(1500, u'c'), u""},
         {{"title", std::string(999, 'a')}, {"album", std::string(1000, 'c')}}},
    };
    const std::string path = (folder / "song.mp3").string();
    for (const auto &next : cases) {
        const std::vector<uint8_t> tag = id3v2_tag(next.fields);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(tag.data()), static_cast<long>(tag.size()));
        file.write(reinterpret_cast<const char *>(mp3.data()), static_cast<long>(mp3.size()));
        file.close();
        EXPECT_EQ(tags_read_by_ffprobe(path), next.read) << next.read.begin()->second.substr(0, 40);
    }
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(id3v2_tag({}).empty());
}

} // namespace
