#include "platform/wayland/FramePixels.h"

#include <cstring>

namespace platform::wayland {
namespace {

struct ByteOrder {
    int red, green, blue;
};

ByteOrder orderOf(RawFormat format) {
    switch (format) {
        case RawFormat::BGRx:
        case RawFormat::BGRA:
            return {2, 1, 0};
        case RawFormat::RGBx:
        case RawFormat::RGBA:
            return {0, 1, 2};
        case RawFormat::xRGB:
        case RawFormat::ARGB:
            return {1, 2, 3};
        case RawFormat::xBGR:
        case RawFormat::ABGR:
            return {3, 2, 1};
    }
    return {2, 1, 0};
}

std::uint32_t pixelAt(const unsigned char* in, ByteOrder order) {
    return 0xff000000u | std::uint32_t(in[order.red]) << 16 | std::uint32_t(in[order.green]) << 8 |
           std::uint32_t(in[order.blue]);
}

bool isQuarterTurn(FrameTurn turn) {
    return turn == FrameTurn::Turn90 || turn == FrameTurn::Turn270 ||
           turn == FrameTurn::Flipped90 || turn == FrameTurn::Flipped270;
}

// The pixel of a `width` x `height` picture that lands at (x, y) of what the user sees, once
// `turn` is undone. Undoing a quarter turn is the opposite quarter turn; a mirrored turn undoes
// itself.
QPoint sourceOf(FrameTurn turn, int width, int height, int x, int y) {
    QPoint p;
    switch (turn) {
        case FrameTurn::None:
        case FrameTurn::Flipped:
            p = {x, y};
            break;
        case FrameTurn::Turn270:  // shown turned a quarter counter-clockwise
        case FrameTurn::Flipped90:
            p = {width - 1 - y, x};
            break;
        case FrameTurn::Turn180:
        case FrameTurn::Flipped180:
            p = {width - 1 - x, height - 1 - y};
            break;
        case FrameTurn::Turn90:  // shown turned a quarter clockwise
        case FrameTurn::Flipped270:
            p = {y, height - 1 - x};
            break;
    }
    const bool mirrored = turn == FrameTurn::Flipped || turn == FrameTurn::Flipped90 ||
                          turn == FrameTurn::Flipped180 || turn == FrameTurn::Flipped270;
    return mirrored ? QPoint(width - 1 - p.x(), p.y()) : p;
}

// One row of `width` pixels in `order` as opaque Format_RGB32 pixels.
void convertRow(std::uint32_t* out, const unsigned char* in, int width, const ByteOrder& order) {
    // BGRx is Format_RGB32's own layout on a little-endian machine: one copy per row.
    if (order.red == 2 && order.green == 1 && order.blue == 0 &&
        QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        std::memcpy(out, in, std::size_t(width) * 4);
        for (int x = 0; x < width; ++x) {
            out[x] |= 0xff000000u;
        }
        return;
    }
    for (int x = 0; x < width; ++x, in += 4) {
        out[x] = pixelAt(in, order);
    }
}

}  // namespace

QImage toImage(const FrameView& frame) {
    if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0 ||
        frame.stride < frame.width * 4) {
        return {};
    }
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const ByteOrder order = orderOf(frame.format);
    for (int y = 0; y < frame.height; ++y) {
        convertRow(reinterpret_cast<std::uint32_t*>(image.scanLine(y)),
                   frame.pixels + std::size_t(y) * std::size_t(frame.stride), frame.width, order);
    }
    return image;
}

QImage cornerImage(const FrameView& frame, QSize size) {
    if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0 ||
        frame.stride < frame.width * 4) {
        return {};
    }
    const QRect whole(0, 0, frame.width, frame.height);
    const QRect picture = frame.crop.isEmpty() ? whole : frame.crop.intersected(whole);
    if (picture.isEmpty()) {
        return {};
    }
    const QSize shown = isQuarterTurn(frame.turn) ? picture.size().transposed() : picture.size();
    const QSize kept = shown.boundedTo(size);
    QImage image(kept, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const ByteOrder order = orderOf(frame.format);
    const auto at = [&](QPoint p) {
        return frame.pixels + std::size_t(picture.y() + p.y()) * std::size_t(frame.stride) +
               std::size_t(picture.x() + p.x()) * 4;
    };
    for (int y = 0; y < kept.height(); ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        if (frame.turn == FrameTurn::None) {  // the usual case: rows as they lie
            convertRow(out, at({0, y}), kept.width(), order);
            continue;
        }
        for (int x = 0; x < kept.width(); ++x) {
            out[x] =
                pixelAt(at(sourceOf(frame.turn, picture.width(), picture.height(), x, y)), order);
        }
    }
    return image;
}

}  // namespace platform::wayland
