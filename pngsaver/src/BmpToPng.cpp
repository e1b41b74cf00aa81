// The library's one entry point: checks the arguments, then reads, parses, encodes and writes.
#include "pngsaver.h"

#include <new>
#include <string>
#include <vector>

#include "BmpReader.h"
#include "Files.h"
#include "PngWriter.h"

namespace {

// Accepts exactly "c0" to "c12" and gives the compression level.
bool parseOptions(const char* options, int* level) {
    if (options == nullptr) {
        return false;
    }
    for (int candidate = 0; candidate <= 12; ++candidate) {
        if (options == "c" + std::to_string(candidate)) {
            *level = candidate;
            return true;
        }
    }
    return false;
}

int16_t convert(const char* bmpPath, const char* pngPath, int level) {
    // Writing the PNG over the BMP itself would destroy the picture.
    if (pngsaver::isSameFile(bmpPath, pngPath)) {
        return PNGSAVER_ERR_WRITE_PNG;
    }
    std::vector<uint8_t> bmp;
    if (!pngsaver::readWholeFile(bmpPath, &bmp)) {
        return PNGSAVER_ERR_READ_BMP;
    }
    pngsaver::BmpImage image;
    if (pngsaver::parseBmp(bmp.data(), bmp.size(), &image) != pngsaver::BmpStatus::Ok) {
        return PNGSAVER_ERR_BAD_BMP;
    }
    std::vector<uint8_t> png;
    if (!pngsaver::encodePng(image, level, &png) ||
        !pngsaver::replaceFile(pngPath, png.data(), png.size())) {
        return PNGSAVER_ERR_WRITE_PNG;
    }
    return PNGSAVER_OK;
}

}  // namespace

extern "C" int16_t BmpToPng(const char* bmpPath, const char* pngPath, const char* options) {
    int level = 0;
    if (bmpPath == nullptr || pngPath == nullptr || !parseOptions(options, &level)) {
        return PNGSAVER_ERR_BAD_OPTIONS;
    }
    // No exception may cross the C boundary; running out of memory is the only one thrown here.
    try {
        return convert(bmpPath, pngPath, level);
    } catch (const std::bad_alloc&) {
        return PNGSAVER_ERR_NO_MEMORY;
    }
}
