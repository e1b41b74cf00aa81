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
    // BGRx is Format_RGB32's own layout on a little-endian machine: one copy per row.
    const bool native = order.red == 2 && order.green == 1 && order.blue == 0 &&
                        QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char* in = frame.pixels + std::size_t(y) * std::size_t(frame.stride);
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        if (native) {
            std::memcpy(out, in, std::size_t(frame.width) * 4);
            for (int x = 0; x < frame.width; ++x) {
                out[x] |= 0xff000000u;
            }
            continue;
        }
        for (int x = 0; x < frame.width; ++x, in += 4) {
            out[x] = 0xff000000u | std::uint32_t(in[order.red]) << 16 |
                     std::uint32_t(in[order.green]) << 8 | std::uint32_t(in[order.blue]);
        }
    }
    return image;
}

}  // namespace platform::wayland
