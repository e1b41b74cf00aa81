#pragma once
// Turning a raw video frame from the desktop's screen stream into a QImage.

#include <cstdint>
#include <QImage>

namespace platform::wayland {

// The 32-bit raw formats offered to the stream, named by their bytes in memory ("x": unused).
enum class RawFormat { BGRx, BGRA, RGBx, RGBA, xRGB, ARGB, xBGR, ABGR };

struct FrameView {
    RawFormat format = RawFormat::BGRx;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one row to the next
    const unsigned char* pixels = nullptr;
};

// Copies the frame into an image of its own (Format_RGB32, opaque: a screen has no
// transparency). A null image when the frame's layout does not hold its size.
QImage toImage(const FrameView& frame);

}  // namespace platform::wayland
