#include "Pictures.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <png.h>
#include <zlib.h>

namespace pngsaver_test {

Picture makePicture(uint32_t width, uint32_t height, uint32_t seed) {
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    std::mt19937 random(seed);
    const size_t rowBytes = size_t{width} * 3;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &picture.rgb[y * rowBytes];
        const auto offset = static_cast<uint8_t>(random());
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= 3 ? row[i - 3] : 0;
            const int above = y > 0 ? row[i - rowBytes] : 0;
            int value = 0;
            switch (y / 2 % 6) {  // bands of two rows, each made for one filter to win
                case 0:
                    value = random() % 16 == 0 ? random() : 0;
                    break;  // None
                case 1:
                    value = offset + 2 * i;
                    break;  // Sub
                case 2:
                    value = above;
                    break;  // Up
                case 3:
                    value = (left + above) / 2;
                    break;  // Average
                case 4:
                    value = i < rowBytes / 2 ? offset + i % 3 : above;
                    break;  // Paeth
                default:
                    value = random();
            }
            row[i] = static_cast<uint8_t>(value);
        }
    }
    return picture;
}

void put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

std::vector<uint8_t> makeBmp(const Picture& picture, const BmpLayout& layout) {
    const size_t bytesPerPixel = layout.bitsPerPixel / 8u;
    const size_t stride = (picture.width * bytesPerPixel + 3) / 4 * 4;
    // A 40-byte header with bitfields is followed by the three masks.
    const size_t masks = layout.compression == 3 && layout.headerSize == 40 ? 12 : 0;
    const size_t offset = 14 + layout.headerSize + masks;
    std::vector<uint8_t> bmp(offset + stride * picture.height, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    put32(bmp, 10, static_cast<uint32_t>(offset));
    put32(bmp, 14, layout.headerSize);
    put32(bmp, 18, picture.width);
    const auto height = static_cast<int32_t>(picture.height);
    put32(bmp, 22, static_cast<uint32_t>(layout.topDown ? -height : height));
    put16(bmp, 26, 1);
    put16(bmp, 28, layout.bitsPerPixel);
    put32(bmp, 30, layout.compression);
    put32(bmp, 34, static_cast<uint32_t>(stride * picture.height));
    if (layout.compression == 3) {
        put32(bmp, 54, 0x00FF0000);
        put32(bmp, 58, 0x0000FF00);
        put32(bmp, 62, 0x000000FF);
    }
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint32_t stored = layout.topDown ? y : picture.height - 1 - y;
        uint8_t* out = &bmp[offset + stored * stride];
        for (uint32_t x = 0; x < picture.width; ++x, out += bytesPerPixel) {
            const uint8_t* pixel = &picture.rgb[(size_t{y} * picture.width + x) * 3];
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
            if (bytesPerPixel == 4) {
                out[3] = 0xFF;
            }
        }
    }
    return bmp;
}

std::optional<Picture> decodePng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return std::nullopt;
    }
    if (image.format != PNG_FORMAT_RGB) {  // alpha, grey, palette or 16-bit
        png_image_free(&image);
        return std::nullopt;
    }
    Picture picture{image.width, image.height, std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        return std::nullopt;  // libpng frees the image on failure
    }
    return picture;
}

std::vector<uint8_t> zlibStream(const std::string& path) {
    const std::vector<uint8_t> png = readFile(path);
    std::vector<uint8_t> stream;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length =
            size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (at + 12 + length > png.size()) {
            return {};
        }
        if (std::equal(&png[at + 4], &png[at + 8], "IDAT")) {
            stream.insert(stream.end(), &png[at + 8], &png[at + 8 + length]);
        }
        at += 12 + length;
    }
    return stream;
}

std::vector<uint8_t> imageData(const std::string& path, size_t rawSize) {
    const std::vector<uint8_t> compressed = zlibStream(path);
    std::vector<uint8_t> raw(rawSize);
    uLongf size = rawSize;
    if (uncompress(raw.data(), &size, compressed.data(), compressed.size()) != Z_OK ||
        size != rawSize) {
        return {};
    }
    return raw;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pngsaver-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;  // a leftover temporary folder harms no later test
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace pngsaver_test
