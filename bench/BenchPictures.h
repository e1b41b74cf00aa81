#pragma once
// Pictures for the benchmarks: the bench images decoded with libpng, and little-endian fields of
// the BMP files they are written to.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>
#include <png.h>

namespace bench {

struct Bgr {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // blue, green, red; top row first
};

inline Bgr loadPng(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        throw std::runtime_error("cannot read " + path.string() + ": " + image.message);
    }
    image.format = PNG_FORMAT_BGR;
    Bgr bgr{image.width, image.height, std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, bgr.pixels.data(), 0, nullptr)) {
        throw std::runtime_error("cannot decode " + path.string() + ": " + image.message);
    }
    return bgr;
}

inline void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint32_t get32(const std::vector<uint8_t>& in, size_t at) {
    return uint32_t{in[at]} | uint32_t{in[at + 1]} << 8 | uint32_t{in[at + 2]} << 16 |
           uint32_t{in[at + 3]} << 24;
}

}  // namespace bench
