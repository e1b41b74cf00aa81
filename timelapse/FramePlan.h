#pragma once
// Which picture each frame of a time-lapse shows. A gap is a stretch of seconds without a picture
// (shooting stopped, or pictures not stored as equal to the last): left out, every picture is one
// frame; held, every second of the range is one frame showing the last picture taken by then, so
// that time runs evenly.

#include <cstdint>
#include <vector>

#include "timelapse/TimedPicture.h"

namespace timelapse {

enum class Gaps { LeaveOut, Hold };

// `picture` (an index into the pictures) shown for `frames` frames in a row.
struct FrameRun {
    int picture = 0;
    int64_t frames = 1;
};

// The frames for pictures[from..to] (in time order, both ends included). Held, pictures that
// share a second give that second to the last of them. Empty when the range is.
std::vector<FrameRun> planFrames(const std::vector<TimedPicture>& pictures, int from, int to,
                                 Gaps gaps);

int64_t frameCount(const std::vector<FrameRun>& plan);

}  // namespace timelapse
