// The texts and rules behind the notification icon and the sleep timer: the tip fitted at a
// character boundary, the once-per-song balloon, the minutes left and the fade.
#include "desktop/notification_icon.h"
#include "playback/sleep_timer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::u16string ellipsis = u"\u2026";

TEST(NotificationIcon, TextsAreCutWhereACharacterEnds) {
    const std::u16string pair = u"\U0001F3B5"; // two UTF-16 units
    const struct {
        const char *name;
        std::u16string text;
        size_t room;
        std::u16string fitted;
    } cases[] = {
        {"fits", u"abc", 3, u"abc"},
        {"cut", u"abcdef", 4, u"abc" + ellipsis},
        {"no room", u"abc", 0, u""},
        {"pair not split", u"ab" + pair + u"cd", 4, u"ab" + ellipsis},
        {"pair kept whole", u"ab" + pair + u"cd", 5, u"ab" + pair + ellipsis},
        {"accent stays on its letter", u"abe\u0301f", 4, u"ab" + ellipsis},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fit_to_characters(c.text, c.room), c.fitted) << c.name;
}

TEST(NotificationIcon, TipSaysWhatPlaysAndWhenTheTimerEnds) {
    const struct {
        const char *name;
        bool playing;
        std::u16string title, station;
        int sleep;
        std::u16string tip;
    } cases[] = {
        {"stopped", false, u"Song", u"Jazz FM", 0, u"Brevora"},
        {"playing", true, u"Artist - Song", u"Jazz FM", 0, u"Artist - Song\nJazz FM"},
        {"no title yet", true, u"", u"buffering... 40%", 0, u"buffering... 40%"},
        {"sleep timer", true, u"Song", u"Jazz FM", 14, u"Song\nJazz FM\nSleep in 14 min"},
        {"stopped, timer running", false, u"", u"not playing", 90, u"Brevora\nSleep in 90 min"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(notification_tip(c.playing, c.title, c.station, c.sleep), c.tip) << c.name;
}

TEST(NotificationIcon, LongTextsShareTheTipAndKeepTheSleepLine) {
    const std::u16string title(300, u't'), station(300, u's');
    const std::u16string tip = notification_tip(true, title, station, 120);
    EXPECT_EQ(tip.size(), tip_units_max);
    const size_t first_break = tip.find(u'\n'), second_break = tip.rfind(u'\n');
    EXPECT_EQ(tip.substr(second_break), u"\nSleep in 120 min");
    // The station keeps half the room; the title the rest.
    EXPECT_EQ(second_break - first_break - 1, (tip_units_max - 18 - 1) / 2);
    EXPECT_EQ(tip.substr(first_break - 1, 1), ellipsis);
    // A short title leaves the station more.
    const std::u16string short_title = notification_tip(true, u"Song", station, 0);
    EXPECT_EQ(short_title.size(), tip_units_max);
    EXPECT_EQ(short_title.substr(0, 5), u"Song\n");
}

TEST(NotificationIcon, ABalloonOncePerSong) {
    song_notice_rule rule;
    const struct {
        int row;
        std::u16string title;
        bool enabled, in_front, notify;
    } steps[] = {
        {1, u"", true, false, false},        // connecting empties the title
        {1, u"Song A", true, false, true},   //
        {1, u"", true, false, false},        // a reconnect...
        {1, u"Song A", true, false, false},  // ...brings the same title back
        {1, u"Song B", true, true, false},   // the window is in front
        {1, u"Song B", true, false, false},  // already seen
        {1, u"Song C", false, false, false}, // notifications off
        {2, u"Song C", true, false, true},   // another station
        {2, u"Song A", true, false, true},
    };
    int step = 0;
    for (const auto &s : steps)
        EXPECT_EQ(rule.should_notify(s.row, s.title, s.enabled, s.in_front), s.notify)
            << "step " << step++;
}

TEST(SleepTimer, MinutesLeftRoundUpAndTheLastThirtySecondsFade) {
    const struct {
        int64_t remaining_ms;
        int minutes;
        uint32_t volume; // of 10000
    } cases[] = {
        {-5, 0, 0},
        {0, 0, 0},
        {1, 1, 0},
        {15000, 1, 5000},
        {29999, 1, 9999},
        {30000, 1, 10000},
        {60000, 1, 10000},
        {60001, 2, 10000},
        {14 * 60000 - 1, 14, 10000},
        {720 * 60000, 720, 10000},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(sleep_minutes_left(c.remaining_ms), c.minutes) << c.remaining_ms;
        EXPECT_EQ(faded_volume(10000, c.remaining_ms), c.volume) << c.remaining_ms;
    }
    // The fade only ever goes down.
    for (int64_t ms = sleep_fade_ms; ms > 0; ms -= sleep_fade_tick_ms)
        EXPECT_GE(faded_volume(5000, ms), faded_volume(5000, ms - sleep_fade_tick_ms));
}

} // namespace
