#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include <libdeflate.h>

namespace pngsaver {
namespace {

constexpr size_t kBpp = 3;  // bytes per pixel of the PNG: red, green, blue
constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkOverhead = 12;  // length, type and CRC
constexpr size_t kHeaderSize = 13;
// Levels 11 and 12 parse near-optimally and already take a match only where it pays: coding
// literal-only saved nothing there in measurements, and a sample's misjudgement then costs.
constexpr int kLastLiteralLevel = 10;

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

// Compresses a few bands of the filtered rows both ways. A picture no taller than the sample is
// its own sample.
bool PngEncoder::literalIsSmaller(const BmpImage& image, const EncoderRule& rule) {
    const size_t lineBytes = 1 + size_t{image.width} * kBpp;
    const size_t bands = std::max<size_t>(rule.sampleBands, 1);
    const size_t bandRows = std::min<size_t>(std::max<size_t>(rule.sampleRows, 1), image.height);
    const size_t sampleRows = std::min<size_t>(bands * bandRows, image.height);
    const size_t sampleBytes = sampleRows * lineBytes;
    const size_t deflateBound = libdeflate_zlib_compress_bound(compressor_, sampleBytes);
    const size_t literalBound = literal_.bound(sampleBytes);
    sample_.resize(sampleBytes + std::max(deflateBound, literalBound));
    uint8_t* const rows = sample_.data();
    if (sampleRows == image.height) {
        std::memcpy(rows, filtered_.data(), sampleBytes);
    } else {
        const size_t gaps = image.height - bands * bandRows;  // rows between and around the bands
        for (size_t band = 0; band < bands; ++band) {
            const size_t first = band * bandRows + gaps * (2 * band + 1) / (2 * bands);
            std::memcpy(rows + band * bandRows * lineBytes, filtered_.data() + first * lineBytes,
                        bandRows * lineBytes);
        }
    }
    uint8_t* const out = rows + sampleBytes;
    const size_t deflated =
        libdeflate_zlib_compress(compressor_, rows, sampleBytes, out, deflateBound);
    const size_t literal = literal_.compress(rows, sampleBytes, out, literalBound);
    return literal != 0 && literal < deflated;
}

bool PngEncoder::encode(const BmpImage& image, int level, const EncoderRule& rule) {
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
    filtered_.resize((1 + rowBytes) * image.height);
    const size_t unfiltered =
        rowFilter_.filter(image, std::max<uint32_t>(rule.minNewRun, 1), filtered_.data());

    // Level 0 stores the rows as they are.
    const bool photograph =
        level > 0 && level <= kLastLiteralLevel &&
        uint64_t{unfiltered} * 1000 <= uint64_t{rule.photoNonePermille} * image.height;
    literalOnly_ = photograph && literalIsSmaller(image, rule);

    // Signature, IHDR, then the IDAT chunk, whose zlib stream is compressed straight into place.
    // kMaxBmpPixels keeps the stream far below the 2^31 - 1 bytes a chunk may hold.
    const size_t bound = literalOnly_
                             ? literal_.bound(filtered_.size())
                             : libdeflate_zlib_compress_bound(compressor_, filtered_.size());
    png_.resize(kSignature.size() + 3 * kChunkOverhead + kHeaderSize + bound);
    uint8_t* at = std::copy(kSignature.begin(), kSignature.end(), png_.data());

    // Width, height, bit depth 8, colour type 2 (RGB), deflate, adaptive filtering, no interlace.
    putU32(at + 8, image.width);
    putU32(at + 12, image.height);
    const uint8_t rest[] = {8, 2, 0, 0, 0};
    std::copy(std::begin(rest), std::end(rest), at + 16);
    at = finishChunk(at, "IHDR", kHeaderSize);

    const size_t zlibSize =
        literalOnly_ ? literal_.compress(filtered_.data(), filtered_.size(), at + 8, bound)
                     : libdeflate_zlib_compress(compressor_, filtered_.data(), filtered_.size(),
                                                at + 8, bound);
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
