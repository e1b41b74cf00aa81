#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include <libdeflate.h>

namespace pngsaver {
namespace {

constexpr size_t kBpp = 3;  // bytes per pixel of the PNG: red, green, blue
constexpr size_t kFilterCount = 5;
constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkOverhead = 12;  // length, type and CRC
constexpr size_t kHeaderSize = 13;

// The magnitude of a filtered byte read as signed: the smaller of x and -x as unsigned bytes.
// Filters are compared by the sum over a row; rows that sum lower usually compress better.
inline uint64_t magnitude(uint8_t x) {
    return std::min(x, static_cast<uint8_t>(-x));
}

// Where the processor has AVX2, the loops over a row also exist in a twice as wide version, chosen
// when the library loads; a screen picture then filters in about half the time.
#if defined(__x86_64__) && defined(__GNUC__)
#define PNGSAVER_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PNGSAVER_WIDE_CLONES
#endif

// Each filter writes n bytes from the raw row cur and the raw row above it, prev (zeros above the
// first row), and returns the row's cost. The first pixel has no left neighbour and is done apart,
// so the main loops have no branches and the compiler vectorises them.
PNGSAVER_WIDE_CLONES uint64_t filterNone(const uint8_t* cur, const uint8_t*,
                                         uint8_t* __restrict out, size_t n) {
    uint64_t cost = 0;
    for (size_t i = 0; i < n; ++i) {
        out[i] = cur[i];
        cost += magnitude(out[i]);
    }
    return cost;
}

PNGSAVER_WIDE_CLONES uint64_t filterSub(const uint8_t* cur, const uint8_t*, uint8_t* __restrict out,
                                        size_t n) {
    uint64_t cost = 0;
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = cur[i];
        cost += magnitude(out[i]);
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - cur[i - kBpp]);
        cost += magnitude(out[i]);
    }
    return cost;
}

PNGSAVER_WIDE_CLONES uint64_t filterUp(const uint8_t* cur, const uint8_t* prev,
                                       uint8_t* __restrict out, size_t n) {
    uint64_t cost = 0;
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
        cost += magnitude(out[i]);
    }
    return cost;
}

PNGSAVER_WIDE_CLONES uint64_t filterAverage(const uint8_t* cur, const uint8_t* prev,
                                            uint8_t* __restrict out, size_t n) {
    uint64_t cost = 0;
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i] / 2);
        cost += magnitude(out[i]);
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - (cur[i - kBpp] + prev[i]) / 2);
        cost += magnitude(out[i]);
    }
    return cost;
}

PNGSAVER_WIDE_CLONES uint64_t filterPaeth(const uint8_t* cur, const uint8_t* prev,
                                          uint8_t* __restrict out, size_t n) {
    uint64_t cost = 0;
    for (size_t i = 0; i < kBpp; ++i) {  // left and upper left are 0: the predictor is up
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
        cost += magnitude(out[i]);
    }
    for (size_t i = kBpp; i < n; ++i) {
        // 16 bits hold every intermediate value and let the compiler work on 8 lanes at a time.
        const int16_t a = cur[i - kBpp], b = prev[i], c = prev[i - kBpp];
        const int16_t pa = static_cast<int16_t>(std::abs(b - c));
        const int16_t pb = static_cast<int16_t>(std::abs(a - c));
        const int16_t pc = static_cast<int16_t>(std::abs(a + b - 2 * c));
        const int16_t predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = static_cast<uint8_t>(cur[i] - predictor);
        cost += magnitude(out[i]);
    }
    return cost;
}

// Converts one stored BMP row (blue, green, red[, unused]) into raw PNG bytes (red, green, blue).
PNGSAVER_WIDE_CLONES void toRgb(const uint8_t* bmp, uint32_t bytesPerPixel, size_t rowBytes,
                                uint8_t* __restrict rgb) {
    if (bytesPerPixel == 3) {  // a constant step lets the compiler vectorise the common case
        for (size_t i = 0; i < rowBytes; i += kBpp) {
            rgb[i] = bmp[i + 2];
            rgb[i + 1] = bmp[i + 1];
            rgb[i + 2] = bmp[i];
        }
        return;
    }
    for (size_t i = 0, j = 0; i < rowBytes; i += kBpp, j += 4) {
        rgb[i] = bmp[j + 2];
        rgb[i + 1] = bmp[j + 1];
        rgb[i + 2] = bmp[j];
    }
}

