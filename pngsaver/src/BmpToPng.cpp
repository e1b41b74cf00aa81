// The library's entry points: each checks its arguments, then BmpToPng reads and parses the BMP,
// PixelsToPng takes the pixels as they are in memory, and both encode and write alike.
#include "pngsaver.h"

#include <cstring>
#include <memory>
#include <new>

#include "BmpReader.h"
#include "Files.h"
#include "PngWriter.h"

namespace {

// Accepts exactly "c0" to "c12" and gives the compression level.
bool parseOptions(const char* options, int* level) {
    static constexpr const char* kLevels[] = {"c0", "c1", "c2", "c3",  "c4",  "c5", "c6",
                                              "c7", "c8", "c9", "c10", "c11", "c12"};
    if (options == nullptr) {
        return false;
    }
    for (int candidate = 0; candidate <= 12; ++candidate) {
        if (std::strcmp(options, kLevels[candidate]) == 0) {
            *level = candidate;
            return true;
        }
    }
    return false;
}

// The memory of one conversion, kept for the next one in the same thread: the program converts
// a picture of the same size every second (see ByteBuffer).
struct Workspace {
    pngsaver::ByteBuffer bmp;
    pngsaver::PngEncoder encoder;
};

// The memory of a BMP larger than this (about an 8K screen) is not kept for the next picture.
constexpr size_t kKeptBmpBytes = size_t{128} << 20;

int16_t encodeAndWrite(const pngsaver::BmpImage& image, const char* pngPath, int level,
                       Workspace& workspace) {
    pngsaver::PngEncoder& encoder = workspace.encoder;
    if (!encoder.encode(image, level) ||
        !pngsaver::replaceFile(pngPath, encoder.png().data(), encoder.png().size())) {
        return PNGSAVER_ERR_WRITE_PNG;
    }
    return PNGSAVER_OK;
}

int16_t convert(const char* bmpPath, const char* pngPath, int level, Workspace& workspace) {
    // Writing the PNG over the BMP itself would destroy the picture.
    if (pngsaver::isSameFile(bmpPath, pngPath)) {
        return PNGSAVER_ERR_WRITE_PNG;
    }
    pngsaver::ByteBuffer& bmp = workspace.bmp;
    if (!pngsaver::readWholeFile(bmpPath, &bmp)) {
        return PNGSAVER_ERR_READ_BMP;
    }
    pngsaver::BmpImage image;
    if (pngsaver::parseBmp(bmp.data(), bmp.size(), &image) != pngsaver::BmpStatus::Ok) {
        return PNGSAVER_ERR_BAD_BMP;
    }
    return encodeAndWrite(image, pngPath, level, workspace);
}

std::unique_ptr<Workspace>& threadWorkspace() {
    thread_local std::unique_ptr<Workspace> workspace;
    return workspace;
}

// Runs `work` on this thread's workspace; no exception may cross the C boundary, and running out
// of memory is the only one thrown here.
template <typename Work>
int16_t withWorkspace(Work work) {
    std::unique_ptr<Workspace>& workspace = threadWorkspace();
    try {
        if (!workspace) {
            workspace = std::make_unique<Workspace>();
        }
        const int16_t result = work(*workspace);
        if (workspace->bmp.size() > kKeptBmpBytes) {
            workspace.reset();
        }
        return result;
    } catch (const std::bad_alloc&) {
        workspace.reset();
        return PNGSAVER_ERR_NO_MEMORY;
    }
}

}  // namespace

extern "C" int16_t BmpToPng(const char* bmpPath, const char* pngPath, const char* options) {
    int level = 0;
    if (bmpPath == nullptr || pngPath == nullptr || !parseOptions(options, &level)) {
        return PNGSAVER_ERR_BAD_OPTIONS;
    }
    return withWorkspace(
        [&](Workspace& workspace) { return convert(bmpPath, pngPath, level, workspace); });
}

extern "C" int16_t PixelsToPng(const uint8_t* pixels, uint32_t width, uint32_t height,
                               uint32_t stride, const char* pngPath, const char* options) {
    int level = 0;
    if (pngPath == nullptr || !parseOptions(options, &level)) {
        return PNGSAVER_ERR_BAD_OPTIONS;
    }
    if (pixels == nullptr || width == 0 || height == 0 ||
        uint64_t{width} * height > pngsaver::kMaxBmpPixels || stride / 4 < width) {
        return PNGSAVER_ERR_BAD_BMP;
    }
    // The pixels of a top-down 32-bit BMP, without the file around them.
    pngsaver::BmpImage image;
    image.width = width;
    image.height = height;
    image.bytesPerPixel = 4;
    image.stride = stride;
    image.pixels = pixels;
    image.topDown = true;
    return withWorkspace(
        [&](Workspace& workspace) { return encodeAndWrite(image, pngPath, level, workspace); });
}
