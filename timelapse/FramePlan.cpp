#include "timelapse/FramePlan.h"

#include <algorithm>

namespace timelapse {

std::vector<FrameRun> planFrames(const std::vector<TimedPicture>& pictures, int from, int to,
                                 Gaps gaps) {
    from = std::max(from, 0);
    to = std::min(to, static_cast<int>(pictures.size()) - 1);
    std::vector<FrameRun> plan;
    for (int i = from; i <= to; ++i) {
        if (gaps == Gaps::LeaveOut || i == to) {
            plan.push_back({i, 1});
            continue;
        }
        // Held until the next picture's second; a later picture of the same second replaces it.
        const int64_t seconds = pictures[i + 1].time - pictures[i].time;
        if (seconds > 0) {
            plan.push_back({i, seconds});
        }
    }
    return plan;
}

int64_t frameCount(const std::vector<FrameRun>& plan) {
    int64_t frames = 0;
    for (const FrameRun& run : plan) {
        frames += run.frames;
    }
    return frames;
}

}  // namespace timelapse
