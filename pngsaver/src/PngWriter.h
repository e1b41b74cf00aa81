#pragma once
// The PNG writer: 8-bit RGB, every row filtered adaptively, compressed by libdeflate.

#include <cstdint>
#include <vector>

#include "BmpReader.h"

namespace pngsaver {

// Encodes the picture as a complete PNG file into *png, compressed at level 0 (stored) to 12
// (smallest). Returns false when the compressor fails; throws std::bad_alloc when memory runs out.
bool encodePng(const BmpImage& image, int level, std::vector<uint8_t>* png);

}  // namespace pngsaver
