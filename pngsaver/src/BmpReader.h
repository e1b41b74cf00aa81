#pragma once
// The BMP reader: uncompressed 24- and 32-bit pictures, parsed from memory. It trusts nothing in
// the file, so that any bytes at all give either a picture or an error, never a read out of bounds.
// It depends on nothing else in the library, so a fuzzer can build it alone.

#include <cstddef>
#include <cstdint>

namespace pngsaver {

// A parsed picture: a view into the caller's buffer, which must outlive it.
struct BmpImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerPixel = 0;       // 3 (blue, green, red) or 4 (blue, green, red, unused)
    size_t stride = 0;                // bytes from one stored row to the next, padding included
    const uint8_t* pixels = nullptr;  // the first stored row
    bool topDown = false;             // rows are stored top row first

    // The stored bytes of row y, counted from the top.
    const uint8_t* row(uint32_t y) const {
        const uint32_t stored = topDown ? y : height - 1 - y;
        return pixels + stored * stride;
    }
};

enum class BmpStatus {
    Ok,
    NotBmp,         // too short for the headers, or no "BM" signature
    Unsupported,    // header version, planes, bit depth, compression or colour masks not handled
    BadDimensions,  // width or height zero, negative or beyond the largest picture accepted
    BadOffset,      // the pixel data would start inside the headers or past the end
    Truncated,      // the headers or the pixel rows reach past the end of the data
};

// The largest picture accepted, in pixels: far above any screen, and small enough that every size
// derived from it fits the types and limits of the PNG writer.
constexpr uint64_t kMaxBmpPixels = uint64_t{1} << 28;

// Parses the BMP file held in data[0, size). On Ok, *image describes its pixels inside data.
BmpStatus parseBmp(const uint8_t* data, size_t size, BmpImage* image);

}  // namespace pngsaver