// Filters every row into filtered: per row the type of the cheapest filter, then the row filtered
// with it. rows holds (2 + kFilterCount) * rowBytes bytes of scratch space.
void filterImage(const BmpImage& image, uint8_t* rows, uint8_t* filtered) {
    const size_t rowBytes = size_t{image.width} * kBpp;
    uint8_t* prev = rows;
    uint8_t* cur = prev + rowBytes;
    uint8_t* const candidate = cur + rowBytes;
    std::memset(prev, 0, rowBytes);  // zeros above the first row

    for (uint32_t y = 0; y < image.height; ++y) {
        toRgb(image.row(y), image.bytesPerPixel, rowBytes, cur);
        // In the order of the filter type numbers; the first of equal costs wins.
        const uint64_t costs[kFilterCount] = {
            filterNone(cur, prev, candidate, rowBytes),
            filterSub(cur, prev, candidate + rowBytes, rowBytes),
            filterUp(cur, prev, candidate + 2 * rowBytes, rowBytes),
            filterAverage(cur, prev, candidate + 3 * rowBytes, rowBytes),
            filterPaeth(cur, prev, candidate + 4 * rowBytes, rowBytes),
        };
        const auto best =
            static_cast<size_t>(std::min_element(costs, costs + kFilterCount) - costs);
        *filtered++ = static_cast<uint8_t>(best);
        std::memcpy(filtered, candidate + best * rowBytes, rowBytes);
        filtered += rowBytes;
        std::swap(prev, cur);
    }
}

void putU32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// Writes a chunk whose data is already in place after its 8-byte head; returns its end.
uint8_t* finishChunk(uint8_t* chunk, const char (&type)[5], size_t dataSize) {
    putU32(chunk, static_cast<uint32_t>(dataSize));
    std::memcpy(chunk + 4, type, 4);
    uint8_t* end = chunk + 8 + dataSize;
    putU32(end, libdeflate_crc32(0, chunk + 4, 4 + dataSize));
    return end + 4;
}

}  // namespace

PngEncoder::~PngEncoder() {
    libdeflate_free_compressor(compressor_);
}

bool PngEncoder::encode(const BmpImage& image, int level) {
    if (compressor_ == nullptr || level_ != level) {
        libdeflate_free_compressor(compressor_);
        level_ = -1;
        // The level was checked by the caller, so failing here means memory ran out.
        compressor_ = libdeflate_alloc_compressor(level);
        if (compressor_ == nullptr) {
            throw std::bad_alloc();
        }
        level_ = level;
    }
    const size_t rowBytes = size_t{image.width} * kBpp;
    rows_.resize((2 + kFilterCount) * rowBytes);
    filtered_.resize((1 + rowBytes) * image.height);
    filterImage(image, rows_.data(), filtered_.data());

    // Signature, IHDR, then the IDAT chunk, whose zlib stream is compressed straight into place.
    // kMaxBmpPixels keeps the stream far below the 2^31 - 1 bytes a chunk may hold.
    const size_t bound = libdeflate_zlib_compress_bound(compressor_, filtered_.size());
    png_.resize(kSignature.size() + 3 * kChunkOverhead + kHeaderSize + bound);
    uint8_t* at = std::copy(kSignature.begin(), kSignature.end(), png_.data());

    // Width, height, bit depth 8, colour type 2 (RGB), deflate, adaptive filtering, no interlace.
    putU32(at + 8, image.width);
    putU32(at + 12, image.height);
    const uint8_t rest[] = {8, 2, 0, 0, 0};
    std::copy(std::begin(rest), std::end(rest), at + 16);
    at = finishChunk(at, "IHDR", kHeaderSize);

    const size_t zlibSize =
        libdeflate_zlib_compress(compressor_, filtered_.data(), filtered_.size(), at + 8, bound);
    // With a buffer of the bound's size this cannot fail, short of a fault in the compressor.
    if (zlibSize == 0) {
        return false;
    }
    at = finishChunk(at, "IDAT", zlibSize);
    at = finishChunk(at, "IEND", 0);
    png_.resize(static_cast<size_t>(at - png_.data()));
    return true;
}

}  // namespace pngsaver
