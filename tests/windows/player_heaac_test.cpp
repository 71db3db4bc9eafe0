// The player with the real audio library and lame.exe on the HE-AAC stations of the local
// Icecast (tests/data/heaac/: ADTS headers that give only the AAC core's half rate, and for
// v2 one channel): the bitrate label shows the station's bitrate as AAC, and a recording
// keeps the tone's pitch and lasts as long as what played.
#include "icecast_fixture_port.h"
#include "played_tone.h"
#include "player_harness.h"
#include "player_ids.h"
#include "playback/player_state.h"
#include "recorded_file.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t second = played_tone::frames_per_second;

struct heaac_station {
    const char *mount;
    const char *label; // the file's bitrate as the player shows it
    int tone_hz;
};

class PlayerHeAac : public PlayerHarness {
  protected:
    // Chooses the station, records a second after its label shows for three seconds, and
    // closes the player; *heard: the frames played when the recording was finished.
    void record_station(const heaac_station &station, size_t *heard,
                        const call_site &where = call_site::current()) {
        call_site_trace trace(where);
        played_tone sound;
        write_station_file("[stations]\r\nstation_count=1\r\nstation_name_1=HE-AAC\r\n"
                           "station_url_1=http://127.0.0.1:" +
                           std::to_string(icecast_port()) + "/" + station.mount + "\r\n");
        ASSERT_TRUE(start_player());
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_FIRST_STATION, 0), 0);
        EXPECT_TRUE(
            eventually([&] { return control_text(IDC_BITRATE_LABEL) == station.label; }, 30000))
            << control_text(IDC_BITRATE_LABEL);
        ASSERT_TRUE(eventually([&] { return sound.played().size() >= second; }, 30000));
        click(IDC_RECORD);
        ASSERT_EQ(window_title(), "Brevora  [REC]");
        const size_t recorded_from = sound.played().size();
        ASSERT_TRUE(
            eventually([&] { return sound.played().size() >= recorded_from + 3 * second; }, 30000));
        click(IDC_RECORD);
        *heard = sound.played().size();
        close_player();
        EXPECT_EQ(exit_code, 0);
    }
};

// The pitch of most quarter seconds of `samples`, after the first half second: the decoder's
// first frames after joining are near-silent while the high band settles, and where the
// station's looped file starts again the sound jumps.
int median_pitch(const std::vector<float> &samples) {
    std::vector<int> pitches;
    for (size_t start = second / 2; start + second / 4 <= samples.size(); start += second / 4)
        pitches.push_back(played_tone::pitch_of(samples, start, start + second / 4));
    if (pitches.empty())
        return -1;
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

// The one recording the current folder holds.
recorded_file only_recording() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"*.mp3", &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    const std::wstring name = found.cFileName;
    const bool more = FindNextFileW(search, &found);
    FindClose(search);
    EXPECT_FALSE(more) << "more than one recording";
    return read_recording(name);
}

TEST_F(PlayerHeAac, LabelShowsTheBitrateAndRecordingsKeepThePitchAndLength) {
    ASSERT_NE(icecast_port(), 0) << "no Icecast port from the fixture";
    const heaac_station stations[] = {{"he-aac-v1.aac", "64 Kbps AAC", 880},
                                      {"he-aac-v2.aac", "32 Kbps AAC", 660},
                                      {"he-aac-v2-48k.aac", "24 Kbps AAC", 740}};
    for (const heaac_station &station : stations) {
        SCOPED_TRACE(station.mount);
        scratch_current_folder scratch(L"brevora-heaac-recordings");
        size_t heard = 0;
        ASSERT_NO_FATAL_FAILURE(record_station(station, &heard));
        // The recording begins with the song, which began when the station did: it holds
        // everything that played.
        const recorded_file file = only_recording();
        ASSERT_TRUE(file.read) << "cannot decode the recording";
        EXPECT_NEAR(file.seconds(), static_cast<double>(heard) / second, 0.5);
        EXPECT_NEAR(median_pitch(file.left), station.tone_hz, 10);
    }
}

} // namespace
