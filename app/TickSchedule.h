#pragma once
// When the ticks of a run of pictures come. A picture's name tells its time to the second, so two
// pictures of one run named in the same second would be one file, the later replacing the
// earlier. The ticks therefore sit in the middle of a wall-clock second, `interval` seconds
// apart, away from the boundaries where a few milliseconds decide the name; a tick that comes
// before the interval since the last name is over waits for it instead of taking a picture.

#include <cstdint>
#include <optional>
#include <QDateTime>

namespace app {

class TickSchedule {
public:
    struct Tick {
        bool shoot;    // this tick takes a picture
        int nextInMs;  // the wait until the next tick
    };

    // A new run `intervalSeconds` apart: nothing named yet. Returns the wait until its first
    // tick, one interval, as it always was.
    int start(int intervalSeconds);
    // A tick at `now`. Re-aligns every time, so that a clock that was set or a late tick moves
    // the ticks back to the middle of a second at once.
    Tick tick(const QDateTime& now);
    // A picture of this run was named at `when`.
    void named(const QDateTime& when);

private:
    int interval_ = 1;
    std::optional<int64_t> lastNamed_;  // the wall-clock second of the last name of this run
};

}  // namespace app
