// The ticks of a run driven through the schedule as the timer drives them, with a clock of the
// test's own: starts near a second's boundary, jitter, late ticks and a clock set back never give
// two pictures one name, and the ticks come back to the middle of a second.

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

#include "app/TickSchedule.h"

namespace {

struct TickRun {
    const char* what;
    int interval;
    int startPhaseMs;           // where in its second the run starts
    std::vector<int> lateness;  // how late each tick fires, in ms; its length is the tick count
    int namingMs;               // from a tick to its picture's name
    int clockStepAtTick = -1;   // the wall clock jumps by clockStepMs before this tick
    int clockStepMs = 0;
    int maxGapSeconds = 0;  // the largest gap allowed between two names
};

TEST(TickSchedule, EveryPictureOfARunHasItsOwnSecond) {
    const QDateTime origin(QDate(2026, 3, 1), QTime(10, 0, 0));
    const std::vector<int> jitter = {8, -6, 9, -7, 5, -8, 7, -5, 6, -9, 8, -6};
    const TickRun runs[] = {
        {"started just before a second", 1, 950, jitter, 30, -1, 0, 1},
        {"started at the very end of a second", 1, 999, jitter, 3, -1, 0, 1},
        {"named in the next second", 1, 970, jitter, 60, -1, 0, 2},
        {"two seconds apart", 2, 0, jitter, 20, -1, 0, 2},
        {"a tick 1.3 s late", 1, 400, {0, 0, 1300, 0, 0, 0}, 20, -1, 0, 2},
        {"clock set back 0.7 s", 1, 500, jitter, 20, 5, -700, 2},
        {"clock set forward an hour", 60, 990, {0, 0, 0, 0}, 20, 2, 3'600'000, 3660},
    };
    for (const TickRun& run : runs) {
        SCOPED_TRACE(run.what);
        app::TickSchedule schedule;
        int64_t wallOffset = 0;  // wall clock minus the timer's own
        int64_t due = run.startPhaseMs + schedule.start(run.interval);
        EXPECT_EQ(due - run.startPhaseMs, run.interval * 1000) << "the first tick";
        std::vector<int64_t> names;
        for (size_t i = 0; i < run.lateness.size(); ++i) {
            if (static_cast<int>(i) == run.clockStepAtTick) {
                wallOffset += run.clockStepMs;
            }
            const int64_t fired = due + run.lateness[i];
            const app::TickSchedule::Tick tick = schedule.tick(origin.addMSecs(fired + wallOffset));
            ASSERT_GT(tick.nextInMs, 0);
            if (i > 0 && static_cast<int>(i) != run.clockStepAtTick) {
                EXPECT_LE(std::abs((fired + wallOffset) % 1000 - 500), std::abs(run.lateness[i]))
                    << "tick " << i << " off the middle of its second";
            }
            if (tick.shoot) {
                const QDateTime named = origin.addMSecs(fired + wallOffset + run.namingMs);
                schedule.named(named);
                names.push_back(origin.secsTo(named));
            }
            due = fired + tick.nextInMs;
        }
        ASSERT_GE(names.size(), run.lateness.size() - 2);
        for (size_t i = 1; i < names.size(); ++i) {
            EXPECT_GE(names[i] - names[i - 1], run.interval) << "picture " << i;
            EXPECT_LE(names[i] - names[i - 1], run.maxGapSeconds) << "picture " << i;
        }
    }
}

}  // namespace
