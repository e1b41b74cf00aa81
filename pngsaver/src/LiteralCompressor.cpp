#include "LiteralCompressor.h"

#include <limits>
#include <new>

namespace pngsaver {

LiteralCompressor::~LiteralCompressor() {
    if (started_) {
        deflateEnd(&stream_);
    }
}

void LiteralCompressor::start() {
    if (started_) {
        if (deflateReset(&stream_) == Z_OK) {
            return;
        }
        deflateEnd(&stream_);
        started_ = false;
    }
    stream_ = z_stream{};
    // Blocks of 32 Ki bytes (memory level 9) adapt their codes to the picture's parts and cost
    // little in code tables. The window is never searched; the level only marks the stream.
    // With fixed valid arguments, only a lack of memory makes this fail.
    if (deflateInit2(&stream_, 1, Z_DEFLATED, 15, 9, Z_HUFFMAN_ONLY) != Z_OK) {
        throw std::bad_alloc();
    }
    started_ = true;
}

size_t LiteralCompressor::bound(size_t size) {
    start();
    return deflateBound(&stream_, size);
}

size_t LiteralCompressor::compress(const uint8_t* in, size_t size, uint8_t* out, size_t capacity) {
    constexpr size_t kMaxChunk = std::numeric_limits<uInt>::max();
    if (size > kMaxChunk) {
        return 0;
    }
    start();
    stream_.next_in = const_cast<Bytef*>(in);  // zlib's interface is older than const
    stream_.avail_in = static_cast<uInt>(size);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(capacity < kMaxChunk ? capacity : kMaxChunk);
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) {
        return 0;
    }
    return stream_.total_out;
}

}  // namespace pngsaver
