#pragma once
// Turning a raw video frame from the desktop's screen stream into a QImage.

#include <cstdint>
#include <QImage>
#include <QRect>

namespace platform::wayland {

// The 32-bit raw formats offered to the stream, named by their bytes in memory ("x": unused).
enum class RawFormat { BGRx, BGRA, RGBx, RGBA, xRGB, ARGB, xBGR, ABGR };

// The turn or mirror that the desktop applied to a frame's pixels (a rotated output); undone to
// get what the user sees. Turns are counter-clockwise; "Flipped" mirrors left and right first.
enum class FrameTurn { None, Turn90, Turn180, Turn270, Flipped, Flipped90, Flipped180, Flipped270 };

struct FrameView {
    RawFormat format = RawFormat::BGRx;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one row to the next
    const unsigned char* pixels = nullptr;
    QRect crop{};  // the part of the frame that holds the picture; empty: all of it
    FrameTurn turn = FrameTurn::None;
};

// Copies the frame into an image of its own (Format_RGB32, opaque: a screen has no
// transparency). A null image when the frame's layout does not hold its size.
QImage toImage(const FrameView& frame);

// The top-left corner of what the user sees, at most `size` (the whole picture where smaller),
// with the frame's crop and turn applied, in an image of its own. A null image when the frame's
// layout does not hold its size.
QImage cornerImage(const FrameView& frame, QSize size);

}  // namespace platform::wayland
