#include "viewer/Playback.h"

#include <algorithm>

namespace viewer {

void Playback::startAt(const std::vector<timelapse::TimedPicture>& pictures, size_t current) {
    clock_ = current < pictures.size() ? double(pictures[current].time) : 0;
}

size_t Playback::advance(const std::vector<timelapse::TimedPicture>& pictures, size_t current,
                         double elapsed, int speed) {
    if (current >= pictures.size()) {
        return current;
    }
    // The list may have changed under the clock (pictures deleted): never behind the one shown.
    clock_ = std::max(clock_, double(pictures[current].time)) + elapsed * speed;
    if (current + 1 < pictures.size()) {
        const double latest = double(pictures[current + 1].time) - kLongestWait * speed;
        clock_ = std::max(clock_, latest);
    }
    while (current + 1 < pictures.size() && double(pictures[current + 1].time) <= clock_) {
        ++current;
    }
    return current;
}

}  // namespace viewer
