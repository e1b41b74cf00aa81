#pragma once
// The picture that the tests put at the top-left corner of a desktop's screen: no two
// neighbouring pixels alike and every channel different, so that a shifted, mirrored, scaled
// or channel-swapped copy differs from it.

#include <QImage>

namespace waylandtest {

constexpr int kPatternWidth = 400;
constexpr int kPatternHeight = 320;

inline QImage pattern() {
    QImage image(kPatternWidth, kPatternHeight, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const unsigned hash = unsigned(x) * 2654435761u ^ unsigned(y) * 40503u;
            image.setPixel(x, y,
                           qRgb(int((x * 5 + y) & 255), int((y * 3 + (x >> 3)) & 255),
                                int((hash >> 13) & 255)));
        }
    }
    return image;
}

}  // namespace waylandtest
