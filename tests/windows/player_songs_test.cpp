// The recorder with the real audio library and lame.exe on the scripted station of songs
// (tests/servers/routes_songs.py: each song a tone of its own pitch, its ICY title where it
// begins): the title line changes when the song is heard, Record keeps the song from its
// start, Songs makes one tagged file per song, and hostile titles make correct files.
#include "played_tone.h"
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"
#include "recording/recording.h"
#include "recorded_file.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t second = played_tone::frames_per_second;
const char station_address[] = "/songs?seconds=6&start=3";

class PlayerSongs : public PlayerHarness {
  protected:
    void SetUp() override {
        PlayerHarness::SetUp();
        scratch = std::make_unique<scratch_current_folder>(L"brevora-song-recordings");
    }
    void TearDown() override {
        PlayerHarness::TearDown();
        scratch.reset();
    }

    std::string station_url(const std::string &path) {
        return "http://127.0.0.1:" +
               std::to_string(server_fixture_port("BREVORA_RADIO_SERVER_STATE")) + path;
    }

    // Starts the player with the station at `path` as its one row, Songs as `split` says (the
    // setting gives its default), and chooses it.
    void choose_songs(const std::string &path, bool split,
                      const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        ASSERT_NE(server_fixture_port("BREVORA_RADIO_SERVER_STATE"), 0) << "no scripted server";
        write_station_file(std::string("[config]\r\nrecord_split=") + (split ? "on" : "off") +
                           "\r\n[stations]\r\nstation_count=2\r\nstation_name_1=Local\r\n"
                           "station_url_1=null\r\nstation_name_2=Songs\r\nstation_url_2=" +
                           station_url(path) + "\r\n");
        ASSERT_TRUE(start_player());
        EXPECT_EQ(IsDlgButtonChecked(main_window, IDC_SONGS), split ? BST_CHECKED : BST_UNCHECKED);
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 1, 0), 0);
    }

    // Waits until the title line reads `title`; false on time-out. *heard: the sound played
    // by then.
    bool wait_for_title(const std::string &title, size_t *heard = nullptr, int timeout_ms = 40000) {
        size_t played = 0;
        const bool shown = eventually(
            [&] {
                played = sound.played().size();
                return control_text(IDC_TITLE_LINE) == title;
            },
            timeout_ms);
        if (heard)
            *heard = played;
        return shown;
    }

    void play_until(size_t frames) {
        EXPECT_TRUE(eventually([&] { return sound.played().size() >= frames; }, 30000));
    }

    // The MP3 files in the current folder, and that nothing else is there.
    static std::set<std::wstring> recordings() {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(L"*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.insert(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    // A song's file: its length, its pitch near its start and its tags.
    void expect_song_file(const std::wstring &name, double seconds, int pitch,
                          const std::string &title, const std::string &artist,
                          const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        recorded_file file = read_recording(name);
        ASSERT_TRUE(file.read) << "cannot decode the recording";
        EXPECT_NEAR(file.seconds(), seconds, 0.6);
        EXPECT_NEAR(played_tone::pitch_of(file.left, second / 10, second * 6 / 10), pitch, 15)
            << "the file does not begin with its song";
        EXPECT_EQ(file.tags["title"], title);
        EXPECT_EQ(file.tags["artist"], artist);
        EXPECT_EQ(file.tags["album"], "Brevora Songs");
        EXPECT_EQ(file.tags["comment"], station_url(station_address));
    }

    // Plays into the second song, presses Record four seconds into it, and stops a second
    // into the song after the next.
    void record_from_four_seconds_into_a_song(bool split) {
        ASSERT_NO_FATAL_FAILURE(choose_songs(station_address, split));
        size_t change = 0;
        ASSERT_TRUE(wait_for_title("Brevora Songs - Middle", &change))
            << control_text(IDC_TITLE_LINE);
        ASSERT_GT(change, second);
        // The title changed within half a second of the new song's first sound (the device
        // plays it a little later than the mixer hands it over), not seconds before.
        play_until(change + second);
        const std::vector<float> heard = sound.played();
        const size_t window = second / 20;
        size_t tone_start = change - 2 * second;
        while (tone_start < change + second &&
               played_tone::pitch_of(heard, tone_start, tone_start + window) < 550)
            tone_start += window;
        EXPECT_NEAR(static_cast<double>(change), static_cast<double>(tone_start), second / 2.0)
            << "the title changed " << (double(change) - double(tone_start)) / second
            << " s after the song";
        EXPECT_NEAR(played_tone::pitch_of(heard, change - 2 * second, change - second), 440, 15);

        play_until(change + 4 * second);
        click(IDC_RECORD);
        EXPECT_EQ(window_title(), "Brevora  [REC]");
        ASSERT_TRUE(wait_for_title("Brevora Songs - Low"));
        play_until(sound.played().size() + second);
        click(IDC_RECORD);
        EXPECT_EQ(window_title(), "Brevora");
    }

    std::unique_ptr<scratch_current_folder> scratch;
    played_tone sound;
};

TEST_F(PlayerSongs, RecordFourSecondsIntoASongKeepsItFromItsStart) {
    ASSERT_NO_FATAL_FAILURE(record_from_four_seconds_into_a_song(false));
    EXPECT_EQ(recordings(), std::set<std::wstring>{L"Brevora Songs - Middle.mp3"});
    // The whole second song, all of the third, a second of the fourth.
    expect_song_file(L"Brevora Songs - Middle.mp3", 13, 660, "Middle", "Brevora Songs");
    recorded_file file = read_recording(L"Brevora Songs - Middle.mp3");
    EXPECT_NEAR(played_tone::pitch_of(file.left, 7 * second, 8 * second), 990, 15);
    close_player();
    EXPECT_EQ(exit_code, 0);
}

TEST_F(PlayerSongs, SongsMakesOneTaggedFilePerSong) {
    ASSERT_NO_FATAL_FAILURE(record_from_four_seconds_into_a_song(true));
    EXPECT_EQ(recordings(),
              (std::set<std::wstring>{L"Brevora Songs - Middle.mp3", L"Brevora Songs - High.mp3",
                                      L"Brevora Songs - Low (part).mp3"}));
    expect_song_file(L"Brevora Songs - Middle.mp3", 6, 660, "Middle", "Brevora Songs");
    expect_song_file(L"Brevora Songs - High.mp3", 6, 990, "High", "Brevora Songs");
    expect_song_file(L"Brevora Songs - Low (part).mp3", 1, 440, "Low", "Brevora Songs");
    close_player();
    EXPECT_EQ(exit_code, 0);
}

// Titles are a stranger's text: each makes one file, correctly tagged, and nothing else
// appears (no file or option made of a piece of a title).
TEST_F(PlayerSongs, HostileTitlesGiveCorrectlyNamedAndTaggedFiles) {
    ASSERT_NO_FATAL_FAILURE(choose_songs("/songs?seconds=2&set=hostile", true));
    ASSERT_TRUE(wait_for_title("Intro"));
    click(IDC_RECORD);
    const std::string long_title = "Long - " + std::string(293, 'a');
    ASSERT_TRUE(wait_for_title(long_title)) << control_text(IDC_TITLE_LINE);
    ASSERT_TRUE(wait_for_title("Intro"));
    play_until(sound.played().size() + second / 2);
    click(IDC_RECORD);

    const struct {
        const char *title;
        const char *artist;
    } songs[] = {{"Intro", ""},
                 {"x\" --some-option \"y", ""},
                 {"100% ^ & | < > tune", ""},
                 {"line one\nline two", ""},
                 {long_title.c_str() + 7, "Long"}};
    std::set<std::wstring> names = recordings();
    std::string listed;
    for (const std::wstring &name : names)
        listed += std::string(name.begin(), name.end()) + " | ";
    ASSERT_EQ(names.size(), 6u) << "five songs, the intro twice: " << listed;
    EXPECT_EQ(names.count(L"Intro (part).mp3"), 1u);
    EXPECT_EQ(names.count(L"Intro (part) (2).mp3"), 1u);
    std::multiset<std::string> titles;
    for (const std::wstring &name : names) {
        EXPECT_EQ(name.find_first_of(L"\\/:*?\"<>|\r\n"), std::wstring::npos);
        EXPECT_EQ(name.size() - name.rfind(L".mp3"), 4u);
        EXPECT_LT(name.size(), size_t{record_target_size});
        recorded_file file = read_recording(name);
        EXPECT_TRUE(file.read);
        titles.insert(file.tags["title"]);
        for (const auto &song : songs)
            if (file.tags["title"] == song.title) {
                EXPECT_EQ(file.tags["artist"], song.artist);
            }
    }
    for (const auto &song : songs)
        EXPECT_EQ(titles.count(song.title), std::string(song.title) == "Intro" ? 2u : 1u)
            << song.title;
    close_player();
    EXPECT_EQ(exit_code, 0);
}

// Stop while the history is still being encoded: one file, named after its song.
TEST_F(PlayerSongs, StopWhileTheSongsStartIsEncodedLeavesANamedFile) {
    ASSERT_NO_FATAL_FAILURE(choose_songs("/songs?seconds=20", false));
    ASSERT_TRUE(wait_for_title("Brevora Songs - Low"));
    play_until(3 * second);
    click(IDC_RECORD);
    click(IDC_RECORD);
    EXPECT_EQ(window_title(), "Brevora");
    EXPECT_EQ(recordings(), std::set<std::wstring>{L"Brevora Songs - Low.mp3"});
    EXPECT_TRUE(read_recording(L"Brevora Songs - Low.mp3").read);
    close_player();
    EXPECT_EQ(exit_code, 0);
}

} // namespace
