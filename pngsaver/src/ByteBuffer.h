#pragma once
// A byte buffer that keeps its memory from one picture to the next.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pngsaver {

// Unlike std::vector it never fills memory it is about to overwrite, and it never shrinks: the
// program converts pictures of one size again and again, and each fresh page costs a page fault.
class ByteBuffer {
public:
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

    // Sets the size. Content up to the new size survives only while it fits the capacity.
    // Throws std::bad_alloc.
    void resize(size_t size) {
        if (size > capacity_) {
            // The old block goes before the larger one is requested, and a failed request
            // leaves an empty buffer.
            data_.reset();
            capacity_ = 0;
            size_ = 0;
            data_.reset(new uint8_t[size]);
            capacity_ = size;
        }
        size_ = size;
    }

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace pngsaver
