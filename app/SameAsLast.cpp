#include "app/SameAsLast.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/Screen.h"

namespace app {
namespace {

QSize storedSize(const QImage& image) {
    return {std::min(image.width(), platform::kPictureWidth),
            std::min(image.height(), platform::kPictureHeight)};
}

// The captures come as Format_RGB32; anything else is compared after the same conversion.
QImage asRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

bool sameStoredPixels(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || storedSize(a) != storedSize(b)) {
        return false;
    }
    const QImage x = asRgb32(a);
    const QImage y = asRgb32(b);
    const QSize size = storedSize(a);
    for (int row = 0; row < size.height(); ++row) {
        const auto* p = reinterpret_cast<const uint32_t*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uint32_t*>(y.constScanLine(row));
        // The fourth bytes of one capture are alike, so equal rows are mostly equal bytes too.
        if (std::memcmp(p, q, sizeof(uint32_t) * size.width()) == 0) {
            continue;
        }
        // One pass without early exit per pixel lets the compiler compare many pixels at once.
        uint32_t differ = 0;
        for (int i = 0; i < size.width(); ++i) {
            differ |= (p[i] ^ q[i]) & 0x00ffffffu;
        }
        if (differ != 0) {
            return false;
        }
    }
    return true;
}

bool SameAsLast::repeats(const QImage& capture) {
    if (sameStoredPixels(capture, last_)) {
        return true;
    }
    last_ = capture;
    return false;
}

}  // namespace app
