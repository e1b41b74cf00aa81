// The choice of frames, the offered file name and the videos folder: logic without a video.
#include <gtest/gtest.h>

#include "Pictures.h"
#include "platform/posix/UserFolders.h"
#include "timelapse/FramePlan.h"
#include "timelapse/VideoName.h"

using testing_support::kStart;
using timelapse::FrameRun;
using timelapse::Gaps;

namespace {

struct PlanCase {
    const char* what;
    std::vector<int64_t> seconds;  // after kStart, one per picture
    int from, to;
    Gaps gaps;
    std::vector<std::pair<int, int64_t>> runs;  // picture, frames
};

}  // namespace

TEST(FramePlanTest, FramesFollowTheRangeAndTheGaps) {
    const PlanCase cases[] = {
        {"every second a picture", {0, 1, 2}, 0, 2, Gaps::Hold, {{0, 1}, {1, 1}, {2, 1}}},
        {"a gap left out", {0, 1, 5, 6}, 0, 3, Gaps::LeaveOut, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
        {"a gap held by the picture before",
         {0, 1, 5, 6},
         0,
         3,
         Gaps::Hold,
         {{0, 1}, {1, 4}, {2, 1}, {3, 1}}},
        {"a part of the pictures", {0, 10, 20, 30}, 1, 2, Gaps::Hold, {{1, 10}, {2, 1}}},
        {"two pictures of one second, held",
         {0, 1, 1, 2},
         0,
         3,
         Gaps::Hold,
         {{0, 1}, {2, 1}, {3, 1}}},
        {"an empty range", {0, 1}, 1, 0, Gaps::LeaveOut, {}},
        {"a range beyond the pictures", {0, 1}, -3, 9, Gaps::LeaveOut, {{0, 1}, {1, 1}}},
    };
    for (const PlanCase& c : cases) {
        std::vector<timelapse::TimedPicture> pictures;
        for (const int64_t second : c.seconds) {
            pictures.push_back({QString(), kStart + second});
        }
        const std::vector<FrameRun> plan = timelapse::planFrames(pictures, c.from, c.to, c.gaps);
        std::vector<std::pair<int, int64_t>> runs;
        for (const FrameRun& run : plan) {
            runs.emplace_back(run.picture, run.frames);
        }
        EXPECT_EQ(runs, c.runs) << c.what;
    }
}

TEST(FramePlanTest, TheOfferedNameAndTheVideosFolder) {
    const timelapse::TimedPicture first{QString(), kStart + 7}, last{QString(), kStart + 3606};
    EXPECT_EQ(timelapse::videoName(first, last, platform::VideoFormat::Mp4),
              "kcVideo2026-12-09-13-45-07_2026-12-09-14-45-06.mp4");
    EXPECT_EQ(timelapse::videoName(first, last, platform::VideoFormat::WebM),
              "kcVideo2026-12-09-13-45-07_2026-12-09-14-45-06.webm");

    const QByteArray userDirs =
        "XDG_PICTURES_DIR=\"$HOME/写真\"\nXDG_VIDEOS_DIR=\"$HOME/ビデオ\"\n";
    EXPECT_EQ(platform::videosFolder("/home/u", userDirs), "/home/u/ビデオ");
    EXPECT_EQ(platform::picturesFolder("/home/u", userDirs), "/home/u/写真");
    EXPECT_EQ(platform::videosFolder("/home/u", "XDG_PICTURES_DIR=\"/p\"\n"), "/home/u/Videos");
}
