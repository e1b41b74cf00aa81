#include "RowFilter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace pngsaver {
namespace {

constexpr size_t kBpp = 3;  // bytes per pixel of the PNG: red, green, blue
constexpr size_t kFilterCount = 5;

// Where the processor has AVX2, the loops over a row also exist in a twice as wide version, chosen
// when the library loads; a screen picture then filters in about half the time.
#if defined(__x86_64__) && defined(__GNUC__)
#define PNGSAVER_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PNGSAVER_WIDE_CLONES
#endif

// Each filter writes n bytes from the raw row cur and the raw row above it, prev (zeros above the
// first row). The first pixel has no left neighbour and is done apart, so the main loops have no
// branches and the compiler vectorises them.
PNGSAVER_WIDE_CLONES void filterSub(const uint8_t* cur, const uint8_t*, uint8_t* __restrict out,
                                    size_t n) {
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = cur[i];
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - cur[i - kBpp]);
    }
}

PNGSAVER_WIDE_CLONES void filterUp(const uint8_t* cur, const uint8_t* prev, uint8_t* __restrict out,
                                   size_t n) {
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    }
}

PNGSAVER_WIDE_CLONES void filterAverage(const uint8_t* cur, const uint8_t* prev,
                                        uint8_t* __restrict out, size_t n) {
    for (size_t i = 0; i < kBpp; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - prev[i] / 2);
    }
    for (size_t i = kBpp; i < n; ++i) {
        out[i] = static_cast<uint8_t>(cur[i] - (cur[i - kBpp] + prev[i]) / 2);
    }
}

PNGSAVER_WIDE_CLONES void filterPaeth(const uint8_t* cur, const uint8_t* prev,
                                      uint8_t* __restrict out, size_t n) {
    for (size_t i = 0; i < kBpp; ++i) {  // left and upper left are 0: the predictor is up
        out[i] = static_cast<uint8_t>(cur[i] - prev[i]);
    }
    for (size_t i = kBpp; i < n; ++i) {
        // 16 bits hold every intermediate value and let the compiler work on 8 lanes at a time.
        const int16_t a = cur[i - kBpp], b = prev[i], c = prev[i - kBpp];
        const int16_t pa = static_cast<int16_t>(std::abs(b - c));
        const int16_t pb = static_cast<int16_t>(std::abs(a - c));
        const int16_t pc = static_cast<int16_t>(std::abs(a + b - 2 * c));
        const int16_t predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = static_cast<uint8_t>(cur[i] - predictor);
    }
}

