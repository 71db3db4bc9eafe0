// The recorder with the real audio library and lame.exe on the scripted station of songs
// (tests/servers/routes_songs.py: each song a tone of its own pitch, its ICY title where it
// begins): the title line changes when the song is heard, Record keeps the song from its
// start, Songs makes one tagged file per song, hostile titles make correct files, and the
// window never waits for a recording's file to be finished.
#include "played_tone.h"
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"
#include "recording/recording.h"
#include "recorded_file.h"

#include <tlhelp32.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t second = played_tone::frames_per_second;
const char station_address[] = "/songs?seconds=6&start=3";

// The lame.exe this process started last, held still (its threads suspended) while this
// lives or until release(): the recording it encodes cannot end meanwhile.
class held_encoder {
  public:
    held_encoder() {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry))
            if (entry.th32ParentProcessID == GetCurrentProcessId() &&
                _wcsicmp(entry.szExeFile, L"lame.exe") == 0)
                id_ = entry.th32ProcessID;
        CloseHandle(snapshot);
        process_ = id_ ? OpenProcess(SYNCHRONIZE, FALSE, id_) : nullptr;
        for_each_thread(
            [this](HANDLE thread) { suspended_ += SuspendThread(thread) != DWORD(-1); });
    }
    ~held_encoder() {
        release();
        if (process_)
            CloseHandle(process_);
    }
    held_encoder(const held_encoder &) = delete;
    held_encoder &operator=(const held_encoder &) = delete;

    bool held() const { return process_ && suspended_ > 0; }
    bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    void release() {
        if (suspended_ > 0)
            for_each_thread([](HANDLE thread) { ResumeThread(thread); });
        suspended_ = 0;
    }

  private:
    template <typename Action> void for_each_thread(Action action) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more && id_;
             more = Thread32Next(snapshot, &entry))
            if (entry.th32OwnerProcessID == id_)
                if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
                    action(thread);
                    CloseHandle(thread);
                }
        CloseHandle(snapshot);
    }

    DWORD id_ = 0;
    HANDLE process_ = nullptr;
    int suspended_ = 0;
};

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

    // Starts the player with the station at `path` as its row after a group heading (and
    // `next_path`, when given, as a third row), Songs as `split` says (the setting gives its
    // default), and chooses it.
    void choose_songs(const std::string &path, bool split, const std::string &next_path = "",
                      const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        ASSERT_NE(server_fixture_port("BREVORA_RADIO_SERVER_STATE"), 0) << "no scripted server";
        const std::string next_row =
            next_path.empty()
                ? ""
                : "station_name_3=Next\r\nstation_url_3=" + station_url(next_path) + "\r\n";
        write_station_file(std::string("[config]\r\nrecord_split=") + (split ? "on" : "off") +
                           "\r\n[stations]\r\nstation_count=" + (next_path.empty() ? "2" : "3") +
                           "\r\nstation_name_1=Local\r\nstation_url_1=null\r\n"
                           "station_name_2=Songs\r\nstation_url_2=" +
                           station_url(path) + "\r\n" + next_row);
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

    // Plays into the second song, presses Record four seconds into it, stops a second into
    // the song after the next, and closes the player, which waits for the recording's files.
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
        close_player();
        EXPECT_EQ(exit_code, 0);
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
}

TEST_F(PlayerSongs, SongsMakesOneTaggedFilePerSong) {
    ASSERT_NO_FATAL_FAILURE(record_from_four_seconds_into_a_song(true));
    EXPECT_EQ(recordings(),
              (std::set<std::wstring>{L"Brevora Songs - Middle.mp3", L"Brevora Songs - High.mp3",
                                      L"Brevora Songs - Low (part).mp3"}));
    expect_song_file(L"Brevora Songs - Middle.mp3", 6, 660, "Middle", "Brevora Songs");
    expect_song_file(L"Brevora Songs - High.mp3", 6, 990, "High", "Brevora Songs");
    expect_song_file(L"Brevora Songs - Low (part).mp3", 1, 440, "Low", "Brevora Songs");
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
    close_player(); // waits for the last file
    EXPECT_EQ(exit_code, 0);

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
}

// Stop while the history is still being encoded: one file, named after its song.
TEST_F(PlayerSongs, StopWhileTheSongsStartIsEncodedLeavesANamedFile) {
    ASSERT_NO_FATAL_FAILURE(choose_songs("/songs?seconds=20", false));
    ASSERT_TRUE(wait_for_title("Brevora Songs - Low"));
    play_until(3 * second);
    click(IDC_RECORD);
    click(IDC_RECORD);
    EXPECT_EQ(window_title(), "Brevora");
    close_player();
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(recordings(), std::set<std::wstring>{L"Brevora Songs - Low.mp3"});
    EXPECT_TRUE(read_recording(L"Brevora Songs - Low.mp3").read);
}

// Each way a recording ends while its song's history is still being encoded (lame.exe held
// still, so it cannot be done): the action returns and the window answers meanwhile (for the
// close box: the window goes, the program waits), a station change plays the next station;
// released, the file is completed, named after its song and tagged.
TEST_F(PlayerSongs, RecordingsEndWithoutTheWindowWaitingForTheirFile) {
    enum class ending { stop, station_change, close_box };
    const struct {
        const char *name;
        ending how;
    } rows[] = {{"Stop", ending::stop},
                {"a station change", ending::station_change},
                {"the close box", ending::close_box}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        scratch.reset(); // the folder goes back to the one it replaced before it is made again
        scratch = std::make_unique<scratch_current_folder>(L"brevora-song-recordings");
        ASSERT_NO_FATAL_FAILURE(
            choose_songs("/songs?seconds=60", false, "/songs?seconds=60&titles=Next%20Station"));
        const size_t tuned = sound.played().size();
        ASSERT_TRUE(wait_for_title("Brevora Songs - Low"));
        play_until(tuned + 8 * second);
        click(IDC_RECORD);
        held_encoder lame;
        ASSERT_TRUE(lame.held()) << "no lame.exe to hold";
        const size_t heard = sound.played().size() - tuned;
        if (row.how == ending::stop) {
            click(IDC_STOP);
        } else if (row.how == ending::station_change) {
            SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION + 2, 0), 0);
            EXPECT_TRUE(wait_for_title("Next Station")) << control_text(IDC_TITLE_LINE);
        } else {
            PostMessageW(main_window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(eventually([&] { return !IsWindow(main_window); }));
            EXPECT_FALSE(player_ended) << "the program ended before its recording's file";
        }
        if (row.how != ending::close_box) {
            EXPECT_EQ(window_title(), "Brevora"); // the window answers
        }
        EXPECT_TRUE(lame.running()) << "the window waited until the encoder had to be ended";
        lame.release();
        close_player();
        EXPECT_EQ(exit_code, 0);
        EXPECT_EQ(recordings(), std::set<std::wstring>{L"Brevora Songs - Low.mp3"});
        recorded_file file = read_recording(L"Brevora Songs - Low.mp3");
        ASSERT_TRUE(file.read) << "cannot decode the recording";
        EXPECT_NEAR(file.seconds(), static_cast<double>(heard) / second, 0.6);
        EXPECT_EQ(file.tags["title"], "Low");
        EXPECT_EQ(file.tags["artist"], "Brevora Songs");
    }
}

} // namespace
