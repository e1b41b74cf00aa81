#include "PngCheck.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <libdeflate.h>

namespace fuzz {
namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// The predictor as the PNG format defines it.
int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return a;
    }
    return pb <= pc ? b : c;
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Undoes the filters of the rows in raw and compares each row with the BMP's.
std::string compareRows(const std::vector<uint8_t>& raw, const pngsaver::BmpImage& image) {
    const size_t rowBytes = size_t{image.width} * 3;
    std::vector<uint8_t> prev(rowBytes, 0);
    std::vector<uint8_t> cur(rowBytes);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* line = raw.data() + y * (rowBytes + 1);
        const uint8_t type = line[0];
        const uint8_t* filtered = line + 1;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= 3 ? cur[i - 3] : 0;
            const int b = prev[i];
            const int c = i >= 3 ? prev[i - 3] : 0;
            int predictor = 0;
            switch (type) {
                case 0:
                    predictor = 0;
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4:
                    predictor = paeth(a, b, c);
                    break;
                default:
                    return "row " + std::to_string(y) + " has filter " + std::to_string(type);
            }
            cur[i] = static_cast<uint8_t>(filtered[i] + predictor);
        }
        const uint8_t* bmp = image.row(y);
        for (uint32_t x = 0; x < image.width; ++x, bmp += image.bytesPerPixel) {
            const uint8_t* rgb = cur.data() + 3 * x;
            if (rgb[0] != bmp[2] || rgb[1] != bmp[1] || rgb[2] != bmp[0]) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") differs";
            }
        }
        std::swap(prev, cur);
    }
    return {};
}

}  // namespace

std::string comparePng(const uint8_t* png, size_t size, const pngsaver::BmpImage& image) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(png, kSignature, 8) != 0) {
        return "no PNG signature";
    }
    std::vector<uint8_t> zlib;
    bool header = false;
    bool end = false;
    size_t at = 8;
    while (at < size && !end) {
        if (size - at < 12) {
            return "a chunk is cut off";
        }
        const uint32_t length = be32(png + at);
        if (length > size - at - 12) {
            return "a chunk is longer than the file";
        }
        const uint8_t* type = png + at + 4;
        const uint8_t* data = type + 4;
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (libdeflate_crc32(0, type, 4 + size_t{length}) != be32(data + length)) {
            return "chunk " + name + " has a wrong CRC";
        }
        if (!header) {
            static const uint8_t kRest[5] = {8, 2, 0, 0, 0};  // 8-bit RGB, no interlace
            if (name != "IHDR" || length != 13 || be32(data) != image.width ||
                be32(data + 4) != image.height || std::memcmp(data + 8, kRest, 5) != 0) {
                return "the first chunk is not the picture's IHDR";
            }
            header = true;
        } else if (name == "IDAT") {
            zlib.insert(zlib.end(), data, data + length);
        } else if (name == "IEND") {
            end = true;
        } else {
            return "unexpected chunk " + name;
        }
        at += 12 + size_t{length};
    }
    if (!end || at != size) {
        return "the file does not end with IEND";
    }

    std::vector<uint8_t> raw((size_t{image.width} * 3 + 1) * image.height);
    // Kept for the whole run: allocating one costs more than decoding a small picture.
    static const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    size_t consumed = 0;
    size_t inflated = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), zlib.data(), zlib.size(), raw.data(),
                                      raw.size(), &consumed, &inflated) != LIBDEFLATE_SUCCESS ||
        consumed != zlib.size() || inflated != raw.size()) {
        return "the image data does not inflate to exactly the picture's rows";
    }
    return compareRows(raw, image);
}

}  // namespace fuzz