// Converts one stored BMP row (blue, green, red[, unused]) into raw PNG bytes (red, green, blue).
PNGSAVER_WIDE_CLONES void toRgb(const uint8_t* bmp, uint32_t bytesPerPixel, size_t rowBytes,
                                uint8_t* __restrict rgb) {
    if (bytesPerPixel == 3) {
        // Five pixels at a time, through 16 bytes: the 16th is written again by the next step.
        using Bytes16 = uint8_t __attribute__((vector_size(16)));
        size_t i = 0;
        for (; i + 16 <= rowBytes; i += 15) {
            Bytes16 pixels;
            std::memcpy(&pixels, bmp + i, sizeof pixels);
            pixels = __builtin_shufflevector(pixels, pixels, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9,
                                             14, 13, 12, 15);
            std::memcpy(rgb + i, &pixels, sizeof pixels);
        }
        for (; i < rowBytes; i += kBpp) {
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

// The pixel at p, as a number that is equal for equal pixels. It reads four bytes, one past the
// pixel: the caller's rows are followed by more of its scratch memory.
inline uint32_t pixelAt(const uint8_t* p) {
    constexpr uint32_t kFirstThreeBytes =
        std::endian::native == std::endian::little ? 0x00FFFFFF : 0xFFFFFF00;
    uint32_t value = 0;
    std::memcpy(&value, p, sizeof value);
    return value & kFirstThreeBytes;
}

// Whether the row holds minNewRun consecutive pixels that each differ from their left and their
// upper neighbour: what a photo or a gradient has and text, windows and flat colour do not.
bool hasNewRun(const uint8_t* cur, const uint8_t* prev, size_t width, uint32_t minNewRun) {
    if (std::memcmp(cur, prev, width * kBpp) == 0) {  // common on screens, and quick to see
        return false;
    }
    uint32_t run = 0;
    uint32_t left = 0;  // black left of the picture
    for (size_t x = 0; x < width; ++x) {
        const uint32_t pixel = pixelAt(cur + kBpp * x);
        run = pixel != left && pixel != pixelAt(prev + kBpp * x) ? run + 1 : 0;
        if (run >= minNewRun) {
            return true;
        }
        left = pixel;
    }
    return false;
}

// Of the five candidate rows (each n bytes, one after another, in the order of the filter type
// numbers), the type whose bytes have the lowest Shannon entropy; the first of equal ones. The
// entropy is estimated from the type byte and every second byte of the row: counting is most of
// the cost of the choice, and on the benchmark screens the estimate chose as well as all bytes.
// With the number of bytes counted fixed, the entropy falls as the sum of c * log2(c) over the
// byte values' counts c rises, so that sum is what is compared.
uint8_t lowestEntropy(const uint8_t* candidates, size_t n, const std::vector<float>& countBits) {
    uint32_t counts[kFilterCount][256] = {};
    for (size_t i = 0; i < n; i += 2) {
        for (size_t type = 0; type < kFilterCount; ++type) {
            ++counts[type][candidates[type * n + i]];
        }
    }
    uint8_t best = 0;
    float bestSum = -1;
    for (size_t type = 0; type < kFilterCount; ++type) {
        ++counts[type][type];
        float sum = 0;
        for (const uint32_t count : counts[type]) {
            sum += count < countBits.size()
                       ? countBits[count]
                       : static_cast<float>(double(count) * std::log2(double(count)));
        }
        if (sum > bestSum) {
            best = static_cast<uint8_t>(type);
            bestSum = sum;
        }
    }
    return best;
}

}  // namespace

size_t RowFilter::filter(const BmpImage& image, uint32_t minNewRun, uint8_t* filtered) {
    const size_t rowBytes = size_t{image.width} * kBpp;
    rows_.resize((2 + kFilterCount) * rowBytes);
    // A row counts half its bytes and the type byte; a table for a screen's widest rows is enough.
    const size_t tableSize = std::min<size_t>(rowBytes / 2 + 2, size_t{1} << 16);
    if (countBits_.size() < tableSize) {
        countBits_.resize(tableSize);
        for (size_t count = 1; count < tableSize; ++count) {
            countBits_[count] = static_cast<float>(double(count) * std::log2(double(count)));
        }
    }
    uint8_t* prev = rows_.data();
    uint8_t* cur = prev + rowBytes;
    uint8_t* const candidates = cur + rowBytes;
    std::memset(prev, 0, rowBytes);  // zeros above the first row

    size_t unfiltered = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        toRgb(image.row(y), image.bytesPerPixel, rowBytes, cur);
        const uint8_t* chosen = cur;
        uint8_t type = 0;
        if (hasNewRun(cur, prev, image.width, minNewRun)) {
            std::memcpy(candidates, cur, rowBytes);
            filterSub(cur, prev, candidates + rowBytes, rowBytes);
            filterUp(cur, prev, candidates + 2 * rowBytes, rowBytes);
            filterAverage(cur, prev, candidates + 3 * rowBytes, rowBytes);
            filterPaeth(cur, prev, candidates + 4 * rowBytes, rowBytes);
            type = lowestEntropy(candidates, rowBytes, countBits_);
            chosen = candidates + type * rowBytes;
        }
        unfiltered += type == 0;
        *filtered++ = type;
        std::memcpy(filtered, chosen, rowBytes);
        filtered += rowBytes;
        std::swap(prev, cur);
    }
    return unfiltered;
}

}  // namespace pngsaver
