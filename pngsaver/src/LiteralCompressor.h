#pragma once
// Literal-only deflate: Huffman codes for single bytes, no matches (zlib's Z_HUFFMAN_ONLY). On
// photographs the short matches a fast deflate finds cost more bits than they save, so this is
// both smaller and faster there.

#include <cstddef>
#include <cstdint>

#include <zlib.h>

namespace pngsaver {

// Keeps zlib's state from one picture to the next.
class LiteralCompressor {
public:
    LiteralCompressor() = default;
    ~LiteralCompressor();
    LiteralCompressor(const LiteralCompressor&) = delete;
    LiteralCompressor& operator=(const LiteralCompressor&) = delete;

    // The largest zlib stream compress can make of size bytes. Throws std::bad_alloc.
    size_t bound(size_t size);
    // Compresses in[0, size) into one zlib stream in out[0, capacity) and returns its size; 0 when
    // it does not fit or zlib fails. size must stay below 2^32. Throws std::bad_alloc.
    size_t compress(const uint8_t* in, size_t size, uint8_t* out, size_t capacity);

private:
    void start();
    z_stream stream_{};
    bool started_ = false;
};

}  // namespace pngsaver
