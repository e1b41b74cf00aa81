#include "platform/x11/X11Pixels.h"

#include <bit>
#include <cstring>

namespace platform::x11 {
namespace {

// The shift of an 8-bit channel mask, or -1 when the mask is not 8 contiguous bits.
int channelShift(std::uint32_t mask) {
    if (mask == 0) {
        return -1;
    }
    const int shift = std::countr_zero(mask);
    return (mask >> shift) == 0xffu ? shift : -1;
}

std::uint32_t readPixel(const unsigned char* p, int bytes, bool mostSignificantFirst) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        if (mostSignificantFirst) {
            value = (value << 8) | p[i];
        } else {
            value |= std::uint32_t(p[i]) << (8 * i);
        }
    }
    return value;
}

}  // namespace

QImage toImage(const PixelLayout& layout, const unsigned char* pixels) {
    const int bytes = layout.bitsPerPixel / 8;
    if (pixels == nullptr || layout.width <= 0 || layout.height <= 0 ||
        (layout.bitsPerPixel != 24 && layout.bitsPerPixel != 32) ||
        layout.bytesPerLine < layout.width * bytes) {
        return {};
    }
    const int red = channelShift(layout.redMask);
    const int green = channelShift(layout.greenMask);
    const int blue = channelShift(layout.blueMask);
    if (red < 0 || green < 0 || blue < 0) {
        return {};
    }
    QImage image(layout.width, layout.height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};  // out of memory
    }
    // The usual case (0x00RRGGBB in the host's byte order) is Qt's own layout: copy rows whole.
    const bool hostOrder =
        layout.mostSignificantByteFirst == (std::endian::native == std::endian::big);
    const bool direct = bytes == 4 && hostOrder && red == 16 && green == 8 && blue == 0;
    uchar* const rows = image.bits();  // once: scanLine() would ask for a private copy per row
    for (int y = 0; y < layout.height; ++y) {
        const unsigned char* source = pixels + std::size_t(y) * std::size_t(layout.bytesPerLine);
        auto* target = reinterpret_cast<std::uint32_t*>(rows + y * image.bytesPerLine());
        if (direct) {
            // A row copied whole, then made opaque: RGB32 wants the top byte that X leaves.
            const int width = layout.width;  // a local, which the stores below cannot change
            std::memcpy(target, source, std::size_t(width) * 4);
            for (int x = 0; x < width; ++x) {
                target[x] |= 0xff000000u;
            }
            continue;
        }
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t value =
                readPixel(source + x * bytes, bytes, layout.mostSignificantByteFirst);
            target[x] =
                qRgb((value >> red) & 0xff, (value >> green) & 0xff, (value >> blue) & 0xff);
        }
    }
    return image;
}

}  // namespace platform::x11
