#pragma once
// Playing the pictures like a film: a clock in the pictures' time runs `speed` times as fast as
// real time, and the picture shown is the last one whose time the clock has reached. So the time
// between two pictures is kept, compressed by the speed; a wait longer than kLongestWait of real
// time (shooting was stopped for the night) is cut to it.

#include <array>
#include <cstddef>
#include <vector>

#include "timelapse/TimedPicture.h"

namespace viewer {

// The speeds offered: 1×, 10×, 60×, 600×.
inline constexpr std::array<int, 4> kSpeeds{1, 10, 60, 600};

class Playback {
public:
    static constexpr double kLongestWait = 2.0;  // seconds of real time

    // Plays on from picture `current`.
    void startAt(const std::vector<timelapse::TimedPicture>& pictures, size_t current);

    // The picture to show `elapsed` seconds of real time after the last call, when picture
    // `current` was shown; the last picture once the end is reached.
    size_t advance(const std::vector<timelapse::TimedPicture>& pictures, size_t current,
                   double elapsed, int speed);

private:
    double clock_ = 0;  // the pictures' time reached, in seconds
};

}  // namespace viewer
