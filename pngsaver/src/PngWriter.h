#pragma once
// The PNG writer: 8-bit RGB, every row filtered adaptively, compressed by libdeflate.

#include "BmpReader.h"
#include "ByteBuffer.h"

struct libdeflate_compressor;

namespace pngsaver {

// Keeps its compressor and memory from one picture to the next, so it is best kept for the life of
// the thread that uses it.
class PngEncoder {
public:
    PngEncoder() = default;
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // Encodes the picture as a complete PNG file, compressed at level 0 (stored) to 12 (smallest),
    // into png(), where it stays until the next call. Returns false when the compressor fails;
    // throws std::bad_alloc when memory runs out.
    bool encode(const BmpImage& image, int level);
    const ByteBuffer& png() const { return png_; }

private:
    libdeflate_compressor* compressor_ = nullptr;
    int level_ = -1;       // the level of compressor_
    ByteBuffer rows_;      // the raw row above, this raw row, and the five filtered candidates
    ByteBuffer filtered_;  // per row: the filter type byte, then the filtered row
    ByteBuffer png_;
};

}  // namespace pngsaver
