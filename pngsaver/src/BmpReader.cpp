#include "BmpReader.h"

namespace pngsaver {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; later versions extend it
constexpr size_t kMasksSize = 12;       // red, green and blue masks
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitfields = 3;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool isKnownHeaderSize(uint32_t size) {
    // BITMAPINFOHEADER, the two Adobe extensions with masks, BITMAPV4HEADER, BITMAPV5HEADER.
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

BmpStatus parseBmp(const uint8_t* data, size_t size, BmpImage* image) {
    if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') {
        return BmpStatus::NotBmp;
    }
    // The file size field is often wrong and is ignored; the real size is what we were given.
    const uint32_t pixelOffset = le32(data + 10);
    const uint32_t headerSize = le32(data + kFileHeaderSize);
    if (!isKnownHeaderSize(headerSize)) {
        return BmpStatus::Unsupported;
    }
    size_t headersEnd = kFileHeaderSize + headerSize;
    if (size < headersEnd) {
        return BmpStatus::Truncated;
    }

    const uint8_t* info = data + kFileHeaderSize;
    const auto width = static_cast<int32_t>(le32(info + 4));
    const auto height = static_cast<int32_t>(le32(info + 8));
    const uint16_t planes = le16(info + 12);
    const uint16_t bitsPerPixel = le16(info + 14);
    const uint32_t compression = le32(info + 16);

    if (planes != 1 || (bitsPerPixel != 24 && bitsPerPixel != 32)) {
        return BmpStatus::Unsupported;
    }
    if (compression == kCompressionBitfields && bitsPerPixel == 32) {
        // The masks follow a BITMAPINFOHEADER and lie inside the later headers. Only the layout
        // of plain 32-bit pictures is accepted: blue, green, red bytes, the fourth one ignored.
        if (headerSize == kInfoHeaderSize) {
            headersEnd += kMasksSize;
            if (size < headersEnd) {
                return BmpStatus::Truncated;
            }
        }
        const uint8_t* masks = info + kInfoHeaderSize;
        if (le32(masks) != 0x00FF0000 || le32(masks + 4) != 0x0000FF00 ||
            le32(masks + 8) != 0x000000FF) {
            return BmpStatus::Unsupported;
        }
    } else if (compression != kCompressionNone) {
        return BmpStatus::Unsupported;
    }

    // A negative height means the rows are stored top row first.
    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    if (width <= 0 || rows == 0 || uint64_t(width) * uint64_t(rows) > kMaxBmpPixels) {
        return BmpStatus::BadDimensions;
    }
    if (pixelOffset < headersEnd || pixelOffset > size) {
        return BmpStatus::BadOffset;
    }
    // Rows are padded to a multiple of 4 bytes, the last one too.
    const uint64_t stride = (uint64_t(width) * bitsPerPixel + 31) / 32 * 4;
    if (stride * uint64_t(rows) > size - pixelOffset) {
        return BmpStatus::Truncated;
    }

    image->width = static_cast<uint32_t>(width);
    image->height = static_cast<uint32_t>(rows);
    image->bytesPerPixel = bitsPerPixel / 8u;
    image->stride = static_cast<size_t>(stride);
    image->pixels = data + pixelOffset;
    image->topDown = height < 0;
    return BmpStatus::Ok;
}

}  // namespace pngsaver
