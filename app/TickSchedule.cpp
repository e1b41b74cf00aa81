#include "app/TickSchedule.h"

namespace app {
namespace {

// A clock set back by more than this starts the run's names afresh at the new time; a smaller
// step (a time server's correction) only makes the next tick wait until its second is new.
constexpr int64_t kClockSetBackSeconds = 10;

// Milliseconds of the local wall-clock time, the time that names show: counted on the local
// date and time themselves, so that a clock put back (also for summer time) shows as going back.
int64_t wallMs(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    return local.date().toJulianDay() * int64_t{86'400'000} + local.time().msecsSinceStartOfDay();
}

int64_t secondOf(int64_t ms) {
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

// The wait from `nowMs` until the middle of `second`.
int untilMiddleOf(int64_t second, int64_t nowMs) {
    return static_cast<int>(second * 1000 + 500 - nowMs);
}

}  // namespace

int TickSchedule::start(int intervalSeconds) {
    interval_ = intervalSeconds;
    lastNamed_.reset();
    return interval_ * 1000;
}

TickSchedule::Tick TickSchedule::tick(const QDateTime& now) {
    const int64_t ms = wallMs(now);
    const int64_t second = secondOf(ms);
    if (lastNamed_) {
        const int64_t due = *lastNamed_ + interval_;  // the first second free for the next name
        if (second < due && second >= *lastNamed_ - kClockSetBackSeconds) {
            return {false, untilMiddleOf(due, ms)};
        }
    }
    return {true, untilMiddleOf(second + interval_, ms)};
}

void TickSchedule::named(const QDateTime& when) {
    lastNamed_ = secondOf(wallMs(when));
}

}  // namespace app
