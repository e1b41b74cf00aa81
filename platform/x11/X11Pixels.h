#pragma once
// Turning the pixels of an X image into a QImage, by the layout the X server reports.

#include <cstdint>
#include <QImage>

namespace platform::x11 {

// How an X image (ZPixmap) lays out its pixels: the fields of an XImage that matter here.
struct PixelLayout {
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
    int bitsPerPixel = 0;
    bool mostSignificantByteFirst = false;  // the image's byte order (MSBFirst)
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
};

// Copies `pixels` into an image of its own (Format_RGB32). Handles 24- and 32-bit pixels whose
// channels are 8 bits wide, in any order; gives a null image for any other layout.
QImage toImage(const PixelLayout& layout, const unsigned char* pixels);

}  // namespace platform::x11
