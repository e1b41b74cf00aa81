#pragma once
// Window geometry is given in twips: 1/1440 inch, 15 twips to a logical pixel at 96 dpi.

#include <cmath>

namespace platform {

constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
constexpr double pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

}  // namespace platform
