#pragma once
// The choice of each row's PNG filter. Screen rows (text, windows, flat colour) compress best
// unfiltered, and telling them apart costs one cheap look at the pixels; only rows that hold a long
// run of new pixels (a photo, a gradient) try all five filters, and take the one whose bytes have
// the lowest entropy.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BmpReader.h"
#include "ByteBuffer.h"

namespace pngsaver {

// Keeps its scratch memory from one picture to the next.
class RowFilter {
public:
    // Writes every row of the picture into filtered: per row the filter type, then the 8-bit RGB
    // row filtered with it. A row is left unfiltered (None) unless it holds minNewRun or more
    // consecutive pixels that each differ from their left and their upper neighbour (pixels
    // beyond the picture count as black). Returns how many rows have the filter None.
    // minNewRun is at least 1. Throws std::bad_alloc when memory runs out.
    size_t filter(const BmpImage& image, uint32_t minNewRun, uint8_t* filtered);

private:
    ByteBuffer rows_;               // the raw row above, this raw row, the five filtered candidates
    std::vector<float> countBits_;  // c * log2(c) for the counts c of a row's byte values
};

}  // namespace pngsaver
