#pragma once
// The PNG writer: 8-bit RGB, each row's filter chosen by RowFilter, compressed by libdeflate, or
// literal-only by zlib where a sample shows that this is smaller.

#include "BmpReader.h"
#include "ByteBuffer.h"
#include "LiteralCompressor.h"
#include "RowFilter.h"

struct libdeflate_compressor;

namespace pngsaver {

// When a picture counts as a photograph and how it is sampled. The defaults were measured on
// screen pictures: desktops, terminals, windows, photographs and photographs inside desktops.
struct EncoderRule {
    uint32_t minNewRun = 32;          // see RowFilter::filter
    uint32_t photoNonePermille = 20;  // at most this many rows in 1000 unfiltered: a photograph
    uint32_t sampleBands = 4;         // a photograph's sample: this many bands, evenly spread,
    uint32_t sampleRows = 8;          // of this many rows each
};

// Keeps its compressors and memory from one picture to the next, so it is best kept for the life
// of the thread that uses it.
class PngEncoder {
public:
    PngEncoder() = default;
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // Encodes the picture as a complete PNG file, compressed at level 0 (stored) to 12 (smallest),
    // into png(), where it stays until the next call. Returns false when a compressor fails;
    // throws std::bad_alloc when memory runs out.
    bool encode(const BmpImage& image, int level, const EncoderRule& rule = {});
    const ByteBuffer& png() const { return png_; }
    // Whether the last picture was coded literal-only.
    bool literalOnly() const { return literalOnly_; }

private:
    bool literalIsSmaller(const BmpImage& image, const EncoderRule& rule);

    libdeflate_compressor* compressor_ = nullptr;
    int level_ = -1;  // the level of compressor_
    LiteralCompressor literal_;
    RowFilter rowFilter_;
    bool literalOnly_ = false;
    ByteBuffer filtered_;  // per row: the filter type byte, then the filtered row
    ByteBuffer sample_;    // a photograph's sample rows, then room for their compressed forms
    ByteBuffer png_;
};

}  // namespace pngsaver
