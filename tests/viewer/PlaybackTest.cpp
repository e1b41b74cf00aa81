// Playing: the time between pictures compressed by the speed, long waits cut, the end reached.
#include <vector>
#include <gtest/gtest.h>

#include "viewer/Playback.h"

namespace {

std::vector<timelapse::TimedPicture> at(std::vector<int64_t> times) {
    std::vector<timelapse::TimedPicture> pictures;
    for (const int64_t time : times) {
        pictures.push_back({QString::number(time), time});
    }
    return pictures;
}

TEST(PlaybackTest, ShowsTheLastPictureTheClockHasReached) {
    const auto everySecond = at({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const auto withNight = at({0, 1, 2, 28800, 28801});
    const struct {
        const char* what;
        std::vector<timelapse::TimedPicture> pictures;
        int speed;
        std::vector<double> ticks;     // seconds of real time
        std::vector<size_t> expected;  // the picture shown after each
    } cases[] = {
        {"1x waits a second", everySecond, 1, {0.5, 0.4, 0.2, 1.0}, {0, 0, 1, 2}},
        {"10x passes ten in a second", everySecond, 10, {0.25, 0.25, 0.5}, {2, 5, 10}},
        {"600x stops at the last", everySecond, 600, {0.04, 0.04}, {12, 12}},
        {"a night is cut to the longest wait",
         withNight,
         1,
         {2.0, 1.0, 1.0, 0.5, 0.6},
         {2, 2, 2, 2, 3}},
        {"a night at 600x too", withNight, 600, {0.04, 1.0, 2.0}, {2, 2, 3}},
    };
    for (const auto& c : cases) {
        viewer::Playback playback;
        playback.startAt(c.pictures, 0);
        size_t current = 0;
        for (size_t i = 0; i < c.ticks.size(); ++i) {
            current = playback.advance(c.pictures, current, c.ticks[i], c.speed);
            EXPECT_EQ(current, c.expected[i]) << c.what << ", tick " << i;
        }
    }
}

TEST(PlaybackTest, AListChangedUnderTheClockNeverGoesBack) {
    viewer::Playback playback;
    auto pictures = at({0, 1, 2, 3});
    playback.startAt(pictures, 0);
    // The first two are deleted while playing: the one shown is now index 0, time 2.
    pictures.erase(pictures.begin(), pictures.begin() + 2);
    EXPECT_EQ(playback.advance(pictures, 0, 0.5, 1), 0u);
    EXPECT_EQ(playback.advance(pictures, 0, 0.6, 1), 1u);
}

}  // namespace
