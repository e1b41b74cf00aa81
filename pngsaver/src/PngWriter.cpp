#include "PngWriter.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <libdeflate.h>

namespace pngsaver {
namespace {

constexpr size_t kBpp = 3;  // bytes per pixel of the PNG: red, green, blue
constexpr size_t kFilterCount = 5;
constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The cost of a filtered row: the sum of its bytes' magnitudes, read as signed bytes. Rows that
// cost less usually compress better.
uint32_t cost(const uint8_t* out, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += static_cast<uint32_t>(std::abs(static_cast<int8_t>(out[i])));
    }
    return sum;
}

uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Each filter writes n bytes from the raw row cur and the raw row above it, prev (zeros above the
// first row). The first pixel has no left neighbour, so it is done apart; the main loops then have
// no branches and the compiler vectorises them.
void filterNone(const uint8_t* cur, const uint8_t*, uint8_t* out, size_t n) {
    std::memcpy(out, cur, n);
}

void filterSub(const uint8_t* cur, const uint8_t*, uint8_t* out, size_t n) {
    std::memcpy(out, cur, kBpp);
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - cur[i - kBpp]);
    }
}

void filterUp(const uint8_t* cur, const uint8_t* prev, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    }
}

void filterAverage(const uint8_t* cur, const uint8_t* prev, uint8_t* out, size_t n) {
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i] / 2);
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - (cur[i - kBpp] + prev[i]) / 2);
    }
}

void filterPaeth(const uint8_t* cur, const uint8_t* prev, uint8_t* out, size_t n) {
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);  // the predictor of (0, up, 0) is up
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - paeth(cur[i - kBpp], prev[i], prev[i - kBpp]));
    }
}

using Filter = void (*)(const uint8_t*, const uint8_t*, uint8_t*, size_t);
// In the order of the PNG filter type numbers 0 to 4.
constexpr std::array<Filter, kFilterCount> kFilters = {filterNone, filterSub, filterUp,
                                                       filterAverage, filterPaeth};

// Converts one stored BMP row (blue, green, red[, unused]) into raw PNG bytes (red, green, blue).
void toRgb(const uint8_t* bmp, uint32_t bytesPerPixel, uint32_t width, uint8_t* rgb) {
    for (uint32_t x = 0; x < width; ++x, bmp += bytesPerPixel, rgb += kBpp) {
        rgb[0] = bmp[2];
        rgb[1] = bmp[1];
        rgb[2] = bmp[0];
    }
}

// The filtered picture that the zlib stream compresses: per row, a filter type byte and the row.
std::vector<uint8_t> filterRows(const BmpImage& image) {
    const size_t rowBytes = size_t{image.width} * kBpp;
    std::vector<uint8_t> filtered((rowBytes + 1) * image.height);
    std::vector<uint8_t> rawRows(2 * rowBytes);  // this row and the one above
    std::vector<uint8_t> candidates(kFilterCount * rowBytes);
    uint8_t* prev = rawRows.data();  // zeros above the first row
    uint8_t* cur = rawRows.data() + rowBytes;

    uint8_t* out = filtered.data();
    for (uint32_t y = 0; y < image.height; ++y) {
        toRgb(image.row(y), image.bytesPerPixel, image.width, cur);
        size_t best = 0;
        uint32_t bestCost = UINT32_MAX;
        for (size_t type = 0; type < kFilterCount; ++type) {
            uint8_t* candidate = candidates.data() + type * rowBytes;
            kFilters[type](cur, prev, candidate, rowBytes);
            const uint32_t c = cost(candidate, rowBytes);
            if (c < bestCost) {
                bestCost = c;
                best = type;
            }
        }
        *out++ = static_cast<uint8_t>(best);
        std::memcpy(out, candidates.data() + best * rowBytes, rowBytes);
        out += rowBytes;
        std::swap(prev, cur);
    }
    return filtered;
}

void appendU32(std::vector<uint8_t>* out, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                              uint8_t(value)};
    out->insert(out->end(), bytes, bytes + 4);
}

// A chunk: data length, type, data, and the CRC of type and data.
void appendChunk(std::vector<uint8_t>* out, const char (&type)[5], const uint8_t* data,
                 size_t size) {
    appendU32(out, static_cast<uint32_t>(size));
    const size_t typeAt = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data, data + size);
    appendU32(out, libdeflate_crc32(0, out->data() + typeAt, 4 + size));
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

bool encodePng(const BmpImage& image, int level, std::vector<uint8_t>* png) {
    // The level was checked by the caller, so failing to allocate means memory ran out.
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor) {
        throw std::bad_alloc();
    }

    const std::vector<uint8_t> filtered = filterRows(image);
    std::vector<uint8_t> zlib(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    const size_t zlibSize = libdeflate_zlib_compress(compressor.get(), filtered.data(),
                                                     filtered.size(), zlib.data(), zlib.size());
    // With a buffer of the bound's size this cannot fail, short of a fault in the compressor.
    if (zlibSize == 0) {
        return false;
    }

    // Width, height, bit depth 8, colour type 2 (RGB), deflate, adaptive filtering, no interlace.
    std::vector<uint8_t> header;
    appendU32(&header, image.width);
    appendU32(&header, image.height);
    header.insert(header.end(), {8, 2, 0, 0, 0});

    png->clear();
    png->reserve(kSignature.size() + 3 * 12 + header.size() + zlibSize);
    png->insert(png->end(), kSignature.begin(), kSignature.end());
    appendChunk(png, "IHDR", header.data(), header.size());
    // kMaxBmpPixels keeps the stream far below the 2^31 - 1 bytes a chunk may hold.
    appendChunk(png, "IDAT", zlib.data(), zlibSize);
    appendChunk(png, "IEND", nullptr, 0);
    return true;
}

}  // namespace pngsaver
