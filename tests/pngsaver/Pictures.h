#pragma once
// Helpers of the encoder tests: pictures in memory, BMP files made from them, PNG files decoded
// with libpng, and a temporary folder per test.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pngsaver_test {

// 8-bit RGB pixels, top row first, no padding.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    bool operator==(const Picture&) const = default;
};

// Rows of dots, ramps, repeats, blurs, mixtures and noise, so that every filter wins somewhere.
Picture makePicture(uint32_t width, uint32_t height, uint32_t seed);

struct BmpLayout {
    uint16_t bitsPerPixel = 24;
    bool topDown = false;
    uint32_t headerSize = 40;  // 40, 52, 56, 108 or 124
    uint32_t compression = 0;  // 0 plain; 3 with the standard masks (32-bit only)
};

// Little-endian fields, as in BMP headers.
void put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

// A BMP file holding the picture; a 32-bit one has 0xFF in the fourth byte.
std::vector<uint8_t> makeBmp(const Picture& picture, const BmpLayout& layout = {});

// The picture of a PNG file, or nothing unless it is a valid 8-bit RGB PNG without alpha.
std::optional<Picture> decodePng(const std::string& path);

// The zlib stream of a PNG file: its IDAT chunks joined; empty if a chunk is cut off.
std::vector<uint8_t> zlibStream(const std::string& path);

// The decompressed image data of a PNG file (each row: its filter type, then the filtered
// bytes), expected to be rawSize bytes long; empty if it is not.
std::vector<uint8_t> imageData(const std::string& path, size_t rawSize);

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A new folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> names() const;  // sorted
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace pngsaver_test
